#include "cli/guide_verb.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/camera_controls.h"
#include "acquisition/readout.h"
#include "acquisition/sequence.h"
#include "cli/cli_ui.h"
#include "cli/drive_link.h"
#include "cli/guide_host.h"
#include "cli/guider_setup.h"
#include "cli/interrupt.h"
#include "devices/camera_protocol.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "display/image_store.h"
#include "guiding/ao_params.h"
#include "guiding/ao_training.h"
#include "guiding/guide_log.h"
#include "guiding/guide_loop.h"
#include "guiding/guider_guiding.h"
#include "guiding/guiding_state.h"
#include "platform/clock.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int EXIT_INTERRUPTED = 130; // 128 + SIGINT, as a shell reports it
constexpr long SECONDS_MAX = 86400;   // a night
constexpr long VALUE_MAX = 999;
constexpr int EDGE = 20; // the chosen star's least distance from the frame's edge

const char* const usage_guide =
    "usage: nocteris-cli guide [OPTIONS]\n"
    "\n"
    "Guides on a star, as Start Guiding does. With the main camera the 128 x 128\n"
    "window around the star is read again and again; with the guider camera (the\n"
    "camera's second CCD) its whole frame is, as its window's Start Guiding does.\n"
    "Each frame's error from the first becomes guide pulses to the mount at the\n"
    "trained rates, or tip-tilt steps of the AO unit. One line is printed a frame;\n"
    "the run ends with the RMS of the measured error. Ctrl+C stops after the\n"
    "current frame.\n"
    "\n"
    "  --camera main|guider  which camera guides (default main)\n"
    "  --via mount|ao        corrections to the mount or to the AO unit (default mount)\n"
    "  --ao-port camera0|camera1|pc\n"
    "                        the AO unit's serial line: the camera's port 1 or 2, or\n"
    "                        the PC's serial port (default: the settings')\n"
    "  --ao-parallel         the AO unit on the guide socket's parallel codes\n"
    "  --train               train first: the simple training (main camera), the\n"
    "                        eight-position training (guider camera), or the AO\n"
    "                        unit's (--via ao); what it measures is kept in the\n"
    "                        settings file and used; then the star is picked again\n"
    "  --seconds N           guide for N seconds; 0 (the default) until Ctrl+C\n"
    "  --range q|h|t|s       guide exposure unit: thousandths (main camera only),\n"
    "                        hundredths, tenths of a second or seconds (default:\n"
    "                        the saved exposure, else s)\n"
    "  --value N             guide exposure in that unit, 1-999 (guider camera: up\n"
    "                        to 500 h, 100 t, 10 s; default: the saved exposure)\n"
    "  --star X,Y            the star near pixel X,Y of a full frame (guider camera:\n"
    "                        of its frame); without it the brightest unsaturated star\n"
    "                        20 pixels or more inside the frame\n"
    "  --log FILE            the run's CSV log (default: guide_DATE_TIME.csv in the\n"
    "                        working folder)\n"
    "  --drive lx200|socket  an LX200 mount on the settings' serial port, or the guide\n"
    "                        socket's relays (default: the settings')\n"
    "  --port comN           an LX200 mount on PC serial port N (1-32)\n"
    "\n"
    "Exit status: 0 done, 1 no camera, no telescope drive, no star or the star\n"
    "lost, 2 a wrong command line, 130 stopped by Ctrl+C.\n";

struct GuideOptions {
    bool train = false;
    long seconds = 0;
    char range = 0; // 0: the settings'
    long value = 0;
    bool star_given = false;
    long star_x = 0, star_y = 0;
    std::string log;
    DriveChoice drive;
    bool guider = false; // --camera guider
    GuiderChoice via;
    bool help = false;
};

bool say(std::ostream& err, const std::string& what) {
    err << "nocteris-cli: " << what << "\n";
    return false;
}

bool whole(const std::string& text, long lo, long hi, long& v) {
    long n = 0;
    if (!parse_whole_number(text.c_str(), n) || n < lo || n > hi) return false;
    v = n;
    return true;
}

