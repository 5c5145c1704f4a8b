#include "processing/filter_state.h"

FilterState filt;

void reset_filter_state() {
    filt = FilterState{};
}
