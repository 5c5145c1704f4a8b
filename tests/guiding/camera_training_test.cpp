// The camera dialog's guiding on the simulated sky: the eight-position
// training's model for the known guide rate and camera angle, its captions
// and log, a lost star that leaves the old model in place, and a
// self-guided series that holds the picked star.
#include "../acquisition/acq_sim.h"

#include "acquisition/camera_controls.h"
#include "acquisition/guide_hook.h"
#include "acquisition/readout.h"
#include "acquisition/selfguide_controls.h"
#include "acquisition/sequence.h"
#include "devices/serial_link.h"
#include "display/image_store.h"
#include "guiding/camera_training.h"
#include "guiding/guide_loop.h"
#include "guiding/guiding_state.h"
#include "guiding/sequence_guiding.h"
#include "platform/host_path.h"
#include "star/centroid.h"
#include "star/star_state.h"

#include <cmath>
#include <filesystem>
#include <functional>

using namespace acqtest;

namespace {

// The dialog's part: its caption, its image command, and what a test does
// to a frame before the training measures it.
class DialogHost : public TrainingHost {
  public:
    std::vector<std::string> captions;
    int images = 0;
    std::function<void(int)> spoil; // image number, from 0
    void set_caption(const char* c) override { captions.emplace_back(c); }
    bool take_image() override {
        bool whole = false;
        camera_dialog_pass(&whole);
        if (spoil) spoil(images);
        ++images;
        return whole;
    }
};

class CameraTraining : public AcqSim {
  protected:
    void TearDown() override {
        install_sequence_guiding(nullptr);
        AcqSim::TearDown();
    }
    void begin(sim::Config c) {
        c.mount.pe_amplitude = 0;
        start(c, false);
        std::filesystem::create_directories(autosave);
        cfg.AOUnit_comport = 0;
        cfg.telescope = 'l';
        cfg.slewcom = '1';
        cfg.exp_range = 's';
        cfg.exp_value = 1;
        cfg.slewdefault = 1;
        serial.comfound = 1;
        serial.Port = 0;
        pick();
    }
    void pick() {
        acq.exposure = 1000;
        ASSERT_TRUE(QV_full_read());
        ASSERT_TRUE(pick_brightest_star(image));
    }
    // The simulator's rates, pixels a second of guide pulse.
    double dec_rate() const {
        return 0.5 * sim::SIDEREAL_RATE / simulator->camera().main_sensor().sensor().scale;
    }
    double ra_rate() const { return dec_rate() * std::cos(36.46 * M_PI / 180); }
    bool ini_written() const {
        return std::filesystem::exists(platform::host_path("c:\\autosave\\Nocteris.INI"));
    }
};

TEST_F(CameraTraining, FindsTheGuideRatesAndTheAxesOfAnUnrotatedCamera) {
    sim::Config c;
    c.mount.backlash_dec = 0;
    begin(c);
    DialogHost host;
    GuideLog log;
    ASSERT_EQ(eight_position_training(host, &log), GUIDE_DONE);
    log.close();

    EXPECT_NEAR(autoguide.RA_rate, ra_rate(), 0.2 * ra_rate() + 1);
    EXPECT_NEAR(autoguide.Dec_rate, dec_rate(), 0.2 * dec_rate() + 1);
    // RA along x and Dec along y: the angle points along x, either way.
    EXPECT_EQ(autoguide.RA_y, 0);
    EXPECT_EQ(autoguide.Dec_x, 0);
    EXPECT_NEAR(std::cos(autoguide.theta), autoguide.RA_x > 0 ? 1.0 : -1.0, 0.01);
    EXPECT_EQ(autoguide.quadrant, autoguide.RA_x >= 0 ? 1 : 2);
    EXPECT_EQ(autoguide.trained, 1);
    EXPECT_EQ(autoguide.use_trained, 1);
    EXPECT_EQ(autoguide.training_pos, 7);
    EXPECT_EQ(guide.training, 0);
    EXPECT_TRUE(ini_written());

    // Eight images, the captions in order, and the result in one box.
    EXPECT_EQ(host.images, 8);
    const std::string p = TRAINING_CAPTION;
    const std::vector<std::string> want = {
        TRAINING_FIRST_CAPTION, p + "slewing West again",        p + "slewing West third time",
        p + "slewing East",     p + "slewing West to stabilise", p + "pausing for 1/2 second",
        p + "slewing North",    p + "slewing North again",       p + "slewing South",
        CAMERA_CONTROL_CAPTION};
    EXPECT_EQ(host.captions, want);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("slew RA = ", 0), 0u) << ui.boxes[0].text;
    const std::string text = read_file(log.path());
    EXPECT_NE(text.find("slewing North,n,200,"), std::string::npos) << text;
    EXPECT_NE(text.find("slewing South,s,1000,"), std::string::npos);
    EXPECT_NE(text.find("# slew RA = "), std::string::npos);
}

