#pragma once

// The mount: what is moving now. A move started by the telescope dialog or a
// guide pulse sets it until its stop command has gone out.
struct TelescopeState {
    int tele_moving = 0;
};

extern TelescopeState tele;

void reset_telescope_state();
