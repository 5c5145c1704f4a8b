#include "cli/cli.h"

#include "cli/analysis_verbs.h"
#include "cli/capture.h"
#include "cli/cli_files.h"
#include "cli/cli_ui.h"
#include "cli/guide_verb.h"
#include "cli/mount_verb.h"
#include "devices/camera_models.h"
#include "display/display_pipeline.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "files/fits.h"
#include "files/fits_time.h"
#include "files/native_file.h"
#include "files/tiff_file.h"
#include "processing/calibration.h"
#include "processing/enhance.h"
#include "processing/processing_state.h"
#include "processing/stacking.h"
#include "processing/stretch.h"
#include "settings/settings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using cli::check_output;
using cli::load;
using cli::write_output;

// A frame size the program can hold: a camera model's sensor, or the older
// 752 x 580 line.
struct Candidate {
    std::string name; // as --model takes it
    int model;        // camera model code, 0 for the older line
    int width, height;
};

std::vector<Candidate> candidates() {
    std::vector<Candidate> c;
    for (const CameraModel& m : camera_models())
        c.push_back({std::to_string(m.code), m.code, m.width, m.height});
    c.push_back({"zq", 0, ZQ_WIDTH, ZQ_HEIGHT});
    return c;
}

const char* const usage_main =
    "usage: nocteris-cli COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  info FILE             what the program's Open command makes of FILE\n"
    "  convert IN OUT        write IN in the format OUT's name chooses\n"
    "  process IN OUT OP...  apply processing operations, then write OUT\n"
    "  capture [OPTIONS]     take images with the camera and save them as FITS\n"
    "  photometry FILE ...   measure stars as the Photometry window does\n"
    "  label IN OUT ...      write a label into the image, then write OUT\n"
    "  mount ACTION ...      GoTo, move, guide pulse and focus with the mount\n"
    "  guide [OPTIONS]       guide the mount on a star of the camera's image\n"
    "\n"
    "Run 'nocteris-cli COMMAND --help' for a command's options.\n";

const char* const usage_info =
    "usage: nocteris-cli info FILE [--model N]\n"
    "\n"
    "Prints the format, the geometry and the FITS details of FILE: a FITS image\n"
    "of any software, or a native raw file recognised by its length.\n"
    "\n"
    "  --model N   the camera model whose frame size to assume (1-8, or zq for the\n"
    "              752 x 580 line) when the length fits more than one\n";

const char* const usage_process =
    "usage: nocteris-cli process IN OUT OPERATION... [--8bit] [--model N]\n"
    "\n"
    "Applies the operations in the order given to IN (any file the Open command\n"
    "accepts) and writes OUT as convert does; FITS output carries the processing\n"
    "history.\n"
    "\n"
    "Contrast:  --invert  --normal BLACK,WHITE (0-255, 1-300)  --power P (0.1-3.0)\n"
    "           --sine  --log  --antilog  --background  --nonlinear P (2-50)\n"
    "Filters:   --unsharp R,P (1-7, 1-7)  --median R,P (1-3, power in tenths 1-10)\n"
    "           --highlow  --highhigh  --smoothsharp  --gaussian  --lowpass\n"
    "           --basrelief  --gradient  --vertical  --mirror\n"
    "Frames:    --subtract DARK  --flat FLAT  --average OTHER\n";

const char* const usage_convert =
    "usage: nocteris-cli convert IN OUT [--8bit] [--model N]\n"
    "\n"
    "IN is any file the Open command accepts. OUT's name chooses the format:\n"
    "  .fit, .fits         FITS\n"
    "  .tif, .tiff         TIFF (16-bit unless --8bit)\n"
    "  ~name or .raw       native raw\n"
    "\n"
    "  --8bit      write 8-bit data (TIFF and FITS)\n"
    "  --model N   as for info\n";

// The system's reason, in its own words but lower case, as in "permission denied".
std::string system_reason(int code) {
    std::string r = std::strerror(code);
    if (!r.empty()) r[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(r[0])));
    return r;
}

// Why a file cannot be read, for the refusal line; empty when it can.
std::string why_unreadable(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return system_reason(errno);
    if (S_ISDIR(st.st_mode)) return "a folder";
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return system_reason(errno);
    ::close(fd);
    return {};
}

// Why a file cannot be written there: the folder's reason, or the file's.
std::string why_unwritable(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (::access(dir.c_str(), W_OK | X_OK) != 0) return system_reason(errno);
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0)
        return system_reason(errno);
    return {};
}

