#include "guiding/guiding_state.h"

GuidingState autoguide;

void reset_guiding_state() {
    autoguide = GuidingState{};
}
