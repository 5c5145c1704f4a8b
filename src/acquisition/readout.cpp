#include "acquisition/readout.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/camera_controls.h"
#include "acquisition/filter_wheel.h"
#include "devices/camera_models.h"
#include "devices/camera_protocol.h"
#include "devices/transport.h"
#include "display/image_store.h"
#include "files/fits.h"
#include "platform/clock.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint32_t FULL_SHUTTER_LIMIT_MS = 100000;
constexpr std::uint32_t FOCUS_SHUTTER_LIMIT_MS = 1000;
constexpr int FOCUS_BYTES = FOCUS_FRAME_SIDE * FOCUS_FRAME_SIDE * 2;

bool before(std::uint32_t now, std::uint32_t end) {
    return static_cast<std::int32_t>(now - end) < 0;
}

int clamp_pixels(long long n) {
    return static_cast<int>(std::clamp<long long>(n, 0, MAIN_BUFFER_PIXELS));
}

// What the frame's file will say it is. The filter is the one it is exposed
// through: the position before the automatic advance that follows the read.
void note_frame_details() {
    const bool dark = acq.take_darkframe || acq.taking_darkframe;
    fits.image_type = dark ? ImageType::Dark : ImageType::Light;
    if (filter_wheel_available())
        std::snprintf(cfg.FITS_Filter, sizeof cfg.FITS_Filter, "%s", current_filter_name());
}

} // namespace

void wait_until(std::uint32_t end) {
    for (std::uint32_t now = platform::now_ms(); before(now, end); now = platform::now_ms())
        platform::sleep_ms(std::min<std::uint32_t>(end - now, 100));
}

bool exchange(int bytes) {
    SendBlock();
    usbt.ByteCount = bytes;
    ReceiveBlock();
    const int got = std::min<int>(static_cast<int>(usbt.BytesReturned), bytes);
    if (got < bytes) std::memset(ReportBuffer + got, 0, static_cast<std::size_t>(bytes - got));
    return got == bytes;
}

std::uint32_t exposure_for(char range, int value) {
    if (value < 0) value = 0;
    const std::uint64_t v = static_cast<std::uint64_t>(value);
    std::uint64_t ms = range == 'h' ? v * 10 : range == 't' ? v * 100 : range == 'q' ? v : v * 1000;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, INT32_MAX));
}

void fix_k1_full(unsigned short* img, int width, int height) {
    if (width <= 16) return;
    for (int y = 0; y < height; ++y) {
        unsigned short* row = img + static_cast<std::size_t>(y) * width;
        int sum[2] = {0, 0};
        for (int x = 0; x < 16; ++x) sum[x & 1] += row[x];
        const int mean[2] = {sum[0] / 8, sum[1] / 8};
        for (int x = 16; x < width; ++x)
            row[x] = static_cast<unsigned short>(std::clamp(row[x] - mean[x & 1] + 1000, 0, 65534));
    }
}

bool QV_full_read() {
    if (cam.cam_type == 4 && acq.exposure <= FULL_SHUTTER_LIMIT_MS) QV_closeshutter();
    note_frame_details();
    build_full_frame_block(acq.exposure, acq.take_darkframe != 0);
    const int pixels = clamp_pixels(static_cast<long long>(disp.intlength));
    const bool ok = exchange(pixels * 2);
    if (acq.auto_advance) {
        set_next_filter(); // the wheel turns while the frame is assembled
    }
    std::memcpy(image, ReportBuffer, static_cast<std::size_t>(pixels) * 2);
    if (cam.cam_type == 1 && disp.width1 > 0)
        fix_k1_full(image, disp.width1, std::min(disp.height1, pixels / disp.width1));
    acq.binned_image_state = 0;
    return ok;
}

bool QV_focus_read() {
    if (cam.cam_type == 4 && acq.exposure <= FOCUS_SHUTTER_LIMIT_MS) QV_closeshutter();
    build_focus_block(guide.focus_x, guide.focus_y, guide.bin_focus_frame != 0, acq.exposure);
    const bool ok = exchange(FOCUS_BYTES);
    std::memcpy(image, ReportBuffer, FOCUS_BYTES);
    return ok;
}

int focus_analysis(const unsigned short* f) {
    constexpr int S = FOCUS_FRAME_SIDE;
    std::fill(std::begin(acq.focus_table), std::end(acq.focus_table), 0u);
    int max = 0, mx = 0, my = 0;
    for (int y = 12; y <= 125; ++y)
        for (int x = 5; x <= 125; ++x) {
            const int p = f[y * S + x];
            ++acq.focus_table[p >> 8];
            if (p > max && f[(y - 1) * S + x] > max) {
                max = p;
                mx = x;
                my = y;
            }
        }
    int pop = 0;
    for (int b = 1; b < 256; ++b)
        if (acq.focus_table[b] > acq.focus_table[pop]) pop = b;
    acq.focus_most_pop = pop;
    acq.focus_most_pop_val = acq.focus_table[pop];
    const int half = (max - 256 * pop) / 2 + 256 * pop;
    acq.focus_FWHM_val = half;
    const unsigned short* row = f + my * S;
    int x1 = mx, x2 = mx;
    for (int x = 3; x <= mx; ++x)
        if (row[x] > half) {
            x1 = x;
            break;
        }
    for (int x = 125; x >= mx; --x)
        if (row[x] > half) {
            x2 = x;
            break;
        }
    acq.FWHM_x1 = x1;
    acq.FWHM_x2 = x2;
    acq.focus_FWHM = x2 - x1 + 1;
    acq.max_x = mx;
    acq.max_y = my;
    acq.max_focus_val = max;
    return max;
}

int QV_camera_read() {
    acq.exposure = exposure_for(cfg.exp_range, cfg.exp_value);
    QV_clearvert();
    QV_wiper();
    const std::uint32_t end = platform::now_ms() + acq.exposure;
    if (!camera_timed(acq.exposure)) {
        // The host times it, keeping the vertical registers clear meanwhile.
        if (cam.cam_type == 4) QV_openshutter();
        for (std::uint32_t now = platform::now_ms(); before(now, end); now = platform::now_ms()) {
            QV_clearvert();
            platform::sleep_ms(std::min<std::uint32_t>(end - now, 100));
        }
        if (cam.cam_type == 4) QV_closeshutter();
    }
    QV_full_read();
    return focus_analysis(image);
}

bool QV_camera_guide() {
    acq.exposure = exposure_for(cfg.exp_range, cfg.exp_value);
    QV_clearvert();
    QV_wiper();
    const std::uint32_t end = platform::now_ms() + acq.exposure;
    if (acq.exposure >= 500) wait_until(end);
    return QV_focus_read();
}
