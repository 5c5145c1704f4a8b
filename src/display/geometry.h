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

// The lengths a file of a width x height frame has: native raw (2 bytes a
// pixel, a quarter of that when 2 x 2 binned) and FITS (two 2880-byte header
// records, then the data with or without the fill of its last record).
struct FileLengths {
    int native = 0, native_binned = 0;
    int fits = 0, fits_binned = 0;
    int fits_padded = 0, fits_binned_padded = 0;

    bool contains(long long len) const {
        return len == native || len == native_binned || len == fits || len == fits_binned ||
               len == fits_padded || len == fits_binned_padded;
    }
};

FileLengths file_lengths(int width, int height);

// The camera's geometry with an image of w x h pixels in it, as a file of
// another size brings: the recognised file lengths stay the camera's.
void image_geometry(int w, int h);

// The older camera line's frame.
constexpr int ZQ_WIDTH = 752;
constexpr int ZQ_HEIGHT = 580;
void zq_geometry();

// The full-resolution geometry of the camera in use (`cam`), as every camera
// set-up and file load recomputes it.
void nocteris_binned();
