#include "guiding/guide_state.h"

GuideState guide;

void reset_guide_state() {
    guide = GuideState{};
}
