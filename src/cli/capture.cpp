#include "cli/capture.h"
#include "platform/command_ids.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/camera_controls.h"
#include "acquisition/sequence.h"
#include "cli/cli_ui.h"
#include "cli/drive_link.h"
#include "cli/guide_host.h"
#include "cli/guider_setup.h"
#include "cli/interrupt.h"
#include "devices/camera_models.h"
#include "devices/transport.h"
#include "display/image_store.h"
#include "files/file_state.h"
#include "guiding/guiding_state.h"
#include "guiding/sequence_guiding.h"
#include "processing/calibration.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int EXIT_INTERRUPTED = 130; // 128 + SIGINT, as a shell reports it
constexpr long START_DELAY_MAX = 600;
constexpr long PAUSE_SECONDS_MAX = CONTINUOUS_DELAY_MAX * 60;
constexpr double USER_STRETCH_MIN = 2.0;
constexpr double USER_STRETCH_MAX = 50.0;
constexpr long long GUIDED_EXPOSURE_FROM_MS = 100000; // the camera times exposures up to this

const char* const usage_capture =
    "usage: nocteris-cli capture [OPTIONS]\n"
    "\n"
    "Takes images with the first camera found (the simulator's, when it runs and\n"
    "no camera is attached) and saves each shown image as FITS, named as the\n"
    "program names its automatic saves: IMG<n>.FIT, counting on from the number\n"
    "in the settings file. Ctrl+C stops once the image being read is saved (an\n"
    "exposure over 100 s, which the computer times, ends unread); a second Ctrl+C\n"
    "quits at once.\n"
    "\n"
    "Exposure:\n"
    "  --range q|h|t|s|m      unit: thousandths, hundredths, tenths of a second,\n"
    "                         seconds or minutes (default s)\n"
    "  --value N              exposure in that unit, 1 or more (default 1)\n"
    "  --delay N              count down N seconds before the first exposure (0-600)\n"
    "  --deep-flush           flush the sensor before every exposure\n"
    "Images:\n"
    "  --count N              images to take, 1-99 (default 1); each is saved\n"
    "  --stack track|profile  add the --count images into one instead: track\n"
    "                         follows the star at --star, profile matches detail\n"
    "  --star X,Y             the star --stack track follows (image pixels)\n"
    "  --average              stack as the mean instead of the sum\n"
    "  --continuous           take and save images until Ctrl+C\n"
    "  --pause N              wait between the images of a series or of\n"
    "                         --continuous (0-1200 s or 0-20 min)\n"
    "  --pause-unit s|m       the unit of --pause (default s)\n"
    "Corrections and output:\n"
    "  --dark FILE            subtract this dark frame from every image\n"
    "  --flat FILE            apply this flat field to every image\n"
    "  --auto LIST            process every image, in this order: weak, strong,\n"
    "                         user=P (P 2-50) stretches, background (removed\n"
    "                         before each stretch), highpass, usm; comma-separated\n"
    "  --out DIR              save in DIR (default: the settings' auto-save folder)\n"
    "Guiding (exposures over 100 s, which the computer times):\n"
    "  --guide guider         the guider camera guides during every exposure, as the\n"
    "                         program does; a lost guide star ends the exposure (what\n"
    "                         was exposed is saved) and the series\n"
    "  --via mount|ao         corrections to the mount or to the AO unit (default mount)\n"
    "  --ao-port camera0|camera1|pc, --ao-parallel\n"
    "                         the AO unit's line, as for nocteris-cli guide\n"
    "  --guide-train          the guider's eight-position training (or the AO unit's)\n"
    "                         before the first exposure\n"
    "  --guide-range h|t|s    the guider exposure's unit (default s)\n"
    "  --guide-value N        and its value: up to 500 h, 100 t, 10 s (default 1)\n"
    "  --guide-star X,Y       the guide star near pixel X,Y of the guider frame;\n"
    "                         without it the brightest unsaturated one\n"
    "  --drive lx200|socket, --port comN\n"
    "                         the telescope drive, as for nocteris-cli guide\n";

