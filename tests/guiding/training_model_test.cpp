// The trainings' arithmetic: rates, backlash, the RA angle and its quadrant.
#include "guiding/training_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// The eight positions of a star moving (rx, ry) pixels a second for RA
// pulses (west positive) and (dx, dy) for Dec pulses (north positive), with
// `back` pixels of RA play taken on the reversal to east; the first pulse is
// a full one, as on the main camera.
void eight_positions(int rx, int ry, int dx, int dy, int d, int back, int px[8], int py[8]) {
    int x = 100, y = 100;
    auto step = [&](int i, int sx, int sy) {
        x += sx;
        y += sy;
        px[i] = x;
        py[i] = y;
    };
    step(0, rx * d, ry * d);
    step(1, rx * d, ry * d);
    step(2, rx * d, ry * d);
    step(3, -rx * d + back, -ry * d); // east, less the play
    step(4, rx * d - back, ry * d);
    step(5, dx * d / 5, dy * d / 5);
    step(6, dx * d, dy * d);
    step(7, -dx * d, -dy * d);
}

} // namespace

TEST(SimpleTraining, RatesAndBacklashFromTwoPulsesEachWay) {
    // 6 px per 2 s pulse east and west, 4 px north and south, no play.
    const int x[5] = {50, 56, 62, 56, 50};
    const int y[5] = {70, 74, 78, 74, 70};
    SimpleTraining t = simple_training(x, y, 2);
    EXPECT_EQ(t.slewx, 3);
    EXPECT_EQ(t.backlashx, 0);
    EXPECT_EQ(t.slewy, 2);
    EXPECT_EQ(t.backlashy, 0);
    // Two pixels of Dec play on the way back.
    const int y2[5] = {70, 74, 78, 76, 72};
    t = simple_training(x, y2, 2);
    EXPECT_EQ(t.slewy, 2);
    EXPECT_EQ(t.backlashy, 1);
    char text[128];
    simple_training_text(t, text, sizeof text);
    EXPECT_EQ(std::string(text),
              "slewx =     3, slewy =     2\nbacklashx =     0, backlashy =     1");
}

TEST(EightPositionModel, RatesAngleQuadrantAndBacklash) {
    int px[8], py[8];
    eight_positions(6, 0, 0, 5, 2, 4, px, py);
    // The rates come back whole: three full RA pulses, one fifth and one
    // full Dec pulse.
    TrainingModel m = eight_position_model(100, 100, px, py, 2, 2000);
    EXPECT_EQ(m.RA_x, 6);
    EXPECT_EQ(m.RA_y, 0);
    EXPECT_EQ(m.theta, 0.0f); // along x
    EXPECT_EQ(m.quadrant, 1);
    EXPECT_EQ(m.Dec_x, 0);
    EXPECT_EQ(m.Dec_y, 5);
    EXPECT_EQ(m.RA_rate, 6);
    EXPECT_EQ(m.RA_backlash, 4);
    EXPECT_EQ(m.Dec_backlash, 0);
    // The guider's first west pulse is a tenth as long.
    int gx[8], gy[8];
    for (int i = 0; i < 8; ++i) {
        gx[i] = px[i] - (i < 5 ? 6 * 2 * 9 / 10 : 0);
        gy[i] = py[i];
    }
    gx[0] = 100 + 6 * 2 / 10;
    EXPECT_EQ(eight_position_model(100, 100, gx, gy, 2, 200).RA_x, 6);

    eight_positions(5, 5, -5, 5, 1, 0, px, py);
    m = eight_position_model(100, 100, px, py, 1, 1000);
    EXPECT_FLOAT_EQ(m.theta, static_cast<float>(M_PI / 4));
    EXPECT_EQ(m.RA_rate, 7); // sqrt(50) truncated

    eight_positions(2, -6, 0, 3, 1, 0, px, py);
    m = eight_position_model(100, 100, px, py, 1, 1000);
    // From the measured vector, not whole-number quotients of its parts.
    EXPECT_NEAR(m.theta, std::atan2(-6.0, 2.0), 0.01);
    EXPECT_EQ(m.quadrant, 2);
    eight_positions(-3, -3, 0, 3, 1, 0, px, py);
    m = eight_position_model(100, 100, px, py, 1, 1000);
    EXPECT_EQ(m.quadrant, 3);
    EXPECT_FLOAT_EQ(m.theta, static_cast<float>(-3 * M_PI / 4)); // a mirrored or turned camera
}

TEST(EightPositionModel, AStarThatNeverMovesGivesUsableRates) {
    int px[8], py[8];
    for (int i = 0; i < 8; ++i) px[i] = py[i] = 100;
    const TrainingModel m = eight_position_model(100, 100, px, py, 4, 4000);
    EXPECT_EQ(m.RA_rate, 1);
    EXPECT_EQ(m.Dec_rate, 1);
    char text[256];
    training_model_text(m, text, sizeof text);
    EXPECT_EQ(std::string(text),
              "slew RA =     0,    0,     1\nslew Dec =     0,     0,     1\nbacklash RA =     0, "
              "    0,     0\nbacklash Dec =     0,     0,     0\nTheta =     0");
}
