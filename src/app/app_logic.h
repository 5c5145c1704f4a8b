#pragma once
#include "platform/ui.h"

// The main window's behaviour that needs no window: start-up, the camera
// geometry, the abort rule and the click-driven mouse modes.

// Fills the start-up test pattern into the main and guider buffers.
void startup_pattern();

// Geometry of the configured camera model, the focus frame at the sensor's
// centre, then the settings file written back.
void nocteris_camera();

// What a key or mouse-button press does to the running loops. Returns 1 when
// self-guiding was running, so the caller closes its information window.
int abort_on_input();

// Drains pending input; a press stops the running loops.
void clear_messages();

// Pick guide star (21) and focus frame (25, 26).
void cm_pick_star(int fit);
void cm_focus_frame();
void cm_focus_frame_reset();

// What the window must do after a click.
enum class ClickResult { Ignored, Refused, Done, RepaintImage, RowPlot, Photometry, Merge };

// Left button up at image pixel (x, y). `point` may move onto a star (and the
// screen cursor with it).
ClickResult left_button_up(platform::Point& point);
ClickResult right_button_up(platform::Point& point);
// Mouse move in photometry mode; true when the photometry window must repaint.
bool mouse_move(platform::Point point);

// Sum of the 16-bit pixels of the square of half-size r around (x, y).
long aperture_sum(const unsigned short* img, int x, int y, int r);
