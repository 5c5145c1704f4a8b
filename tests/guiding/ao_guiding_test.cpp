// Guide corrections through the AO unit: from the measured error to the
// steps on the wire, on both cameras, and the choice of actuator.
#include "support/serial_traffic.h"
#include "support/test_env.h"

#include "devices/transport.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "guiding/ao_guiding.h"
#include "guiding/ao_params.h"
#include "guiding/guide_correction.h"
#include "guiding/guider_guiding.h"
#include "guiding/guiding_state.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/ao_state.h"

#include <cmath>
#include <vector>

namespace {

using Trace = std::vector<std::string>;

void star_at(unsigned short* img, int w, int h, int sx, int sy) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double r2 = (x - sx) * (x - sx) + (y - sy) * (y - sy);
            img[y * w + x] = static_cast<unsigned short>(800 + 30000 * std::exp(-r2 / 4.5));
        }
}

class AOGuidingTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        log = std::make_shared<Traffic>();
        attach_camera(std::make_unique<TimedCamera>(log, clock));
        cfg.AOUnit_comport = 0;
        cfg.telescope = 'l';
        cfg.GuiderMode = 'A';
        cfg.AOUnit_slewx = 12;
        set_image_size(128, 128);
        guide.guiding = 1;
        guide.cur_rad = 6;
        star_at(image_int, 128, 128, 64, 60);
        find_centre(64, 60, image_int, guide.cur_rad);
        sx = guide.xcent * 1000 + guide.xcentdec * 100;
        sy = guide.ycent * 1000 + guide.ycentdec * 100;
    }
    // The reference `ex`, `ey` thousandths of a pixel from the star.
    void reference(int ex, int ey) {
        autoguide.x1 = (sx + ex) / 1000;
        autoguide.x1dec = (sx + ex) % 1000 / 100;
        autoguide.y1 = (sy + ey) / 1000;
        autoguide.y1dec = (sy + ey) % 1000 / 100;
    }
    void TearDown() override {
        attach_camera(nullptr);
        NocterisTest::TearDown();
    }
    Trace trace() {
        Trace out;
        for (const auto& b : log->blocks) out.push_back(describe(b, log->blocks[0].at));
        log->blocks.clear();
        return out;
    }
    std::shared_ptr<Traffic> log;
    int sx = 0, sy = 0;
};

TEST_F(AOGuidingTest, ErrorBecomesStepsOnTheMainCamera) {
    reference(1500, -500);
    EXPECT_EQ(guide_command(image_int), 0);
    EXPECT_EQ(autoguide.dx, 1500);
    EXPECT_EQ(autoguide.dy, -500);
    // 1.5 px x 12 steps west, then 0.5 px x 6 steps south, each between beeps.
    EXPECT_EQ(trace(), (Trace{"0 W0 GW00018", "50 W0 GS00003"}));
    EXPECT_EQ(autoguide.slew_time_x, 18);
    EXPECT_EQ(ui.beeps, 4);
    set_ao_ew(); // a swap reverses the axis
    guide_AOUnit(image_int);
    EXPECT_EQ(trace(), (Trace{"0 W0 GT00018", "50 W0 GS00003"}));

    // A jump of more than 8 px is left alone; so is an error below one step.
    reference(9000, 0);
    guide.cur_rad = 16;
    guide_AOUnit(image_int);
    EXPECT_STREQ(autoguide.frame.skipped, "jump over 8 px");
    cfg.AOUnit_slewx = 1;
    reference(900, 0);
    guide_AOUnit(image_int);
    EXPECT_TRUE(trace().empty());

    // A box off the frame: no step on a stale position.
    autoguide.x1 = 2;
    EXPECT_EQ(guide_AOUnit(image_int), AO_GUIDE_LOST);
    EXPECT_EQ(autoguide.guider_guiding_failed, 1);
    EXPECT_TRUE(trace().empty());

    // 'T' keeps the mount.
    cfg.GuiderMode = 'T';
    cfg.slewx = 3;
    reference(1500, 0);
    autoguide.lastslewx = 'e';
    guide_command(image_int);
    EXPECT_EQ(trace().at(1), "20 W0 #:Me#");
}

TEST_F(AOGuidingTest, GuiderCameraCorrectsOnItsOwnCentroid) {
    std::vector<unsigned short> frame(500 * GUIDER_HEIGHT);
    star_at(frame.data(), 500, GUIDER_HEIGHT, 250, 140);
    ASSERT_EQ(guider_find_centre(250, 140, frame.data(), guide.cur_rad), 0);
    autoguide.x1 = guide.guider_xcent - 2; // the star stands 2 px right
    autoguide.x1dec = guide.guider_xcentdec;
    autoguide.y1 = guide.guider_ycent;
    autoguide.y1dec = guide.guider_ycentdec;
    EXPECT_EQ(guider_guide_command(frame.data()), 0);
    EXPECT_EQ(trace(), (Trace{"0 W0 GT00024"}));
    autoguide.x1 = 498;
    EXPECT_EQ(guider_guide_AOUnit(frame.data()), AO_GUIDE_LOST);
    EXPECT_EQ(autoguide.guider_guiding_failed, 1);
}

} // namespace
