#include "cli/guide_verb.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/camera_controls.h"
#include "acquisition/readout.h"
#include "acquisition/sequence.h"
#include "cli/cli_ui.h"
#include "cli/drive_link.h"
#include "cli/interrupt.h"
#include "devices/camera_protocol.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "display/image_store.h"
#include "guiding/guide_log.h"
#include "guiding/guide_loop.h"
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
constexpr int EDGE = 20;              // the chosen star's least distance from the frame's edge
constexpr unsigned SATURATED = 65000; // the centroid's overexposure level

const char* const usage_guide =
    "usage: nocteris-cli guide [OPTIONS]\n"
    "\n"
    "Guides the mount on a star of the main camera, as Start Guiding does: the\n"
    "128 x 128 window around the star is read again and again, and each frame's\n"
    "error from the first becomes guide pulses at the trained rates. One line is\n"
    "printed a frame; the run ends with the RMS of the measured error. Ctrl+C\n"
    "stops after the current frame.\n"
    "\n"
    "  --train               the simple training first (its rates and backlash are\n"
    "                        kept in the settings file), then the star is picked again\n"
    "  --seconds N           guide for N seconds; 0 (the default) until Ctrl+C\n"
    "  --range q|h|t|s       guide exposure unit: thousandths, hundredths, tenths\n"
    "                        of a second or seconds (default: the saved exposure, else s)\n"
    "  --value N             guide exposure in that unit, 1-999 (default: the saved\n"
    "                        exposure, else 1)\n"
    "  --star X,Y            the star near full-frame pixel X,Y; without it the\n"
    "                        brightest unsaturated star 20 pixels or more inside a\n"
    "                        full frame\n"
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
        } else if (a == "--drive") {
            if (!value() || (v != "lx200" && v != "socket"))
                return say(err, "--drive takes lx200 or socket");
            o.drive.telescope = v == "lx200" ? 'l' : 'b';
        } else if (a == "--port") {
            if (!value() || !parse_com_port(v, o.drive.com))
                return say(err, "--port takes comN, N from 1 to 32");
        } else {
            return say(err, "unknown option '" + a + "'; see --help");
        }
    }
    if (o.drive.com && o.drive.telescope == 'b')
        return say(err, "--port is for an LX200 mount; the guide socket is on the camera");
    if (o.drive.com) o.drive.telescope = 0; // the PC port's LX200
    return true;
}

// Ctrl+C is the press that stops a run.
class GuideUi : public CliUi {
  public:
    explicit GuideUi(std::ostream& err) : CliUi(err) {}
    int pump_messages() override { return interrupt_requested() ? 1 : 0; }
};

// A line a frame, and the error's sums for the closing RMS.
class CliGuideHost : public GuideHost {
  public:
    CliGuideHost(std::ostream& out, long seconds, std::string log)
        : out_(out), seconds_(seconds), log_(std::move(log)) {}

    void start() {
        start_ms_ = platform::now_ms();
        first_ = true;
    }
    void info_refresh(const GuideFrame& f) override {
        if (guide.training) return;
        if (first_) frame0_ms_ = f.at;
        first_ = false;
        const double dx = f.dx / 1000.0, dy = f.dy / 1000.0;
        sum_x2_ += dx * dx;
        sum_y2_ += dy * dy;
        ++frames_;
        char line[160];
        std::snprintf(line, sizeof line, "%8.1f s  dx %+6.2f px  dy %+6.2f px  %s",
                      static_cast<std::uint32_t>(f.at - frame0_ms_) / 1000.0, dx, dy,
                      pulses(f).c_str());
        out_ << line << "\n";
        out_.flush();
    }
    bool stop_requested() override {
        if (interrupt_requested()) return true;
        return seconds_ > 0 && !guide.training &&
               static_cast<std::uint32_t>(platform::now_ms() - start_ms_) >=
                   static_cast<std::uint32_t>(seconds_) * 1000u;
    }
    std::string log_path() override { return log_; }

    void summary() const {
        const double n = frames_ ? frames_ : 1;
        const double x = std::sqrt(sum_x2_ / n), y = std::sqrt(sum_y2_ / n);
        char line[128];
        std::snprintf(line, sizeof line, "guided %d frames: RMS %.2f px (x %.2f px, y %.2f px)",
                      frames_, std::sqrt(x * x + y * y), x, y);
        out_ << line << "\n";
    }

