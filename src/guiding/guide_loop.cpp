#include "guiding/guide_loop.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/readout.h"
#include "acquisition/sequence.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "display/history.h"
#include "display/image_store.h"
#include "guiding/guide_correction.h"
#include "guiding/guiding_state.h"
#include "guiding/training_model.h"
#include "platform/messages.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/ao_unit.h"
#include "telescope/mount_protocol.h"
#include "telescope/telescope_state.h"

#include <cstdio>

namespace {

bool drive_and_camera() {
    return cfg.telescope != 'n' && (usbt.got_qv || camera_attached());
}

// The drive link, checked once a run.
bool link_ok() {
    comm_check();
    return serial.comfound != 0;
}

// What a run changes and must give back.
struct RunRestore {
    int continuous = cfg.continuous;
    int continuous_delay = cfg.continuous_delay;
    ~RunRestore() {
        cfg.continuous = continuous;
        cfg.continuous_delay = continuous_delay;
        guide.guiding = 0;
        guide.training = 0;
        guide.tracking = 0;
        seq.end_loop = 0;
    }
};

bool pressed_or_stopped(GuideHost& host) {
    return seq.end_loop || host.stop_requested();
}

// One training step: the pulse, a guide frame, then the centroid twice (at
// the last position, then at its result). False when the star is lost or
// the run is stopped.
bool training_step(GuideHost& host, GuideLog* log, const char* name, char dir, int ms, int* x,
                   int* y) {
    tele.slewdir = dir;
    tele.slew_time = ms;
    drive_slew();
    GuideTelescope(host);
    if (pressed_or_stopped(host)) {
        if (log) log->step(name, dir, ms, *x, *y, false);
        return false;
    }
    find_centre(*x, *y, image, guide.cur_rad);
    const bool lost = find_centre(guide.xcent, guide.ycent, image, guide.cur_rad) == 1;
    if (!lost) {
        *x = guide.xcent;
        *y = guide.ycent;
    }
    if (log) log->step(name, dir, ms, *x, *y, lost);
    return !lost;
}

} // namespace

bool GuideTelescope(GuideHost& host) {
    image = image_int;
    const bool whole = QV_camera_guide();
    clear_messages();
    if (!seq.end_loop) host.show_frame();
    if (guide.training)
        host.redraw();
    else
        host.info_refresh(autoguide.frame);
    return whole;
}

int CmStartGuide(GuideHost& host, GuideLog* log) {
    if (!drive_and_camera()) {
        messages(55);
        return GUIDE_REFUSED;
    }
    AOUnit_retry_port();
    if (!guide.picked_star) {
        messages(53);
        return GUIDE_REFUSED;
    }
    if (!link_ok()) {
        messages(54);
        return GUIDE_REFUSED;
    }
    RunRestore restore;
    guide.guiding = 1;
    guide.training = 0;
    cfg.continuous = 1;
    cfg.continuous_delay = 0;
    guide.cur_rad = cfg.star_mask;
    image = image_int;
    calc_guideframe();
    seq.end_loop = 0;
    autoguide.x1 = guide.xcent;
    autoguide.y1 = guide.ycent;
    autoguide.x1dec = autoguide.y1dec = 0;
    undo_save_option();
    if (log && !log->is_open()) log->open("guiding", host.log_path());

    int result = GUIDE_DONE;
    bool info_open = false;
    autoguide.fst = 1;
    while (cfg.continuous && !host.stop_requested()) {
        clear_messages();
        if (!cfg.continuous) break;
        image = image_int;
        QV_camera_guide();
        if (autoguide.fst) {
            // A reference needs a star: an empty box would guide on nothing.
            if (!centre_guide_star(autoguide.x1, autoguide.y1, image)) {
                cfg.continuous = 0;
                messages(MSG_OWN_TEXT, "lost guide star");
                if (log) log->note("lost guide star on the first frame");
                seq.end_loop = 1;
                result = GUIDE_STAR_LOST;
                break;
            }
            // The second pass from the first result is the reference.
            find_centre(guide.xcent, guide.ycent, image, guide.cur_rad);
            autoguide.x1 = guide.xcent;
            autoguide.y1 = guide.ycent;
            autoguide.x1dec = guide.xcentdec;
            autoguide.y1dec = guide.ycentdec;
            autoguide.fst = 0;
            host.info_open("Guiding Info");
            info_open = true;
            autoguide.got_guide_image = 1;
            if (log) {
                char text[80];
                std::snprintf(text, sizeof text, "reference %d.%d, %d.%d", autoguide.x1,
                              autoguide.x1dec, autoguide.y1, autoguide.y1dec);
                log->note(text);
            }
        }
        clear_messages();
        if (seq.end_loop) break;
        host.show_frame();
        guide_command(image);
        if (log) log->frame(autoguide.frame);
        host.info_refresh(autoguide.frame);
    }
    if (log) log->note("guiding ended");

    image = image_int;
    restore_image();
    if (info_open) host.info_close();
    if (cfg.GuiderMode == 'A') AOUnit_reset();
    autoguide.fst = 1;
    cm_focus_frame_reset();
    guide.xcent = guide.old_xcent;
    guide.ycent = guide.old_ycent;
    return result;
}

