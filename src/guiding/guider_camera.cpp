#include "guiding/guider_camera.h"

#include "acquisition/readout.h"
#include "devices/camera_protocol.h"
#include "devices/transport.h"
#include "display/image_store.h"
#include "guiding/guiding_state.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void guider_geometry() {
    disp.guider_width1 = disp.guider_cam == 's' ? 500 : 376;
    disp.guider_pixcount = disp.guider_width1 * GUIDER_HEIGHT;
}

} // namespace

bool QV_autoguider_clear() {
    return exchange(build_guider_clear_block());
}

bool QV_autoguider_read() {
    guider_geometry();
    const int w = disp.guider_width1;
    const bool bin2 = autoguide.guider_bin != 0;
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
    const char r = autoguide.exp_guider_range;
    autoguide.guider_exposure =
        exposure_for(r == 'h' || r == 't' ? r : 's', autoguide.exp_guider_value);
    bool ok = QV_autoguider_clear();
    wait_until(platform::now_ms() + autoguide.guider_exposure);
    ok = QV_autoguider_read() && ok;

    unsigned short* img = guider_imageptr;
    const int n = disp.guider_pixcount;
    std::fill(std::begin(autoguide.guider_table), std::end(autoguide.guider_table), 0u);
    for (int i = 0; i < n; ++i) ++autoguide.guider_table[img[i] >> 8];
    int pop = 1;
    for (int b = 2; b < 256; ++b)
        if (autoguide.guider_table[b] > autoguide.guider_table[pop]) pop = b;
    disp.guider_most_pop = pop;
    autoguide.guider_max_val = 0;
    for (int b = 255; b >= 0; --b)
        if (autoguide.guider_table[b] > 5) {
            autoguide.guider_max_val = b;
            break;
        }

    if (autoguide.guider_use_darkframe && !autoguide.guider_take_darkframe)
        for (int i = 0; i < n; ++i)
            img[i] = static_cast<unsigned short>(std::max(0, img[i] - guider_darkframeptr[i]));
    if (autoguide.guider_use_median)
        guider_median(img, guider_trialptr, disp.guider_width1, GUIDER_HEIGHT);
    return ok;
}
