#include "processing/stacking.h"

#include "display/history.h"
#include "display/image_store.h"
#include "files/file_pick.h"
#include "files/native_file.h"
#include "platform/messages.h"
#include "processing/calibration.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

StackState stacking;

void reset_stack_state() {
    stacking = StackState{};
}

namespace {

// The profile window: columns 200..299, rows R+100..R+199.
constexpr int WINDOW_X = 200;
constexpr int WINDOW_Y = 100;
constexpr int SHIFT_CANDIDATES = 20;
constexpr int SHIFT_TERMS = 80;

bool has_label(const unsigned short* img) {
    return image_row_count() > 0 && has_label_marker(img, disp.width1);
}

unsigned short saturated(long v) {
    return static_cast<unsigned short>(std::min(v, 65535L));
}

// The share of a frame that goes into the sum.
unsigned short share(unsigned short v, const AccumulateOptions& opt) {
    return opt.slew_sum_average && opt.total_images > 1
               ? static_cast<unsigned short>(v / opt.total_images)
               : v;
}

unsigned short pixel_at(const unsigned short* img, int x, int y) {
    if (x < 0 || y < 0 || x >= disp.width1 || y >= image_row_count()) return 0;
    return img[static_cast<long>(y) * disp.width1 + x];
}

// Three centroid passes from (x, y). A box with nothing above the background
// leaves the point where it is. False when a pass fails (box off the image).
// The star found is the guide star's position (`xcent`, `ycent`) from then on.
bool locate_star(const unsigned short* img, int x, int y, int& cx, int& cy) {
    for (int pass = 0; pass < 3; ++pass) {
        guide.xcent = x;
        guide.ycent = y;
        const StarCentre c = measure_centre(x, y, img, cfg.star_mask);
        if (c.status != 0) return false;
        if (!c.found) continue;
        x = guide.xcent = c.x;
        y = guide.ycent = c.y;
        guide.xcentdec = c.xdec;
        guide.ycentdec = c.ydec;
    }
    cx = x;
    cy = y;
    return true;
}

// First most populated bin of the histogram of pixel high bytes.
int high_byte_peak(const unsigned short* img) {
    long hist[256] = {};
    const long n = image_pixel_count();
    for (long i = 0; i < n; ++i) ++hist[img[i] >> 8];
    return static_cast<int>(std::max_element(hist, hist + 256) - hist);
}

bool window_fits(int r) {
    return disp.width1 >= WINDOW_X + PROFILE_SIZE &&
           image_row_count() >= WINDOW_Y + r + PROFILE_SIZE;
}

// Row and column profiles of the window: the sums of (pixel - T) * 16 over
// the pixels above the threshold T.
void build_profiles(const unsigned short* img, int r, long threshold, long* rows, long* cols) {
    std::fill(rows, rows + PROFILE_SIZE, 0L);
    std::fill(cols, cols + PROFILE_SIZE, 0L);
    for (int j = 0; j < PROFILE_SIZE; ++j) {
        const unsigned short* line = img + static_cast<long>(WINDOW_Y + r + j) * disp.width1;
        for (int k = 0; k < PROFILE_SIZE; ++k) {
            const long p = line[WINDOW_X + k];
            if (p > threshold) {
                rows[j] += (p - threshold) * 16;
                cols[k] += (p - threshold) * 16;
            }
        }
    }
}

// Mismatch of the reference profile against the new one at each candidate
// offset; returns the best shift (offset - 10, the first on ties).
int best_shift(const long* ref, const long* now, long* diff) {
    for (int i = 0; i < SHIFT_CANDIDATES; ++i) {
        long d = 0;
        for (int j = 0; j < SHIFT_TERMS; ++j) d += std::labs(ref[j + 10] - now[j + i]);
        diff[i] = d;
    }
    return static_cast<int>(std::min_element(diff, diff + SHIFT_CANDIDATES) - diff) - 10;
}

} // namespace

void do_average_image(unsigned short* image, const unsigned short* operand) {
    const long n = image_pixel_count();
    for (long i = 0; i < n; ++i)
        image[i] = static_cast<unsigned short>((image[i] + operand[i]) / 2);
}

