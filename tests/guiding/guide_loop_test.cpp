// Guiding closed on the simulated sky: the training measures the mount, the
// loop holds the star against drift, and a press stops it with everything
// put back.
#include "../acquisition/acq_sim.h"

#include "acquisition/readout.h"
#include "devices/serial_link.h"
#include "display/image_store.h"
#include "guiding/guide_loop.h"
#include "guiding/guiding_state.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/mount_protocol.h"
#include "telescope/telescope_state.h"

#include <cmath>
#include <filesystem>

using namespace acqtest;

namespace {

// Counts frames and stops the run after `limit` of them.
class CountingHost : public GuideHost {
  public:
    int frames = 0, limit = 0, opened = 0, closed = 0;
    std::vector<GuideFrame> log;
    std::function<void()> each;
    void info_open(const char*) override { ++opened; }
    void info_close() override { ++closed; }
    void info_refresh(const GuideFrame& f) override {
        if (guide.training) return;
        ++frames;
        log.push_back(f);
        if (each) each();
    }
    bool stop_requested() override { return limit && frames >= limit; }
};

class GuideLoopTest : public AcqSim {
  protected:
    void begin(sim::Config c) {
        start(c, false);
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
    // Picks the brightest star well inside the frame, as a click would.
    void pick() {
        acq.exposure = 1000;
        ASSERT_TRUE(QV_full_read());
        ASSERT_TRUE(pick_brightest_star(image));
    }
    // The true offset of the field on the sensor from where it started, px.
    void true_offset(double* x, double* y) {
        double px, py;
        simulator->camera().main_sensor().project(simulator->world().view(simulator->now()), 0, 0,
                                                  &px, &py);
        *x = px - x0_;
        *y = py - y0_;
    }
    void mark() {
        simulator->camera().main_sensor().project(simulator->world().view(simulator->now()), 0, 0,
                                                  &x0_, &y0_);
    }
    double x0_ = 0, y0_ = 0;
};

TEST_F(GuideLoopTest, TrainingFindsTheGuideRateAndGuidingHoldsTheStar) {
    sim::Config c;
    c.mount.pe_amplitude = 0;
    c.mount.backlash_dec = 0;
    begin(c);
    CountingHost host;
    std::filesystem::create_directories(autosave);
    GuideLog tlog;
    ASSERT_EQ(CmTrainGuide(host, &tlog), GUIDE_DONE);
    tlog.close();
    // The log names its run and holds the eight steps and the result.
    EXPECT_EQ(tlog.path().rfind(autosave + "/guide_", 0), 0u) << tlog.path();
    const std::string text = read_file(tlog.path());
    EXPECT_NE(text.find("north 1,n,1000,"), std::string::npos) << text;
    EXPECT_NE(text.find("west 2,w,1000,"), std::string::npos);
    EXPECT_NE(text.find("# slewx = "), std::string::npos);
    const double scale = simulator->camera().main_sensor().sensor().scale;
    const double dec_rate = 0.5 * sim::SIDEREAL_RATE / scale; // px a second
    const double ra_rate = dec_rate * std::cos(36.46 * M_PI / 180);
    EXPECT_NEAR(cfg.slewy, dec_rate, 0.15 * dec_rate + 1);
    EXPECT_NEAR(cfg.slewx, ra_rate, 0.15 * ra_rate + 1);
    // No play in the gears: the star comes back where the window put it.
    EXPECT_LE(cfg.backlashx, 1);
    EXPECT_LE(cfg.backlashy, 1);
    EXPECT_EQ(guide.picked_star, 0); // a new pick before guiding

    pick();
    mark();
    host.limit = 60;
    double sum2 = 0;
    int n = 0;
    host.each = [&] {
        double x, y;
        true_offset(&x, &y);
        sum2 += x * x + y * y;
        ++n;
    };
    ASSERT_EQ(CmStartGuide(host), GUIDE_DONE);
    EXPECT_EQ(host.opened, 1);
    EXPECT_EQ(host.closed, 1);
    EXPECT_GE(host.frames, 60);
    EXPECT_LT(std::sqrt(sum2 / n), 1.0);
    EXPECT_EQ(guide.focus_x, 312);
    EXPECT_EQ(guide.guiding, 0);
    EXPECT_TRUE(ui.boxes.size() == 1) << ui.boxes.size(); // the training's result
}

} // namespace

TEST_F(GuideLoopTest, TheGuideWindowShowsEachStarWhereThePlacementExpectsIt) {
    sim::Config c;
    c.mount.pe_amplitude = 0;
    begin(c);
    std::vector<std::uint16_t> px(image, image + disp.intlength);
    int checked = 0;
    for (const auto& s : simtest::find_stars(px, disp.width1, disp.height1)) {
        if (s.x < 80 || s.y < 80 || s.x > disp.width1 - 80 || s.y > disp.height1 - 80) continue;
        if (s.value < 500) continue;
        guide.pick_xcent = s.x;
        guide.pick_ycent = s.y;
        calc_guideframe();
        guide.tracking = 0;
        if (guide.focus_y % 10 == 0) continue; // no shift to see
        ASSERT_TRUE(QV_camera_guide());
        // The brightest pixel of the window is the star.
        int bx = 0, by = 0;
        for (int i = 0; i < 128 * 128; ++i)
            if (image[i] > image[by * 128 + bx]) bx = i % 128, by = i / 128;
        EXPECT_NEAR(bx, guide.xcent, 1) << "focus " << guide.focus_x << "," << guide.focus_y;
        EXPECT_NEAR(by, guide.ycent, 1) << "focus " << guide.focus_x << "," << guide.focus_y;
        ++checked;
    }
    EXPECT_GE(checked, 2);
}
