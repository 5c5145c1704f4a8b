#pragma once

// The guide camera's sky scale, for showing guide errors in arcseconds: the
// camera's pixel size and the telescope's focal length. The focal length is
// ours to keep (the settings file has no room for it): a small text file in
// the working folder.

constexpr double DEFAULT_FOCAL_LENGTH_MM = 1000;
constexpr double MIN_FOCAL_LENGTH_MM = 50;
constexpr double MAX_FOCAL_LENGTH_MM = 20000;
constexpr double GUIDER_PIXEL_MM = 0.0074; // the autoguider CCD's square pixels
constexpr const char* OPTICS_FILE = "c:\\autosave\\Nocteris.optics";

// The kept focal length, or the default when none is kept or it is unusable.
double guide_focal_length_mm();
// Keeps a focal length (held to the limits above). False when it could not
// be written.
bool set_guide_focal_length_mm(double mm);
// Arcseconds per pixel of the main camera's guide window (binned 2 x 2 when
// the window is binned); 0 when the camera model has no known pixel size.
double guide_arcsec_per_pixel();
// Arcseconds per pixel of the guider camera's frame, through the same
// telescope.
double guider_arcsec_per_pixel();
