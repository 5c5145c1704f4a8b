// The camera dialog's eight-position training on the simulated sky: the
// model it finds for the known guide rate and camera angle, its captions
// and log, and a lost star that leaves the old model in place.
#include "../acquisition/acq_sim.h"
#include "../sim/sim_test_util.h"

#include "acquisition/camera_controls.h"
#include "acquisition/readout.h"
#include "devices/serial_link.h"
#include "display/image_store.h"
#include "guiding/camera_training.h"
#include "guiding/guide_loop.h"
#include "guiding/guiding_state.h"
#include "platform/host_path.h"
#include "star/centroid.h"
#include "star/star_state.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>

using namespace acqtest;

namespace {

// The dialog's part: its caption, its image command, and what a test does
// to a frame before the training measures it.
class DialogHost : public TrainingHost {
  public:
    std::vector<std::string> captions;
    int images = 0, refreshes = 0;
    std::function<void(int)> spoil; // image number, from 0
    void set_caption(const char* c) override { captions.emplace_back(c); }
    bool take_image() override {
        bool whole = false;
        camera_dialog_pass(&whole);
        if (spoil) spoil(images);
        ++images;
        return whole;
    }
    void refresh() override { ++refreshes; }
};

class CameraTraining : public AcqSim {
  protected:
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
    // The brightest star well inside the frame, picked as the dialog does.
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
        guide.cur_rad = cfg.star_mask;
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
    // RA along x and Dec along y: the RA vector has no y part, so no angle.
    EXPECT_EQ(autoguide.RA_y, 0);
    EXPECT_EQ(autoguide.Dec_x, 0);
    EXPECT_FLOAT_EQ(autoguide.theta, 0.0f);
    EXPECT_EQ(autoguide.quadrant, autoguide.RA_x >= 0 ? 1 : 2);
    EXPECT_EQ(autoguide.trained, 1);
    EXPECT_EQ(autoguide.use_trained, 1);
    EXPECT_EQ(autoguide.training_pos, 7);
    EXPECT_EQ(guide.training, 0);
    EXPECT_TRUE(ini_written());
    std::printf("angle 0: RA %d,%d rate %d  Dec %d,%d rate %d  backlash RA %d Dec %d  theta %.3f "
                "quadrant %d (true RA %.2f Dec %.2f px/s)\n",
                autoguide.RA_x, autoguide.RA_y, autoguide.RA_rate, autoguide.Dec_x, autoguide.Dec_y,
                autoguide.Dec_rate, autoguide.RA_backlash, autoguide.Dec_backlash, autoguide.theta,
                autoguide.quadrant, ra_rate(), dec_rate());

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
    std::printf("angle 30: RA %d,%d rate %d  Dec %d,%d rate %d  backlash RA %d Dec %d  theta "
                "%.3f quadrant %d\n",
                autoguide.RA_x, autoguide.RA_y, autoguide.RA_rate, autoguide.Dec_x, autoguide.Dec_y,
                autoguide.Dec_rate, autoguide.RA_backlash, autoguide.Dec_backlash, autoguide.theta,
                autoguide.quadrant);
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

TEST_F(CameraTraining, NothingRunsWithoutAPickedStarOrADrive) {
    begin({});
    DialogHost host;
    guide.picked_star = 0;
    EXPECT_EQ(eight_position_training(host), GUIDE_REFUSED);
    EXPECT_TRUE(ui.boxes.empty());
    guide.picked_star = 1;
    cfg.telescope = 'n';
    EXPECT_EQ(eight_position_training(host), GUIDE_REFUSED);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Telescope interface not set or camera not found");
    EXPECT_EQ(host.images, 0);
    EXPECT_TRUE(host.captions.empty());
}

} // namespace