// "PATH: not a readable file", with the system's reason when it has one.
void refuse_unreadable(const std::string& path, std::ostream& err) {
    const std::string why = why_unreadable(path);
    err << "nocteris-cli: " << path << ": not a readable file"
        << (why.empty() ? "" : " (" + why + ")") << "\n";
}

long long file_length(const std::string& path, bool& regular) {
    struct stat st;
    regular = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    return regular ? static_cast<long long>(st.st_size) : -1;
}

void use_candidate(const Candidate& c) {
    if (c.model > 0) {
        cam.cam_type = static_cast<short>(c.model);
        set_camera_model_geometry();
    } else {
        sensor.cam_width1 = c.width;
        sensor.cam_height1 = c.height;
        sensor.cam_divisor = 16;
    }
    nocteris_binned();
}

std::string lower(std::string s) {
    for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

bool ends_with(const std::string& s, const char* tail) {
    const std::size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

struct Options {
    std::vector<std::string> args;
    std::string model;
    bool eight_bit = false;
    bool help = false;
};

// Parses what follows the command; false (with a message) on a bad option.
bool parse(int argc, const char* const* argv, int first, Options& o, std::ostream& err,
           bool allow_8bit) {
    for (int i = first; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--model") {
            if (i + 1 >= argc) {
                err << "nocteris-cli: --model needs a value\n";
                return false;
            }
            o.model = lower(argv[++i]);
        } else if (a == "--8bit" && allow_8bit) {
            o.eight_bit = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            err << "nocteris-cli: unknown option '" << a << "'\n";
            return false;
        } else {
            o.args.push_back(a);
        }
    }
    return true;
}

} // namespace

namespace {

// The frame size --model names: the model's own, or for a code without a
// sensor of its own the one it sets up (the fallback's, or the initial one
// for codes 3 to 6).
const Candidate* named_model(const std::vector<Candidate>& all, const std::string& model) {
    for (const auto& c : all)
        if (model == c.name) return &c;
    if (model.size() == 1 && model[0] >= '1' && model[0] <= '8') {
        const CameraModel* m = camera_model(model[0] - '0');
        const SensorState initial;
        const int w = m ? m->width : initial.cam_width1;
        const int h = m ? m->height : initial.cam_height1;
        for (const auto& c : all)
            if (c.model > 0 && c.width == w && c.height == h) return &c;
    }
    return nullptr;
}

} // namespace

std::string cli::load(const std::string& path, const std::string& model, std::ostream& err) {
    bool regular = false;
    const long long len = file_length(path, regular);
    if (!regular || !why_unreadable(path).empty()) {
        refuse_unreadable(path, err);
        return {};
    }
    const std::vector<Candidate> all = candidates();
    const Candidate* chosen = nullptr;
    if (!model.empty() && !(chosen = named_model(all, model))) {
        err << "nocteris-cli: unknown model '" << model << "' (1-8 or zq)\n";
        return {};
    }
    if (looks_like_fits(path.c_str())) {
        // The header gives the size; the camera of that frame gives the rest.
        int w = 0, h = 0;
        if (!chosen && fits_image_size(path.c_str(), w, h) == 0)
            for (const auto& c : all)
                if (!chosen && c.width == w && c.height == h) chosen = &c;
        if (chosen) use_candidate(*chosen);
        if (LoadQVFile(path.c_str()) != LOAD_OK) return {}; // the reason went to stderr
        return "FITS";
    }

    std::vector<const Candidate*> matches;
    for (const auto& c : all)
        if (file_lengths(c.width, c.height).contains(len)) matches.push_back(&c);
    if (chosen) {
        if (std::find_if(matches.begin(), matches.end(), [&](const Candidate* m) {
                return m->width == chosen->width && m->height == chosen->height;
            }) == matches.end()) {
            err << "nocteris-cli: " << path << ": " << len << " bytes is no file of model " << model
                << " (" << chosen->width << " x " << chosen->height << ")\n";
            return {};
        }
    } else if (matches.empty()) {
        err << "nocteris-cli: " << path << ": " << len
            << " bytes is the length of no native or FITS file of any camera model\n";
        return {};
    } else if (matches.size() > 1) {
        err << "nocteris-cli: " << path << ": the length fits several frame sizes;"
            << " choose one with --model:";
        for (const auto* m : matches) err << " " << m->name;
        err << "\n";
        return {};
    } else {
        chosen = matches.front();
    }
    use_candidate(*chosen);
    const bool fits_file = len == disp.filelenfit || len == disp.filelenfitpad ||
                           len == disp.filelenfitbin || len == disp.filelenfitbinpad;
    const bool binned = len == disp.filelenbin;
    if (LoadQVFile(path.c_str()) != LOAD_OK) return {}; // the reason went to stderr
    return fits_file ? "FITS" : std::string("native raw") + (binned ? ", 2 x 2 binned" : "");
}

