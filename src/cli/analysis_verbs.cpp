#include "cli/analysis_verbs.h"

#include "analysis/analysis_state.h"
#include "analysis/label.h"
#include "analysis/photometry.h"
#include "app/app_logic.h"
#include "cli/cli_files.h"
#include "display/display_pipeline.h"
#include "display/image_store.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const usage_photometry =
    "usage: nocteris-cli photometry FILE --object X,Y --comparison X,Y [--background X,Y]\n"
    "                               [--aperture R] [--snap] [--gain G] [--read-noise N]\n"
    "                               [--model N]\n"
    "\n"
    "Measures FILE as the Photometry window does: the sums and mean levels of square\n"
    "apertures on the object, the comparison and the background, the magnitude\n"
    "difference of object and comparison, and the object's signal-to-noise ratio\n"
    "and magnitude error from the CCD equation.\n"
    "\n"
    "  --object X,Y       the object star (pixel column and row, from 0 at the top left)\n"
    "  --comparison X,Y   the comparison star\n"
    "  --background X,Y   a patch of sky; without it the magnitude difference uses the\n"
    "                     plain sums and the signal to noise the image's background level\n"
    "  --aperture R       half the side of the square: 0 (one pixel), 2, 3, 4, 6 or 8\n"
    "                     (5 to 17 pixels a side); 4 unless given\n"
    "  --snap             move the object and comparison onto their stars' centres\n"
    "                     first, as a right click does (the background is sky)\n"
    "  --gain G           the camera's electrons per count (default 1.4)\n"
    "  --read-noise N     the camera's read noise in electrons (default 12)\n"
    "  --model N          as for info\n";

const char* const usage_label =
    "usage: nocteris-cli label IN OUT --text TEXT [--no-date | --fits-date] [--8bit]\n"
    "                          [--model N]\n"
    "\n"
    "Writes TEXT (up to 31 characters) centred in the top ten rows of IN, as the\n"
    "Label command does, then writes OUT as convert does. The time and date in UT\n"
    "from the computer's clock follow the text.\n"
    "\n"
    "  --no-date     the text alone\n"
    "  --fits-date   the time and date of the image's FITS details instead of the clock\n"
    "  --8bit        as for convert\n"
    "  --model N     as for info\n";

bool bad(std::ostream& err, const std::string& what) {
    err << "nocteris-cli: " << what << "\n";
    return false;
}

int usage_error(std::ostream& err, const std::string& what) {
    bad(err, what);
    return 2;
}

// "X,Y" as two whole numbers.
bool position(const std::string& text, platform::Point& p) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) return false;
    const std::string xs = text.substr(0, comma), ys = text.substr(comma + 1);
    char* end = nullptr;
    const long x = std::strtol(xs.c_str(), &end, 10);
    if (xs.empty() || *end) return false;
    const long y = std::strtol(ys.c_str(), &end, 10);
    if (ys.empty() || *end || x < -1000000 || x > 1000000 || y < -1000000 || y > 1000000)
        return false;
    p = {static_cast<int>(x), static_cast<int>(y)};
    return true;
}

struct PhotometryArgs {
    std::string file, model;
    bool help = false, snap = false;
    bool have_object = false, have_comparison = false, have_background = false;
    platform::Point object, comparison, background;
    int aperture = 4;
    double gain = cfg.ccd_gain, read_noise = cfg.ccd_read_noise;
};

bool parse_photometry(int argc, const char* const* argv, PhotometryArgs& a, std::ostream& err) {
    for (int i = 2; i < argc; ++i) {
        const std::string o = argv[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        std::string v;
        if (o == "--help" || o == "-h") {
            a.help = true;
        } else if (o == "--snap") {
            a.snap = true;
        } else if (o == "--object" || o == "--comparison" || o == "--background") {
            platform::Point p;
            if (!value(v) || !position(v, p)) return bad(err, o + " takes X,Y: two whole numbers");
            if (o == "--object") a.object = p, a.have_object = true;
            if (o == "--comparison") a.comparison = p, a.have_comparison = true;
            if (o == "--background") a.background = p, a.have_background = true;
        } else if (o == "--aperture") {
            char* end = nullptr;
            const long r = value(v) ? std::strtol(v.c_str(), &end, 10) : -1;
            if (v.empty() || (end && *end) ||
                (r != 0 && r != 2 && r != 3 && r != 4 && r != 6 && r != 8))
                return bad(err, "--aperture takes 0, 2, 3, 4, 6 or 8");
            a.aperture = static_cast<int>(r);
        } else if (o == "--gain" || o == "--read-noise") {
            const bool gain = o == "--gain";
            double x = 0;
            if (!value(v) || !parse_ccd_value(v.c_str(), gain, x))
                return bad(err, gain ? "--gain takes a number of electrons per count above 0"
                                     : "--read-noise takes a number of electrons, 0 or more");
            (gain ? a.gain : a.read_noise) = x;
        } else if (o == "--model") {
            if (!value(v)) return bad(err, "--model needs a value");
            a.model = v;
        } else if (o.size() > 1 && o[0] == '-') {
            return bad(err, "unknown option '" + o + "'");
        } else if (a.file.empty()) {
            a.file = o;
        } else {
            return bad(err, "photometry takes one FILE");
        }
    }
    return true;
}

// The aperture button of a half-size.
int aperture_button_for(int r) {
    for (int id : {ph_id::SinglePixel, ph_id::Pixels5, ph_id::Pixels7, ph_id::Pixels9,
                   ph_id::Pixels13, ph_id::Pixels17})
        if (aperture_radius(id) == r) return id;
    return ph_id::Pixels9;
}

// One click of the photometry window: a left click, or a right click that
// snaps to the star first.
bool measure(char target, platform::Point p, bool snap, const char* what, std::ostream& err) {
    photometry_target(target);
    const platform::Point asked = p;
    const ClickResult r = snap ? right_button_up(p) : left_button_up(p);
    if (r == ClickResult::Photometry) return true;
    err << "nocteris-cli: the " << what << " at " << asked.x << "," << asked.y
        << " could not be measured\n";
    return false;
}

std::string trimmed(std::string s) {
    s.erase(0, s.find_first_not_of(' '));
    return s;
}

void print_aperture(std::ostream& out, const char* label, int x, int y, long sum, int mean_id) {
    out << label << x << "," << y << "  sum " << sum << "  mean "
        << trimmed(photometry_field(mean_id)) << "\n";
}

} // namespace

