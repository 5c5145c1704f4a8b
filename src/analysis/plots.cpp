#include "analysis/plots.h"

#include "analysis/analysis_state.h"
#include "display/image_store.h"
#include "platform/messages.h"
#include "platform/ui.h"

#include <algorithm>
#include <cstdio>

namespace {

// Pixel (x, y) of `img`, when it lies inside the image and the buffer.
bool pixel_at(const unsigned short* img, int x, int y, unsigned& v) {
    if (!img || x < 0 || y < 0 || x >= disp.width1 || y >= disp.height1) return false;
    const long i = static_cast<long>(y) * disp.width1 + x;
    if (i >= image_pixel_count()) return false;
    v = img[i];
    return true;
}

} // namespace

std::vector<PlotLine> histogram_lines(const std::uint32_t* table, char* list,
                                      std::size_t list_size) {
    std::vector<PlotLine> lines;
    const PlotColour blue = PlotColour::Blue;
    lines.push_back({5, 5, 5, 213, blue});
    lines.push_back({5, 213, 263, 213, blue});
    for (int x : {40, 72, 104, 136, 168, 200, 232, 264}) {
        const int end = x == 136 ? 224 : (x == 72 || x == 200) ? 220 : 217;
        lines.push_back({x, 213, x, end, blue});
    }

    std::size_t used = 0;
    auto append = [&](const char* text) {
        if (used >= list_size) return;
        const int k = std::snprintf(list + used, list_size - used, "%s", text);
        if (k > 0) used = std::min(list_size - 1, used + static_cast<std::size_t>(k));
    };
    if (list_size > 0) list[0] = '\0';
    append("val   count\n");
    int listed = 0;
    for (int i = 0; i < 256; ++i) {
        long h = static_cast<long>(table[i] / HIST_COUNT_STEP);
        PlotColour colour = PlotColour::Grey;
        if (h > HIST_BAR_MAX) {
            if (listed < HIST_OVER_LISTED) {
                char line[32];
                std::snprintf(line, sizeof line, "%03d  %6ld\n", i, h * HIST_COUNT_STEP);
                append(line);
                ++listed;
            }
            h = HIST_BAR_MAX;
            colour = PlotColour::Red;
        }
        if (h > 0)
            lines.push_back(
                {i + 8, HIST_BAR_BASE, i + 8, HIST_BAR_BASE - static_cast<int>(h), colour});
    }
    return lines;
}

bool start_histogram() {
    if (ana.hist_already) return false;
    ana.hist_already = 1;
    return true;
}

void relief_row(const unsigned short* img, int k, int& prev_b, std::vector<PlotLine>& out) {
    const int x0 = RELIEF_START_X - (k - RELIEF_FIRST_ROW);
    int px = x0, py = k + RELIEF_BASE_Y;
    for (int i = 0; i < RELIEF_COLUMNS; ++i) {
        unsigned v = 0;
        if (!pixel_at(img, i, k, v)) break; // past the row's end: no wrap into the next row
        const int b = static_cast<int>(v / RELIEF_LEVEL);
        const int x = x0 + i, y = k - b + RELIEF_BASE_Y;
        out.push_back({px, py, x, y, b > prev_b ? PlotColour::LightGrey : PlotColour::Grey});
        prev_b = b;
        px = x;
        py = y;
    }
}

bool start_intensity_plot() {
    if (ana.intensity_plot || ana.row_plot) return false;
    ana.externptr = image;
    ana.intensity_plot = 1;
    return true;
}

PlotRect row_plot_frame() {
    return {2, 2, disp.width1 + ROW_PLOT_EXTRA, 200};
}

void row_profile(const unsigned short* img, int row, std::vector<PlotPoint>& points) {
    points.clear();
    unsigned v = 0;
    if (!pixel_at(img, 0, row, v)) return;
    points.push_back({4, ROW_PLOT_BASE});
    for (int j = 0; pixel_at(img, j, row, v); ++j)
        points.push_back({j + 5, ROW_PLOT_BASE - static_cast<int>(v / RELIEF_LEVEL)});
}

bool start_row_plot(int merging, int fit) {
    if (merging || ana.photometry) {
        messages(47);
        return false;
    }
    if (ana.intensity_plot || ana.row_plot) return false;
    if (fit) {
        messages(48);
        return false;
    }
    platform::ui().set_cursor(platform::CursorShape::UpArrow);
    ana.obj_y = 127;
    ana.row_plot = 1;
    ana.externptr = image;
    return true;
}

void end_row_plot() {
    ana.row_plot = 0;
    platform::ui().set_cursor(platform::CursorShape::Arrow);
}
