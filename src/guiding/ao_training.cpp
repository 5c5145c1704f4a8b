#include "guiding/ao_training.h"

#include "display/image_store.h"
#include "guiding/guide_loop.h"
#include "guiding/guiding_state.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/ao_state.h"
#include "telescope/ao_unit.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr std::uint32_t SETTLE_MS = 250;
constexpr std::uint32_t LAST_SETTLE_MS = 50;

// Steps a pixel for a move of (x, y) pixels; no measured move gives 1.
int rate_of(int x, int y) {
    const double d = std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y);
    if (d <= 0) return 1;
    const int r = static_cast<int>(AO_TRAINING_STEPS / d);
    return r == 0 ? 1 : r;
}

} // namespace

void ao_training_rates(AOTrainingResult& r) {
    r.RA_x = ((r.posx[0] - r.startx) + (r.posx[0] - r.posx[1])) / 2;
    r.RA_y = ((r.posy[0] - r.starty) + (r.posy[0] - r.posy[1])) / 2;
    r.xrate = rate_of(r.RA_x, r.RA_y);
    r.Dec_x = ((r.posx[2] - r.posx[1]) + (r.posx[2] - r.posx[3])) / 2;
    r.Dec_y = ((r.posy[2] - r.posy[1]) + (r.posy[2] - r.posy[3])) / 2;
    r.yrate = rate_of(r.Dec_x, r.Dec_y);
}

void ao_training_text(const AOTrainingResult& r, char* out, int size) {
    std::snprintf(out, static_cast<size_t>(size),
                  "slew RA = %5d,%5d, %5d\nslew Dec = %5d, %5d, %5d\npos 1 = %5d, %5d\n"
                  "pos 2 = %5d, %5d\npos 3 = %5d, %5d\npos 4 = %5d, %5d\npos 5 = %5d, %5d\n",
                  r.RA_x, r.RA_y, r.xrate, r.Dec_x, r.Dec_y, r.yrate, r.startx, r.starty, r.posx[0],
                  r.posy[0], r.posx[1], r.posy[1], r.posx[2], r.posy[2], r.posx[3], r.posy[3]);
}

int AOTrain(TrainingHost& host, AOTrainingResult* result, TrainingCamera camera) {
    const bool guider = camera == TrainingCamera::Guider;
    if (!(guider ? guide.guider_picked_star : guide.picked_star)) return GUIDE_REFUSED;
    int& training = guider ? autoguide.guider_training : guide.training;
    struct Finish {
        TrainingHost& host;
        int& training;
        ~Finish() {
            training = 0;
            host.set_caption(AO_TRAINING_END_CAPTION);
            host.refresh();
        }
    } finish{host, training};
    training = 1;
    AOUnit_retry_port();
    guide.cur_rad = cfg.star_mask;
    ao.AOUnitslew_time = AO_TRAINING_STEPS;
    AOTrainingResult r;
    if (guider) {
        r.startx = guide.guider_pick_xcent;
        r.starty = guide.guider_pick_ycent;
    } else {
        r.startx = guide.pick_xcent;
        r.starty = guide.pick_ycent;
        if (disp.binned) {
            r.startx /= 2;
            r.starty /= 2;
        }
    }
    // The camera's own centroid: (x, y) in its frame, false when the box left it.
    const auto measure = [&](int x, int y, int* cx, int* cy) {
        if (guider) {
            if (guider_find_centre(x, y, guider_imageptr, guide.cur_rad) == 1) return false;
            *cx = guide.guider_xcent;
            *cy = guide.guider_ycent;
        } else {
            if (find_centre(x, y, image, guide.cur_rad) == 1) return false;
            *cx = guide.xcent;
            *cy = guide.ycent;
        }
        return true;
    };
    const struct {
        const char* tail;
        char dir;
        std::uint32_t settle;
    } steps[] = {{"slewing West", cfg.AOw, SETTLE_MS},
                 {"slewing East", cfg.AOe, SETTLE_MS},
                 {"slewing North", cfg.AOn, SETTLE_MS},
                 {"slewing South", cfg.AOs, LAST_SETTLE_MS}};
    for (int i = 0; i < 4; ++i) {
        host.set_caption((TRAINING_CAPTION + std::string(steps[i].tail)).c_str());
        ao.AOUnitslewdir = steps[i].dir;
        ao.AOUnitslew_time = AO_TRAINING_STEPS;
        AOUnit_slew();
        platform::sleep_ms(steps[i].settle);
        if (!guider) image = image_int;
        if (!host.take_image() || host.stop_requested()) return GUIDE_STOPPED;
        // From the start each time; a box off the frame is a lost star.
        int sx, sy;
        if (!measure(r.startx, r.starty, &sx, &sy) || !measure(sx, sy, &r.posx[i], &r.posy[i]))
            return GUIDE_STOPPED;
        host.refresh();
    }
    ao_training_rates(r);
    char text[400];
    ao_training_text(r, text, sizeof text);
    messages(MSG_OWN_TEXT, text);
    cfg.AOUnit_xrate = r.xrate;
    cfg.AOUnit_yrate = r.yrate;
    ao.AOUnit_trained = 1;
    ao.AOUnit_use_trained = 1;
    SaveINIFile(cfg.ini_file);
    if (result) *result = r;
    return GUIDE_DONE;
}
