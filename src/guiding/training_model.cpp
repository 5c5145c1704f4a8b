#include "guiding/training_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

int whole_root(int a, int b) {
    return static_cast<int>(std::sqrt(static_cast<double>(a) * a + static_cast<double>(b) * b));
}

} // namespace

SimpleTraining simple_training(const int x[5], const int y[5], int seconds) {
    const int d = std::max(seconds, 1);
    SimpleTraining t;
    t.slewx = (std::abs(x[3] - x[4]) + std::abs(x[1] - x[2])) / (2 * d);
    t.backlashx = (std::abs(x[0] - x[4]) + std::abs(x[1] - x[3])) / (2 * d);
    t.slewy = std::max(std::abs(y[1] - y[2]), std::abs(y[3] - y[4])) / d;
    t.backlashy = std::max(std::abs(y[1] - y[3]), std::abs(y[0] - y[4])) / d;
    return t;
}

TrainingModel eight_position_model(int startx, int starty, const int posx[8], const int posy[8],
                                   int seconds, int first_ms) {
    const int d = std::max(seconds, 1);
    const int ra_ms = std::max(first_ms, 0) + 2000 * d; // steps 1 to 3
    const int dec_ms = 1200 * d;                        // steps 6 and 7
    TrainingModel m;
    m.ra_vx = (posx[2] - startx) * 1000.0 / ra_ms;
    m.ra_vy = (posy[2] - starty) * 1000.0 / ra_ms;
    m.dec_vx = (posx[6] - posx[4]) * 1000.0 / dec_ms;
    m.dec_vy = (posy[6] - posy[4]) * 1000.0 / dec_ms;
    m.RA_x = (posx[2] - startx) * 1000 / ra_ms;
    m.RA_y = (posy[2] - starty) * 1000 / ra_ms;
    // The RA axis's angle from the sensor's x axis, whatever its quadrant.
    m.theta =
        m.ra_vx == 0 && m.ra_vy == 0 ? 0.0f : static_cast<float>(std::atan2(m.ra_vy, m.ra_vx));
    m.quadrant = m.RA_x >= 0 && m.RA_y >= 0 ? 1 : m.RA_x < 0 && m.RA_y < 0 ? 3 : 2;
    m.RA_rate = std::max(whole_root(m.RA_x, m.RA_y), 1);
    m.Dec_x = (posx[6] - posx[4]) * 1000 / dec_ms;
    m.Dec_y = (posy[6] - posy[4]) * 1000 / dec_ms;
    m.Dec_rate = std::max(whole_root(m.Dec_x, m.Dec_y), 1);
    m.RA_backx = std::abs(posx[2] - posx[3] - m.RA_x * d);
    m.RA_backy = std::abs(posy[2] - posy[3] - m.RA_y * d);
    m.RA_backlash = whole_root(m.RA_backx, m.RA_backy);
    m.Dec_backx = std::abs(posx[6] - posx[7] - m.Dec_x * d);
    m.Dec_backy = std::abs(posy[6] - posy[7] - m.Dec_y * d);
    m.Dec_backlash = whole_root(m.Dec_backx, m.Dec_backy);
    return m;
}

void simple_training_text(const SimpleTraining& t, char* out, int size) {
    std::snprintf(out, static_cast<std::size_t>(size),
                  "slewx = %5d, slewy = %5d\nbacklashx = %5d, backlashy = %5d", t.slewx, t.slewy,
                  t.backlashx, t.backlashy);
}

void training_model_text(const TrainingModel& m, char* out, int size) {
    std::snprintf(out, static_cast<std::size_t>(size),
                  "slew RA = %5d,%5d, %5d\nslew Dec = %5d, %5d, %5d\nbacklash RA = %5d, %5d, "
                  "%5d\nbacklash Dec = %5d, %5d, %5d\nTheta = %5d",
                  m.RA_x, m.RA_y, m.RA_rate, m.Dec_x, m.Dec_y, m.Dec_rate, m.RA_backx, m.RA_backy,
                  m.RA_backlash, m.Dec_backx, m.Dec_backy, m.Dec_backlash,
                  static_cast<int>(m.theta));
}
