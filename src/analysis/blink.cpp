#include "analysis/blink.h"

#include "analysis/analysis_state.h"
#include "platform/command_ids.h"

BlinkStep blink_press(int& next_comparison) {
    // 926 shows the comparison image, 925 the current one.
    const BlinkStep step = next_comparison
                               ? BlinkStep{"Current Image", BLINK_CAPTION_COMPARISON, CM_BLINK_STOP}
                               : BlinkStep{"Comparison", BLINK_CAPTION_CURRENT, CM_BLINK_NEXT};
    next_comparison = !next_comparison;
    return step;
}

bool start_blink() {
    if (ana.blinking) return false;
    ana.blinking = 1;
    return true;
}