bool parse_guide(int argc, const char* const* argv, GuideOptions& o, std::ostream& err) {
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        std::string v;
        auto value = [&] {
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--train") {
            o.train = true;
        } else if (a == "--seconds") {
            if (!value() || !whole(v, 0, SECONDS_MAX, o.seconds))
                return say(err, "--seconds takes a whole number of seconds, 0-86400");
        } else if (a == "--range") {
            if (!value() || v.size() != 1 || std::string("qhts").find(v[0]) == std::string::npos)
                return say(err, "--range takes q, h, t or s");
            o.range = v[0];
        } else if (a == "--value") {
            if (!value() || !whole(v, 1, VALUE_MAX, o.value))
                return say(err, "--value takes a whole number from 1 to 999");
        } else if (a == "--star") {
            const auto comma = value() ? v.find(',') : std::string::npos;
            if (comma == std::string::npos || !whole(v.substr(0, comma), 0, INT_MAX, o.star_x) ||
                !whole(v.substr(comma + 1), 0, INT_MAX, o.star_y))
                return say(err, "--star takes X,Y in full-frame pixels");
            o.star_given = true;
        } else if (a == "--log") {
            if (!value() || v.empty()) return say(err, "--log takes a file name");
            o.log = v;
        } else if (a == "--camera") {
            if (!value() || (v != "main" && v != "guider"))
                return say(err, "--camera takes main or guider");
            o.guider = v == "guider";
        } else {
            std::string problem;
            const auto arg = [&](std::string& out) {
                if (!value()) return false;
                out = v;
                return true;
            };
            const SharedOption r = parse_guiding_option(a, arg, o.via, o.drive, problem);
            if (r == SharedOption::Bad) return say(err, problem);
            if (r == SharedOption::NotOurs)
                return say(err, "unknown option '" + a + "'; see --help");
        }
    }
    if (const char* p = guiding_choice_problem(o.via, o.drive)) return say(err, p);
    if (o.guider) {
        std::string problem;
        if (o.range == 'q')
            return say(err, "the guider camera has no thousandths; --range h, t or s");
        if (o.value && !guider_exposure_ok(o.range ? o.range : 's', o.value, problem))
            return say(err, "--value: " + problem);
        o.via.range = o.range;
        o.via.value = o.value;
        o.via.star_given = o.star_given;
        o.via.star_x = o.star_x;
        o.via.star_y = o.star_y;
        o.via.train = o.train;
    }
    return true;
}

// Ctrl+C is the press that stops a run.
class GuideUi : public CliUi {
  public:
    explicit GuideUi(std::ostream& err) : CliUi(err) {}
    int pump_messages() override { return interrupt_requested() ? 1 : 0; }
};

// One full frame at the guide exposure into the image buffer.
bool full_frame() {
    image = image_int;
    acq.exposure = exposure_for(cfg.exp_range, cfg.exp_value);
    return QV_full_read();
}

// The main window's pick: snapped onto the star near (x, y) of the frame.
bool pick_star_at(int x, int y) {
    guide.cur_rad = cfg.star_mask;
    platform::Point point{x, y};
    if (!snap_to_star(point, image)) return false;
    guide.picked_star = 1;
    guide.pick_small = guide.pick_star_small = 0;
    guide.pick_xcent = guide.xcent;
    guide.pick_ycent = guide.ycent;
    return true;
}

// The main camera's training images for the AO unit: full frames.
class MainTrainingHost : public TrainingHost {
  public:
    bool take_image() override { return full_frame(); }
    bool stop_requested() override { return interrupt_requested(); }
};

// What the main camera's training measured, kept on top of the user's settings.
void keep_training(const Settings& user, bool ao) {
    Settings kept = user;
    if (ao) {
        kept.AOUnit_xrate = kept.AOUnit_slewx = cfg.AOUnit_slewx;
        kept.AOUnit_yrate = kept.AOUnit_slewy = cfg.AOUnit_slewy;
    } else {
        kept.slewx = cfg.slewx;
        kept.slewy = cfg.slewy;
        kept.backlashx = cfg.backlashx;
        kept.backlashy = cfg.backlashy;
    }
    const Settings run = cfg;
    cfg = kept;
    SaveINIFile(cfg.ini_file);
    cfg = run;
}

