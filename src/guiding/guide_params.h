#pragma once

// The guiding parameters of the camera dialog: the default and trained
// columns and the direction swaps.

// Guiding parameters. "Change Defaults" takes the typed default column
// (rates, backlash, RA angle); a field that is not a number keeps its value,
// rates are held to 1..GUIDE_FIELD_MAX, backlash to 0..GUIDE_FIELD_MAX and
// the angle to whole radians within a turn. Saves the settings file.
constexpr int GUIDE_FIELD_MAX = 9999;
constexpr long GUIDE_ANGLE_MAX = 7;
void change_defaults(const char* slewx, const char* slewy, const char* backlashx,
                     const char* backlashy, const char* theta);
// "Save Latest": the trained values become the defaults. Does nothing until
// a training has produced them. Returns whether it did anything.
bool save_latest();
// "Swap n/s direction" / "Swap e/w direction": the mount's direction letters
// and the AO unit's mount-output letters together; saves the settings file.
void swap_ns();
void swap_ew();
// The guider dialog's swaps: the mount's letters only, as that dialog swaps
// the mount-output letters with controls of their own; saves the settings file.
void guider_swap_ns();
void guider_swap_ew();
bool ns_swapped();
bool ew_swapped();
// "Use Defaults" / "Use Trained" (729): with a trained model, switches
// between it and the defaults; without one the defaults stay in use.
void toggle_use_trained();
// "Ignore RA Angle": takes guider guiding out of angle mode.
void toggle_ignore_angle();

// "Test Telescope Drives" (721 N/S, 722 E/W): a press on a bar's arrow moves
// the mount towards `which` ('n', 's', 'e', 'w', swaps applied) until the
// release, on the LX200 or through the guide relays; with `GuiderMode` not
// 'T' a press is instead one 100-step move of the AO unit. Each returns
// whether traffic went out; without a drive nothing does.
bool drive_test_press(char which);
bool drive_test_release();

const char* trained_vals_text();   // edit 728
const char* use_default_caption(); // button 729
const char* guiding_mode_text();   // edit 761
