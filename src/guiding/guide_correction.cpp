#include "guiding/guide_correction.h"

#include "guiding/ao_guiding.h"
#include "guiding/guiding_state.h"
#include "platform/clock.h"
#include "platform/ui.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/mount_protocol.h"
#include "telescope/telescope_state.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int JUMP_LIMIT = 5000; // thousandths of a pixel
constexpr int RA_THRESHOLD = 50; // smallest correction without ignore_small
constexpr int DEC_THRESHOLD = 30;

bool due(int error, int threshold) {
    const int limit = cfg.ignore_small ? cfg.ignore_amount : threshold;
    return std::abs(error) > limit;
}

// One axis: the direction letter, the reversal's backlash and the length.
void plan_axis(int error, char plus, char minus, char& last, int backlash, int rate, int hyst,
               char* dir, int* ms) {
    const char d = error > 0 ? plus : minus;
    // A reversal first takes up the gears' play: the pulse grows by the
    // backlash in its own direction.
    if (d != last) error += (error > 0 ? 1 : -1) * backlash * 1000;
    last = d;
    *dir = d;
    *ms = std::abs(error / std::max(rate, 1)) - hyst * 100;
}

void pulse(char dir, int ms) {
    if (!dir || ms <= 0) return;
    tele.slewdir = dir;
    tele.slew_time = ms;
    platform::ui().beep();
    if (cfg.telescope == 'l')
        drive_slew();
    else
        interface_slew();
    platform::ui().beep();
}

} // namespace

std::int16_t guide_error(int ref, int ref_tenths, int pos, int pos_tenths) {
    const long e = static_cast<long>(ref - pos) * 1000 +
                   (static_cast<long>(ref_tenths - pos_tenths) * 1000) / 10;
    return static_cast<std::int16_t>(std::clamp<long>(e, INT16_MIN, INT16_MAX));
}

GuidePulses plan_pulses(std::int16_t dx, std::int16_t dy, const PulseRules& r) {
    GuidePulses p;
    if (std::abs(dx) > r.jump_limit || std::abs(dy) > r.jump_limit) {
        p.jump = true;
        return p;
    }
    if (due(dx, r.ra_threshold))
        plan_axis(dx, cfg.e, cfg.w, autoguide.lastslewx, r.backlashx, r.slewx, r.hystx, &p.ra_dir,
                  &p.ra_ms);
    // The north and south switches name sky directions, whatever the swap.
    if (due(dy, r.dec_threshold) && !(dy > 0 ? cfg.ignore_north : cfg.ignore_south))
        plan_axis(dy, cfg.n, cfg.s, autoguide.lastslewy, r.backlashy, r.slewy, r.hysty, &p.dec_dir,
                  &p.dec_ms);
    return p;
}

GuidePulses plan_guide_pulses(std::int16_t dx, std::int16_t dy) {
    // "Ignore Backlash" (the camera dialog's, ticked at first) leaves the
    // reversals uncompensated: a trained backlash that is a pixel too
    // large would swing the star back and forth on every reversal.
    const bool play = !cfg.ignore_backlash;
    return plan_pulses(dx, dy,
                       {JUMP_LIMIT, RA_THRESHOLD, DEC_THRESHOLD, cfg.slewx, cfg.slewy,
                        play ? cfg.backlashx : 0, play ? cfg.backlashy : 0, cfg.hystx, cfg.hysty});
}

void record_guide_frame(const GuidePulses& p, int x, int y, int xdec, int ydec,
                        const char* skipped) {
    auto held16 = [](int v) { return static_cast<std::int16_t>(std::clamp(v, -32768, 32767)); };
    if (p.ra_dir) autoguide.slew_time_x = held16(p.ra_ms);
    if (p.dec_dir) autoguide.slew_time_y = held16(p.dec_ms);
    GuideFrame& f = autoguide.frame;
    f.at = platform::now_ms();
    f.x = x;
    f.y = y;
    f.xdec = xdec;
    f.ydec = ydec;
    f.dx = autoguide.dx;
    f.dy = autoguide.dy;
    f.ra_dir = p.ra_ms > 0 ? p.ra_dir : 0;
    f.ra_ms = p.ra_ms;
    f.dec_dir = p.dec_ms > 0 ? p.dec_dir : 0;
    f.dec_ms = p.dec_ms;
    f.skipped = skipped;
}

void send_guide_pulse(char dir, int ms) {
    pulse(dir, ms);
}

bool centre_guide_star(int x, int y, const unsigned short* image) {
    const StarCentre c = measure_centre(x, y, image, guide.cur_rad);
    if (!c.found) return false;
    guide.xcent = c.x;
    guide.ycent = c.y;
    guide.xcentdec = c.xdec;
    guide.ycentdec = c.ydec;
    return c.status == 0;
}

int guide_telescope(const unsigned short* image) {
    // A failed measurement keeps the last centroid and guiding goes on, but
    // the kept error has been corrected already: sending it again would
    // push the mount away by a pulse a frame while the star is gone.
    const bool measured = centre_guide_star(autoguide.x1, autoguide.y1, image);
    autoguide.dx = guide_error(autoguide.x1, autoguide.x1dec, guide.xcent, guide.xcentdec);
    autoguide.dy = guide_error(autoguide.y1, autoguide.y1dec, guide.ycent, guide.ycentdec);
    autoguide.x3 = autoguide.dx;
    autoguide.y3 = autoguide.dy;
    const GuidePulses p = measured ? plan_guide_pulses(autoguide.dx, autoguide.dy) : GuidePulses{};
    record_guide_frame(p, guide.xcent, guide.ycent, guide.xcentdec, guide.ycentdec,
                       p.jump      ? "jump over 5 px"
                       : !measured ? "star not measured"
                                   : "");

    pulse(p.ra_dir, p.ra_ms);
    pulse(p.dec_dir, p.dec_ms);
    return 0;
}

int guide_command(const unsigned short* image) {
    if (cfg.GuiderMode != 'T') return guide_AOUnit(image);
    return guide_telescope(image);
}
