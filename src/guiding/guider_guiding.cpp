#include "guiding/guider_guiding.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/guide_hook.h"
#include "acquisition/sequence.h"
#include "devices/transport.h"
#include "display/image_store.h"
#include "guiding/angle_guiding.h"
#include "guiding/ao_guiding.h"
#include "guiding/guide_loop.h"
#include "guiding/guider_camera.h"
#include "guiding/guiding_state.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/ao_unit.h"

#include <algorithm>

namespace {

constexpr int GUIDER_JUMP_LIMIT = 8000;
constexpr int GUIDER_THRESHOLD = 30;
constexpr std::uint32_t BETWEEN_AXES_MS = 70;

bool angle_mode() {
    return autoguide.guider_use_trained && !cfg.ignore_RA_angle;
}

void record(const GuidePulses& p, const char* skipped) {
    record_guide_frame(p, guide.guider_xcent, guide.guider_ycent, guide.guider_xcentdec,
                       guide.guider_ycentdec, skipped);
}

// A guider frame read (and shown) into the guider buffer.
void read_frame(GuideHost& host, bool guided) {
    QV_guider_camera_read();
    autoguide.guided_image = guided ? 1 : 0;
    host.show_frame();
}

} // namespace

GuidePulses plan_guider_pulses(std::int16_t dx, std::int16_t dy) {
    return plan_pulses(dx, dy,
                       {GUIDER_JUMP_LIMIT, GUIDER_THRESHOLD, GUIDER_THRESHOLD, cfg.guider_slewx,
                        cfg.guider_slewy, cfg.ignore_backlash ? 0 : cfg.guider_backlashx,
                        cfg.ignore_backlash ? 0 : cfg.guider_backlashy, cfg.guider_hystx,
                        cfg.guider_hysty});
}

int guider_guide_telescope(const unsigned short* image) {
    if (guider_find_centre(autoguide.x1, autoguide.y1, image, guide.cur_rad) == 1) {
        autoguide.guider_guiding_failed = 1;
        record({}, "star lost");
        return 3;
    }
    autoguide.dx =
        guide_error(autoguide.x1, autoguide.x1dec, guide.guider_xcent, guide.guider_xcentdec);
    autoguide.dy =
        guide_error(autoguide.y1, autoguide.y1dec, guide.guider_ycent, guide.guider_ycentdec);
    autoguide.x3 = autoguide.dx;
    autoguide.y3 = autoguide.dy;
    const GuidePulses p = angle_mode() ? plan_angle_pulses(autoguide.dx, autoguide.dy)
                                       : plan_guider_pulses(autoguide.dx, autoguide.dy);
    record(p, p.jump ? "jump over 8 px" : "");
    send_guide_pulse(p.ra_dir, p.ra_ms);
    // The mount settles between the two axes, pulse or not.
    platform::sleep_ms(BETWEEN_AXES_MS);
    send_guide_pulse(p.dec_dir, p.dec_ms);
    return 0;
}

int guider_guide_command(const unsigned short* image) {
    if (cfg.GuiderMode != 'T') return guider_guide_AOUnit(image);
    return guider_guide_telescope(image);
}

int StartGuiderAutoGuide(GuideHost& host) {
    if (cfg.telescope == 'n' || !(usbt.got_qv || camera_attached())) {
        messages(55);
        return 1;
    }
    if (!guide.guider_picked_star) {
        messages(53);
        return 1;
    }
    AOUnit_retry_port();
    host.info_caption("Guiding Info - Creating Guiding Frame");
    guide.cur_rad = cfg.star_mask;
    seq.end_loop = 0;
    QV_autoguider_clear();
    QV_autoguider_clear();
    read_frame(host, false);
    guider_find_centre(guide.guider_pick_xcent, guide.guider_pick_ycent, guider_imageptr,
                       guide.cur_rad);
    autoguide.x1 = guide.guider_xcent;
    autoguide.y1 = guide.guider_ycent;
    autoguide.x1dec = guide.guider_xcentdec;
    autoguide.y1dec = guide.guider_ycentdec;
    host.info_caption("Guiding Info - stabilising");
    clear_messages();
    autoguide.got_guide_image = 1;
    // The first corrections settle the mount on the reference.
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            QV_autoguider_clear();
            read_frame(host, true);
        }
        if (guider_guide_command(guider_imageptr) != 0)
            autoguide.guider_guiding_failed = 1;
        else
            host.info_refresh(autoguide.frame);
        clear_messages();
    }
    host.info_caption("Guiding Info");
    QV_autoguider_clear();
    read_frame(host, false);
    host.info_refresh(autoguide.frame);
    clear_messages();
    return 0;
}

void GuiderAutoGuide(GuideHost& host) {
    read_frame(host, true);
    if (guider_guide_command(guider_imageptr) != 0)
        autoguide.guider_guiding_failed = 1;
    else
        host.info_refresh(autoguide.frame);
}

int Guider_Start_Standalone(GuideHost& host) {
    if (guide.guider_guiding_standalone) return GUIDE_REFUSED;
    autoguide.guider_guiding_failed = 0;
    host.info_open("Guiding Info");
    guide.guider_guiding_standalone = 1;
    if (StartGuiderAutoGuide(host) != 0) {
        guide.guider_guiding_standalone = 0;
        host.info_close();
        return GUIDE_REFUSED;
    }
    while (!autoguide.guider_guiding_failed && guide.guider_guiding_standalone &&
           !host.stop_requested()) {
        GuiderAutoGuide(host);
        clear_messages();
    }
    const int result = autoguide.guider_guiding_failed ? GUIDE_STAR_LOST : GUIDE_DONE;
    // As at the end of guided exposures, the unit goes back to its start.
    if (cfg.GuiderMode == 'A') AOUnit_reset();
    autoguide.start_guider = 0;
    guide.guider_guiding_standalone = 0;
    host.info_close();
    return result;
}