void do_merge(unsigned short* second, unsigned short* first, int orig_x, int orig_y, int merge_x,
              int merge_y, int average) {
    const int w = disp.width1, h = image_row_count();
    if (w <= 0 || h <= 0) return;
    const int e = has_label(second) || has_label(first) ? LABEL_ROWS : 0;
    const long dx = static_cast<long>(merge_x) - orig_x;
    const long dy = static_cast<long>(merge_y) - orig_y;
    for (int y = e; y < h; ++y) {
        const long ys = y + dy;
        if (ys <= e || ys >= h) continue;
        const unsigned short* s = second + ys * w;
        unsigned short* f = first + static_cast<long>(y) * w;
        for (int x = 0; x < w; ++x) {
            const long xs = x + dx;
            if (xs <= 0 || xs >= w - 1) continue;
            const long sum = static_cast<long>(s[xs]) + f[x];
            f[x] = average ? static_cast<unsigned short>(sum / 2) : saturated(sum);
        }
    }
    backup_image(first, second);
}

int track_accumulate(unsigned short* fredptr, unsigned short* trialptr, int& orig_x, int& orig_y,
                     int& merge_x, int& merge_y, int& orig_max, int& /*orig_avg*/,
                     const AccumulateOptions& opt) {
    const long n = image_pixel_count();
    if (orig_x == 0) {
        for (long i = 0; i < n; ++i) trialptr[i] = share(fredptr[i], opt);
        const int x0 = disp.binned ? guide.xcent / 2 : guide.xcent;
        const int y0 = disp.binned ? guide.ycent / 2 : guide.ycent;
        int cx = 0, cy = 0;
        // Without a star to follow the series cannot be registered.
        if (!locate_star(fredptr, x0, y0, cx, cy)) return 1;
        orig_x = cx;
        orig_y = cy;
        orig_max = pixel_at(fredptr, cx, cy);
        return 0;
    }

    int cx = 0, cy = 0;
    const bool found = locate_star(fredptr, orig_x, orig_y, cx, cy);
    const long peak = found ? pixel_at(fredptr, cx, cy) : 0;
    if (!found || peak > 3L * orig_max || peak < 0.3 * orig_max) {
        copy_image(fredptr, trialptr);
        return 1;
    }
    merge_x = cx;
    merge_y = cy;
    const int dx = cx - orig_x, dy = cy - orig_y;
    orig_x = cx;
    orig_y = cy;

    const int w = disp.width1, h = image_row_count();
    for (int y = 0; y < h; ++y) {
        const int sy = y - dy;
        if (sy <= 0 || sy >= h) continue;
        unsigned short* row = fredptr + static_cast<long>(y) * w;
        const unsigned short* acc = trialptr + static_cast<long>(sy) * w;
        for (int x = 0; x < w; ++x) {
            const int sx = x - dx;
            if (sx <= 0 || sx >= w) continue;
            row[x] = saturated(static_cast<long>(share(row[x], opt)) + acc[sx]);
        }
    }
    backup_image(fredptr, trialptr);
    return 0;
}

