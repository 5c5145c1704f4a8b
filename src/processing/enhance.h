#pragma once
#include <functional>

// The enhancement filters of the Filters menu: six convolution kernels, the
// unsharp mask, the conditional median, vertical smoothing and the
// background-gradient remover. Plain C++ over the image store; the two
// dialogs live in enhance_dialog.h.
//
// A labelled image (first-row pixels 4 and 5 summing to 34) keeps its first
// ten rows out of every filter. Results are clamped to 0..65535; no filter
// reports an error. The filters split their rows over every core (see
// `filt.threads`); the result is the same for any number of threads.

// The kernel table: 3 x 3 kernels use the first 9 entries, row-major.
inline constexpr int mask[6][25] = {
    {1, 2, 1, 2, 4, 2, 1, 2, 1},
    {0, 1, 2, 1, 0, 1, 4, 8, 4, 1, 2, 8, 16, 8, 2, 1, 4, 8, 4, 1, 0, 1, 2, 1, 0},
    {0, -1, 0, -1, 5, -1, 0, -1, 0},
    {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 25,
     -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, -1, -1, -1, 0, -1, 1, 1, 1, -1, -1, 1, 5, 1, -1, -1, 1, 1, 1, -1, 0, -1, -1, -1, 0},
    {0, 0, -1, 0, 0, 0, -1, -1, -1, 0, -1, -1, 1, 1, 1, 0, 1, 1, 1, 0, 0, 0, 1, 0, 0},
};

// Called on the calling thread with the number of rows finished so far.
using RowProgress = std::function<void(int rows_done)>;

// ---- Buffer-level filters ---------------------------------------------------
// `src` and `dst` hold w x h pixels and do not overlap; the caller fills `dst`
// with a copy of `src` first, and the filters write only the pixels they
// process. `top` is the number of leading rows to leave alone (10 for a
// labelled image, else 0); it adds to the filter's own border. Invalid
// arguments leave `dst` as it is.

// Convolution with kernel `kernel` (0..5) of radius 1 or 2, divided by
// `divisor` (truncating), for rows top + r .. h - r - 1 and columns r .. w - r - 1.
// Returns false for an invalid radius, kernel or divisor.
bool convolve_pixels(const unsigned short* src, unsigned short* dst, int w, int h, int top,
                     int radius, int kernel, int divisor, const RowProgress& progress = {});

// Unsharp mask of radius 1..7 and power 1..7: each pixel moves away from the
// mean of its box by `power` times its difference from it. Columns r .. w - r - 2.
// Returns false for a radius or power out of range.
bool unsharp_pixels(const unsigned short* src, unsigned short* dst, int w, int h, int top,
                    int radius, int power, const RowProgress& progress = {});

// Conditional median of radius 1..3 with threshold power 1..10 (tenths): a
// pixel becomes the median of its window when it differs from it by more than
// the threshold times the window's spread. Returns false for a radius or
// power out of range.
bool median_pixels(const unsigned short* src, unsigned short* dst, int w, int h, int top,
                   int radius, int power);

// ---- Commands on the current image ----------------------------------------
// Each saves the image for undo, filters `image` (geometry `disp.width1` x
// `disp.height1`) and adds its history line. They return true when the image
// was changed; the caller then rebuilds the display. None needs Qt.

// The convolution engine with its wait cursor and progress window; adds no
// history line (automatic processing adds its own). False when nothing ran.
bool run_enhance(int radius, int kernel, int divisor);

bool highlow_enhance();     // 107: kernel 2, radius 1
bool highhigh_enhance();    // 108: kernel 3, radius 2
bool smoothsharp_enhance(); // 109: kernel 4, radius 2
bool gaussian_enhance();    // 4: kernel 1, radius 2, divisor 80
bool lowpass_enhance();     // 5: kernel 0, radius 1, divisor 16
bool basrelief_enhance();   // 7: kernel 5, radius 2

// The unsharp mask with its progress window and history line ("Unsharp Mask
// : rad R ,power P"). The dialog command (106) and automatic processing call it.
bool unsharp_mask(int radius, int power);

// Saves `image` into `undo_buf`, filters `image` through `scratch` (all three
// hold the current geometry) and adds the history line "Median Filter : rad
// R ,power T" with T = power / 10 as "%1.1f".
void run_median_enhance(unsigned short* image, unsigned short* scratch, unsigned short* undo_buf,
                        int radius, int power);

// The median command after its dialog: wait cursor, then run_median_enhance
// on `image` through `trial`, saving into `undo`. False when nothing ran.
bool median_filter(int radius, int power);

// Vertical smoothing: saves `image` into `undo_buf`, toggles
// `filt.venetian_flipflop` and averages each pixel with the one below (flag
// 1) or above (flag 0), from the saved copy.
void venetian_blind(unsigned short* image, unsigned short* undo_buf);
bool venetian_enhance(); // 29: with its history line

// Background-gradient removal in place: estimates the sky level in four
// 40 x 40 patches near the corners and subtracts a bilinear ramp through
// them. The 752 x 580 frame and its binned 376 x 290 form use their fixed
// patch positions and normalisers; any other frame puts the patches at the
// same distances from its corners as the 752 x 580 frame and normalises by
// width x height. Frames smaller than 60 x 70 cannot hold the patches and are
// left alone (returns false).
bool gradient_filter(unsigned short* image);
bool gradient_enhance(); // 18: wait cursor, undo, filter, history line
