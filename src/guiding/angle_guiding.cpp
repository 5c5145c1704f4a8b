#include "guiding/angle_guiding.h"

#include "guiding/guiding_state.h"
#include "settings/settings.h"

#include <cmath>
#include <cstdlib>

namespace {

// Below this |sin| of the angle between the vectors the two-axis solution
// amplifies noise too much: the vectors are taken one at a time.
constexpr double MIN_SINE = 0.25;

double projection(double ex, double ey, double vx, double vy) {
    const double n2 = vx * vx + vy * vy;
    return n2 > 0 ? (ex * vx + ey * vy) / n2 : 0;
}

void plan_axis(double seconds, char plus, char minus, char& last, int backlash, int rate, int hyst,
               char* dir, int* ms) {
    if (seconds == 0) return;
    const char d = seconds > 0 ? plus : minus;
    double length = std::abs(seconds) * 1000;
    if (d != last && !cfg.ignore_backlash) length += backlash * 1000.0 / (rate > 0 ? rate : 1);
    last = d;
    *dir = d;
    *ms = static_cast<int>(length) - hyst * 100;
}

} // namespace

void split_error(int dx, int dy, double* ra, double* dec) {
    const double ex = dx / 1000.0, ey = dy / 1000.0;
    // The unrounded vectors of this run's training; the whole-pixel ones
    // when only those are known (typed or kept).
    const bool fine = autoguide.RA_vx != 0 || autoguide.RA_vy != 0;
    const double rx = fine ? autoguide.RA_vx : autoguide.RA_x;
    const double ry = fine ? autoguide.RA_vy : autoguide.RA_y;
    const double qx = fine ? autoguide.Dec_vx : autoguide.Dec_x;
    const double qy = fine ? autoguide.Dec_vy : autoguide.Dec_y;
    const double det = rx * qy - qx * ry;
    const double norms = std::hypot(rx, ry) * std::hypot(qx, qy);
    if (norms > 0 && std::abs(det) >= MIN_SINE * norms) {
        *ra = (ex * qy - qx * ey) / det;
        *dec = (rx * ey - ex * ry) / det;
    } else {
        *ra = projection(ex, ey, rx, ry);
        *dec = projection(ex, ey, qx, qy);
    }
}

GuidePulses plan_angle_pulses(int dx, int dy) {
    GuidePulses p;
    double ra = 0, dec = 0;
    split_error(dx, dy, &ra, &dec);
    plan_axis(ra, cfg.w, cfg.e, autoguide.lastslewx, autoguide.RA_backlash, autoguide.RA_rate,
              cfg.guider_hystx, &p.ra_dir, &p.ra_ms);
    plan_axis(dec, cfg.n, cfg.s, autoguide.lastslewy, autoguide.Dec_backlash, autoguide.Dec_rate,
              cfg.guider_hysty, &p.dec_dir, &p.dec_ms);
    return p;
}
