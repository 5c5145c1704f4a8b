#include "guiding/sequence_guiding.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/guide_hook.h"
#include "guiding/guide_correction.h"
#include "guiding/guiding_state.h"
#include "settings/settings.h"
#include "star/star_state.h"

namespace {

class SelfGuiding : public SequenceGuiding {
  public:
    void correct(const unsigned short* image) override { self_guide_correction(image); }
};

} // namespace

void self_guide_correction(const unsigned short* image) {
    if (!guide.picked_star || cfg.telescope == 'n') return;
    if (!acq.last_selfguided) {
        // The star is held where it was picked, so the first image of the
        // series is corrected too.
        autoguide.x1 = guide.pick_xcent;
        autoguide.y1 = guide.pick_ycent;
        autoguide.x1dec = autoguide.y1dec = 0;
        acq.last_selfguided = 1;
    }
    guide.cur_rad = cfg.star_mask;
    guide_command(image);
}

void install_guiding_hooks() {
    static SelfGuiding self_guiding;
    install_sequence_guiding(&self_guiding);
}