int main_camera_run(const GuideOptions& o, const Settings& user, GuideLog* logp, std::ostream& out,
                    std::ostream& err) {
    CliGuideHost host(out, o.seconds, o.log);
    if (o.train) {
        const int px = guide.pick_xcent, py = guide.pick_ycent;
        out << (o.via.ao ? "AO training\n" : "training\n");
        MainTrainingHost images;
        const int r = o.via.ao ? AOTrain(images) : CmTrainGuide(host, logp);
        if (r != GUIDE_DONE) {
            if (interrupt_requested()) return EXIT_INTERRUPTED;
            if (r == GUIDE_STOPPED) say(err, "the training lost the star");
            return 1;
        }
        if (o.via.ao) {
            copy_ao_values();
            out << "trained: AO " << cfg.AOUnit_slewx << " steps a pixel in x, " << cfg.AOUnit_slewy
                << " in y\n";
        } else {
            out << "trained: RA " << cfg.slewx << " px/s, Dec " << cfg.slewy
                << " px/s, backlash RA " << cfg.backlashx << " px, Dec " << cfg.backlashy
                << " px\n";
        }
        keep_training(user, o.via.ao);
        // The training leaves the star about where it was: pick it again.
        if (!full_frame() || !pick_star_at(px, py)) {
            say(err, "the guide star was not found again after the training");
            return 1;
        }
        out << "guide star at " << guide.pick_xcent << "," << guide.pick_ycent << "\n";
        if (logp) logp->table("guiding");
    }

    host.start();
    const int r = CmStartGuide(host, logp);
    host.summary();
    if (r != GUIDE_DONE) return 1; // its message is on standard error
    return interrupt_requested() ? EXIT_INTERRUPTED : 0;
}

int guider_camera_run(const GuideOptions& o, Settings user, GuideLog* logp, std::ostream& out,
                      std::ostream& err) {
    if (o.train && !train_guider(o.via, user, logp, out, err))
        return interrupt_requested() ? EXIT_INTERRUPTED : 1;
    CliGuideHost host(out, o.seconds, o.log);
    host.log_frames_to(logp);
    host.start();
    const int r = Guider_Start_Standalone(host);
    host.summary();
    if (r == GUIDE_STAR_LOST) say(err, "lost guide star");
    if (r != GUIDE_DONE) return 1; // a refusal's message is on standard error
    return interrupt_requested() ? EXIT_INTERRUPTED : 0;
}

// A log for the run; without one guiding goes on.
GuideLog* open_log(GuideLog& log, const GuideOptions& o, std::ostream& out, std::ostream& err) {
    if (log.open(o.train ? "training" : "guiding", o.log))
        out << "log: " << log.path() << "\n";
    else
        say(err, "the log " + log.path() + " cannot be written; guiding goes on without it");
    return log.is_open() ? &log : nullptr;
}

int guide_run(const GuideOptions& o, std::ostream& out, std::ostream& err) {
    // The settings file keeps only what a training measures.
    LoadINIFile(cfg.ini_file);
    if (!find_camera()) return 1;
    nocteris_camera();
    const Settings user = cfg;
    if (!connect_drive(o.drive, err)) return 1;
    if (!apply_guider_choice(o.via, err)) return 1;

    GuideLog log;
    if (o.guider) {
        if (!pick_guider_star(o.via, out, err)) return 1;
        return guider_camera_run(o, user, open_log(log, o, out, err), out, err);
    }

    if (o.range) cfg.exp_range = o.range;
    if (o.value) cfg.exp_value = static_cast<int>(o.value);
    if (!full_frame()) {
        say(err, "the full frame did not arrive whole");
        return 1;
    }
    int x = static_cast<int>(o.star_x), y = static_cast<int>(o.star_y);
    if (o.star_given) {
        if (o.star_x >= disp.width1 || o.star_y >= disp.height1) {
            say(err, "--star " + std::to_string(o.star_x) + "," + std::to_string(o.star_y) +
                         " is outside the " + std::to_string(disp.width1) + " x " +
                         std::to_string(disp.height1) + " frame");
            return 2;
        }
    } else if (!brightest_star(image, disp.width1, disp.height1, EDGE, &x, &y)) {
        say(err, "no unsaturated star 20 pixels or more inside the frame");
        return 1;
    }
    if (!pick_star_at(x, y)) return 1; // the snap has said why
    out << "guide star at " << guide.pick_xcent << "," << guide.pick_ycent << "\n";
    return main_camera_run(o, user, open_log(log, o, out, err), out, err);
}

} // namespace

int cmd_guide(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    GuideOptions o;
    if (!parse_guide(argc, argv, o, err)) return 2;
    if (o.help) {
        out << usage_guide;
        return 0;
    }
    GuideUi ui(err);
    platform::Ui& previous = platform::ui();
    platform::install_ui(&ui);
    InterruptHandlers handlers("nocteris-cli: stopping after this frame (again to quit at once)\n");
    const int status = guide_run(o, out, err);
    reset_serial_link_state(); // closes the PC port
    CloseUSBdevice();
    platform::install_ui(&previous);
    return status;
}
