#include "star/star_state.h"

#include "display/image_store.h"

GuideState guide;

namespace {

GuideWindowUse loops_in_guide_window() {
    return {guide.guiding != 0, guide.tracking != 0, guide.training != 0};
}

} // namespace

void reset_guide_state() {
    guide = GuideState{};
    disp.guide_window_query = loops_in_guide_window;
}