  private:
    static std::string pulses(const GuideFrame& f) {
        std::string s;
        auto one = [&](char dir, int ms) {
            if (!dir || ms <= 0) return;
            if (!s.empty()) s += ", ";
            s += std::string(1, dir) + " " + std::to_string(ms) + " ms";
        };
        one(f.ra_dir, f.ra_ms);
        one(f.dec_dir, f.dec_ms);
        if (f.skipped[0]) return s.empty() ? f.skipped : s + " (" + f.skipped + ")";
        return s.empty() ? "no pulse" : s;
    }

    std::ostream& out_;
    long seconds_;
    std::string log_;
    std::uint32_t start_ms_ = 0, frame0_ms_ = 0;
    bool first_ = true;
    int frames_ = 0;
    double sum_x2_ = 0, sum_y2_ = 0;
};

// One full frame at the guide exposure into the image buffer.
bool full_frame() {
    image = image_int;
    acq.exposure = exposure_for(cfg.exp_range, cfg.exp_value);
    return QV_full_read();
}

// The brightest star that can guide: a peak under saturation whose four
// neighbours stand out of the sky too (a hot pixel stands alone), far
// enough inside the frame for the guide window's box.
bool brightest_star(int* sx, int* sy) {
    const int w = disp.width1, h = disp.height1;
    std::vector<unsigned> histogram(65536, 0);
    for (int i = 0; i < w * h; ++i) ++histogram[image[i]];
    // The sky's median and its spread to the 84th percentile (one sigma).
    const long total = static_cast<long>(w) * h;
    long seen = 0;
    int median = -1, sigma_at = 0;
    for (int v = 0; v < 65536; ++v) {
        seen += histogram[v];
        if (median < 0 && seen * 2 >= total) median = v;
        if (seen * 100 >= total * 84) {
            sigma_at = v;
            break;
        }
    }
    const int sigma = std::max(sigma_at - median, 1);
    int best = 0;
    auto at = [&](int x, int y) { return static_cast<int>(image[y * w + x]); };
    for (int y = EDGE; y < h - EDGE; ++y)
        for (int x = EDGE; x < w - EDGE; ++x) {
            const int p = at(x, y);
            if (p <= best || p >= static_cast<int>(SATURATED) || p - median < 10 * sigma) continue;
            const int side = std::min({at(x - 1, y), at(x + 1, y), at(x, y - 1), at(x, y + 1)});
            if (side - median < (p - median) / 4) continue;
            if (std::max({at(x - 1, y), at(x + 1, y), at(x, y - 1), at(x, y + 1)}) > p) continue;
            best = p;
            *sx = x;
            *sy = y;
        }
    return best > 0;
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

int guide_run(const GuideOptions& o, std::ostream& out, std::ostream& err) {
    // The settings file keeps only what a training measures.
    LoadINIFile(cfg.ini_file);
    if (!find_camera()) return 1;
    nocteris_camera();
    const Settings user = cfg;
    if (!connect_drive(o.drive, err)) return 1;
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
    } else if (!brightest_star(&x, &y)) {
        say(err, "no unsaturated star 20 pixels or more inside the frame");
        return 1;
    }
    if (!pick_star_at(x, y)) return 1; // the snap has said why
    out << "guide star at " << guide.pick_xcent << "," << guide.pick_ycent << "\n";

    GuideLog log;
    if (log.open(o.train ? "training" : "guiding", o.log))
        out << "log: " << log.path() << "\n";
    else
        say(err, "the log " + log.path() + " cannot be written; guiding goes on without it");
    GuideLog* logp = log.is_open() ? &log : nullptr;

    CliGuideHost host(out, o.seconds, o.log);
    if (o.train) {
        const int px = guide.pick_xcent, py = guide.pick_ycent;
        out << "training\n";
        const int r = CmTrainGuide(host, logp);
        if (r != GUIDE_DONE) {
            if (interrupt_requested()) return EXIT_INTERRUPTED;
            if (r == GUIDE_STOPPED) say(err, "the training lost the star");
            return 1;
        }
        out << "trained: RA " << cfg.slewx << " px/s, Dec " << cfg.slewy << " px/s, backlash RA "
            << cfg.backlashx << " px, Dec " << cfg.backlashy << " px\n";
        Settings kept = user;
        kept.slewx = cfg.slewx;
        kept.slewy = cfg.slewy;
        kept.backlashx = cfg.backlashx;
        kept.backlashy = cfg.backlashy;
        const Settings run = cfg;
        cfg = kept;
        SaveINIFile(cfg.ini_file);
        cfg = run;
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