namespace {

void print_text(std::ostream& out, const char* label, const char* value) {
    out << label << std::string(value) << "\n";
}

int cmd_info(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.args.size() != 1) {
        err << usage_info;
        return 2;
    }
    const std::string kind = load(o.args[0], o.model, err);
    if (kind.empty()) return 1;
    out << "file:        " << o.args[0] << "\n";
    out << "format:      " << kind << "\n";
    out << "image:       " << disp.width1 << " x " << disp.height1 << " pixels, 16-bit\n";
    out << "pixel size:  " << disp.FITS_Pixwidth << " x " << disp.FITS_Pixheight << " mm\n";
    if (kind.rfind("FITS", 0) == 0) {
        print_text(out, "object:      ", cfg.FITS_Obj);
        print_text(out, "telescope:   ", cfg.FITS_Tel);
        print_text(out, "instrument:  ", cfg.FITS_Ins);
        print_text(out, "observer:    ", cfg.FITS_Obs);
        print_text(out, "origin:      ", cfg.FITS_Src);
        print_text(out, "date:        ", fits.FITS_Date);
        print_text(out, "time:        ", fits.FITS_Time);
        print_text(out, "filter:      ", cfg.FITS_Filter);
        out << "exposure:    " << fits.FITS_Exptime << " s\n";
        out << "focal len:   " << cfg.FITS_Focallen << "\n";
        out << "aperture:    " << cfg.FITS_Aperture << "\n";
        out << "unsigned:    " << (cfg.FITS_SBIG ? "yes (BZERO 0)" : "no") << "\n";
        std::string his = cfg.FITS_His, com = cfg.FITS_Com;
        his.erase(his.find_last_not_of(' ') + 1);
        com.erase(com.find_last_not_of(' ') + 1);
        out << "history:     " << his << "\n";
        out << "comment:     " << com << "\n";
        for (int i = 0; i < HISTORY_USED && disp.process_info[i][0]; ++i)
            out << "processing:  " << disp.process_info[i] << "\n";
    }
    return 0;
}

enum class Format { Fits, Tiff, Native, Unknown };

Format output_format(const std::string& dst) {
    const std::string name = lower(dst.substr(dst.find_last_of("/\\") + 1));
    if (ends_with(name, ".fit") || ends_with(name, ".fits")) return Format::Fits;
    if (ends_with(name, ".tif") || ends_with(name, ".tiff")) return Format::Tiff;
    if (name.rfind('~', 0) == 0 || ends_with(name, ".raw")) return Format::Native;
    return Format::Unknown;
}

} // namespace

bool cli::check_output(const std::string& dst, bool eight_bit, std::ostream& err) {
    const Format f = output_format(dst);
    if (f == Format::Unknown) {
        err << "nocteris-cli: " << dst
            << ": cannot tell the format (use .fit, .fits, .tif, .tiff, .raw or a name "
               "beginning with ~)\n";
        return false;
    }
    if (f == Format::Native && eight_bit) {
        err << "nocteris-cli: native files are always 16-bit\n";
        return false;
    }
    return true;
}

int cli::write_output(const std::string& dst, bool eight_bit, std::ostream& out,
                      std::ostream& err) {
    const Format format = output_format(dst);
    int result = 0;
    if (format == Format::Fits) {
        // A file without a date of its own gets today's, as a manual save offers.
        default_fits_date();
        result =
            SaveFITSFile(dst.c_str(), image, cfg.FITS_Obj, cfg.FITS_Obs, fits.FITS_Date,
                         cfg.FITS_Tel, cfg.FITS_Ins, cfg.FITS_Com, cfg.FITS_His, eight_bit ? 1 : 0);
    } else if (format == Format::Tiff) {
        result = SaveTifFile(dst.c_str(), image, eight_bit ? 0 : 1);
    } else {
        result = SaveQVFile(dst.c_str());
    }
    if (result != 0) {
        const std::string why = why_unwritable(dst);
        err << "nocteris-cli: " << dst << ": could not be written"
            << (why.empty() ? "" : " (" + why + ")") << "\n";
        return 1;
    }
    out << "wrote " << dst << " (" << disp.width1 << " x " << disp.height1 << ")\n";
    return 0;
}

