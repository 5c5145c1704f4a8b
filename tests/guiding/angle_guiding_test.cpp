// Angle-mode guiding: the error split along the trained RA and Dec vectors
// for a camera turned, mirrored or skewed against the sky.
#include "support/test_env.h"

#include "guiding/angle_guiding.h"
#include "guiding/guiding_state.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class AngleGuidingTest : public NocterisTest {
  protected:
    // A west pulse moves the star (rx, ry) a second, a north pulse (qx, qy).
    void model(int rx, int ry, int qx, int qy) {
        autoguide.RA_x = rx;
        autoguide.RA_y = ry;
        autoguide.Dec_x = qx;
        autoguide.Dec_y = qy;
        autoguide.RA_rate = static_cast<int>(std::hypot(rx, ry));
        autoguide.Dec_rate = static_cast<int>(std::hypot(qx, qy));
        autoguide.lastslewx = 'w';
        autoguide.lastslewy = 'n';
    }
};

} // namespace

TEST_F(AngleGuidingTest, APureDecErrorGivesADecPulseOnly) {
    model(-4, 0, 0, 5); // camera square to the sky
    GuidePulses p = plan_angle_pulses(0, 2500);
    EXPECT_EQ(p.ra_dir, 0);
    EXPECT_EQ(p.dec_dir, 'n');
    EXPECT_EQ(p.dec_ms, 500);
    p = plan_angle_pulses(2000, 0); // the star must go right: east, as west moves it left
    EXPECT_EQ(p.ra_dir, 'e');
    EXPECT_EQ(p.ra_ms, 500 + 0); // reversal, no backlash trained
    EXPECT_EQ(p.dec_dir, 0);
}

TEST_F(AngleGuidingTest, TurnedAndMirroredCamerasGetTheirOwnAxes) {
    // 30 degrees: west (4.33, 2.5), north (-2.5, 4.33), as whole pixels.
    model(4, 2, -2, 4);
    double ra, dec;
    split_error(4000, 2000, &ra, &dec); // one second of west
    EXPECT_NEAR(ra, 1.0, 1e-9);
    EXPECT_NEAR(dec, 0.0, 1e-9);
    split_error(-2000, 4000, &ra, &dec); // one second of north
    EXPECT_NEAR(ra, 0.0, 1e-9);
    EXPECT_NEAR(dec, 1.0, 1e-9);
    // Mirrored: north now points the other way round the RA axis.
    model(4, 2, 2, -4);
    split_error(2000, -4000, &ra, &dec);
    EXPECT_NEAR(dec, 1.0, 1e-9);
    const GuidePulses p = plan_angle_pulses(-2000, 4000);
    EXPECT_EQ(p.dec_dir, 's');
    EXPECT_EQ(p.dec_ms, 1000);
    EXPECT_EQ(p.ra_dir, 0);
}

TEST_F(AngleGuidingTest, SkewedAxesAreSolvedLinedUpOnesProjected) {
    model(5, 0, 3, 4); // Dec at 53 degrees to RA, not square
    double ra, dec;
    split_error(8000, 4000, &ra, &dec); // 1 s west + 1 s north
    EXPECT_NEAR(ra, 1.0, 1e-9);
    EXPECT_NEAR(dec, 1.0, 1e-9);
    model(5, 0, 5, 1); // nearly parallel: each on its own
    split_error(5000, 0, &ra, &dec);
    EXPECT_NEAR(ra, 1.0, 1e-9);
    EXPECT_GT(dec, 0.9);
    model(0, 0, 0, 0); // nothing trained: nothing sent
    const GuidePulses p = plan_angle_pulses(3000, 3000);
    EXPECT_EQ(p.ra_dir, 0);
    EXPECT_EQ(p.dec_dir, 0);
}

TEST_F(AngleGuidingTest, ReversalsAddBacklashAndHysteresisIsTakenOff) {
    model(-4, 0, 0, 5);
    cfg.ignore_backlash = 0;
    autoguide.Dec_backlash = 2; // pixels
    cfg.guider_hysty = 1;
    GuidePulses p = plan_angle_pulses(0, -2500); // south after north
    EXPECT_EQ(p.dec_dir, 's');
    EXPECT_EQ(p.dec_ms, 500 + 2 * 1000 / 5 - 100);
    p = plan_angle_pulses(0, -2500);
    EXPECT_EQ(p.dec_ms, 500 - 100);
    cfg.ignore_backlash = 1; // "Ignore Backlash"
    p = plan_angle_pulses(0, 2500);
    EXPECT_EQ(p.dec_ms, 500 - 100);
}