struct CaptureOptions {
    char range = 's';
    long value = 1;
    long count = 1;
    std::string stack; // empty, "track" or "profile"
    bool average = false;
    long star_x = 0, star_y = 0;
    bool star_given = false;
    bool continuous = false;
    long pause = 0;
    bool pause_given = false;
    char pause_unit = 's';
    bool pause_unit_given = false;
    long delay = 0;
    bool deep_flush = false;
    std::string dark, flat, out;
    bool weak = false, strong = false, user = false, background = false, highpass = false,
         usm = false;
    double user_power = 5.0;
    bool guide = false; // --guide guider
    GuiderChoice via;
    DriveChoice drive;
    bool help = false;

    bool series() const { return count > 1 && stack.empty(); }
    bool processing() const { return weak || strong || user || highpass || usm; }
};

bool whole(const std::string& text, long lo, long hi, long& v) {
    long n = 0;
    if (!parse_whole_number(text.c_str(), n) || n < lo || n > hi) return false;
    v = n;
    return true;
}

bool whole_pair(const std::string& text, long& a, long& b) {
    const auto comma = text.find(',');
    return comma != std::string::npos && whole(text.substr(0, comma), 0, INT_MAX, a) &&
           whole(text.substr(comma + 1), 0, INT_MAX, b);
}

bool number(const std::string& text, double lo, double hi, double& v) {
    char* end = nullptr;
    const double d = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !(d >= lo && d <= hi)) return false;
    v = d;
    return true;
}

// The absolute, normalised form of a path from the command line.
std::string absolute(const std::string& path) {
    std::error_code ec;
    std::string p = fs::absolute(path, ec).lexically_normal().string();
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

bool readable_file(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), R_OK) == 0;
}