namespace {

int cmd_convert(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.args.size() != 2) {
        err << usage_convert;
        return 2;
    }
    if (!check_output(o.args[1], o.eight_bit, err)) return 2;
    if (load(o.args[0], o.model, err).empty()) return 1;
    return write_output(o.args[1], o.eight_bit, out, err);
}

// ---------------------------------------------------------------- process

struct Operation {
    std::string name;
    double a = 0, b = 0;
    std::string file;
};

// "A,B" into two numbers; false when it is not exactly that.
bool two_numbers(const std::string& text, double& a, double& b) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) return false;
    char* end = nullptr;
    const std::string first = text.substr(0, comma), second = text.substr(comma + 1);
    a = std::strtod(first.c_str(), &end);
    if (first.empty() || *end) return false;
    b = std::strtod(second.c_str(), &end);
    return !second.empty() && !*end;
}

bool one_number(const std::string& text, double& a) {
    char* end = nullptr;
    a = std::strtod(text.c_str(), &end);
    return !text.empty() && !*end;
}

bool whole(double v) {
    return v == static_cast<int>(v);
}

// Parses the operations and the output options; every value is checked here,
// so nothing is read or written after a bad argument.
bool parse_operations(int argc, const char* const* argv, Options& o, std::vector<Operation>& ops,
                      std::ostream& err) {
    const char* plain[] = {"--invert",     "--sine",    "--log",       "--antilog",
                           "--background", "--highlow", "--highhigh",  "--smoothsharp",
                           "--gaussian",   "--lowpass", "--basrelief", "--gradient",
                           "--vertical",   "--mirror"};
    auto bad = [&](const std::string& what) {
        err << "nocteris-cli: " << what << "\n";
        return false;
    };
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        Operation op;
        op.name = a;
        std::string v;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--8bit") {
            o.eight_bit = true;
        } else if (a == "--model") {
            if (!value(v)) return bad("--model needs a value");
            o.model = lower(v);
        } else if (std::find(std::begin(plain), std::end(plain), a) != std::end(plain)) {
            ops.push_back(op);
        } else if (a == "--normal") {
            if (!value(v) || !two_numbers(v, op.a, op.b) || !whole(op.a) || !whole(op.b) ||
                op.a < 0 || op.a > 255 || op.b < 1 || op.b > 300 || op.a >= op.b)
                return bad("--normal takes BLACK,WHITE: whole numbers, 0 <= BLACK < WHITE <= 300 "
                           "and BLACK <= 255");
            ops.push_back(op);
        } else if (a == "--power") {
            if (!value(v) || !one_number(v, op.a) || op.a < 0.1 || op.a > 3.0)
                return bad("--power takes a number from 0.1 to 3.0");
            ops.push_back(op);
        } else if (a == "--nonlinear") {
            if (!value(v) || !one_number(v, op.a) || !whole(op.a) || op.a < 2 || op.a > 50)
                return bad("--nonlinear takes a whole number from 2 to 50");
            ops.push_back(op);
        } else if (a == "--unsharp") {
            if (!value(v) || !two_numbers(v, op.a, op.b) || !whole(op.a) || !whole(op.b) ||
                op.a < 1 || op.a > 7 || op.b < 1 || op.b > 7)
                return bad("--unsharp takes R,P: whole numbers from 1 to 7");
            ops.push_back(op);
        } else if (a == "--median") {
            if (!value(v) || !two_numbers(v, op.a, op.b) || !whole(op.a) || !whole(op.b) ||
                op.a < 1 || op.a > 3 || op.b < 1 || op.b > 10)
                return bad("--median takes R,P: R from 1 to 3, P in tenths from 1 to 10");
            ops.push_back(op);
        } else if (a == "--subtract" || a == "--flat" || a == "--average") {
            if (!value(v) || v.empty()) return bad(a + " needs a file");
            op.file = v;
            ops.push_back(op);
        } else if (a.size() > 1 && a[0] == '-') {
            return bad("unknown option '" + a + "'");
        } else {
            o.args.push_back(a);
        }
    }
    return true;
}

