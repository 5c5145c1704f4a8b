#pragma once

// The AO unit controls of the camera and guider dialogs, on the settings
// they edit. Each one that changes a setting saves the settings file.

// "Switch" (762): guiding through the mount ('T') or the AO unit ('A').
void change_guider_mode();
// "Swap AO n/s" / "Swap AO e/w": the unit's direction letters.
void set_ao_ns();
void set_ao_ew();
bool ao_ns_swapped();
bool ao_ew_swapped();
// The guider dialog's "Swap mount n/s" / "Swap mount e/w": the letters the
// unit's mount output is sent ('N'/'S', 'T'/'W'), on their own.
void set_ao_mount_ns();
void set_ao_mount_ew();
bool ao_mount_ns_swapped();
bool ao_mount_ew_swapped();
// "Set Values" (767) with the typed steps a pixel (763, 764); a field that
// is not a number keeps its value, and the rates stay 1..32767.
void set_ao_values(const char* slewx, const char* slewy);
// "Copy Trained" (768): the trained rates become the ones guiding uses.
void copy_ao_values();
// "Change Mode" (774): parallel or serial; back to serial also puts the
// unit on the PC port.
void change_ao_mode();
// The guider dialog's "Change Mode": parallel or serial, the port kept.
void toggle_ao_mode();
// The guider dialog's "Centre AO": in serial mode the unit is taken to be on
// the PC port first.
void guider_centralise_ao_unit();
// "Use Trained" / "Use Defaults" for the unit: with trained rates, switches
// between them and the typed ones; the button's caption and the label.
void toggle_ao_use_trained();
const char* ao_use_default_caption();
const char* ao_vals_in_use_text();
// The unit's serial route: the camera's port 1 or 2 (indices 0, 1), or the PC.
void set_ao_com1();
void set_ao_com2();
void set_ao_pc_port();

// A dialog arrow with the AO unit chosen: 100 steps towards `which` ('n',
// 's', 'e', 'w', the AO swaps applied) through AOUnit_move. False for any
// other letter.
bool ao_arrow_press(char which);

const char* ao_mode_text(); // edit 773: "Parallel" or "Serial"
