#pragma once
#include "platform/ui.h"

// Combining images: averaging with a file, the interactive two-image merge
// registered on user-marked points, and the two accumulation methods of an
// exposure series (star tracking and profile matching). Sums saturate at
// 65535. All images are `disp.width1` x `disp.height1`, row-major, 16-bit.

constexpr int PROFILE_SIZE = 100; // rows and columns of the profile window

struct StackState {
    // Merge mode (the modeless merge window is open) and its marks.
    int merging = 0;
    int orig = 0;         // 1: marks go to the first image, 0: to the second
    int average = 0;      // the merge averages instead of adding
    int merge_centre = 0; // marks snap to the star around the click
    int orig_x = 0, orig_y = 0, merge_x = 0, merge_y = 0;
    // What the merge combines: the second (displayed) image and the first.
    unsigned short* extfredptr = nullptr;
    unsigned short* exttrialptr = nullptr;

    // Operation of the Merging-menu file pick: 'a' average, 's' subtract,
    // 'f' flat field. Stays set after the command.
    char merge_type = 'a';

    // Accumulation references kept between frames of a series.
    int orig_max = 0;
    int orig_avg = 0;
    long rowsum_1[PROFILE_SIZE] = {}, colsum_1[PROFILE_SIZE] = {};
    long rowsum_2[PROFILE_SIZE] = {}, colsum_2[PROFILE_SIZE] = {};
};

extern StackState stacking;

void reset_stack_state();

// image := (image + operand) / 2.
void do_average_image(unsigned short* image, const unsigned short* operand);

// Adds (or with `average` averages) the second image S, shifted by the marks,
// into the first F, then copies F into S. Rows above the label band and the
// outer pixels without a counterpart keep F's values.
void do_merge(unsigned short* second, unsigned short* first, int orig_x, int orig_y, int merge_x,
              int merge_y, int average);

// The exposure sequence's series options.
struct AccumulateOptions {
    int slew_sum_average = 0; // add frame / total_images, giving a mean
    int total_images = 1;
};

// Star-tracking accumulation of the new frame `fredptr` onto `trialptr`.
// The first frame (orig_x == 0) starts the sum and finds the star from
// `guide.xcent`/`ycent` with radius `cfg.star_mask`. 0 frame added, 1 star
// lost (its peak beyond 0.3 .. 3 times the first one, or no centre found):
// the accumulator is shown in `fredptr` and the frame is not added.
int track_accumulate(unsigned short* fredptr, unsigned short* trialptr, int& orig_x, int& orig_y,
                     int& merge_x, int& merge_y, int& orig_max, int& orig_avg,
                     const AccumulateOptions& opt = {});

// Profile-matching accumulation on a 100 x 100 window (rows R+100.., columns
// 200..). The first frame (orig_avg == 0) sets the reference profiles; the
// row offset R (0, 10 or 20) goes to merge_y, the cumulative shift to
// orig_x/orig_y. 0 frame added (the sum is shown in `fredptr`), 1 frame
// rejected (no structure to match; the sum is shown), 2 no window with a
// bright enough pixel (the new frame stays shown).
int slew_accumulate(unsigned short* fredptr, unsigned short* trialptr, int& orig_x, int& orig_y,
                    int& merge_x, int& merge_y, int& orig_max, int& orig_avg,
                    const AccumulateOptions& opt = {});

// Command 126 "Average with current Image": pick a file and average it into
// the current image (undo saved, no history line). True when the image changed.
bool Average_Image();

// The operand pick of the merge types: file dialog, bookkeeping, load into
// `trial`, then the operation of `stacking.merge_type`. True when the image
// changed.
bool merge_operand_pick();

// Command 111 "Merge two Images together", the part before the window opens.
// Refuses with message 37 while photometry or the row plot runs, 43 while the
// display is fitted to the window, 44 when already merging; returns false
// then. Otherwise enters merge mode (marks go to the first image).
bool start_merge(int photometry, int row_plot, int fit);

// A merge-mode click at image pixel `point` on `img`: snapped to the star
// when `merge_centre` is set (radius `rad`), then stored as the first or the
// second mark. The window repaints the merge window afterwards.
void merge_mark(platform::Point& point, const unsigned short* img, int rad);

// Open while merging, before the new file is loaded: the current image
// becomes the first image (copied to `trial`) and marks go to the second.
// Does nothing outside merge mode.
void merge_take_second();

// The merge window's "Merge": ignored (false) while the first image is still
// being marked; otherwise leaves merge mode and merges. True when the image
// changed.
bool merge_execute();

// The merge window's "Cancel" (and closing it).
void merge_cancel();
