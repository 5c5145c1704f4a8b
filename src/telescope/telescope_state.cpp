#include "telescope/telescope_state.h"

TelescopeState tele;

void reset_telescope_state() {
    tele = TelescopeState{};
}
