#pragma once

// The sensor a geometry is derived from: the camera model's values.
struct SensorGeometry {
    int width = 1312;
    int height = 1024;
    double pixwidth = 0.0104;  // mm
    double pixheight = 0.0104; // mm
    int divisor = 16;
    const char* bmp_main = "c:\\Autosave\\Nocteris.bmp";
    const char* bmp_focus = "c:\\Autosave\\Nocterisf.bmp";
    const char* bmp_guide = "c:\\Autosave\\Nocterisg.bmp";
};

// Sets the size-derived globals (width2, width3, intlength, ...) for an image
// of w x h pixels; `divisor` and the file lengths are left alone.
void set_image_size(int w, int h);

// Full-resolution geometry of the sensor: the image size, pixel size, display
// chunking, bitmap names and the recognised file lengths. Clears `binned`.
void derive_geometry(const SensorGeometry& s);

// The older 752 x 580 camera line.
void zq_geometry();

// The full-resolution geometry of the camera in use (`cam`), as every camera
// set-up and file load recomputes it.
void nocteris_binned();
