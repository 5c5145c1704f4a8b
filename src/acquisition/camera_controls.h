#pragma once
#include "display/scroll_action.h"

// The rules behind the camera control dialog, on the globals it edits, so
// the dialog stays thin and the rules are tested without a window. The
// exposure options live in cfg (exp_range, exp_value, continuous_delay, ...),
// the run flags in run (no_images, continuous, series_exposure) and the
// dialog's own state in acq (min_exp, max_exp, stopit, ...).

// The dialog's opening state: the preview loop stopped, no maximum yet, the
// arrow limit of the stored range, and no star picked.
void camera_dialog_init();

// Exposure ranges: 'q' thousandths, 'h' hundredths, 't' tenths, 's' seconds,
// 'm' minutes. The arrow limit of each; any other letter counts as seconds.
int max_exp_for(char range);
// Milliseconds per unit of the range, as the exposure sequence counts them.
int exposure_unit_ms(char range);
// Range buttons 701-705: the range, its starting value and its arrow limit.
void set_exposure_range(char range);

// Scroll bars. Each returns whether the value changed; `pos` is the thumb
// position for ScrollAction::Thumb.
bool scroll_exposure(ScrollAction a, int pos = 0);         // 104: min_exp..max_exp
bool scroll_no_images(ScrollAction a, int pos = 0);        // 111: 1..99
bool scroll_continuous_delay(ScrollAction a, int pos = 0); // 119: 0..20
bool scroll_dialog_stretch(ScrollAction a, int pos = 0);   // 124: 2..10
// Where bar 124 stands for the display stretch factor (which the stretch
// display window lets go up to 50).
int dialog_stretch_position();
constexpr int NO_IMAGES_MAX = 99;
constexpr int CONTINUOUS_DELAY_MAX = 20;
constexpr int DIALOG_STRETCH_MIN = 2;
constexpr int DIALOG_STRETCH_MAX = 10;

// A whole number typed into an edit (surrounding blanks allowed). False for
// anything else, including numbers beyond int.
bool parse_whole_number(const char* text, long& out);

// The value display's rule for edit 105: a typed value is taken when
// 1 <= value < max_exp. Returns whether it was taken.
bool take_typed_exposure(const char* text);

// "Take Photo": any positive typed value becomes exp_value (even above the
// arrow limit) and the dialog may close with OK; the display stops being
// quarter-size. Zero, no number, or a value whose exposure would not fit in
// the millisecond counter changes nothing and returns false.
bool take_photo(const char* text);

// Why "Take Photo" cannot start what the dialog is set to, or null. Auto
// Merging (several images, neither series nor continuous) stacks on the
// picked star unless the alternative slew method is chosen: without a star
// it would fail after the first exposure.
const char* take_photo_refusal();
constexpr const char* AUTO_MERGE_NEEDS_STAR =
    "Auto Merging stacks the images on a guide star.\nPress \"Select Guide Star\" and click "
    "a star in the picture first, or choose the Alternative Slew Method.";

// Self-guiding corrects on the picked star: without one it could not guide.
constexpr const char* SELFGUIDE_NEEDS_STAR =
    "Self-guiding corrects the telescope on a guide star.\nPress \"Select Guide Star\" and "
    "click a star in the picture first.";

// "Series Exposure" toggles series mode; switching it on also switches on
// automatic saving, switching it off leaves saving as it is.
void toggle_series_exposure();

// The "Camera Mode" text is camera_mode_text() (sequence.h).

// Preview loop and guide dark frame: refused for the minutes range and for
// values of 100 or more (and for a value below 1, which has no exposure).
bool preview_allowed();
// Start's set-up: main buffer, loop running, full-frame display, and a short
// exposure leaving interlaced high resolution. False when not allowed.
bool begin_preview();
// One pass: the exposure with its focus analysis (acq.max_value), then the
// display rebuilt and the display bitmap written. Returns the bitmap result
// (BMP_OK, or the code whose message has been shown); `whole` tells whether
// the whole frame arrived (the transport has reported what did not).
int camera_dialog_pass(bool* whole = nullptr);
// "Take Dark Frame": one pass kept as the guide dark frame. False when not
// allowed, or when the frame did not arrive whole (no dark frame is kept).
bool take_guide_darkframe();
// "%02d" of the value and the unit word, e.g. "05 hundredth ".
void make_darkframe_base_text();
// Edit 723.
const char* guide_dark_status_text();
// "Apply Dark Frame": toggles use_darkframe, which stays off while no guide
// dark frame exists. Returns whether it changed.
bool toggle_apply_darkframe();

// The filter wheel can be driven: a USB wheel was found or the settings say
// one is fitted (then through the serial box).
bool filter_wheel_available();

// "Select Guide Star": the next click on the picture picks the star.
void arm_pick_star();

// A click at (px, py) on the quarter-scale picture, counted from its top-left
// corner. Needs an armed pick; the click must leave the search box inside the
// picture. The star is measured on the full image at 4 x the click and
// snapped onto in three passes, moving the screen cursor with it.
enum class PickResult { NotArmed, Outside, Lost, Picked };
PickResult dialog_pick_star(int px, int py);

// The full image's pixel under picture point (px, py); -1 outside the image.
int picture_pixel_value(int px, int py);

// The guider camera needs a drive to move the telescope with.
constexpr const char* NO_DRIVE_TEXT =
    "Please select a telescope drive method before using autoguider";
// Button 16: hands over to the guider camera's dialog (start_autoguidercam,
// the dialog closes with result 2). Refused, with its message, while the
// guider camera guides on its own or without a telescope drive.
bool exit_autoguider_cam();
