// Self-guiding closed on the simulated sky: a continuous series on a
// drifting mount, corrected once after each image, keeps the picked star
// where it was picked.
#include "../acquisition/acq_sim.h"
#include "../sim/sim_test_util.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/guide_hook.h"
#include "acquisition/readout.h"
#include "acquisition/selfguide_controls.h"
#include "acquisition/sequence.h"
#include "devices/serial_link.h"
#include "display/image_store.h"
#include "guiding/guiding_state.h"
#include "guiding/sequence_guiding.h"
#include "star/centroid.h"
#include "star/star_state.h"

#include <cmath>

using namespace acqtest;

namespace {

struct Host : SequenceHost {
    int shows = 0;
    std::function<void()> each;
    bool run_dialog() override { return true; }
    void show_image() override {
        ++shows;
        if (each) each();
    }
};

class SelfGuiding : public AcqSim {
  protected:
    void TearDown() override {
        install_sequence_guiding(nullptr);
        AcqSim::TearDown();
    }
    // Runs a continuous one-second series of `images` on a mount drifting
    // east; returns how far the field has moved on the sensor at the end.
    double series(bool guided, int images) {
        sim::Config c;
        c.mount.pe_amplitude = 0;
        c.mount.drift_ra = 0.5;
        start(c, false);
        if (guided) install_guiding_hooks();
        cfg.telescope = 'l';
        cfg.slewcom = '1';
        cfg.AOUnit_comport = 0;
        serial.comfound = 1;
        cfg.gotcontrolbox = 1;
        cfg.exp_range = 's';
        cfg.exp_value = 1;
        // The rates the training finds on this sky.
        cfg.slewx = 4;
        cfg.slewy = 5;
        pick();
        EXPECT_EQ(set_self_guiding(), SelfGuideResult::On);
        cfg.continuous = 1;
        double x0 = 0, y0 = 0, x = 0, y = 0;
        const auto where = [&](double* px, double* py) {
            simulator->camera().main_sensor().project(simulator->world().view(simulator->now()), 0,
                                                      0, px, py);
        };
        where(&x0, &y0);
        Host host;
        ui.on_pump = [&] { return host.shows >= images ? 1 : 0; };
        EXPECT_TRUE(camera_start_prepare());
        guide.picked_star = 1;
        run_exposure_sequence(host);
        EXPECT_EQ(host.shows, images);
        where(&x, &y);
        return std::hypot(x - x0, y - y0);
    }
    void pick() {
        acq.exposure = 1000;
        ASSERT_TRUE(QV_full_read());
        std::vector<std::uint16_t> px(image, image + disp.intlength);
        simtest::Peak best{0, 0, 0};
        for (const auto& s : simtest::find_stars(px, disp.width1, disp.height1))
            if (s.value > best.value && s.value < 40000 && s.x > 80 && s.y > 80 &&
                s.x < disp.width1 - 80 && s.y < disp.height1 - 80)
                best = s;
        ASSERT_GT(best.value, 0);
        ASSERT_EQ(find_centre(best.x, best.y, image, cfg.star_mask), 0);
        guide.pick_xcent = guide.xcent;
        guide.pick_ycent = guide.ycent;
        guide.picked_star = 1;
    }
};

TEST_F(SelfGuiding, AGuidedSeriesHoldsTheStarWhereItWasPicked) {
    const double held = series(true, 12);
    EXPECT_LT(held, 1.5);
    // The reference is the pick, in whole pixels.
    EXPECT_EQ(autoguide.x1, guide.pick_xcent);
    EXPECT_EQ(acq.last_selfguided, 1);
}

TEST_F(SelfGuiding, UnguidedTheSameSeriesDrifts) {
    EXPECT_GT(series(false, 12), 5.0);
}

} // namespace
