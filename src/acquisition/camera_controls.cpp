#include "acquisition/camera_controls.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/readout.h"
#include "acquisition/sequence.h"
#include "devices/transport.h"
#include "display/display_pipeline.h"
#include "display/image_store.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int PREVIEW_LIMIT = 100; // preview values must stay below this
constexpr int SCROLL_PAGE = 10;

// The common arrow, page and thumb rule of the dialog's bars: never outside
// lo..hi, and a step that would leave the range does nothing.
bool step_within(int& v, ScrollAction a, int pos, int lo, int hi) {
    int to = v;
    switch (a) {
    case ScrollAction::LineLeft:
        if (v - 1 >= lo) to = v - 1;
        break;
    case ScrollAction::LineRight:
        if (v + 1 <= hi) to = v + 1;
        break;
    case ScrollAction::PageLeft:
        if (v > lo) to = std::max(lo, std::min(v, hi) - SCROLL_PAGE);
        break;
    case ScrollAction::PageRight:
        if (v < hi) to = std::min(hi, std::max(v, lo) + SCROLL_PAGE);
        break;
    case ScrollAction::Thumb:
        to = std::clamp(pos, lo, hi);
        break;
    case ScrollAction::Other:
        break;
    }
    if (to == v) return false;
    v = to;
    return true;
}

} // namespace

void camera_dialog_init() {
    acq.stopit = 1;
    acq.max_value = 0;
    acq.max_exp = max_exp_for(cfg.exp_range);
    guide.picked_star = 0;
}

int max_exp_for(char range) {
    switch (range) {
    case 'q':
        return 1000;
    case 'h':
        return 500;
    case 't':
        return 100;
    case 'm':
        return 90;
    default:
        return 300;
    }
}

int exposure_unit_ms(char range) {
    switch (range) {
    case 'h':
        return 10;
    case 'm':
        return 60000;
    case 't':
        return 100;
    case 'q':
        return 1;
    default:
        return 1000;
    }
}

void set_exposure_range(char range) {
    cfg.exp_range = range;
    cfg.exp_value = (range == 'q' || range == 'h') ? 5 : 1;
    acq.max_exp = max_exp_for(range);
}

bool scroll_exposure(ScrollAction a, int pos) {
    return step_within(cfg.exp_value, a, pos, acq.min_exp, acq.max_exp);
}

bool scroll_no_images(ScrollAction a, int pos) {
    return step_within(seq.no_images, a, pos, 1, NO_IMAGES_MAX);
}

bool scroll_continuous_delay(ScrollAction a, int pos) {
    return step_within(cfg.continuous_delay, a, pos, 0, CONTINUOUS_DELAY_MAX);
}

int dialog_stretch_position() {
    const long p = std::lround(disp.max_stretch_mult);
    return static_cast<int>(std::clamp<long>(p, DIALOG_STRETCH_MIN, DIALOG_STRETCH_MAX));
}

bool scroll_dialog_stretch(ScrollAction a, int pos) {
    // Steps go from where the bar shows the factor, so a factor above 10 set
    // in the stretch display window comes back into this bar's range.
    int v = dialog_stretch_position();
    const int shown = v;
    step_within(v, a, pos, DIALOG_STRETCH_MIN, DIALOG_STRETCH_MAX);
    if (v == shown && a != ScrollAction::Thumb) return false;
    if (static_cast<double>(v) == disp.max_stretch_mult) return false;
    disp.max_stretch_mult = v;
    return true;
}

bool parse_whole_number(const char* text, long& out) {
    if (!text) return false;
    while (*text == ' ') ++text;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (end == text || errno != 0 || v < INT_MIN || v > INT_MAX) return false;
    while (*end == ' ') ++end;
    if (*end != '\0') return false;
    out = v;
    return true;
}

bool take_typed_exposure(const char* text) {
    long v = 0;
    if (!parse_whole_number(text, v) || v < 1 || v >= acq.max_exp) return false;
    cfg.exp_value = static_cast<int>(v);
    return true;
}

bool take_photo(const char* text) {
    long v = 0;
    if (!parse_whole_number(text, v) || v <= 0) return false;
    // The sequence counts the exposure in int milliseconds.
    if (v > INT_MAX / exposure_unit_ms(cfg.exp_range)) return false;
    cfg.exp_value = static_cast<int>(v);
    disp.bin_display_quad = 0;
    return true;
}

const char* take_photo_refusal() {
    const bool auto_merging = !cfg.continuous && !guide.selfguiding && seq.no_images > 1;
    if (auto_merging && !acq.slew_sum_alt && !guide.picked_star) return AUTO_MERGE_NEEDS_STAR;
    if (guide.selfguiding && !guide.picked_star) return SELFGUIDE_NEEDS_STAR;
    return nullptr;
}

void toggle_series_exposure() {
    seq.series_exposure = !seq.series_exposure;
    if (seq.series_exposure) cfg.auto_save_fits = 1;
}

const char* camera_mode_text() {
    if (cfg.continuous) return seq.no_images == 1 ? "Continuous Imaging" : "Series Imaging";
    if (guide.selfguiding) return "Selfguide Next Image";
    return seq.no_images == 1 ? "Single Image" : "Auto Merging";
}

bool preview_allowed() {
    return cfg.exp_range != 'm' && cfg.exp_value >= 1 && cfg.exp_value < PREVIEW_LIMIT;
}