int do_CmTrainGuide(GuideHost& host, GuideLog* log) {
    if (!drive_and_camera() || !guide.picked_star) {
        messages(53);
        return GUIDE_REFUSED;
    }
    if (!link_ok()) {
        messages(54);
        return GUIDE_REFUSED;
    }
    RunRestore restore;
    if (log && !log->is_open()) log->open("training", host.log_path());
    struct PickBack {
        ~PickBack() {
            if (!guide.picked_star) return;
            guide.pick_star_small = guide.pick_small;
            guide.xcent = guide.pick_xcent;
            guide.ycent = guide.pick_ycent;
        }
    } pick_back;

    // The relays have not moved yet this run: one short pulse each way
    // takes up what the first real pulses would lose.
    if (cfg.telescope == 'b' && autoguide.fst_run) {
        autoguide.fst_run = 0;
        tele.slew_time = 50;
        for (char d : {cfg.n, cfg.s, cfg.e, cfg.w}) {
            tele.slewdir = d;
            drive_slew();
        }
    }

    find_centre(guide.xcent, guide.ycent, image, guide.cur_rad);
    calc_guideframe();
    guide.guiding = 1;
    guide.training = 1;
    cfg.continuous = 0;
    guide.cur_rad = cfg.star_mask;

    const int d = cfg.slewdefault < 1 ? 1 : cfg.slewdefault;
    int x[5] = {}, y[5] = {};
    int cx = guide.xcent, cy = guide.ycent;
    const int dec_ms = d * 1000 - cfg.hysty * 100;
    const int ra_ms = d * 1000 - cfg.hystx * 100;
    y[0] = cy;
    struct Step {
        const char* name;
        char dir;
        int ms;
        int* out;
        bool ra;
    };
    const Step steps[] = {
        {"north 1", cfg.n, dec_ms, &y[1], false}, {"north 2", cfg.n, dec_ms, &y[2], false},
        {"south 1", cfg.s, dec_ms, &y[3], false}, {"south 2", cfg.s, dec_ms, &y[4], false},
        {"east 1", cfg.e, ra_ms, &x[1], true},    {"east 2", cfg.e, ra_ms, &x[2], true},
        {"west 1", cfg.w, ra_ms, &x[3], true},    {"west 2", cfg.w, ra_ms, &x[4], true},
    };
    for (const Step& s : steps) {
        if (s.ra && s.out == &x[1]) x[0] = cx;
        if (!training_step(host, log, s.name, s.dir, s.ms, &cx, &cy)) {
            if (log) log->note("training ended early: the star was lost or a key was pressed");
            return GUIDE_STOPPED;
        }
        *s.out = s.ra ? cx : cy;
    }
    int* const xs[5] = {&autoguide.x1, &autoguide.x2, &autoguide.x3, &autoguide.x4, &autoguide.x5};
    int* const ys[5] = {&autoguide.y1, &autoguide.y2, &autoguide.y3, &autoguide.y4, &autoguide.y5};
    for (int i = 0; i < 5; ++i) *xs[i] = x[i], *ys[i] = y[i];

    const SimpleTraining t = simple_training(x, y, d);
    char text[128];
    simple_training_text(t, text, sizeof text);
    if (log) {
        log->note(text);
        if (t.slewx == 0 || t.slewy == 0)
            log->note("a rate of 0: the star did not follow the pulses (is the mount connected?); "
                      "stored as 1");
    }
    messages(MSG_OWN_TEXT, text);
    // Guiding divides by the rates.
    cfg.slewx = t.slewx ? t.slewx : 1;
    cfg.slewy = t.slewy ? t.slewy : 1;
    cfg.backlashx = t.backlashx;
    cfg.backlashy = t.backlashy;
    SaveINIFile(cfg.ini_file);
    return GUIDE_DONE;
}

int CmTrainGuide(GuideHost& host, GuideLog* log) {
    image = image_int;
    const int r = do_CmTrainGuide(host, log);
    guide.picked_star = 0;
    seq.end_loop = 0;
    return r;
}