int cmd_photometry(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    PhotometryArgs a;
    if (!parse_photometry(argc, argv, a, err)) return 2;
    if (a.help) {
        out << usage_photometry;
        return 0;
    }
    if (a.file.empty() || !a.have_object || !a.have_comparison) {
        err << usage_photometry;
        return 2;
    }
    if (cli::load(a.file, a.model, err).empty()) return 1;
    image = image_int;
    build_histogram(image); // the background level a paint of the window finds

    start_photometry(0, 0);
    photometry_aperture(aperture_button_for(a.aperture));
    cfg.ccd_gain = a.gain;
    cfg.ccd_read_noise = a.read_noise;
    if (!measure('o', a.object, a.snap, "object", err) ||
        !measure('c', a.comparison, a.snap, "comparison", err) ||
        (a.have_background && !measure('b', a.background, false, "background", err)))
        return 1;

    const int side = 2 * guide.cur_rad + 1;
    const AnalysisState& s = ana;
    out << "file:        " << a.file << "\n";
    out << "aperture:    " << side << " x " << side << " pixels\n";
    print_aperture(out, "object:      ", s.obj_x, s.obj_y, s.obj_val, ph_id::ObjectValue);
    print_aperture(out, "comparison:  ", s.comp_x, s.comp_y, s.comp_val, ph_id::ComparisonValue);
    if (s.back_select)
        print_aperture(out, "background:  ", s.back_x, s.back_y, s.back_val,
                       ph_id::BackgroundValue);
    else
        out << "background:  image level, mean "
            << trimmed(photometry_field(ph_id::BackgroundValue)) << "\n";
    const std::string mag = photometry_field(ph_id::MagnitudeDifference);
    out << "magnitude difference: "
        << (mag.empty() ? "none (the background is not below both stars)" : mag) << "\n";
    const SnrEstimate e = photometry_snr();
    out << "object S/N:  " << (e.valid ? snr_text(e) : "none (no signal above the background)")
        << "\n";
    if (e.valid) out << "magnitude error: " << mag_error_text(e) << "\n";
    out << "camera:      gain " << cfg.ccd_gain << " e-/count, read noise " << cfg.ccd_read_noise
        << " e-\n";
    end_photometry();
    return 0;
}

int cmd_label(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    std::string text, model;
    bool have_text = false, no_date = false, fits_date = false, eight_bit = false, help = false;
    for (int i = 2; i < argc; ++i) {
        const std::string o = argv[i];
        if (o == "--help" || o == "-h") {
            help = true;
        } else if (o == "--text" || o == "--model") {
            if (i + 1 >= argc) return usage_error(err, o + " needs a value");
            (o == "--text" ? text : model) = argv[++i];
            if (o == "--text") have_text = true;
        } else if (o == "--no-date") {
            no_date = true;
        } else if (o == "--fits-date") {
            fits_date = true;
        } else if (o == "--8bit") {
            eight_bit = true;
        } else if (o.size() > 1 && o[0] == '-') {
            return usage_error(err, "unknown option '" + o + "'");
        } else {
            files.push_back(o);
        }
    }
    if (help) {
        out << usage_label;
        return 0;
    }
    if (files.size() != 2 || !have_text) {
        err << usage_label;
        return 2;
    }
    if (no_date && fits_date)
        return usage_error(err, "--no-date and --fits-date exclude each other");
    if (!cli::check_output(files[1], eight_bit, err)) return 2;
    if (cli::load(files[0], model, err).empty()) return 1;
    image = image_int;

    label_dialog_init();
    if (no_date) label_toggle_auto_date();
    if (fits_date && !label_toggle_fits_date()) return 1; // the reason went to stderr
    if (std::strlen(text.c_str()) > LABEL_TEXT_MAX)
        err << "nocteris-cli: the label text is cut to " << LABEL_TEXT_MAX << " characters\n";
    set_label_text(text.c_str());
    do_label_image(ana.auto_date, ana.txtbuffer, image);
    return cli::write_output(files[1], eight_bit, out, err);
}
