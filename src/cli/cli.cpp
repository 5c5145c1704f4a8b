#include "cli/cli.h"

#include "devices/camera_models.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "files/fits.h"
#include "files/fits_time.h"
#include "files/native_file.h"
#include "files/tiff_file.h"
#include "platform/ui.h"
#include "settings/settings.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// Boxes become lines on standard error; there is nobody to answer a dialog.
class CliUi : public platform::Ui {
  public:
    explicit CliUi(std::ostream& err) : err_(err) {}
    platform::BoxResult message_box(const std::string& text, const std::string&,
                                    platform::BoxIcon, platform::BoxButtons) override {
        std::string line = text;
        std::replace(line.begin(), line.end(), '\n', ' ');
        err_ << "nocteris-cli: " << line << "\n";
        ++shown;
        return platform::BoxResult::Cancel;
    }
    int pump_messages() override { return 0; }
    void beep() override {}
    platform::Point cursor_pos() override { return {}; }
    void set_cursor_pos(platform::Point) override {}
    void set_cursor(platform::CursorShape) override {}
    platform::FileDialogResult file_dialog(const platform::FileDialogRequest&) override {
        return {};
    }
    bool open_help(const std::string&) override { return false; }
    void send_command(int) override {}
    void progress_open(const std::string&) override {}
    void progress_update(int, const std::string&) override {}
    void progress_close() override {}

    int shown = 0;

  private:
    std::ostream& err_;
};

// A frame size the program can hold: a camera model's sensor, or the older
// 752 x 580 line.
struct Candidate {
    const char* name; // as --model takes it
    int model;        // camera model code, 0 for the older line
    int width, height;
};

const Candidate candidates[] = {
    {"1", 1, 1312, 1024}, {"2", 2, 1392, 1040}, {"8", 8, 2456, 2064}, {"zq", 0, 752, 580}};

const char* const usage_main =
    "usage: nocteris-cli COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  info FILE             what the program's Open command makes of FILE\n"
    "  convert IN OUT        write IN in the format OUT's name chooses\n"
    "\n"
    "Run 'nocteris-cli COMMAND --help' for a command's options.\n";

const char* const usage_info =
    "usage: nocteris-cli info FILE [--model N]\n"
    "\n"
    "Prints the format, the geometry and the FITS details of FILE, a native raw\n"
    "or FITS file recognised by its length.\n"
    "\n"
    "  --model N   the camera model whose frame size to assume (1-8, or zq for the\n"
    "              752 x 580 line) when the length fits more than one\n";

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

long long file_length(const std::string& path, bool& regular) {
    struct stat st;
    regular = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    return regular ? static_cast<long long>(st.st_size) : -1;
}

// The six lengths a frame of w x h can have on disk.
std::vector<long long> lengths_of(int w, int h) {
    const long long n = static_cast<long long>(w) * h;
    auto pad = [](long long bytes) { return (2880 - bytes % 2880) % 2880; };
    return {2 * n, n / 2, 2 * n + 5760, n / 2 + 5760, 2 * n + 5760 + pad(2 * n),
            n / 2 + 5760 + pad(n / 2)};
}

void use_candidate(const Candidate& c) {
    if (c.model > 0) {
        cam.cam_type = static_cast<short>(c.model);
        set_camera_model_geometry();
    } else {
        cam.cam_width1 = c.width;
        cam.cam_height1 = c.height;
        cam.cam_divisor = 16;
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

// Loads IN as the Open command would, with the frame size its length names.
// Returns the kind of file, or empty after an error message.
std::string load(const std::string& path, const std::string& model, std::ostream& err) {
    bool regular = false;
    const long long len = file_length(path, regular);
    if (!regular) {
        err << "nocteris-cli: " << path << ": not a readable file\n";
        return {};
    }
    std::vector<const Candidate*> matches;
    for (const auto& c : candidates) {
        const auto ls = lengths_of(c.width, c.height);
        if (std::find(ls.begin(), ls.end(), len) != ls.end()) matches.push_back(&c);
    }
    const Candidate* chosen = nullptr;
    if (!model.empty()) {
        for (const auto& c : candidates)
            if (model == c.name) chosen = &c;
        if (!chosen && model.size() == 1 && model[0] >= '3' && model[0] <= '7') {
            // Models 3 to 6 keep the initial sensor, 7 is the 1392 x 1040 fallback.
            chosen = model[0] == '7' ? &candidates[1] : &candidates[0];
        }
        if (!chosen) {
            err << "nocteris-cli: unknown model '" << model << "' (1-8 or zq)\n";
            return {};
        }
        if (std::find_if(matches.begin(), matches.end(), [&](const Candidate* m) {
                return m->width == chosen->width && m->height == chosen->height;
            }) == matches.end()) {
            err << "nocteris-cli: " << path << ": " << len << " bytes is no file of model "
                << model << " (" << chosen->width << " x " << chosen->height << ")\n";
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
    const long long bin_native = disp.filelenbin;
    const bool fits_file = len == disp.filelenfit || len == disp.filelenfitpad ||
                           len == disp.filelenfitbin || len == disp.filelenfitbinpad;
    const bool binned = len == bin_native || len == disp.filelenfitbin ||
                        len == disp.filelenfitbinpad;
    if (LoadQVFile(path.c_str()) != LOAD_OK) return {}; // the reason went to stderr
    return std::string(fits_file ? "FITS" : "native raw") + (binned ? ", 2 x 2 binned" : "");
}

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

int cmd_convert(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.args.size() != 2) {
        err << usage_convert;
        return 2;
    }
    const std::string& dst = o.args[1];
    const std::string name = lower(dst.substr(dst.find_last_of("/\\") + 1));
    enum { Fits, Tiff, Native, Unknown } format = Unknown;
    if (ends_with(name, ".fit") || ends_with(name, ".fits")) format = Fits;
    else if (ends_with(name, ".tif") || ends_with(name, ".tiff")) format = Tiff;
    else if (name.rfind('~', 0) == 0 || ends_with(name, ".raw")) format = Native;
    if (format == Unknown) {
        err << "nocteris-cli: " << dst
            << ": cannot tell the format (use .fit, .fits, .tif, .tiff, .raw or a name "
               "beginning with ~)\n";
        return 2;
    }
    if (format == Native && o.eight_bit) {
        err << "nocteris-cli: native files are always 16-bit\n";
        return 2;
    }
    if (load(o.args[0], o.model, err).empty()) return 1;
    int result = 0;
    // A file without a date of its own gets today's, as a manual save offers.
    if (format == Fits) default_fits_date();
    if (format == Fits)
        result = SaveFITSFile(dst.c_str(), image, cfg.FITS_Obj, cfg.FITS_Obs, fits.FITS_Date,
                              cfg.FITS_Tel, cfg.FITS_Ins, cfg.FITS_Com, cfg.FITS_His,
                              o.eight_bit ? 1 : 0);
    else if (format == Tiff)
        result = SaveTifFile(dst.c_str(), image, o.eight_bit ? 0 : 1);
    else
        result = SaveQVFile(dst.c_str());
    if (result != 0) {
        err << "nocteris-cli: " << dst << ": could not be written\n";
        return 1;
    }
    out << "wrote " << dst << " (" << disp.width1 << " x " << disp.height1 << ")\n";
    return 0;
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
