// The AO unit closing the loop on the simulated sky: the training measures
// the unit's steps per pixel, and main-camera guiding holds a drifting star
// with tip-tilt steps, hands the drift on to the mount and sends the unit
// back at the end.
#include "../acquisition/acq_sim.h"

#include "acquisition/camera_controls.h"
#include "acquisition/readout.h"
#include "devices/serial_link.h"
#include "display/image_store.h"
#include "guiding/ao_params.h"
#include "guiding/ao_training.h"
#include "guiding/guide_loop.h"
#include "guiding/guiding_state.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/ao_state.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

using namespace acqtest;

namespace {

class SimHost : public TrainingHost {
  public:
    bool take_image() override {
        bool whole = false;
        camera_dialog_pass(&whole);
        return whole;
    }
};

class StopAfter : public GuideHost {
  public:
    int frames = 0, limit = 0;
    std::function<void()> each;
    void info_refresh(const GuideFrame&) override {
        ++frames;
        if (each) each();
    }
    bool stop_requested() override { return frames >= limit; }
};

class AOSimGuiding : public AcqSim {
  protected:
    void begin(sim::Config c) {
        c.mount.pe_amplitude = 0;
        c.mount.backlash_dec = 0;
        c.mount.backlash_ra = 0;
        start(c, false);
        std::filesystem::create_directories(autosave);
        cfg.AOUnit_comport = 0;
        cfg.AOUnitModeParallel = 0;
        cfg.telescope = 'l';
        cfg.slewcom = '1';
        cfg.exp_range = 's';
        cfg.exp_value = 1;
        serial.comfound = 1;
        serial.Port = 0;
        acq.exposure = 1000;
        ASSERT_TRUE(QV_full_read());
        ASSERT_TRUE(pick_brightest_star(image));
    }
    // The simulator's steps per main-sensor pixel.
    double steps_per_pixel() const {
        return simulator->camera().main_sensor().sensor().scale /
               simulator->config().ao.step_arcsec;
    }
    void star(double* x, double* y) {
        simulator->camera().main_sensor().project(simulator->world().view(simulator->now()), 0, 0,
                                                  x, y);
    }
};

TEST_F(AOSimGuiding, TrainedUnitHoldsADriftingStarAndOffloadsToTheMount) {
    sim::Config c;
    c.mount.drift_ra = 0.3; // arcsec a second
    begin(c);
    SimHost training;
    AOTrainingResult r;
    ASSERT_EQ(AOTrain(training, &r), GUIDE_DONE);
    // Whole-pixel positions: 25 steps are a few pixels, so the rate is 25
    // over a whole number of them, give or take one for seeing.
    const double moved = 25 / steps_per_pixel();
    for (int rate : {cfg.AOUnit_xrate, cfg.AOUnit_yrate}) {
        EXPECT_GE(rate, static_cast<int>(25 / std::ceil(moved + 0.5)));
        EXPECT_LE(rate, static_cast<int>(25 / std::max(1.0, std::floor(moved - 0.5))));
    }
    EXPECT_LE(std::abs(r.RA_y), 1); // the unit's axes are the sensor's
    EXPECT_LE(std::abs(r.Dec_x), 1);
    copy_ao_values();

    cfg.GuiderMode = 'A';
    ASSERT_TRUE(pick_brightest_star(image));
    blocks.clear();
    StopAfter host;
    host.limit = 80;
    double x0, y0;
    star(&x0, &y0);
    const double t0 = simulator->now();
    double worst = 0, unit_most = 0;
    host.each = [&] {
        double x, y;
        star(&x, &y);
        worst = std::max(worst, std::hypot(x - x0, y - y0));
        unit_most = std::max(unit_most, std::abs(double(ao.AO_ew)));
    };
    ASSERT_EQ(CmStartGuide(host), GUIDE_DONE);
    const double drift_px = c.mount.drift_ra * (simulator->now() - t0) /
                            simulator->camera().main_sensor().sensor().scale;
    int steps = 0, offloads = 0;
    for (const auto& b : blocks_with(10))
        if (b.size() == 15) ++(b[8] == 'M' ? offloads : steps);
    std::printf("AO: %.2f steps a pixel simulated, %d and %d trained; %d frames, drift %.1f px, "
                "star held within %.2f px, unit at most %.0f steps, %d steps and %d offloads\n",
                steps_per_pixel(), cfg.AOUnit_slewx, cfg.AOUnit_slewy, host.frames, drift_px, worst,
                unit_most, steps, offloads);
    EXPECT_GT(drift_px, 3.0);
    EXPECT_LT(worst, 1.5);
    EXPECT_GT(unit_most, 50);
    EXPECT_GT(offloads, 0);
    // At the end the unit went back by what was tracked.
    EXPECT_NEAR(simulator->world().ao_ew(simulator->now()), 0, 0.5);
    EXPECT_NEAR(simulator->world().ao_ns(simulator->now()), 0, 0.5);
}

} // namespace
