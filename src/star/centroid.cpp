#include "star/centroid.h"

#include "display/image_store.h"
#include "platform/messages.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int GUIDE_FRAME_SIDE = 128; // the focus read always delivers 128 x 128
constexpr int GUIDER_WIDTH = 500;
constexpr int GUIDER_HEIGHT = 290;

constexpr const char* MAIN_CAPTION = "Nocteris  - Find Centre";
constexpr const char* GUIDER_CAPTION = "RAV_A4_RED  - Find Centre";
constexpr const char* OUTSIDE_TEXT = "Find centre failed - outside image area";

// The box must lie inside the image and fit the work table. 64-bit so that a
// wild click position cannot overflow the edge test.
bool box_fits(int x, int y, int rad, int width, int height) {
    if (rad < 0 || rad > CENTROID_MAX_RADIUS) return false;
    const long long lx = x, ly = y;
    return lx - rad >= 0 && ly - rad >= 0 && lx + rad + 1 <= width && ly + rad + 1 <= height;
}

struct BoxScan {
    unsigned abs_max = 0;
    int most_pop = 0; // background bin (16 grey levels each)
};

// Copies the n x n box into vals1 row by row and finds its peak and the most
// populated histogram bin; on equal counts the lowest bin wins.
BoxScan scan_box(const unsigned short* image, int width, int startx, int starty, int n) {
    std::fill(std::begin(guide.table1), std::end(guide.table1), 0u);
    BoxScan s;
    int k = 0;
    for (int row = 0; row < n; ++row) {
        const unsigned short* p = image + static_cast<long>(starty + row) * width + startx;
        for (int col = 0; col < n; ++col) {
            const unsigned v = p[col];
            ++guide.table1[v / 16];
            guide.vals1[k++] = v;
            s.abs_max = std::max(s.abs_max, v);
        }
    }
    for (int bin = 1; bin < 4096; ++bin)
        if (guide.table1[bin] > guide.table1[s.most_pop]) s.most_pop = bin;
    return s;
}

struct BoxCentroid {
    double fx;
    double fy;
};

// Weighted centroid of the values above their mean, in box coordinates. The
// sums start at 1, which pulls a faint result slightly toward (0, 0) and keeps
// an all-zero box defined. Sums are 64-bit: a full-size box of bright values
// times its column index passes 2^32.
BoxCentroid weighted_centroid(int n) {
    const int count = n * n;
    std::uint64_t sum = 0;
    for (int i = 0; i < count; ++i) sum += guide.vals1[i];
    const std::uint64_t mean = sum / static_cast<std::uint64_t>(count);

    std::uint64_t w = 1, sx = 1, sy = 1;
    int k = 0;
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            const std::uint64_t v = guide.vals1[k++];
            if (v <= mean) continue;
            const std::uint64_t d = v - mean;
            w += d;
            sx += d * static_cast<std::uint64_t>(col);
            sy += d * static_cast<std::uint64_t>(row);
        }
    }
    return {static_cast<double>(sx) / static_cast<double>(w),
            static_cast<double>(sy) / static_cast<double>(w)};
}

void store_subpixel(double f, int start, int& whole, int& tenths) {
    const int w = static_cast<int>(f);
    whole = start + w;
    tenths = static_cast<int>(10.0 * f) - 10 * w;
}

void store_rounded(double f, int start, int& whole, int& tenths) {
    whole = start + static_cast<int>(f + 0.5);
    tenths = 0;
}

} // namespace

StarCentre measure_centre(int x, int y, const unsigned short* image, int rad) {
    StarCentre r;
    const bool guide_frame = guide.guiding || guide.tracking;
    const int width = guide_frame ? GUIDE_FRAME_SIDE : disp.width1;
    const int height = guide_frame ? GUIDE_FRAME_SIDE : disp.height1;
    if (!box_fits(x, y, rad, width, height)) {
        platform::ui().message_box(OUTSIDE_TEXT, MAIN_CAPTION);
        r.status = 1;
        return r;
    }
    const int startx = x - rad, starty = y - rad, n = 2 * rad + 1;
    const BoxScan s = scan_box(image, width, startx, starty, n);

    // Just above the background bin's top; the highest bins use the bin floor
    // so the threshold stays within 16 bits.
    const unsigned thresh = s.most_pop <= 4014
                                ? static_cast<unsigned>(static_cast<double>(s.most_pop) * 16.32)
                                : static_cast<unsigned>(s.most_pop) * 16u;

    if (s.abs_max <= thresh) {
        if (s.abs_max > 65000) {
            platform::ui().message_box(
                "Sorry, Guide Area Overexposed, unable to find accurate centre", MAIN_CAPTION);
            r.status = 1;
            return r;
        }
        // Self-guiding runs unattended: a lost frame must not stop it with a box.
        if (!guide.selfguiding)
            platform::ui().message_box("Sorry, Nothing found to centre on - exposure continuing",
                                       MAIN_CAPTION);
        return r;
    }

    // Stretch the star to the full 16-bit range so faint and bright stars
    // weigh alike against the mean.
    const unsigned mult = 65535u / (s.abs_max - thresh);
    const int count = n * n;
    for (int i = 0; i < count; ++i) {
        const unsigned v = guide.vals1[i];
        guide.vals1[i] = v > thresh ? (v - thresh) * mult : 0u;
    }

    const BoxCentroid c = weighted_centroid(n);
    r.found = true;
    // Tenths only matter to a guide correction; a pick lands on a whole pixel.
    if (cfg.ignore_small == 0 && (guide.selfguiding || guide.guiding)) {
        store_subpixel(c.fx, startx, r.x, r.xdec);
        store_subpixel(c.fy, starty, r.y, r.ydec);
    } else {
        store_rounded(c.fx, startx, r.x, r.xdec);
        store_rounded(c.fy, starty, r.y, r.ydec);
    }
    return r;
}

