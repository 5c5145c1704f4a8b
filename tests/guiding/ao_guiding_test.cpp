// Guide corrections through the AO unit: from the measured error to the
// steps on the wire, on both cameras, and the choice of actuator.
#include "support/serial_traffic.h"
#include "support/test_env.h"

#include "devices/serial_link.h"
#include "devices/transport.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "guiding/ao_guiding.h"
#include "guiding/ao_params.h"
#include "guiding/guide_correction.h"
#include "guiding/guide_params.h"
#include "guiding/guider_guiding.h"
#include "guiding/guiding_state.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/ao_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using Trace = std::vector<std::string>;

class AOGuidingTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        log = std::make_shared<Traffic>();
        attach_camera(std::make_unique<TimedCamera>(log, clock));
        clock.set(1000);
        cfg.AOUnit_comport = 0;
        cfg.telescope = 'l';
        cfg.GuiderMode = 'A';
        cfg.AOUnit_slewx = 12;
        cfg.AOUnit_slewy = 6;
        set_image_size(128, 128);
        guide.guiding = 1;
        guide.cur_rad = 6;
        star_at(image_int, 128, 128, 64, 60);
        ASSERT_EQ(find_centre(64, 60, image_int, guide.cur_rad), 0);
        sx = guide.xcent;
        sy = guide.ycent;
        sxdec = guide.xcentdec;
        sydec = guide.ycentdec;
    }
    void TearDown() override {
        attach_camera(nullptr);
        NocterisTest::TearDown();
    }
    static void star_at(unsigned short* img, int w, int h, int sx, int sy) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double r2 = (x - sx) * (x - sx) + (y - sy) * (y - sy);
                img[y * w + x] = static_cast<unsigned short>(800 + 30000 * std::exp(-r2 / 4.5));
            }
    }
    // The reference `ex`, `ey` thousandths of a pixel from where the star is.
    void reference(int ex, int ey) {
        const int x = sx * 1000 + sxdec * 100 + ex, y = sy * 1000 + sydec * 100 + ey;
        autoguide.x1 = x / 1000;
        autoguide.x1dec = x % 1000 / 100;
        autoguide.y1 = y / 1000;
        autoguide.y1dec = y % 1000 / 100;
    }
    Trace trace() const {
        Trace out;
        for (const auto& b : log->blocks) out.push_back(describe(b, 1000));
        return out;
    }
    std::shared_ptr<Traffic> log;
    int sx = 0, sy = 0, sxdec = 0, sydec = 0;
};

TEST_F(AOGuidingTest, ErrorBecomesStepsPerAxis) {
    reference(1500, -500);
    EXPECT_EQ(guide_AOUnit(image_int), 0);
    EXPECT_EQ(autoguide.dx, 1500);
    EXPECT_EQ(autoguide.dy, -500);
    EXPECT_EQ(autoguide.x3, 1500);
    // 1.5 px x 12 steps west, then 0.5 px x 6 steps south; each with beeps.
    EXPECT_EQ(trace(), (Trace{"0 W0 GW00018", "50 W0 GS00003"}));
    EXPECT_EQ(autoguide.slew_time_x, 18);
    EXPECT_EQ(autoguide.slew_time_y, 3);
    EXPECT_EQ(ao.AO_ew, -18);
    EXPECT_EQ(ao.AO_ns, -3);
    EXPECT_EQ(ui.beeps, 4);
    EXPECT_EQ(autoguide.frame.ra_dir, 'w');
    EXPECT_EQ(autoguide.frame.ra_ms, 18);

    // The swaps reverse an axis.
    set_ao_ew();
    set_ao_ns();
    log->blocks.clear();
    clock.set(1000);
    EXPECT_EQ(guide_AOUnit(image_int), 0);
    EXPECT_EQ(trace(), (Trace{"0 W0 GT00018", "50 W0 GN00003"}));
}

TEST_F(AOGuidingTest, JumpsAndErrorsBelowOneStepSendNothing) {
    guide.cur_rad = 16; // a box that still holds the star
    const struct { int ex, ey; } quiet[] = {{0, 0}, {9000, 1000}, {1000, -9000}};
    for (auto q : quiet) {
        SCOPED_TRACE(q.ex);
        reference(q.ex, q.ey);
        EXPECT_EQ(guide_AOUnit(image_int), 0);
        EXPECT_TRUE(trace().empty());
    }
    EXPECT_EQ(autoguide.dy, -9000);
    EXPECT_STREQ(autoguide.frame.skipped, "jump over 8 px");
    // Over the threshold, but too little for one step.
    cfg.AOUnit_slewx = 1;
    reference(900, 0);
    guide_AOUnit(image_int);
    EXPECT_TRUE(trace().empty());
    EXPECT_EQ(autoguide.slew_time_x, 0);
    EXPECT_EQ(ui.beeps, 0);
}

TEST_F(AOGuidingTest, ALostStarStopsTheCorrection) {
    reference(1500, 0);
    autoguide.x1 = 2; // the box leaves the frame
    EXPECT_EQ(guide_AOUnit(image_int), AO_GUIDE_LOST);
    EXPECT_EQ(autoguide.guider_guiding_failed, 1);
    EXPECT_TRUE(trace().empty());
}

TEST_F(AOGuidingTest, GuideCommandChoosesTheActuatorByGuiderMode) {
    reference(1500, 0);
    EXPECT_EQ(guide_command(image_int), 0);
    EXPECT_EQ(trace(), (Trace{"0 W0 GW00018"}));

    cfg.GuiderMode = 'T';
    cfg.slewx = 3;
    autoguide.lastslewx = 'e';
    log->blocks.clear();
    clock.set(1000);
    guide_command(image_int);
    EXPECT_EQ(trace(), (Trace{"0 W0 #:RG#", "20 W0 #:Me#", "520 W0 #:Qe#"}));
}

TEST_F(AOGuidingTest, GuiderCameraCorrectsOnItsOwnCentroid) {
    std::vector<unsigned short> frame(500 * GUIDER_HEIGHT);
    star_at(frame.data(), 500, GUIDER_HEIGHT, 250, 140);
    ASSERT_EQ(guider_find_centre(250, 140, frame.data(), guide.cur_rad), 0);
    autoguide.x1 = guide.guider_xcent - 2; // the star stands 2 px right
    autoguide.x1dec = guide.guider_xcentdec;
    autoguide.y1 = guide.guider_ycent;
    autoguide.y1dec = guide.guider_ycentdec;
    EXPECT_EQ(guider_guide_AOUnit(frame.data()), 0);
    EXPECT_EQ(autoguide.dx, -2000);
    EXPECT_EQ(trace(), (Trace{"0 W0 GT00024"}));
    EXPECT_EQ(autoguide.guider_guiding_failed, 0);
    // The guider's command takes the same road with the unit chosen.
    EXPECT_EQ(guider_guide_command(frame.data()), 0);
    EXPECT_EQ(trace().size(), 2u);
    EXPECT_EQ(ao.AO_ew, 48);

    autoguide.x1 = 498;
    EXPECT_EQ(guider_guide_AOUnit(frame.data()), AO_GUIDE_LOST);
    EXPECT_EQ(autoguide.guider_guiding_failed, 1);
}

} // namespace