bool parse_auto(const std::string& list, CaptureOptions& o, std::string& problem) {
    std::size_t start = 0;
    for (;;) {
        const auto comma = list.find(',', start);
        const std::string item = list.substr(start, comma - start);
        if (item == "weak")
            o.weak = true;
        else if (item == "strong")
            o.strong = true;
        else if (item.rfind("user=", 0) == 0) {
            if (!number(item.substr(5), USER_STRETCH_MIN, USER_STRETCH_MAX, o.user_power)) {
                problem = "--auto user=P takes a number P from 2 to 50";
                return false;
            }
            o.user = true;
        } else if (item == "background")
            o.background = true;
        else if (item == "highpass")
            o.highpass = true;
        else if (item == "usm")
            o.usm = true;
        else {
            problem = "--auto: unknown step '" + item +
                      "' (weak, strong, user=P, background, highpass, usm)";
            return false;
        }
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

// Reads the options and checks every value and combination, so that nothing
// touches the camera or the settings after a mistake.
bool parse_capture(int argc, const char* const* argv, CaptureOptions& o, std::ostream& err) {
    auto bad = [&](const std::string& what) {
        err << "nocteris-cli: " << what << "\n";
        return false;
    };
    std::string value_text, pause_text;
    bool value_given = false, guiding_given = false;
    std::string problem;
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
        } else if (a == "--range") {
            if (!value() || v.size() != 1 || std::string("qhtsm").find(v[0]) == std::string::npos)
                return bad("--range takes q, h, t, s or m");
            o.range = v[0];
        } else if (a == "--value") {
            if (!value()) return bad("--value needs a number");
            value_text = v;
            value_given = true;
        } else if (a == "--count") {
            if (!value() || !whole(v, 1, NO_IMAGES_MAX, o.count))
                return bad("--count takes a whole number from 1 to 99");
        } else if (a == "--stack") {
            if (!value() || (v != "track" && v != "profile"))
                return bad("--stack takes track or profile");
            o.stack = v;
        } else if (a == "--star") {
            if (!value() || !whole_pair(v, o.star_x, o.star_y))
                return bad("--star takes X,Y: whole pixel co-ordinates");
            o.star_given = true;
        } else if (a == "--average") {
            o.average = true;
        } else if (a == "--continuous") {
            o.continuous = true;
        } else if (a == "--pause") {
            if (!value()) return bad("--pause needs a number");
            pause_text = v;
            o.pause_given = true;
        } else if (a == "--pause-unit") {
            if (!value() || (v != "s" && v != "m")) return bad("--pause-unit takes s or m");
            o.pause_unit = v[0];
            o.pause_unit_given = true;
        } else if (a == "--delay") {
            if (!value() || !whole(v, 0, START_DELAY_MAX, o.delay))
                return bad("--delay takes a whole number of seconds from 0 to 600");
        } else if (a == "--deep-flush") {
            o.deep_flush = true;
        } else if (a == "--dark" || a == "--flat" || a == "--out") {
            if (!value() || v.empty())
                return bad(a + (a == "--out" ? " needs a folder" : " needs a file"));
            (a == "--dark" ? o.dark : a == "--flat" ? o.flat : o.out) = absolute(v);
        } else if (a == "--auto") {
            if (!value()) return bad("--auto needs a list of steps");
            if (!parse_auto(v, o, problem)) return bad(problem);
        } else if (a == "--guide") {
            if (!value() || v != "guider") return bad("--guide takes guider");
            o.guide = true;
        } else if (a == "--guide-train") {
            o.via.train = true;
            guiding_given = true;
        } else if (a == "--guide-range") {
            if (!value() || v.size() != 1 || std::string("hts").find(v[0]) == std::string::npos)
                return bad("--guide-range takes h, t or s");
            o.via.range = v[0];
            guiding_given = true;
        } else if (a == "--guide-value") {
            if (!value() || !whole(v, 1, 500, o.via.value))
                return bad("--guide-value takes a whole number from 1 to 500");
            guiding_given = true;
        } else if (a == "--guide-star") {
            if (!value() || !whole_pair(v, o.via.star_x, o.via.star_y))
                return bad("--guide-star takes X,Y: whole pixel co-ordinates");
            o.via.star_given = true;
            guiding_given = true;
        } else if (const SharedOption r = parse_guiding_option(
                       a,
                       [&](std::string& out) {
                           if (!value()) return false;
                           out = v;
                           return true;
                       },
                       o.via, o.drive, problem);
                   r != SharedOption::NotOurs) {
            if (r == SharedOption::Bad) return bad(problem);
            guiding_given = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return bad("unknown option '" + a + "'");
        } else {
            return bad("capture takes no file names ('" + a + "'); see --help");
        }
    }
    if (o.help) return true;

    // The sequence counts the exposure in int milliseconds.
    const long value_max = INT_MAX / exposure_unit_ms(o.range);
    if (value_given && !whole(value_text, 1, value_max, o.value))
        return bad("--value takes a whole number from 1 to " + std::to_string(value_max) +
                   " with --range " + o.range);
    if (o.continuous && o.count > 1)
        return bad("--continuous takes single images until Ctrl+C; for a series of N images "
                   "use --count N alone");
    if (!o.stack.empty() && o.continuous) return bad("--stack cannot be used with --continuous");
    if (!o.stack.empty() && o.count < 2) return bad("--stack needs --count 2 or more");
    if (o.average && o.stack.empty()) return bad("--average goes with --stack");
    if (o.stack == "track" && !o.star_given)
        return bad("--stack track needs --star X,Y, the star to follow");
    if (o.star_given && o.stack != "track") return bad("--star goes with --stack track");
    if (o.pause_given && !o.series() && !o.continuous)
        return bad("--pause applies between the images of a series (--count N) or of "
                   "--continuous");
    if (o.pause_unit_given && !o.pause_given) return bad("--pause-unit goes with --pause");
    const bool minutes = o.pause_unit == 'm';
    if (o.pause_given &&
        !whole(pause_text, 0, minutes ? CONTINUOUS_DELAY_MAX : PAUSE_SECONDS_MAX, o.pause))
        return bad(minutes ? "--pause takes a whole number of minutes from 0 to 20"
                           : "--pause takes a whole number of seconds from 0 to 1200");
    if (o.background && !o.weak && !o.strong && !o.user)
        return bad("--auto background goes with a stretch: weak, strong or user=P");
    for (const std::string* f : {&o.dark, &o.flat}) {
        if (f->empty()) continue;
        if (!readable_file(*f)) return bad(*f + ": not a readable file");
        if (f->size() >= sizeof files.DarkFileName) return bad(*f + ": the path is too long");
    }
    if (guiding_given && !o.guide) return bad("the guiding options go with --guide guider");
    if (o.guide) {
        if (o.via.value &&
            !guider_exposure_ok(o.via.range ? o.via.range : 's', o.via.value, problem))
            return bad("--guide-value: " + problem);
        if (static_cast<long long>(o.value) * exposure_unit_ms(o.range) <= GUIDED_EXPOSURE_FROM_MS)
            return bad("--guide guider guides exposures over 100 s, which the computer times "
                       "(the camera times shorter ones itself)");
        if (!o.stack.empty()) return bad("--guide cannot be used with --stack");
        if (const char* p = guiding_choice_problem(o.via, o.drive)) return bad(p);
    }
    if (o.out.size() >= sizeof cfg.auto_save_dir)
        return bad(o.out + ": the path is too long (at most " +
                   std::to_string(sizeof cfg.auto_save_dir - 1) + " characters)");
    return true;
}

