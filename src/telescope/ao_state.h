#pragma once
#include <cstdint>

// The AO unit's run state: where this program has put the tip-tilt, the step
// being sent and the last mount offload. Its stored settings (rates, mode,
// port, direction letters) live in `cfg`; `AOUnitcommand` belongs to the
// serial link.
struct AOState {
    std::int16_t AO_ns = 0;            // steps from centre, as commanded; north positive
    std::int16_t AO_ew = 0;            // east positive
    char AOUnitslewdir = 'e';          // 'e', 'w', 'n' or 's'
    int AOUnitslew_time = 0;           // steps (serial mode) or ms (parallel mode)
    std::uint32_t AOUnit_lastsent = 0; // clock of the last mount offload
    char AOUnit_sendtomount[2] = "";   // letter of that offload
    int AOUnit_failed = 0;             // the last correction hit the travel limit
    // The PC port would not open: said once, and not tried again until a
    // new run or the port is chosen again (the unit never answers, so
    // every step of a run would say it again).
    int pc_port_failed = 0;
    int AOUnit_trained = 0;
    int AOUnit_use_trained = 0;
};

extern AOState ao;

void reset_ao_state();
