#include "guiding/guider_controls.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/sequence.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "display/display_pipeline.h"
#include "display/image_store.h"
#include "guiding/ao_params.h"
#include "guiding/guider_camera.h"
#include "guiding/guiding_state.h"
#include "platform/clock.h"
#include "platform/command_ids.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/mount_controls.h"
#include "telescope/telescope_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

int guider_max_for(char range) {
    switch (range) {
    case 'h':
        return 500;
    case 't':
        return 100;
    default:
        return 10;
    }
}

void select_guider_buffers() {
    guider_imageptr = guider_image;
    guider_trialptr = guider_trial;
    guider_darkframeptr = guider_darkframe;
}

int frame_width() {
    return std::clamp(disp.guider_width1, 1, GUIDER_BUFFER_PIXELS / GUIDER_HEIGHT);
}

} // namespace

void guider_dialog_init() {
    acq.stopit = 1;
    autoguide.max_guider_exp = guider_max_for(autoguide.exp_guider_range);
    autoguide.min_guider_exp = 1;
}

void guider_set_range(char range) {
    autoguide.exp_guider_range = range;
    autoguide.max_guider_exp = guider_max_for(range);
    autoguide.exp_guider_value = range == 's' ? 1 : 5;
}

bool guider_decrement_exp() {
    if (autoguide.exp_guider_value <= autoguide.min_guider_exp) return false;
    --autoguide.exp_guider_value;
    return true;
}

bool guider_increment_exp() {
    if (autoguide.exp_guider_value >= autoguide.max_guider_exp) return false;
    ++autoguide.exp_guider_value;
    return true;
}

bool scroll_guider_stretch(ScrollAction a, int pos) {
    int& s = disp.guider_stretch;
    int to = s;
    switch (a) {
    case ScrollAction::LineLeft:
        to = std::max(GUIDER_STRETCH_MIN, s - 1);
        break;
    case ScrollAction::LineRight:
        to = std::min(GUIDER_STRETCH_MAX, s + 1);
        break;
    case ScrollAction::PageLeft:
        to = GUIDER_STRETCH_MIN;
        break;
    case ScrollAction::PageRight:
        to = GUIDER_STRETCH_MAX;
        break;
    case ScrollAction::Thumb:
        to = std::clamp(pos, GUIDER_STRETCH_MIN, GUIDER_STRETCH_MAX);
        break;
    case ScrollAction::Other:
        break;
    }
    if (to == s) return false;
    s = to;
    return true;
}

bool guider_mouse_readout(int x, int y) {
    const int w = frame_width();
    if (x <= GUIDER_FRAME_X || x >= GUIDER_FRAME_X + 500 || y <= GUIDER_FRAME_Y ||
        y >= GUIDER_FRAME_Y + GUIDER_HEIGHT)
        return false;
    const int col = x - GUIDER_FRAME_X, row = y - GUIDER_FRAME_Y;
    // The narrow head's frame ends before the picture does.
    if (col >= w) return false;
    autoguide.guiderwrk_x = static_cast<std::uint16_t>(col);
    autoguide.guiderwrk_y = static_cast<std::uint16_t>(row);
    autoguide.guiderwrk_val = static_cast<std::uint16_t>(guider_imageptr[row * w + col] >> 8);
    return true;
}

int guider_render() {
    const int r = write_guider_bmp();
    if (r == BMP_CREATE_FAILED || r == BMP_HEADER_SHORT || r == BMP_PIXELS_SHORT)
        messages(static_cast<short>(7 + r));
    return r;
}

void guider_preview_begin() {
    select_guider_buffers();
    acq.stopit = 0;
    QV_autoguider_clear();
    QV_autoguider_clear();
}

int guider_preview_pass(bool* whole) {
    platform::ui().set_cursor(platform::CursorShape::Wait);
    const bool ok = QV_guider_camera_read();
    platform::ui().set_cursor(platform::CursorShape::Arrow);
    if (whole) *whole = ok;
    autoguide.guided_image = 1;
    return guider_render();
}

