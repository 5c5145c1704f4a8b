#pragma once

// Dark-frame subtraction and flat fielding: the Merging-menu commands that
// apply a file to the current image, the automatic steps the exposure
// sequence runs after each exposure, and the whole-image buffer copies.
// All images are `disp.width1` x `disp.height1`, row-major, 16-bit.

// Whole-image copies of `intlength` pixels (a -> b: b receives a).
void undo_image(const unsigned short* a, unsigned short* b);    // a -> b
void restore_image(unsigned short* a, const unsigned short* b); // b -> a
void copy_image(unsigned short* a, const unsigned short* b);    // b -> a
void backup_image(const unsigned short* a, unsigned short* b);  // a -> b

// image := image - dark where dark < image, else 0.
void do_subtract_image(unsigned short* image, const unsigned short* dark);

// Flat-field reference level: the mean of rows 10..19, columns 5..width1-2
// of `flat` (the part of that sample inside a small image; the whole frame
// when none of it is).
double flat_reference_level(const unsigned short* flat);

// Flattens columns 2..width1-2 of row `line`: v / f * avg, v where the flat
// is 0, avg where both are 0; limited to 65535.
void do_flat_field(unsigned short* fredptr, const unsigned short* trialptr, double avg, int line);

// The automatic steps keep their frames in caches of their own, which no
// other command writes: the dark frame in `dark_int`, the flat field in a
// buffer private to this file. A cache is reloaded from `fileName` when the
// loaded flag is clear, and also when it does not hold that file for the
// current geometry (so a stale flag never applies the wrong frame).
// Files: a native or FITS frame of the current geometry, or one of the fixed
// 752 x 580 frames of the comparison loader. Results: 0 applied, 11 the file
// cannot be opened, 12 the file is not acceptable. On 11 and 12 the image is
// unchanged.
int auto_remove(int darkframe_loaded, const char* fileName, unsigned short* fredptr);
int auto_flatfield(int flatfield_loaded, const char* fileName, unsigned short* fredptr);

// The cached frames (read-only, for the exposure sequence and the tests).
const unsigned short* dark_cache();
const unsigned short* flat_cache();

// What one cache holds: the file and the geometry it was loaded for.
struct FrameCache {
    char name[256] = "";
    int width = 0, height = 0, binned = 0;
    int valid = 0;
};

struct CalibrationState {
    FrameCache dark;
    FrameCache flat;
    double flat_level = 0.0;
};

extern CalibrationState calib;

void reset_calibration_state();

// Commands 110 "Subtract Image (Dark Frame)" and 115 "Apply Flat Field":
// pick an operand file, load it into `trial` and apply it to the current
// image (undo saved, history line added). True when the image changed, so
// the window rebuilds its display; false after Cancel or a refused file.
bool Subtract_Image();
bool Flat_Image();

// The second half of the shared pick for the merge types "s" and "f", with
// the operand already in `trial`.
void apply_subtract_operand();
void apply_flat_operand();
