#pragma once

constexpr int MOUNT_COMMAND_TEXT = 6; // "#:RS#" and its NUL

// The mount: the pending timed move, the manual-move and focuser choices, and
// what is moving now. A move started by the telescope dialog or a guide pulse
// sets its flag until its stop command has gone out. The direction letters
// (`e`, `w`, `n`, `s`) are stored settings and live in `cfg`; the mount's
// replies (`move_error`, `scope_error`) and `Kelvo500command` belong to the
// serial link.
struct TelescopeState {
    // What the telescope dialog's fields hold between openings.
    int set_Messier = 0;
    int set_CNGC = 0;
    int set_RAhr = 0;
    int set_RAmin = 0;
    int set_Decdeg = 0;
    int set_Decmin = 0;
    char slewdir = 'e'; // literal 'e', 'w', 'n' or 's'
    int slew_time = 0;  // milliseconds
    char tele_speed[MOUNT_COMMAND_TEXT] = "#:RS#";
    char move_direction[MOUNT_COMMAND_TEXT] = "#:Me#";
    char focus_speed[MOUNT_COMMAND_TEXT] = "#:FF#";
    char focus_direction[MOUNT_COMMAND_TEXT] = "#:F+#";
    int tele_moving = 0;
    int tele_focussing = 0;
};

extern TelescopeState tele;

void reset_telescope_state();
