#include "analysis/photometry.h"

#include "analysis/analysis_state.h"
#include "display/image_store.h"
#include "platform/messages.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

long aperture_pixels() {
    const long side = 2L * guide.cur_rad + 1;
    return side * side;
}

std::string format(const char* fmt, double v) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, v);
    return text;
}

std::string whole(int v) {
    return std::to_string(v);
}

} // namespace

long aperture_sum(const unsigned short* img, int x, int y, int r) {
    long sum = 0;
    const long readable = image_pixel_count();
    for (long yy = static_cast<long>(y) - r; yy <= static_cast<long>(y) + r; ++yy) {
        if (yy < 0 || yy >= disp.height1) continue;
        for (long xx = static_cast<long>(x) - r; xx <= static_cast<long>(x) + r; ++xx) {
            const long i = yy * disp.width1 + xx;
            if (xx >= 0 && xx < disp.width1 && i < readable) sum += img[i];
        }
    }
    return sum;
}

bool aperture_inside(int x, int y, int r) {
    const long long lx = x, ly = y;
    return r >= 0 && lx - r >= 0 && ly - r >= 0 && lx + r <= disp.width2 &&
           ly + r <= disp.height2 && (ly + r) * disp.width1 + lx + r < image_pixel_count();
}

void report_outside(int x, int y) {
    char text[100];
    std::snprintf(text, sizeof text,
                  "Sorry, outside Image area - try again\n\nx position = %5d\ny position = %5d", x,
                  y);
    messages(MSG_OWN_TEXT, text);
}

bool start_photometry(int merging, int fit) {
    if (merging || ana.row_plot) {
        messages(37);
        return false;
    }
    if (fit) {
        messages(38);
        return false;
    }
    if (ana.photometry) {
        messages(39);
        return false;
    }
    AnalysisState& a = ana;
    guide.cur_rad = 4;
    a.comp_x = a.comp_y = a.back_x = a.back_y = a.mast_x = a.mast_y = 0;
    a.obj_val = a.comp_val = a.back_val = 0;
    a.mast_val = 0;
    a.obj_x = a.obj_y = 0;
    a.back_select = 0;
    a.photometry = 1;
    platform::ui().set_cursor(platform::CursorShape::Cross);
    return true;
}

void end_photometry() {
    ana.photometry = 0;
    platform::ui().set_cursor(platform::CursorShape::Arrow);
}

void photometry_target(char which) {
    ana.ph_object = which;
    if (which == 'b') ana.back_select = 1;
}

int aperture_radius(int button_id) {
    switch (button_id) {
    case ph_id::SinglePixel:
        return 0;
    case ph_id::Pixels5:
        return 2;
    case ph_id::Pixels7:
        return 3;
    case ph_id::Pixels9:
        return 4;
    case ph_id::Pixels13:
        return 6;
    case ph_id::Pixels17:
        return 8;
    default:
        return -1;
    }
}

void photometry_aperture(int button_id) {
    const int r = aperture_radius(button_id);
    if (r < 0) return;
    AnalysisState& a = ana;
    guide.cur_rad = r;
    a.obj_val = a.comp_val = a.back_val = 0;
    a.obj_x = a.obj_y = a.comp_x = a.comp_y = a.back_x = a.back_y = 0;
}

int aperture_button() {
    switch (guide.cur_rad) {
    case 2:
        return ph_id::Pixels5;
    case 3:
        return ph_id::Pixels7;
    case 4:
        return ph_id::Pixels9;
    case 6:
        return ph_id::Pixels13;
    case 8:
        return ph_id::Pixels17;
    default:
        return ph_id::SinglePixel;
    }
}

int target_button() {
    return ana.ph_object == 'o'   ? ph_id::Object
           : ana.ph_object == 'c' ? ph_id::Comparison
                                  : ph_id::Background;
}

