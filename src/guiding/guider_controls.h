#pragma once
#include "acquisition/camera_controls.h"
#include "display/scroll_action.h"

#include <cstdint>
#include <functional>

// The rules behind the guider camera's dialog ("Auto Guider Camera Control")
// and its guiding information window, on the globals they edit, so that the
// dialogs only draw and forward. Dialog points are those of the dialog: the
// guider frame is drawn 1:1 with its top-left pixel at GUIDER_FRAME_X/Y.

constexpr int GUIDER_FRAME_X = 10;
constexpr int GUIDER_FRAME_Y = 45;
constexpr int GUIDER_STRETCH_MIN = 5;
constexpr int GUIDER_STRETCH_MAX = 50;

constexpr const char* NO_CAMERA_TEXT = "Sorry, No camera found on USB";

// EvInitDialog: the preview stopped, the arrow limit of the stored unit.
void guider_dialog_init();

// Unit buttons: 'h' hundredths (limit 500, value 5), 't' tenths (100, 5),
// 's' seconds (10, 1).
void guider_set_range(char range);
// The exposure arrows, one unit within min_guider_exp..max_guider_exp.
// Each returns whether the value changed.
bool guider_decrement_exp();
bool guider_increment_exp();

// The stretch bar, 5..50: arrows step one, page up goes to 5, page down to 50.
bool scroll_guider_stretch(ScrollAction a, int pos = 0);

// The mouse read-out at dialog point (x, y): over the frame (10 < x < 510,
// 45 < y < 335) it takes the column, row and pixel value / 256 into
// guiderwrk_x/y/val and returns true; elsewhere nothing changes.
bool guider_mouse_readout(int x, int y);

// Writes the guider bitmap; a failure shows message 8, 9 or 10. Returns the
// writer's code (BMP_OK on success).
int guider_render();

// Start's set-up: the guider buffers, the stop request cleared, the sensor
// cleared twice.
void guider_preview_begin();
// One preview frame: read with the wait cursor, guided_image set, rendered.
// Returns the render code; `whole` tells whether the frame arrived whole.
int guider_preview_pass(bool* whole = nullptr);

// TakeDarkframe: a frame read as a dark frame and kept when it rendered.
// Returns whether a dark frame is now loaded.
bool guider_take_darkframe();
// UseDarkframe: toggles its use, which stays off without a dark frame.
void guider_toggle_use_darkframe();
// The status line (also kept in guider_darkframe_text).
const char* guider_darkframe_status();

// SetPickStar: the next click on the frame picks the guide star.
void guider_arm_pick();
// A click at dialog point (cx, cy). With a pick armed the click must leave
// the search box inside the frame, else message 40; the star is then
// measured and snapped onto in three passes, the screen cursor following.
// Lost: a pass's box left the frame (the centroid has said so); the pick ends.
enum class GuiderPick { NotArmed, Outside, Lost, Picked };
GuiderPick guider_pick_click(int cx, int cy);

// Manual moves with the mount ('T'): a press starts a move towards 'n', 's',
// 'e' or 'w' when none runs (relays on the socket, else the LX200), the
// release stops it. With the AO unit chosen a press is one 100-step move of
// the unit and there is nothing to release. Return whether traffic went out.
bool guider_move_press(char which);
bool guider_move_release();
// GoNorth .. GoWest: a socket move on and off, in the mount's mode only.
bool guider_move_toggle(char which);
// The arrows drive the AO unit, or the mount when there is a drive.
bool guider_moves_available();
// The toggles are for the guide relays.
bool guider_toggles_available();
// The arrows' group: "Move Telescope", or "Move AO Unit" with the unit chosen.
const char* guider_move_title();

// The exit buttons: what runs once the dialog has closed.
void guider_exit_main_camera();
void guider_exit_start_guiding();

// QV_Guider_Control: the pick state saved, the guider image rendered, the
// camera found and the drive checked (refusals shown), then `run_dialog`,
// then command 12 or 890 as the dialog asked, through `hand_over` (by
// default the main window's command). False when refused.
bool QV_Guider_Control(const std::function<void()>& run_dialog,
                       const std::function<void(int)>& hand_over = {});

// "Use Defaults" / "Use Trained": with a trained guider model, switches
// between it (angle mode) and the typed parameters; the button's caption.
void toggle_guider_use_trained();
const char* guider_use_default_caption();

// Display texts.
// "Using Trained Vals" while a trained model is in use, else "Using Default Vals".
const char* vals_in_use_text(int trained, int use_trained);
const char* guider_mode_label(); // "Telescope Drives" or "AO Unit"

// The guiding information window's values, formatted.
struct GuiderInfoTexts {
    char x[16], y[16];                             // centroid, "%1.1f"
    char ex[16], ey[16];                           // error in pixels, "%1.1f"
    char slew_x[8], slew_y[8], ao_ew[8], ao_ns[8]; // "%5d"
    char offload[32]; // the last mount offload while less than 2.5 s old
};
// `offload_text` is what the AO unit last sent to the mount, `offload_at`
// when (platform clock); null for none.
GuiderInfoTexts guider_info_texts(int ao_ew, int ao_ns, const char* offload_text,
                                  std::uint32_t offload_at);
// Where the error cross goes in the 100 x 100 plot whose centre is (cx, cy):
// 0.1 pixel of error a plot pixel. False when an error is too large to plot.
bool guider_error_plot_point(int cx, int cy, int* px, int* py);
