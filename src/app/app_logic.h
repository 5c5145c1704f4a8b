#pragma once
#include "acquisition/sequence.h"
#include "platform/ui.h"

// The main window's behaviour that needs no window: start-up, the camera
// geometry, the abort rule and the click-driven mouse modes.

// Fills the start-up test pattern into the main and guider buffers.
void startup_pattern();

// Pick guide star (21) and focus frame (25, 26).
void cm_pick_star(int fit);
void cm_focus_frame();

// What the window must do after a click.
enum class ClickResult { Ignored, Refused, Done, RepaintImage, RowPlot, Photometry, Merge };

// Left button up at image pixel (x, y). `point` may move onto a star (and the
// screen cursor with it).
ClickResult left_button_up(platform::Point& point);
ClickResult right_button_up(platform::Point& point);
// Mouse move in photometry mode; true when the photometry window must repaint.
bool mouse_move(platform::Point point);