bool begin_preview() {
    if (!preview_allowed()) return false;
    image = image_int;
    acq.stopit = 0;
    disp.focus_mode = 0;
    disp.focussed = 1;
    const int ms = cfg.exp_value * exposure_unit_ms(cfg.exp_range);
    if (ms < acq.download_time && cfg.highres_intl) {
        cfg.highres_intl = 0;
        cfg.highres_nonintl = 1;
    }
    return true;
}

int camera_dialog_pass(bool* whole) {
    image = image_int;
    platform::ui().set_cursor(platform::CursorShape::Wait);
    acq.max_value = QV_camera_read();
    platform::ui().set_cursor(platform::CursorShape::Arrow);
    if (whole) *whole = usbt.BytesReturned >= static_cast<unsigned>(usbt.ByteCount);
    DisplayImage();
    return write_display_bitmap();
}

bool take_guide_darkframe() {
    if (!preview_allowed()) return false;
    acq.guider_darkframe_loaded = 0;
    acq.taking_darkframe = 1;
    image = image_int;
    disp.focus_mode = 0;
    disp.focussed = 1;
    bool whole = false;
    camera_dialog_pass(&whole);
    acq.taking_darkframe = 0;
    // Part of a frame would be subtracted as if it were dark.
    if (!whole) return false;
    // The guide dark frame buffer is smaller than a full frame: keep what
    // fits rather than writing past it.
    const long n = std::min<long>(image_pixel_count(), GUIDER_BUFFER_PIXELS);
    std::copy(image_int, image_int + n, guider_darkframe);
    make_darkframe_base_text();
    acq.guider_darkframe_loaded = 1;
    return true;
}

void make_darkframe_base_text() {
    const char* unit = " second ";
    switch (cfg.exp_range) {
    case 'h':
        unit = " hundredth ";
        break;
    case 't':
        unit = " tenth ";
        break;
    case 'q':
        unit = " thousandth ";
        break;
    default:
        break;
    }
    std::snprintf(acq.darkframe_base_text, sizeof acq.darkframe_base_text, "%02d%s", cfg.exp_value,
                  unit);
}

const char* guide_dark_status_text() {
    static char text[80];
    if (!acq.guider_darkframe_loaded) return "No Dark Frame has been taken";
    std::snprintf(text, sizeof text, "%s%s", acq.darkframe_base_text,
                  acq.use_darkframe ? "darkframe being used" : "darkframe available");
    return text;
}

bool toggle_apply_darkframe() {
    const int before = acq.use_darkframe;
    acq.use_darkframe = acq.guider_darkframe_loaded ? !acq.use_darkframe : 0;
    return acq.use_darkframe != before;
}

bool filter_wheel_available() {
    return usbt.USB_filterwheel || cfg.filter_wheel;
}

void arm_pick_star() {
    guide.pick_star = 1;
    guide.cur_rad = cfg.star_mask;
    platform::ui().set_cursor(platform::CursorShape::Cross);
}

PickResult dialog_pick_star(int px, int py) {
    if (!guide.pick_star) return PickResult::NotArmed;
    const int r = guide.cur_rad;
    if (px < r || px > disp.width1 / 4 - r || py < r || py > disp.height1 / 4 - r) {
        messages(40);
        return PickResult::Outside;
    }
    platform::Point at{px * 4, py * 4};
    for (int pass = 0; pass < 3; ++pass) {
        if (find_centre(at.x, at.y, image_int, r) != 0) {
            // find_centre has said why; the pick ends here.
            guide.picked_star = 0;
            guide.centre_it = 0;
            guide.pick_star = 0;
            platform::ui().set_cursor(platform::CursorShape::Arrow);
            return PickResult::Lost;
        }
        // The cursor follows the star on the quarter-scale picture.
        const platform::Point cursor = platform::ui().cursor_pos();
        platform::ui().set_cursor_pos(
            {cursor.x + guide.xcent / 4 - at.x / 4, cursor.y + guide.ycent / 4 - at.y / 4});
        at = {guide.xcent, guide.ycent};
    }
    guide.picked_star = 1;
    guide.centre_it = 0;
    guide.pick_small = guide.pick_star_small = disp.binned ? 1 : 0;
    guide.pick_xcent = guide.xcent;
    guide.pick_ycent = guide.ycent;
    char text[64];
    std::snprintf(text, sizeof text, "x position = %5d\ny position = %5d", guide.xcent,
                  guide.ycent);
    messages(MSG_OWN_TEXT, text);
    guide.pick_star = 0;
    platform::ui().set_cursor(platform::CursorShape::Arrow);
    return PickResult::Picked;
}

int picture_pixel_value(int px, int py) {
    const int x = px * 4;
    const int y = py * 4;
    if (x < 0 || y < 0 || x >= disp.width1 || y >= disp.height1) return -1;
    const long at = static_cast<long>(y) * disp.width1 + x;
    if (at >= image_pixel_count()) return -1;
    return image_int[at];
}

bool exit_autoguider_cam() {
    if (guide.guider_guiding_standalone) {
        messages(59);
        return false;
    }
    if (cfg.telescope == 'n') {
        messages(MSG_OWN_TEXT, NO_DRIVE_TEXT);
        return false;
    }
    acq.start_autoguidercam = 1;
    disp.bin_display_quad = 0;
    return true;
}