// Progress windows become lines on the terminal, one for each new caption;
// presses come from Ctrl+C.
class CaptureUi : public CliUi {
  public:
    CaptureUi(std::ostream& out, std::ostream& err) : CliUi(err), out_(out) {}

    // Once Ctrl+C has come every pump reports a press: one that a pause
    // swallows (the start delay's) would otherwise be lost.
    int pump_messages() override {
        if (!interrupt_requested()) return 0;
        if (!stop_requested) {
            stop_requested = true;
            if (!interrupt_announced())
                line("Ctrl+C: stopping after this image (Ctrl+C again quits at once)");
        }
        return 1;
    }

    void send_command(int id) override {
        if (id == CM_CAMERA_GEOMETRY)
            nocteris_camera();
        else
            CliUi::send_command(id);
    }

    void progress_open(const std::string& caption) override {
        stem_.clear();
        counting_ = false;
        show(caption);
    }
    void progress_update(int, const std::string& caption) override {
        if (!caption.empty() && caption != current_) show(caption);
    }
    void progress_close() override {
        current_.clear();
        stem_.clear();
    }

    void line(const std::string& text) {
        char stamp[16] = "";
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        if (::localtime_r(&now, &tm)) std::strftime(stamp, sizeof stamp, "%H:%M:%S ", &tm);
        out_ << stamp << text << "\n";
        out_.flush();
    }

    bool stop_requested = false;
    std::ostream& out() { return out_; }

  private:
    // A count-down inside one window (the start delay) changes its caption
    // every second: after its first line only every tenth second and the
    // last three are shown.
    void show(const std::string& caption) {
        current_ = caption;
        const auto at = caption.find(" (Left - ");
        const std::string stem = caption.substr(0, at);
        const int left = at == std::string::npos ? -1 : std::atoi(caption.c_str() + at + 9);
        if (counting_ && stem == stem_ && left > 3 && left % 10 != 0) return;
        counting_ = left >= 0 && stem == stem_;
        stem_ = stem;
        line(caption);
    }

    std::ostream& out_;
    std::string current_;
    std::string stem_;
    bool counting_ = false;
};

class CaptureHost : public SequenceHost {
  public:
    explicit CaptureHost(CaptureUi& ui) : ui_(ui) {}
    bool stop_requested() override { return interrupt_requested(); }
    void image_shown(const std::string& saved) override {
        if (saved.empty()) return; // the save has reported why
        ++saved_files;
        if (!seq.frame_incomplete) {
            ui_.line("saved " + saved);
            return;
        }
        ++incomplete_files;
        ui_.line("saved " + saved + " (incomplete: " + std::to_string(seq.frame_bytes_got) +
                 " of " + std::to_string(seq.frame_bytes_wanted) + " bytes)");
    }
    int saved_files = 0;
    int incomplete_files = 0;

  private:
    CaptureUi& ui_;
};

