#include "guiding/sequence_guiding.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/guide_hook.h"
#include "guiding/guide_correction.h"
#include "guiding/guide_loop.h"
#include "guiding/guider_guiding.h"
#include "guiding/guiding_state.h"
#include "settings/settings.h"
#include "star/star_state.h"

namespace {

// The sequence's guiding: self-guiding on each image, and the guider camera
// through host-timed exposures, shown by the host the program installed.
class SequenceHooks : public SequenceGuiding {
  public:
    void correct(const unsigned short* image) override { self_guide_correction(image); }
    bool guider_start() override {
        if (open_) return true; // the run's guiding goes on
        static GuideHost none;
        GuideHost& h = host ? *host : none;
        autoguide.guider_guiding_failed = 0;
        h.info_open("Guiding Info");
        open_ = true;
        return StartGuiderAutoGuide(h) == 0;
    }
    bool guider_cycle() override {
        static GuideHost none;
        GuiderAutoGuide(host ? *host : none);
        return !autoguide.guider_guiding_failed;
    }
    void guider_stop() override {
        if (!open_) return;
        open_ = false;
        guide.guider_guiding = 0;
        if (host) host->info_close();
    }

    GuideHost* host = nullptr;

  private:
    bool open_ = false;
};

SequenceHooks hooks;

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
    install_sequence_guiding(&hooks);
}

void install_guider_hooks(GuideHost* host) {
    hooks.host = host;
}
