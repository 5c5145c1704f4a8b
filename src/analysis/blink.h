#pragma once

// The blink window's rules: its one button switches the main window between
// the current image and the comparison image.

constexpr const char* BLINK_CAPTION_CURRENT = "Blinking:- Current Image";
constexpr const char* BLINK_CAPTION_COMPARISON = "Blinking:- Comparison";

// What a press of button 102 does: the button's new text, the window's new
// caption and the command the main window is sent.
struct BlinkStep {
    const char* button;
    const char* caption;
    int command;
};

// `next_comparison` (initially 1) says whether this press shows the
// comparison; it is inverted.
BlinkStep blink_press(int& next_comparison);

// Command 125's guard: true when the window may open (and is now marked open).
bool start_blink();