bool guider_take_darkframe() {
    autoguide.guider_darkframe_loaded = 0;
    select_guider_buffers();
    autoguide.guider_take_darkframe = 1;
    platform::ui().set_cursor(platform::CursorShape::Wait);
    const bool whole = QV_guider_camera_read();
    platform::ui().set_cursor(platform::CursorShape::Arrow);
    autoguide.guider_take_darkframe = 0;
    const int r = guider_render();
    // Part of a frame would be subtracted as if it were dark.
    if (r != BMP_OK || !whole) {
        autoguide.guider_use_darkframe = 0;
        return false;
    }
    std::copy(guider_imageptr, guider_imageptr + 500 * GUIDER_HEIGHT, guider_darkframeptr);
    const char* unit = " second ";
    if (autoguide.exp_guider_range == 'h') unit = " hundredth ";
    if (autoguide.exp_guider_range == 't') unit = " tenth ";
    std::snprintf(autoguide.darkframe_base_text, sizeof autoguide.darkframe_base_text, "%2d%s",
                  autoguide.exp_guider_value, unit);
    autoguide.guider_darkframe_loaded = 1;
    return true;
}

void guider_toggle_use_darkframe() {
    autoguide.guider_use_darkframe =
        autoguide.guider_darkframe_loaded ? !autoguide.guider_use_darkframe : 0;
}

const char* guider_darkframe_status() {
    char* t = autoguide.guider_darkframe_text;
    const std::size_t n = sizeof autoguide.guider_darkframe_text;
    if (!autoguide.guider_darkframe_loaded)
        std::snprintf(t, n, "No darkframe has been taken");
    else
        std::snprintf(t, n, "%s%s", autoguide.darkframe_base_text,
                      autoguide.guider_use_darkframe ? "darkframe being used"
                                                     : "darkframe available");
    return t;
}

void guider_arm_pick() {
    guide.guider_pick_star = 1;
    guide.cur_rad = std::clamp<int>(cfg.star_mask, 0, CENTROID_MAX_RADIUS);
    platform::ui().set_cursor(platform::CursorShape::Cross);
}

GuiderPick guider_pick_click(int cx, int cy) {
    if (!guide.guider_pick_star) return GuiderPick::NotArmed;
    const int r = guide.cur_rad;
    // The whole search box must lie on the frame: its last column is
    // 10 + width - 1, its last row 45 + 289.
    const int right = GUIDER_FRAME_X + frame_width() - 1 - r;
    const int bottom = GUIDER_FRAME_Y + GUIDER_HEIGHT - 1 - r;
    if (cx < r + GUIDER_FRAME_X || cx > right || cy < r + GUIDER_FRAME_Y || cy > bottom) {
        messages(40);
        return GuiderPick::Outside;
    }
    platform::Point at{cx - GUIDER_FRAME_X, cy - GUIDER_FRAME_Y};
    for (int pass = 0; pass < 3; ++pass) {
        if (guider_find_centre(at.x, at.y, guider_imageptr, r) != 0) {
            guide.guider_picked_star = 0;
            guide.guider_pick_star = 0;
            guide.centre_it = 0;
            platform::ui().set_cursor(platform::CursorShape::Arrow);
            return GuiderPick::Lost;
        }
        const platform::Point cursor = platform::ui().cursor_pos();
        platform::ui().set_cursor_pos(
            {cursor.x + guide.guider_xcent - at.x, cursor.y + guide.guider_ycent - at.y});
        at = {guide.guider_xcent, guide.guider_ycent};
    }
    guide.guider_picked_star = 1;
    guide.centre_it = 0;
    guide.guider_pick_xcent = guide.guider_xcent;
    guide.guider_pick_ycent = guide.guider_ycent;
    char text[64];
    std::snprintf(text, sizeof text, "x position = %5d\ny position = %5d", guide.guider_xcent,
                  guide.guider_ycent);
    messages(MSG_OWN_TEXT, text);
    guide.guider_pick_star = 0;
    platform::ui().set_cursor(platform::CursorShape::Arrow);
    return GuiderPick::Picked;
}

bool guider_moves_available() {
    return cfg.GuiderMode != 'T' || cfg.telescope != 'n';
}

bool guider_toggles_available() {
    return cfg.GuiderMode == 'T' && cfg.telescope == 'b';
}

const char* guider_move_title() {
    return cfg.GuiderMode == 'T' ? "Move Telescope" : "Move AO Unit";
}