TEST_F(CameraTraining, ARotatedCameraTurnsTheAxes) {
    sim::Config c;
    c.mount.backlash_dec = 0;
    c.camera.angle_deg = 30;
    begin(c);
    DialogHost host;
    ASSERT_EQ(eight_position_training(host), GUIDE_DONE);
    // The rates do not depend on the angle; both vectors now have two parts.
    EXPECT_NEAR(autoguide.RA_rate, ra_rate(), 0.25 * ra_rate() + 1);
    EXPECT_NEAR(autoguide.Dec_rate, dec_rate(), 0.25 * dec_rate() + 1);
    EXPECT_NE(autoguide.RA_y, 0);
    EXPECT_NE(autoguide.Dec_x, 0);
    const int q = autoguide.RA_x >= 0 && autoguide.RA_y >= 0 ? 1
                  : autoguide.RA_x < 0 && autoguide.RA_y < 0 ? 3
                                                             : 2;
    EXPECT_EQ(autoguide.quadrant, q);
}

TEST_F(CameraTraining, AStarLostAtStepFiveLeavesTheModelAsItWas) {
    begin({});
    autoguide.RA_x = 7;
    autoguide.RA_rate = 7;
    autoguide.Dec_y = -3;
    autoguide.theta = 0.5f;
    autoguide.quadrant = 2;
    DialogHost host;
    // The fifth frame is saturated flat (a multiple of the centroid's bin
    // width): the centroid reports it overexposed and gives up.
    host.spoil = [](int n) {
        if (n == 4) std::fill(image_int, image_int + disp.intlength, 65280);
    };
    EXPECT_EQ(eight_position_training(host), GUIDE_STOPPED);
    EXPECT_EQ(host.images, 5);
    EXPECT_EQ(autoguide.RA_x, 7);
    EXPECT_EQ(autoguide.RA_rate, 7);
    EXPECT_EQ(autoguide.Dec_y, -3);
    EXPECT_FLOAT_EQ(autoguide.theta, 0.5f);
    EXPECT_EQ(autoguide.quadrant, 2);
    EXPECT_EQ(autoguide.trained, 0);
    EXPECT_EQ(autoguide.training_pos, 3);
    EXPECT_FALSE(ini_written());
    EXPECT_EQ(guide.training, 0);
    EXPECT_EQ(host.captions.back(), CAMERA_CONTROL_CAPTION);
    // Only the centroid's own reports, no result.
    ASSERT_FALSE(ui.boxes.empty());
    for (const auto& b : ui.boxes)
        EXPECT_EQ(b.text, "Sorry, Guide Area Overexposed, unable to find accurate centre");
}

struct SeriesHost : SequenceHost {
    int shows = 0;
    bool run_dialog() override { return true; }
    void show_image() override { ++shows; }
};

TEST_F(CameraTraining, ASelfGuidedSeriesHoldsTheStarOnADriftingMount) {
    sim::Config c;
    c.mount.drift_ra = 0.5; // some 13 px over the series unguided
    begin(c);
    install_guiding_hooks();
    cfg.gotcontrolbox = 1;
    cfg.slewx = 4; // the trained rates on this sky
    cfg.slewy = 5;
    ASSERT_EQ(set_self_guiding(), SelfGuideResult::On);
    cfg.continuous = 1;
    const auto field = [&](double* x, double* y) {
        simulator->camera().main_sensor().project(simulator->world().view(simulator->now()), 0, 0,
                                                  x, y);
    };
    double x0, y0, x, y;
    field(&x0, &y0);
    SeriesHost host;
    ui.on_pump = [&] { return host.shows >= 12 ? 1 : 0; };
    ASSERT_TRUE(camera_start_prepare());
    run_exposure_sequence(host);
    field(&x, &y);
    EXPECT_EQ(host.shows, 12);
    EXPECT_LT(std::hypot(x - x0, y - y0), 1.5);
    EXPECT_EQ(autoguide.x1, guide.pick_xcent); // the reference is the pick
}

} // namespace