// Runs one operation on the current image as its menu command does. False
// when the command refused (its reason has gone to standard error).
bool run_operation(const Operation& op, CliUi& ui) {
    const std::string& n = op.name;
    if (n == "--invert")
        ContrastInvert();
    else if (n == "--normal") {
        proc.black = static_cast<unsigned>(op.a);
        proc.white = static_cast<unsigned>(op.b);
        ContrastNormal();
    } else if (n == "--power") {
        proc.power_str = op.a;
        if (op.a != 1.0) ContrastPower();
    } else if (n == "--sine")
        ContrastSine();
    else if (n == "--log")
        logstretch();
    else if (n == "--antilog")
        antilog();
    else if (n == "--background") {
        // The menu command uses the background level of the displayed image.
        build_histogram(image);
        ContrastBackground();
    } else if (n == "--nonlinear") {
        tolvern(op.a);
        contrast_stretch(0);
    } else if (n == "--unsharp")
        return unsharp_mask(static_cast<int>(op.a), static_cast<int>(op.b));
    else if (n == "--median")
        return median_filter(static_cast<int>(op.a), static_cast<int>(op.b));
    else if (n == "--highlow")
        return highlow_enhance();
    else if (n == "--highhigh")
        return highhigh_enhance();
    else if (n == "--smoothsharp")
        return smoothsharp_enhance();
    else if (n == "--gaussian")
        return gaussian_enhance();
    else if (n == "--lowpass")
        return lowpass_enhance();
    else if (n == "--basrelief")
        return basrelief_enhance();
    else if (n == "--gradient")
        return gradient_enhance();
    else if (n == "--vertical")
        return venetian_enhance();
    else if (n == "--mirror")
        mirror_image(image, trial);
    else {
        ui.next_file = op.file;
        const int before = ui.shown;
        const bool done = n == "--subtract" ? Subtract_Image()
                          : n == "--flat"   ? Flat_Image()
                                            : Average_Image();
        return done && ui.shown == before;
    }
    return true;
}

int cmd_process(int argc, const char* const* argv, CliUi& ui, std::ostream& out,
                std::ostream& err) {
    Options o;
    std::vector<Operation> ops;
    if (!parse_operations(argc, argv, o, ops, err)) return 2;
    if (o.help) {
        out << usage_process;
        return 0;
    }
    if (o.args.size() != 2 || ops.empty()) {
        err << usage_process;
        return 2;
    }
    if (!check_output(o.args[1], o.eight_bit, err)) return 2;
    for (const auto& op : ops) {
        bool regular = false;
        if (!op.file.empty() &&
            (file_length(op.file, regular) < 0 || !why_unreadable(op.file).empty())) {
            refuse_unreadable(op.file, err);
            return 1;
        }
    }
    if (load(o.args[0], o.model, err).empty()) return 1;
    for (const auto& op : ops) {
        image = image_int;
        if (!run_operation(op, ui)) {
            err << "nocteris-cli: " << op.name << " could not be applied; nothing written\n";
            return 1;
        }
    }
    image = image_int;
    return write_output(o.args[1], o.eight_bit, out, err);
}

} // namespace

int run_cli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CliUi ui(err);
    platform::Ui& previous = platform::ui();
    platform::install_ui(&ui);
    struct Restore {
        platform::Ui* p;
        ~Restore() { platform::install_ui(p); }
    } restore{&previous};

    if (argc < 2) {
        err << usage_main;
        return 2;
    }
    const std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        out << usage_main;
        return 0;
    }
    if (cmd == "process") return cmd_process(argc, argv, ui, out, err);
    if (cmd == "capture") return cmd_capture(argc, argv, out, err);
    if (cmd == "photometry") return cmd_photometry(argc, argv, out, err);
    if (cmd == "label") return cmd_label(argc, argv, out, err);
    if (cmd == "mount") return cmd_mount(argc, argv, out, err);
    if (cmd == "guide") return cmd_guide(argc, argv, out, err);
    Options o;
    if (cmd == "info" || cmd == "convert") {
        const bool is_info = cmd == "info";
        if (!parse(argc, argv, 2, o, err, !is_info)) return 2;
        if (o.help) {
            out << (is_info ? usage_info : usage_convert);
            return 0;
        }
        return is_info ? cmd_info(o, out, err) : cmd_convert(o, out, err);
    }
    err << "nocteris-cli: unknown command '" << cmd << "'\n" << usage_main;
    return 2;
}
