#pragma once
#include <cstddef>
#include <cstdint>

// The contrast stretches. A table builder fills `proc.stretch_table` from its
// formula; contrast_stretch() maps every pixel of `image` through it
// (pixel := 2 * table[pixel / 2]), skipping the label band of a labelled
// image. Everything works on the globals of image_store.h.

// Builders that apply at once: each fills the table, sends command 888 to the
// main window (whose handler calls cm_contrast_stretch()) and then adds its
// history line.
void ContrastNormal(); // from proc.black / proc.white
void ContrastPower();  // from proc.power_str
void ContrastSine();
void ContrastBackground(); // from disp.most_pop; nothing at all when it is 2 or less
void logstretch();
void antilog();
void ContrastInvert();

// Fills the table with the non-linear curve of `power` and adds its history
// line; the caller applies it with contrast_stretch().
void tolvern(double power);

// Fills the background-removal table from disp.most_pop, applies it when
// `apply` is non-zero (without a display rebuild) and adds the history line.
// Returns false, doing nothing, when most_pop is 2 or less.
bool DoContrastBackGround(int apply);

// One automatic stretch of the camera sequence, without dialogs and without
// a display rebuild: the background level from the fixed sample, background
// removal when asked (left out when the background is too dark to remove),
// then the non-linear stretch of `power`.
void auto_contrast_stretch(double power, bool remove_background);

// The apply step: saves the image for undo, then maps it in 16 blocks under
// the progress window. Returns `redisplay != 0`: whether the caller should
// rebuild the display now.
bool contrast_stretch(int redisplay);

// True when `image` carries the label marker (first-row pixels 4 and 5 sum
// to 34): its first `width1_10` pixels are then never stretched.
bool image_is_labelled();

// 256-bin histogram of the pixel high bytes of the current image, the label
// band left out.
void stretch_histogram(std::uint32_t counts[256]);

// Command entry points without dialogs. Each returns whether the caller must
// still rebuild the display: the builders apply through command 888, whose
// handler already did.
bool cm_contrast_sine();       // 101
bool cm_contrast_background(); // 120
bool cm_contrast_log();        // 102
bool cm_contrast_antilog();    // 103
bool cm_contrast_invert();     // 105
bool cm_contrast_stretch();    // 888: apply the table just built; always true
