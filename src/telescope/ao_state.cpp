#include "telescope/ao_state.h"

AOState ao;

void reset_ao_state() {
    ao = AOState{};
}
