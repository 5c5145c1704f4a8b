#include "guiding/ao_guiding.h"

#include "guiding/guide_correction.h"
#include "guiding/guiding_state.h"
#include "platform/clock.h"
#include "platform/ui.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/ao_state.h"
#include "telescope/ao_unit.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int AO_JUMP_LIMIT = 8000; // thousandths of a pixel
constexpr int AO_THRESHOLD = 30;

// One axis: steps for the error; sent when there are any.
int axis(int error, int rate, char plus, char minus) {
    if (std::abs(error) <= AO_THRESHOLD) return 0;
    ao.AOUnitslewdir = error > 0 ? plus : minus;
    ao.AOUnitslew_time = std::abs(error * rate) / 1000;
    if (ao.AOUnitslew_time > 0) {
        platform::ui().beep();
        AOUnit_slew();
        platform::ui().beep();
    }
    return ao.AOUnitslew_time;
}

int correct(int x, int xdec, int y, int ydec, bool lost) {
    GuideFrame& f = autoguide.frame;
    f = GuideFrame{};
    f.at = platform::now_ms();
    f.x = x;
    f.y = y;
    f.xdec = xdec;
    f.ydec = ydec;
    if (lost) {
        autoguide.guider_guiding_failed = 1;
        f.skipped = "star not measured";
        return AO_GUIDE_LOST;
    }
    autoguide.dx = guide_error(autoguide.x1, autoguide.x1dec, x, xdec);
    autoguide.dy = guide_error(autoguide.y1, autoguide.y1dec, y, ydec);
    autoguide.x3 = autoguide.dx;
    autoguide.y3 = autoguide.dy;
    f.dx = autoguide.dx;
    f.dy = autoguide.dy;
    if (std::abs(autoguide.dx) > AO_JUMP_LIMIT || std::abs(autoguide.dy) > AO_JUMP_LIMIT) {
        f.skipped = "jump over 8 px";
        return 0;
    }
    const bool x_due = std::abs(autoguide.dx) > AO_THRESHOLD;
    const int xs = axis(autoguide.dx, cfg.AOUnit_slewx, cfg.AOw, cfg.AOe);
    if (x_due) {
        autoguide.slew_time_x = static_cast<std::int16_t>(std::min(xs, 32767));
        if (xs > 0) {
            f.ra_dir = ao.AOUnitslewdir;
            f.ra_ms = xs;
        }
    }
    const bool y_due = std::abs(autoguide.dy) > AO_THRESHOLD;
    const int ys = axis(autoguide.dy, cfg.AOUnit_slewy, cfg.AOn, cfg.AOs);
    if (y_due) {
        autoguide.slew_time_y = static_cast<std::int16_t>(std::min(ys, 32767));
        if (ys > 0) {
            f.dec_dir = ao.AOUnitslewdir;
            f.dec_ms = ys;
        }
    }
    if (ao.AOUnit_failed) f.skipped = "AO unit at its travel limit";
    return 0;
}

} // namespace

int guide_AOUnit(const unsigned short* image) {
    const bool lost = find_centre(autoguide.x1, autoguide.y1, image, guide.cur_rad) == 1;
    return correct(guide.xcent, guide.xcentdec, guide.ycent, guide.ycentdec, lost);
}

int guider_guide_AOUnit(const unsigned short* image) {
    const bool lost = guider_find_centre(autoguide.x1, autoguide.y1, image, guide.cur_rad) == 1;
    return correct(guide.guider_xcent, guide.guider_xcentdec, guide.guider_ycent,
                   guide.guider_ycentdec, lost);
}