// Loads a correction frame as the sequence will, into a buffer the command
// line has no use for: a file that cannot serve stops the run before the
// first exposure instead of being reported after every image.
bool usable_frame(const std::string& path, bool flat, std::ostream& err) {
    const int r = flat ? auto_flatfield(0, path.c_str(), undo) : auto_remove(0, path.c_str(), undo);
    if (r == 0) return true;
    err << "nocteris-cli: " << path;
    if (r == 11)
        err << ": cannot be read\n";
    else
        err << ": not a native or FITS frame of this camera (" << disp.width1 << " x "
            << disp.height1 << ")\n";
    return false;
}

void copy_text(char* dst, std::size_t size, const std::string& text) {
    std::snprintf(dst, size, "%s", text.c_str());
}

void apply(const CaptureOptions& o) {
    cfg.exp_range = o.range;
    cfg.exp_value = static_cast<int>(o.value);
    seq.no_images = o.continuous ? 1 : static_cast<int>(o.count);
    cfg.continuous = o.continuous || o.series();
    seq.series_exposure = 0;
    cfg.continuous_delay = static_cast<int>(o.pause);
    acq.minutes_delay = o.pause_unit == 'm';
    cfg.exposure_delay = o.delay > 0;
    if (o.delay > 0) cfg.pause_secs = static_cast<int>(o.delay);
    acq.deep_flush = o.deep_flush;
    acq.take_darkframe = 0;

    cfg.auto_save_fits = 1;
    if (!o.out.empty()) copy_text(cfg.auto_save_dir, sizeof cfg.auto_save_dir, o.out);
    cfg.darkframe_remove = !o.dark.empty();
    if (!o.dark.empty()) copy_text(files.DarkFileName, sizeof files.DarkFileName, o.dark);
    cfg.flatfield_remove = !o.flat.empty();
    if (!o.flat.empty()) copy_text(files.FlatFileName, sizeof files.FlatFileName, o.flat);

    acq.slew_sum_alt = o.stack == "profile";
    acq.slew_sum_average = o.average;
    if (o.star_given) {
        guide.xcent = static_cast<int>(o.star_x);
        guide.ycent = static_cast<int>(o.star_y);
    }

    acq.Auto_Processing = o.processing();
    acq.auto_weak_stretch = o.weak;
    acq.auto_strong_stretch = o.strong;
    acq.auto_user_stretch = o.user;
    acq.User_Stretch = o.user_power;
    acq.auto_remove_bkgnd = o.background;
    acq.auto_highlow_filter = o.highpass;
    acq.Auto_USM_Filter = o.usm;
}

std::string exposure_text(char range, long value) {
    switch (range) {
    case 'q':
        return std::to_string(value) + " ms";
    case 'h':
        return std::to_string(value * 10) + " ms";
    case 't': {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f s", value / 10.0);
        return text;
    }
    case 'm':
        return std::to_string(value) + " min";
    default:
        return std::to_string(value) + " s";
    }
}

std::string plan(const CaptureOptions& o) {
    std::string text = camera_mode_text();
    if (o.continuous)
        text += ": " + exposure_text(o.range, o.value) + " exposures until Ctrl+C";
    else if (o.count > 1)
        text += ": " + std::to_string(o.count) + " exposures of " + exposure_text(o.range, o.value);
    else
        text += ": " + exposure_text(o.range, o.value);
    if (!o.stack.empty()) text += ", stacked by " + o.stack + (o.average ? " as the mean" : "");
    return text + ", saved in " + autosave_host_folder(cfg.auto_save_dir);
}

// The guider camera's guide star and training before the first exposure:
// 0 ready, else the exit status.
int prepare_guiding(const CaptureOptions& o, Settings& user, CaptureUi& ui, std::ostream& err) {
    install_guiding_hooks();
    if (!connect_drive(o.drive, err)) return 1;
    if (!apply_guider_choice(o.via, err)) return 1;
    if (!pick_guider_star(o.via, ui.out(), err)) return 1;
    if (o.via.train && !train_guider(o.via, user, nullptr, ui.out(), err))
        return interrupt_requested() ? EXIT_INTERRUPTED : 1;
    guide.guider_guiding = 1;
    return 0;
}

