#include "guiding/camera_training.h"

#include "devices/serial_link.h"
#include "display/image_store.h"
#include "guiding/guide_loop.h"
#include "guiding/guiding_state.h"
#include "guiding/training_model.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/mount_protocol.h"
#include "telescope/telescope_state.h"

#include <algorithm>
#include <string>

namespace {

constexpr std::uint32_t SETTLE_MS = 200; // after each pulse, before the image
constexpr std::uint32_t PAUSE_MS = 500;  // between the RA and the Dec steps

struct Point {
    int x = 0, y = 0;
};

class Training {
  public:
    Training(TrainingHost& host, GuideLog* log, bool guider)
        : host_(host), log_(log), guider_(guider) {}

    // One step: caption, pulse, settle, image, then the centroid at `first`
    // and again at its result. False when the star is lost or the run is
    // stopped; `out` is the star's position.
    bool step(int number, const char* tail, char dir, int ms, Point first, Point* out) {
        const std::string caption = number == 0 && !guider_ ? std::string(TRAINING_FIRST_CAPTION)
                                                            : TRAINING_CAPTION + std::string(tail);
        host_.set_caption(caption.c_str());
        tele.slewdir = dir;
        tele.slew_time = ms;
        drive_slew();
        platform::sleep_ms(SETTLE_MS);
        // The main image buffer stays the main camera's: the guider's frames
        // have a buffer of their own.
        if (!guider_) image = image_int;
        const bool whole = host_.take_image();
        bool lost = !whole || host_.stop_requested();
        if (!lost && guider_) {
            guider_find_centre(first.x, first.y, guider_imageptr, guide.cur_rad);
            lost = guider_find_centre(guide.guider_xcent, guide.guider_ycent, guider_imageptr,
                                      guide.cur_rad) == 1;
            if (!lost) *out = {guide.guider_xcent, guide.guider_ycent};
        } else if (!lost) {
            find_centre(first.x, first.y, image, guide.cur_rad);
            lost = find_centre(guide.xcent, guide.ycent, image, guide.cur_rad) == 1;
            if (!lost) *out = {guide.xcent, guide.ycent};
        }
        if (log_) log_->step(tail, dir, ms, out->x, out->y, lost);
        if (lost) return false;
        autoguide.posx[number] = out->x;
        autoguide.posy[number] = out->y;
        autoguide.training_pos = static_cast<std::int16_t>(number);
        host_.refresh();
        return true;
    }

    void pause() {
        host_.set_caption((TRAINING_CAPTION + std::string("pausing for 1/2 second")).c_str());
        platform::sleep_ms(PAUSE_MS);
    }

  private:
    TrainingHost& host_;
    GuideLog* log_;
    bool guider_;
};

Point operator+(Point a, Point b) {
    return {a.x + b.x, a.y + b.y};
}
Point operator-(Point a, Point b) {
    return {a.x - b.x, a.y - b.y};
}

} // namespace

int eight_position_training(TrainingHost& host, GuideLog* log, TrainingCamera camera) {
    const bool guider = camera == TrainingCamera::Guider;
    if (!(guider ? guide.guider_picked_star : guide.picked_star)) return GUIDE_REFUSED;
    if (cfg.telescope == 'n') {
        messages(55);
        return GUIDE_REFUSED;
    }
    comm_check();
    if (!serial.comfound) {
        messages(54);
        return GUIDE_REFUSED;
    }
    int& training = guider ? autoguide.guider_training : guide.training;
    struct Finish {
        TrainingHost& host;
        int& training;
        bool guider;
        ~Finish() {
            training = 0;
            host.set_caption(guider ? GUIDER_CONTROL_CAPTION : CAMERA_CONTROL_CAPTION);
            host.refresh();
        }
    } finish{host, training, guider};
    training = 1;
    guide.cur_rad = cfg.star_mask;
    if (log && !log->is_open()) log->open("training", host.log_path());

    const int d = std::max(guider ? autoguide.guider_slewdefault : cfg.slewdefault, 1);
    const int ra_ms = d * 1000;
    const int first_ms = guider ? d * 100 : d * 1000;
    Point start{guide.pick_xcent, guide.pick_ycent};
    if (guider)
        start = {guide.guider_pick_xcent, guide.guider_pick_ycent};
    else if (disp.binned)
        start = {start.x / 2, start.y / 2};
    autoguide.startx = start.x;
    autoguide.starty = start.y;

    Training t(host, log, guider);
    Point pos[8];
    const auto stopped = [&] {
        if (log) log->note("training ended early: the star was lost or the run was stopped");
        return GUIDE_STOPPED;
    };
    if (!t.step(0, "slewing West", cfg.w, first_ms, start, &pos[0])) return stopped();
    // Where each later West pulse should take the star: the first one's
    // move, scaled by how much longer the later pulses are. (Nine times the
    // move, as for the guider's tenth-length first pulse, would put the box
    // far from the star on the main camera.)
    const Point f{(pos[0].x - start.x) * ra_ms / first_ms, (pos[0].y - start.y) * ra_ms / first_ms};
    if (!t.step(1, "slewing West again", cfg.w, ra_ms, pos[0] + f, &pos[1])) return stopped();
    if (!t.step(2, "slewing West third time", cfg.w, ra_ms, pos[1] + f, &pos[2])) return stopped();
    if (!t.step(3, "slewing East", cfg.e, ra_ms, pos[2] - f, &pos[3])) return stopped();
    if (!t.step(4, "slewing West to stabilise", cfg.w, ra_ms, pos[3] + f, &pos[4]))
        return stopped();
    t.pause();
    if (!t.step(5, "slewing North", cfg.n, d * 200, pos[4], &pos[5])) return stopped();
    // The second North pulse is five times the first.
    const Point g{5 * (pos[5].x - pos[4].x) + 1, 5 * (pos[5].y - pos[4].y) + 1};
    if (!t.step(6, "slewing North again", cfg.n, d * 1000, pos[5] + g, &pos[6])) return stopped();
    if (!t.step(7, "slewing South", cfg.s, d * 1000, pos[6], &pos[7])) return stopped();

    int px[8], py[8];
    for (int i = 0; i < 8; ++i) px[i] = pos[i].x, py[i] = pos[i].y;
    const TrainingModel m = eight_position_model(start.x, start.y, px, py, d, first_ms);
    autoguide.RA_x = m.RA_x;
    autoguide.RA_y = m.RA_y;
    autoguide.RA_rate = m.RA_rate;
    autoguide.Dec_x = m.Dec_x;
    autoguide.Dec_y = m.Dec_y;
    autoguide.Dec_rate = m.Dec_rate;
    autoguide.RA_backx = m.RA_backx;
    autoguide.RA_backy = m.RA_backy;
    autoguide.RA_backlash = m.RA_backlash;
    autoguide.Dec_backx = m.Dec_backx;
    autoguide.Dec_backy = m.Dec_backy;
    autoguide.Dec_backlash = m.Dec_backlash;
    autoguide.theta = m.theta;
    autoguide.quadrant = m.quadrant;
    autoguide.RA_vx = m.ra_vx;
    autoguide.RA_vy = m.ra_vy;
    autoguide.Dec_vx = m.dec_vx;
    autoguide.Dec_vy = m.dec_vy;
    char text[256];
    training_model_text(m, text, sizeof text);
    if (log) log->note(text);
    messages(MSG_OWN_TEXT, text);
    (guider ? autoguide.guider_trained : autoguide.trained) = 1;
    (guider ? autoguide.guider_use_trained : autoguide.use_trained) = 1;
    SaveINIFile(cfg.ini_file);
    return GUIDE_DONE;
}
