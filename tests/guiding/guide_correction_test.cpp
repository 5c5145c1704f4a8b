// The main camera's guide correction: thresholds, reversals, the jump limit
// and the switches, then one whole frame down to the bytes on the wire.
#include "support/serial_traffic.h"
#include "support/test_env.h"

#include "devices/serial_link.h"
#include "devices/transport.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "guiding/guide_correction.h"
#include "guiding/guiding_state.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class GuideCorrectionTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        cfg.slewx = 2;
        cfg.slewy = 2;
    }
};

TEST_F(GuideCorrectionTest, ErrorIsReferenceMinusPositionHeldAtSixteenBits) {
    EXPECT_EQ(guide_error(60, 5, 61, 0), -500);
    EXPECT_EQ(guide_error(60, 0, 59, 3), 700);
    EXPECT_EQ(guide_error(100, 0, 50, 0), 32767); // 50 px stays a jump
    EXPECT_EQ(guide_error(0, 0, 50, 0), -32768);
}

TEST_F(GuideCorrectionTest, ThresholdsDifferPerAxisAndIgnoreSmallReplacesThem) {
    GuidePulses p = plan_guide_pulses(40, 40);
    EXPECT_EQ(p.ra_dir, 0);    // 50 for RA
    EXPECT_EQ(p.dec_dir, 'n'); // 30 for Dec
    cfg.ignore_small = 1;
    cfg.ignore_amount = 500;
    p = plan_guide_pulses(600, -400);
    EXPECT_EQ(p.ra_dir, 'e');
    EXPECT_EQ(p.dec_dir, 0);
    p = plan_guide_pulses(-400, -600);
    EXPECT_EQ(p.ra_dir, 0);
    EXPECT_EQ(p.dec_dir, 's');
}

TEST_F(GuideCorrectionTest, LengthIsErrorOverRateLessHysteresis) {
    cfg.slewx = 3;
    cfg.hystx = 2;
    autoguide.lastslewx = 'e'; // no reversal
    GuidePulses p = plan_guide_pulses(1500, 0);
    EXPECT_EQ(p.ra_dir, 'e');
    EXPECT_EQ(p.ra_ms, 500 - 200);
    cfg.hystx = 6; // longer than the pulse: nothing goes out
    p = plan_guide_pulses(1500, 0);
    EXPECT_LE(p.ra_ms, 0);
}

TEST_F(GuideCorrectionTest, ReversalAddsBacklashOnceInThePulsesDirection) {
    cfg.ignore_backlash = 0;
    cfg.backlashx = 1;
    cfg.backlashy = 2;
    autoguide.lastslewx = 'e';
    autoguide.lastslewy = 'n';
    GuidePulses p = plan_guide_pulses(-1000, -1000);
    EXPECT_EQ(p.ra_dir, 'w');
    EXPECT_EQ(p.ra_ms, (1000 + 1000) / 2);
    EXPECT_EQ(p.dec_ms, (1000 + 2000) / 2);
    p = plan_guide_pulses(-1000, -1000); // same direction again
    EXPECT_EQ(p.ra_ms, 500);
    EXPECT_EQ(p.dec_ms, 500);
    cfg.ignore_backlash = 1; // "Ignore Backlash": reversals as they come
    p = plan_guide_pulses(1000, 1000);
    EXPECT_EQ(p.ra_ms, 500);
    EXPECT_EQ(p.dec_ms, 500);
}

TEST_F(GuideCorrectionTest, JumpsAndSwitchedOffDirectionsSendNothing) {
    GuidePulses p = plan_guide_pulses(5001, 100);
    EXPECT_TRUE(p.jump);
    EXPECT_EQ(p.ra_dir, 0);
    EXPECT_EQ(p.dec_dir, 0);
    cfg.ignore_north = 1;
    p = plan_guide_pulses(1000, 1000);
    EXPECT_EQ(p.ra_dir, 'e');
    EXPECT_EQ(p.dec_dir, 0);
    p = plan_guide_pulses(1000, -1000);
    EXPECT_EQ(p.dec_dir, 's');
    // With the n/s swap a northward error still counts as north.
    cfg.n = 's';
    cfg.s = 'n';
    p = plan_guide_pulses(0, 1000);
    EXPECT_EQ(p.dec_dir, 0);
    p = plan_guide_pulses(0, -1000);
    EXPECT_EQ(p.dec_dir, 'n');
}

TEST_F(GuideCorrectionTest, OneFrameMeasuresAndPulsesTheMount) {
    auto log = std::make_shared<Traffic>();
    attach_camera(std::make_unique<TimedCamera>(log, clock));
    cfg.AOUnit_comport = 0;
    cfg.telescope = 'l';
    set_image_size(128, 128);
    guide.guiding = 1;
    guide.cur_rad = 6;
    auto star_at = [](int sx, int sy) {
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                const double r2 = (x - sx) * (x - sx) + (y - sy) * (y - sy);
                image_int[y * 128 + x] =
                    static_cast<unsigned short>(800 + 30000 * std::exp(-r2 / 4.5));
            }
    };
    // The reference where the star stood, then the star one pixel right.
    star_at(64, 60);
    ASSERT_EQ(find_centre(64, 60, image_int, guide.cur_rad), 0);
    autoguide.x1 = guide.xcent;
    autoguide.x1dec = guide.xcentdec;
    autoguide.y1 = guide.ycent;
    autoguide.y1dec = guide.ycentdec;
    star_at(65, 60);
    autoguide.lastslewx = 'w';
    EXPECT_EQ(guide_telescope(image_int), 0);
    EXPECT_EQ(autoguide.dx, -1000);
    EXPECT_EQ(autoguide.dy, 0);
    EXPECT_EQ(autoguide.x3, -1000);
    EXPECT_EQ(autoguide.slew_time_x, 500);
    std::vector<std::string> sent;
    for (const auto& b : log->blocks) sent.push_back(describe(b, log->blocks[0].at));
    EXPECT_EQ(sent, (std::vector<std::string>{"0 W0 #:RG#", "20 W0 #:Mw#", "520 W0 #:Qw#"}));
    EXPECT_EQ(ui.beeps, 2);

    // A cloud: the box is empty. The last error has had its pulse; the
    // frame sends nothing more and says why.
    const std::size_t before = log->blocks.size();
    std::fill(image_int, image_int + 128 * 128, 0);
    EXPECT_EQ(guide_telescope(image_int), 0);
    EXPECT_EQ(log->blocks.size(), before);
    EXPECT_STREQ(autoguide.frame.skipped, "star not measured");
    EXPECT_EQ(autoguide.frame.ra_dir, 0);
    std::fill(image_int, image_int + 128 * 128, 65520); // overexposed: status 1
    EXPECT_EQ(guide_telescope(image_int), 0);
    EXPECT_EQ(log->blocks.size(), before);
    EXPECT_STREQ(autoguide.frame.skipped, "star not measured");
    attach_camera(nullptr);
}

} // namespace