int slew_accumulate(unsigned short* fredptr, unsigned short* trialptr, int& orig_x, int& orig_y,
                    int& /*merge_x*/, int& merge_y, int& /*orig_max*/, int& orig_avg,
                    const AccumulateOptions& opt) {
    StackState& s = stacking;
    const long n = image_pixel_count();
    if (orig_avg == 0) {
        for (long i = 0; i < n; ++i) trialptr[i] = share(fredptr[i], opt);
        disp.most_pop = high_byte_peak(fredptr);
        long sum = 0;
        for (long i = 0; i < std::min(n, 10000L); ++i) sum += fredptr[i];
        const int avg = static_cast<int>(static_cast<double>(sum) * 0.0001);

        const long needed = static_cast<long>(disp.most_pop) * 375;
        long brightest = 0;
        int r_found = -1;
        for (int r : {0, 10, 20}) {
            if (!window_fits(r)) continue;
            for (int j = 0; j < PROFILE_SIZE; ++j) {
                const unsigned short* line =
                    fredptr + static_cast<long>(WINDOW_Y + r + j) * disp.width1 + WINDOW_X;
                brightest = std::max<long>(brightest, *std::max_element(line, line + PROFILE_SIZE));
            }
            if (brightest >= needed) {
                r_found = r;
                break;
            }
        }
        if (r_found < 0) return 2;
        // orig_avg also marks the series as started: a dark first frame must
        // not make every later frame restart the sum.
        orig_avg = std::max(avg, 1);
        merge_y = r_found;
        const long threshold = (disp.most_pop + 2L) * 256;
        build_profiles(fredptr, r_found, threshold, s.rowsum_1, s.colsum_1);
        orig_x = 0;
        orig_y = 0;
        return 0;
    }

    const int r = merge_y;
    if (r < 0 || !window_fits(r)) return 2;
    disp.most_pop = high_byte_peak(fredptr);
    const long threshold = (disp.most_pop + 2L) * 256;
    build_profiles(fredptr, r, threshold, s.rowsum_2, s.colsum_2);
    long d[SHIFT_CANDIDATES], e[SHIFT_CANDIDATES];
    const int row_shift = best_shift(s.rowsum_1, s.rowsum_2, d);
    const int col_shift = best_shift(s.colsum_1, s.colsum_2, e);
    if (e[9] + e[10] + e[11] < 5000) {
        copy_image(fredptr, trialptr);
        return 1;
    }
    std::copy(s.rowsum_2, s.rowsum_2 + PROFILE_SIZE, s.rowsum_1);
    std::copy(s.colsum_2, s.colsum_2 + PROFILE_SIZE, s.colsum_1);

    const int w = disp.width1, h = image_row_count();
    const long oy = static_cast<long>(row_shift) + orig_y;
    const long ox = static_cast<long>(col_shift) + orig_x;
    for (int y = 0; y < h; ++y) {
        const long ys = y + oy;
        if (ys <= 0 || ys >= h) continue;
        unsigned short* acc = trialptr + static_cast<long>(y) * w;
        const unsigned short* src = fredptr + ys * w;
        for (int x = 0; x < w; ++x) {
            const long xs = x + ox;
            if (xs <= 0 || xs >= w) continue;
            acc[x] = saturated(static_cast<long>(acc[x]) + share(src[xs], opt));
        }
    }
    orig_x += col_shift;
    orig_y += row_shift;
    copy_image(fredptr, trialptr);
    return 0;
}

bool merge_operand_pick() {
    const platform::FileDialogResult r = platform::ui().file_dialog(pick_dialog_request());
    if (!r.accepted) return false;
    if (note_pick_choice(r.path)) return false; // a File-menu pick, not an operand
    image = image_int;
    trial = trial_int;
    if (LoadQVTempFile(r.path.c_str()) != 0) return false;

    platform::ui().set_cursor(platform::CursorShape::Wait);
    undo = undo_int;
    undo_save_option();
    switch (stacking.merge_type) {
    case 's':
        apply_subtract_operand();
        break;
    case 'f':
        apply_flat_operand();
        break;
    default:
        do_average_image(image, trial);
        break;
    }
    platform::ui().set_cursor(platform::CursorShape::Arrow);
    return true;
}

bool Average_Image() {
    stacking.merge_type = 'a';
    return merge_operand_pick();
}

bool start_merge(int photometry, int row_plot, int fit) {
    if (photometry || row_plot) {
        messages(37);
        return false;
    }
    if (fit) {
        messages(43);
        return false;
    }
    if (stacking.merging) {
        messages(44);
        return false;
    }
    StackState& s = stacking;
    s.orig = 1;
    s.average = 0;
    s.orig_x = s.orig_y = s.merge_x = s.merge_y = 0;
    // What a mark would set, so a Merge before any mark has images to combine.
    s.extfredptr = image_int;
    s.exttrialptr = trial_int;
    s.merging = 1;
    return true;
}

void merge_mark(platform::Point& point, const unsigned short* img, int rad) {
    StackState& s = stacking;
    if (s.merge_centre) search_centre(point.x, point.y, img, rad, point);
    if (s.orig) {
        s.orig_x = point.x;
        s.orig_y = point.y;
    } else {
        s.merge_x = point.x;
        s.merge_y = point.y;
    }
    s.extfredptr = image;
    s.exttrialptr = trial;
}

void merge_take_second() {
    if (!stacking.merging) return;
    stacking.orig = 0;
    backup_image(image, trial);
}

bool merge_execute() {
    StackState& s = stacking;
    if (!s.merging || s.orig) return false;
    s.merging = 0;
    do_merge(s.extfredptr, s.exttrialptr, s.orig_x, s.orig_y, s.merge_x, s.merge_y, s.average);
    s.average = 0;
    disp.prep_image = 1;
    return true;
}

void merge_cancel() {
    stacking.merging = 0;
    stacking.average = 0;
}