bool photometry_record(platform::Point point, const unsigned short* img) {
    const int r = guide.cur_rad;
    if (!aperture_inside(point.x, point.y, r)) {
        report_outside(point.x, point.y);
        return false;
    }
    const long sum = aperture_sum(img, point.x, point.y, r);
    AnalysisState& a = ana;
    if (a.ph_object == 'o') {
        a.obj_x = point.x, a.obj_y = point.y, a.obj_val = sum;
    } else if (a.ph_object == 'c') {
        a.comp_x = point.x, a.comp_y = point.y, a.comp_val = sum;
    } else {
        a.back_x = point.x, a.back_y = point.y, a.back_val = sum;
    }
    return true;
}

std::string photometry_field(int id) {
    const AnalysisState& a = ana;
    const long n = aperture_pixels();
    switch (id) {
    case ph_id::ObjectX:
        return whole(a.obj_x);
    case ph_id::ObjectY:
        return whole(a.obj_y);
    case ph_id::ComparisonX:
        return whole(a.comp_x);
    case ph_id::ComparisonY:
        return whole(a.comp_y);
    case ph_id::BackgroundX:
        return whole(a.back_x);
    case ph_id::BackgroundY:
        return whole(a.back_y);
    case ph_id::CursorX:
        return whole(a.mast_x);
    case ph_id::CursorY:
        return whole(a.mast_y);
    case ph_id::CursorValue:
        return format("%7.0f", a.mast_val);
    case ph_id::ObjectValue:
        return format("%7.0f", static_cast<double>(a.obj_val / n));
    case ph_id::ComparisonValue:
        return format("%7.0f", static_cast<double>(a.comp_val / n));
    case ph_id::BackgroundValue:
        return format("%7.0f", a.back_select ? static_cast<double>(a.back_val / n)
                                             : static_cast<double>(disp.most_pop) * 256.0);
    case ph_id::MagnitudeDifference:
        if (a.obj_val != 0 && a.comp_val != 0 && a.back_val < a.obj_val && a.back_val < a.comp_val)
            return format("%2.2f", -2.5 * std::log10(static_cast<double>(a.obj_val - a.back_val) /
                                                     static_cast<double>(a.comp_val - a.back_val)));
        return {};
    default:
        return {};
    }
}

SnrEstimate ccd_snr(double sum, int n, double background, int background_pixels, double gain,
                    double read_noise) {
    SnrEstimate e;
    if (!(gain > 0) || !(read_noise >= 0) || n <= 0 || !std::isfinite(gain) ||
        !std::isfinite(read_noise))
        return e;
    e.signal = gain * (sum - n * background);
    const double spread =
        background_pixels > 0 ? 1.0 + static_cast<double>(n) / background_pixels : 1.0;
    const double variance = e.signal + n * spread * (gain * background + read_noise * read_noise);
    if (!(e.signal > 0) || !(variance > 0)) return e;
    e.noise = std::sqrt(variance);
    e.snr = e.signal / e.noise;
    e.mag_error = 2.5 / std::log(10.0) / e.snr;
    e.valid = true;
    return e;
}

SnrEstimate photometry_snr() {
    if (ana.obj_val == 0) return {};
    const int n = static_cast<int>(aperture_pixels());
    const double background = ana.back_select ? static_cast<double>(ana.back_val) / n
                                              : static_cast<double>(disp.most_pop) * 256.0;
    return ccd_snr(static_cast<double>(ana.obj_val), n, background, ana.back_select ? n : 0,
                   cfg.ccd_gain, cfg.ccd_read_noise);
}

std::string snr_text(const SnrEstimate& e) {
    return e.valid ? format("%.1f", e.snr) : std::string();
}

std::string mag_error_text(const SnrEstimate& e) {
    return e.valid ? format("%.3f", e.mag_error) : std::string();
}

bool parse_ccd_value(const char* text, bool gain, double& out) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text) return false;
    while (*end == ' ') ++end;
    if (*end || !std::isfinite(v) || (gain ? !(v > 0) : !(v >= 0))) return false;
    out = v;
    return true;
}
