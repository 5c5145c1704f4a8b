#include "acquisition/readout.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/filter_wheel.h"
#include "devices/camera_protocol.h"
#include "devices/transport.h"
#include "display/camera_state.h"
#include "display/image_store.h"
#include "guiding/guide_state.h"
#include "platform/clock.h"
#include "settings/settings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint32_t FULL_SHUTTER_LIMIT_MS = 100000;
constexpr std::uint32_t FOCUS_SHUTTER_LIMIT_MS = 1000;
constexpr int FOCUS_BYTES = FOCUS_FRAME_SIDE * FOCUS_FRAME_SIDE * 2;

bool before(std::uint32_t now, std::uint32_t end) {
    return static_cast<std::int32_t>(now - end) < 0;
}

void wait_until(std::uint32_t end) {
    for (std::uint32_t now = platform::now_ms(); before(now, end); now = platform::now_ms())
        platform::sleep_ms(std::min<std::uint32_t>(end - now, 100));
}

// Sends the block, reads `bytes` of reply; what did not arrive is zeroed so
// that no earlier frame's data is taken for this one.
bool exchange(int bytes) {
    SendBlock();
    usbt.ByteCount = bytes;
    ReceiveBlock();
    const int got = std::min<int>(static_cast<int>(usbt.BytesReturned), bytes);
    if (got < bytes) std::memset(ReportBuffer + got, 0, static_cast<std::size_t>(bytes - got));
    return got == bytes;
}

int clamp_pixels(long long n) {
    return static_cast<int>(std::clamp<long long>(n, 0, MAIN_BUFFER_PIXELS));
}

void guider_geometry() {
    disp.guider_width1 = disp.guider_cam == 's' ? 500 : 376;
    disp.guider_pixcount = disp.guider_width1 * GUIDER_HEIGHT;
}

} // namespace

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

bool QV_autoguider_clear() {
    return exchange(build_guider_clear_block());
}

bool QV_autoguider_read() {
    guider_geometry();
    const int w = disp.guider_width1;
    const bool bin2 = acq.guider_bin != 0;
    build_guider_read_block(w, bin2);
    const int bytes = bin2 ? disp.guider_pixcount / 4 : disp.guider_pixcount;
    const bool ok = exchange(bytes);
    unsigned short* out = guider_imageptr;
    if (!bin2) {
        for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned short>(ReportBuffer[i] << 8);
        return ok;
    }
    // Every second row from the binned data, each byte and the mean of it and
    // the next; the rows between are the mean of their neighbours.
    const int bw = w / 2, bh = GUIDER_HEIGHT / 2;
    for (int r = 0; r < bh; ++r) {
        const unsigned char* in = ReportBuffer + static_cast<std::size_t>(r) * bw;
        unsigned short* row = out + static_cast<std::size_t>(2 * r) * w;
        for (int j = 0; j < bw; ++j) {
            const int v = in[j], next = j + 1 < bw ? in[j + 1] : in[j];
            row[2 * j] = static_cast<unsigned short>(v << 8);
            row[2 * j + 1] = static_cast<unsigned short>((v / 2 + next / 2) << 8);
        }
    }
    for (int r = 1; r < GUIDER_HEIGHT; r += 2) {
        unsigned short* row = out + static_cast<std::size_t>(r) * w;
        const unsigned short* above = row - w;
        if (r + 1 >= GUIDER_HEIGHT) {
            std::memcpy(row, above, static_cast<std::size_t>(w) * 2);
            continue;
        }
        const unsigned short* below = row + w;
        for (int x = 0; x < w; ++x)
            row[x] = static_cast<unsigned short>(((above[x] >> 8) / 2 + (below[x] >> 8) / 2) << 8);
    }
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

void guider_median(unsigned short* img, unsigned short* scratch, int width, int height) {
    const std::size_t n = static_cast<std::size_t>(width) * height;
    std::memcpy(scratch, img, n * 2);
    for (int y = 1; y + 1 < height; ++y)
        for (int x = 1; x + 1 < width; ++x) {
            unsigned short v[9];
            int k = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) v[k++] = img[(y + dy) * width + x + dx];
            std::sort(v, v + 9);
            const int p = img[y * width + x];
            const int median = v[4];
            const int limit = static_cast<int>(0.6 * (v[8] - v[0]));
            if (std::abs(median - p) > limit)
                scratch[y * width + x] = static_cast<unsigned short>(median);
        }
    std::memcpy(img, scratch, n * 2);
}

bool QV_guider_camera_read() {
    const char r = acq.exp_guider_range;
    acq.guider_exposure = exposure_for(r == 'h' || r == 't' ? r : 's', acq.exp_guider_value);
    bool ok = QV_autoguider_clear();
    wait_until(platform::now_ms() + acq.guider_exposure);
    ok = QV_autoguider_read() && ok;

    unsigned short* img = guider_imageptr;
    const int n = disp.guider_pixcount;
    std::fill(std::begin(acq.guider_table), std::end(acq.guider_table), 0u);
    for (int i = 0; i < n; ++i) ++acq.guider_table[img[i] >> 8];
    int pop = 1;
    for (int b = 2; b < 256; ++b)
        if (acq.guider_table[b] > acq.guider_table[pop]) pop = b;
    disp.guider_most_pop = pop;
    acq.guider_max_val = 0;
    for (int b = 255; b >= 0; --b)
        if (acq.guider_table[b] > 5) {
            acq.guider_max_val = b;
            break;
        }

    if (acq.guider_use_darkframe && !acq.guider_take_darkframe)
        for (int i = 0; i < n; ++i)
            img[i] = static_cast<unsigned short>(std::max(0, img[i] - guider_darkframeptr[i]));
    if (acq.guider_use_median)
        guider_median(img, guider_trialptr, disp.guider_width1, GUIDER_HEIGHT);
    return ok;
}