bool guider_move_press(char which) {
    if (!guider_moves_available() || tele.tele_moving) return false;
    if (cfg.GuiderMode != 'T') return ao_arrow_press(which);
    return cfg.telescope == 'b' ? socket_pad_press(which) : pad_press(which);
}

bool guider_move_release() {
    return cfg.telescope == 'b' ? socket_pad_release() : pad_release();
}

bool guider_move_toggle(char which) {
    if (!guider_toggles_available()) return false;
    if (tele.tele_moving) return socket_pad_release();
    return socket_pad_press(which);
}

void guider_exit_main_camera() {
    acq.start_maincam = 1;
}

void guider_exit_start_guiding() {
    autoguide.start_guider = 1;
}

bool QV_Guider_Control(const std::function<void()>& run_dialog,
                       const std::function<void(int)>& hand_over) {
    const auto send = [&](int id) {
        if (hand_over)
            hand_over(id);
        else
            platform::ui().send_command(id);
    };
    autoguide.guider_pick_star_save = guide.guider_pick_star ? 1 : 0;
    guide.guider_pick_star = 0;
    select_guider_buffers();
    guider_render();
    // find_camera loads the settings first and says when there is none.
    if (!usbt.got_qv && !find_camera()) return false;
    if (cfg.telescope == 'n') {
        messages(MSG_OWN_TEXT, NO_DRIVE_TEXT);
        return false;
    }
    const int linked = cfg.telescope == 'b' ? interface_check() : drive_check();
    if (linked) serial.comfound = 1;

    acq.start_maincam = 0;
    autoguide.start_guider = 0;
    run_dialog();
    autoguide.got_guidercam = 1;
    const bool maincam = acq.start_maincam, guider = autoguide.start_guider;
    acq.start_maincam = 0;
    autoguide.start_guider = 0;
    if (maincam) send(CM_CAMERA_INTERFACE);
    if (guider) send(CM_GUIDER_GUIDE);
    return true;
}

const char* vals_in_use_text(int trained, int use_trained) {
    return trained && use_trained ? "Using Trained Vals" : "Using Default Vals";
}

const char* guider_mode_label() {
    return cfg.GuiderMode == 'T' ? "Telescope Drives" : "AO Unit";
}

GuiderInfoTexts guider_info_texts(int ao_ew, int ao_ns, const char* offload_text,
                                  std::uint32_t offload_at) {
    GuiderInfoTexts t{};
    std::snprintf(t.x, sizeof t.x, "%1.1f", guide.guider_xcent + guide.guider_xcentdec / 10.0);
    std::snprintf(t.y, sizeof t.y, "%1.1f", guide.guider_ycent + guide.guider_ycentdec / 10.0);
    std::snprintf(t.ex, sizeof t.ex, "%1.1f", autoguide.x3 * 0.001);
    std::snprintf(t.ey, sizeof t.ey, "%1.1f", autoguide.y3 * 0.001);
    std::snprintf(t.slew_x, sizeof t.slew_x, "%5d", autoguide.slew_time_x);
    std::snprintf(t.slew_y, sizeof t.slew_y, "%5d", autoguide.slew_time_y);
    std::snprintf(t.ao_ew, sizeof t.ao_ew, "%5d", std::clamp(ao_ew, -9999, 99999));
    std::snprintf(t.ao_ns, sizeof t.ao_ns, "%5d", std::clamp(ao_ns, -9999, 99999));
    if (offload_text && platform::now_ms() - offload_at < 2500)
        std::snprintf(t.offload, sizeof t.offload, "%s", offload_text);
    return t;
}

bool guider_error_plot_point(int cx, int cy, int* px, int* py) {
    if (std::abs(autoguide.x3) >= 4400 || std::abs(autoguide.y3) >= 4400) return false;
    *px = cx + autoguide.x3 / 100;
    *py = cy - autoguide.y3 / 100;
    return true;
}

void toggle_guider_use_trained() {
    autoguide.guider_use_trained = autoguide.guider_trained && !autoguide.guider_use_trained;
}

const char* guider_use_default_caption() {
    return autoguide.guider_trained && !autoguide.guider_use_trained ? "Use Trained"
                                                                     : "Use Defaults";
}