int capture(const CaptureOptions& o, CaptureUi& ui, std::ostream& err) {
    if (!camera_start_prepare()) return 1; // its message is on standard error
    if (o.star_given && (o.star_x >= disp.width1 || o.star_y >= disp.height1)) {
        err << "nocteris-cli: --star " << o.star_x << "," << o.star_y << " is outside the "
            << disp.width1 << " x " << disp.height1 << " image\n";
        return 2;
    }
    if (!o.dark.empty() && !usable_frame(o.dark, false, err)) return 2;
    if (!o.flat.empty() && !usable_frame(o.flat, true, err)) return 2;

    // The automatic save writes the settings file after every image; only
    // its number (and what a guide training measured) may stay there after
    // the run.
    Settings user_settings = cfg;
    const int user_continuous = cfg.continuous;
    CliGuideHost guiding(ui.out(), 0, {}, false);
    if (o.guide) {
        const int r = prepare_guiding(o, user_settings, ui, err);
        if (r != 0) {
            cfg = user_settings;
            return r;
        }
        install_guider_hooks(&guiding);
    }
    apply(o);
    ui.line("camera model " + std::to_string(cam.cam_type) + ", " + std::to_string(disp.width1) +
            " x " + std::to_string(disp.height1) + " pixels");
    ui.line(plan(o));

    CaptureHost host(ui);
    const int boxes = ui.shown;
    run_exposure_sequence(host);
    const bool star_lost = o.guide && autoguide.guider_guiding_failed;
    if (o.guide) {
        install_guider_hooks(nullptr);
        guide.guider_guiding = 0;
        guiding.summary();
        if (star_lost) err << "nocteris-cli: lost guide star: the exposure ended there\n";
    }

    const int number = cfg.auto_save_num;
    cfg = user_settings;
    cfg.auto_save_num = number;
    cfg.continuous = user_continuous;
    if (SaveINIFile(cfg.ini_file) != 0)
        err << "nocteris-cli: the settings file could not be written back; it may keep this "
               "run's options\n";

    std::string saved = std::to_string(host.saved_files) +
                        (host.saved_files == 1 ? " image saved" : " images saved");
    // Damaged frames are counted apart, saved or left out of a stack.
    const int incomplete = host.incomplete_files + seq.frames_dropped;
    if (incomplete > 0) saved += ", " + std::to_string(incomplete) + " incomplete";
    // A normal run shows no box: each one is a transfer, correction, stacking
    // or save that failed, and a script must not take the run for complete.
    if (ui.shown > boxes) {
        err << "nocteris-cli: the run did not complete as asked (see above); " << saved << "\n";
        return 1;
    }
    if (star_lost) return 1;
    if (usbt.camera_unsupported) {
        err << "nocteris-cli: the attached camera is not supported; " << saved << "\n";
        return 1;
    }
    ui.line((ui.stop_requested ? "stopped: " : "done: ") + saved);
    // As a shell reports a run ended by Ctrl+C.
    return ui.stop_requested ? EXIT_INTERRUPTED : 0;
}

} // namespace

void capture_interrupt() {
    request_interrupt();
}

int cmd_capture(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CaptureOptions o;
    if (!parse_capture(argc, argv, o, err)) return 2;
    if (o.help) {
        out << usage_capture;
        return 0;
    }
    if (!o.out.empty()) {
        std::error_code ec;
        fs::create_directories(o.out, ec);
        if (!fs::is_directory(o.out, ec) || ::access(o.out.c_str(), W_OK) != 0) {
            err << "nocteris-cli: " << o.out << ": not a folder that can be written\n";
            return 1;
        }
    }

    CaptureUi ui(out, err);
    platform::Ui& previous = platform::ui();
    platform::install_ui(&ui);
    InterruptHandlers handlers("nocteris-cli: stopping after this image (again to quit at once)\n");
    const int status = capture(o, ui, err);
    CloseUSBdevice();
    platform::install_ui(&previous);
    return status;
}
