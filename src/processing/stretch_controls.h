#pragma once
#include "display/scroll_action.h"

// The scroll and button rules of the stretch dialogs, on the globals they
// edit, so the dialogs stay thin and the rules are tested without a window.

// Normal stretch: `proc.black` (0..255) and `proc.white` (1..300), always
// black < white. `pos` is the thumb position for ScrollAction::Thumb. Each
// returns whether the value changed.
bool scroll_black(ScrollAction a, int pos = 0);
bool scroll_white(ScrollAction a, int pos = 0);

// Power law: `proc.power_str` in tenths from 0.1 to 3.0; only the arrows move it.
bool scroll_power(ScrollAction a);
// The scroll-bar position that shows `proc.power_str` (1..30).
int power_position();

// Non-linear stretch: its power in `proc.white`, 2..50 by the arrows.
bool scroll_nonlinear(ScrollAction a);
// OK of the non-linear dialog: a whole number 1..50 becomes `proc.white`;
// anything else puts 25 back and returns false (the dialog stays open).
bool accept_nonlinear(const char* text);

// Display stretch factor `disp.max_stretch_mult`, 2..50.
bool scroll_max_stretch(ScrollAction a, int pos = 0);
