#pragma once

// The guiding parameters of the camera dialog: the default and trained
// columns and the direction swaps.

// Guiding parameters. "Change Defaults" takes the typed default column
// (rates, backlash, RA angle); a field that is not a number keeps its value,
// rates stay at least 1 and backlash at least 0. Saves the settings file.
void change_defaults(const char* slewx, const char* slewy, const char* backlashx,
                     const char* backlashy, const char* theta);
// "Save Latest": the trained values become the defaults. Does nothing until
// a training has produced them. Returns whether it did anything.
bool save_latest();
// "Swap n/s direction" / "Swap e/w direction": the mount's direction letters
// and the AO unit's mount-output letters together; saves the settings file.
void swap_ns();
void swap_ew();
bool ns_swapped();
bool ew_swapped();
const char* trained_vals_text();   // edit 728
const char* use_default_caption(); // button 729
const char* guiding_mode_text();   // edit 761