namespace {

void store_centre(const StarCentre& c) {
    guide.xcent = c.x;
    guide.ycent = c.y;
    guide.xcentdec = c.xdec;
    guide.ycentdec = c.ydec;
}

// One snap pass: the star in the box around `point`, stored as find_centre
// stores it. False when the pass failed or the box held no star: the
// results then belong to an older star, so a click must not move to them.
bool snap_pass(platform::Point point, const unsigned short* image, int rad) {
    const StarCentre c = measure_centre(point.x, point.y, image, rad);
    if (c.status != 0 || !c.found) return false;
    store_centre(c);
    return true;
}

} // namespace

short find_centre(int x, int y, const unsigned short* image, int rad) {
    const StarCentre c = measure_centre(x, y, image, rad);
    if (c.found) store_centre(c);
    return c.status;
}

short guider_find_centre(int x, int y, const unsigned short* image, int rad) {
    if (!box_fits(x, y, rad, GUIDER_WIDTH, GUIDER_HEIGHT)) {
        platform::ui().message_box(OUTSIDE_TEXT, GUIDER_CAPTION);
        return 1;
    }
    const int startx = x - rad, starty = y - rad, n = 2 * rad + 1;
    const BoxScan s = scan_box(image, GUIDER_WIDTH, startx, starty, n);

    // A 16-bit threshold: for the top bins (a saturated box) the product
    // passes 65535 and wraps, as the guider loop has always measured it.
    const auto thresh =
        static_cast<std::uint16_t>(static_cast<int>(static_cast<double>(s.most_pop) * 16.64));

    // The guider's faint stars are boosted four times; values that would pass
    // 16 bits are set to the top value first.
    const bool boost = s.abs_max < 17000;
    const int count = n * n;
    for (int i = 0; i < count; ++i) {
        const unsigned v = guide.vals1[i];
        unsigned out = v > thresh ? v - thresh : 0u;
        if (boost) {
            if (out >= 16384) out = 65535;
            out *= 4;
        }
        guide.vals1[i] = out;
    }

    const BoxCentroid c = weighted_centroid(n);
    store_subpixel(c.fx, startx, guide.guider_xcent, guide.guider_xcentdec);
    store_subpixel(c.fy, starty, guide.guider_ycent, guide.guider_ycentdec);
    return 0;
}

void calc_guideframe() {
    guide.old_xcent = guide.xcent;
    guide.old_ycent = guide.ycent;
    int xc = guide.pick_xcent;
    int yc = guide.pick_ycent;

    // Centre the window on the star unless that would put it past an edge.
    const int hw = disp.focus_width1;
    if (hw < xc && xc < disp.width1 - hw)
        guide.focus_x = xc - hw;
    else if (xc <= hw)
        guide.focus_x = 0;
    else
        guide.focus_x = disp.width1 - 2 * hw;

    const int hh = disp.focus_height1;
    if (hh < yc && yc < disp.height1 - hh)
        guide.focus_y = yc - hh;
    else if (yc <= hh)
        guide.focus_y = 0;
    else
        guide.focus_y = disp.height1 - 2 * hh;

    xc -= guide.focus_x;
    yc -= guide.focus_y;

    // The camera starts the window read-out on an even column and on a row
    // that is a multiple of ten; shift the expected star by what it rounds off.
    const int xoffset = guide.focus_x % 2;
    const int yoffset = guide.focus_y % 10;
    xc += xoffset;
    yc -= yoffset;
    guide.xcent = xc;
    guide.ycent = yc;
    guide.drawx = xc;
    guide.drawy = yc;

    if (cfg.Debug_Mode) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "xcent=%5d, ycent = %5d, focus_x = %5d, focus_y = %5d,  xoffset = %5d, "
                      "yoffset = %5d",
                      guide.xcent, guide.ycent, guide.focus_x, guide.focus_y, xoffset, yoffset);
        messages(MSG_OWN_TEXT, text);
    }
    guide.tracking = 1;
}

void search_centre(int x, int y, const unsigned short* image, int rad, platform::Point& point) {
    point = {x, y};
    for (int pass = 0; pass < 3; ++pass) {
        const platform::Point cursor = platform::ui().cursor_pos();
        // A failed or empty pass keeps the point: the results hold an older star.
        if (!snap_pass(point, image, rad)) return;
        const int dx = point.x - guide.xcent;
        const int dy = point.y - guide.ycent;
        point = {guide.xcent, guide.ycent};
        platform::ui().set_cursor_pos({cursor.x - dx, cursor.y - dy});
        if (pass == 2 && guide.pick_star) guide.picked_star = 1;
    }
}

bool snap_to_star(platform::Point& point, const unsigned short* image) {
    for (int pass = 0; pass < 3; ++pass) {
        const platform::Point cursor = platform::ui().cursor_pos();
        if (point.x >= disp.width1 - guide.cur_rad || point.y >= disp.height1 - guide.cur_rad)
            continue;
        if (!snap_pass(point, image, guide.cur_rad)) {
            guide.picked_star = 0;
            return false;
        }
        guide.picked_star = 1;
        const int dx = guide.xcent - point.x;
        const int dy = guide.ycent - point.y;
        point = {guide.xcent, guide.ycent};
        platform::ui().set_cursor_pos({cursor.x + dx, cursor.y + dy});
    }
    return true;
}
