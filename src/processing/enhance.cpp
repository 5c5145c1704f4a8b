#include "processing/enhance.h"

#include "display/history.h"
#include "display/image_store.h"
#include "platform/ui.h"
#include "processing/filter_state.h"
#include "processing/parallel.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

// The hot loops work on 16 pixels at a time through the compiler's generic
// vectors; an AVX2 copy of each is picked at run time where the processor has it.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define FILTER_X86 1
#define TARGET_AVX2 __attribute__((target("avx2")))
#else
#define FILTER_X86 0
#define TARGET_AVX2
#endif
#define ALWAYS_INLINE [[gnu::always_inline]] inline

// The vector helpers are internal and always inlined, so the calling
// convention of 32-byte vectors without AVX never applies.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

using u16 = std::uint16_t;
constexpr int LANES = 16;
typedef std::uint16_t u16v __attribute__((vector_size(2 * LANES)));
typedef std::int16_t s16v __attribute__((vector_size(2 * LANES)));
typedef std::int32_t i32v __attribute__((vector_size(4 * LANES)));
typedef std::uint32_t u32v __attribute__((vector_size(4 * LANES)));
typedef float f32v __attribute__((vector_size(4 * LANES)));

bool have_avx2() {
#if FILTER_X86
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes && filt.use_avx2;
#else
    return false;
#endif
}

ALWAYS_INLINE void load(u16v& v, const u16* p) {
    std::memcpy(&v, p, sizeof v);
}
ALWAYS_INLINE void store(u16* p, const u16v& v) {
    std::memcpy(p, &v, sizeof v);
}

// ---- Rows over threads -------------------------------------------------------

constexpr int CHUNK_ROWS = 16;

// Small images are not worth a thread.
int thread_count(int rows) {
    return parallel::thread_count(filt.threads, rows / CHUNK_ROWS);
}

bool valid_frame(int w, int h) {
    return w > 0 && h > 0 && static_cast<long long>(w) * h <= MAIN_BUFFER_PIXELS;
}

// ---- Selection networks for the median ---------------------------------------
//
// Batcher's odd-even merge sort over the next power of two, padded with values
// known to be below and above every pixel, then cut down to what yields the
// minimum, the median and the maximum. The cutting tracks which register is
// known to be no larger than which: a comparison whose outcome is known
// becomes nothing or a renaming, and comparisons whose results are never
// used are dropped. Built at compile time.

enum : std::uint8_t { KEEP_MIN = 1, KEEP_MAX = 2 };

struct CompareOp {
    std::uint8_t a = 0, b = 0; // a receives the smaller value, b the larger
    std::uint8_t keep = 0;
};

template <int N> struct SelectNet {
    static constexpr int P = N <= 16 ? 16 : N <= 32 ? 32 : 64;
    std::array<CompareOp, 600> ops{};
    int count = 0;
    int lo = 0, med = 0, hi = 0; // registers holding the results
};

template <int N> constexpr SelectNet<N> build_select_net() {
    constexpr int P = SelectNet<N>::P;
    constexpr int low_pads = (P - N) / 2;
    SelectNet<N> net;
    // Registers 0..N-1 hold the pixels, then the low pads, then the high pads.
    std::array<int, P> reg{};
    for (int w = 0; w < P; ++w) reg[w] = w;
    std::array<std::array<bool, P>, P> le{};
    for (int a = 0; a < P; ++a) {
        le[a][a] = true;
        for (int x = 0; x < P; ++x) {
            if (a >= N && a < N + low_pads) le[a][x] = true;
            if (a >= N + low_pads) le[x][a] = true;
        }
    }
    std::array<CompareOp, 600> raw{};
    int n = 0;
    auto compare = [&](int i, int j) {
        const int a = reg[i], b = reg[j];
        if (le[a][b]) return;
        if (le[b][a]) {
            std::swap(reg[i], reg[j]);
            return;
        }
        raw[n++] = CompareOp{static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), 0};
        for (int x = 0; x < P; ++x) {
            if (x == a || x == b) continue;
            const bool a_le_x = le[a][x] || le[b][x], x_le_a = le[x][a] && le[x][b];
            const bool b_le_x = le[a][x] && le[b][x], x_le_b = le[x][a] || le[x][b];
            le[a][x] = a_le_x;
            le[x][a] = x_le_a;
            le[b][x] = b_le_x;
            le[x][b] = x_le_b;
        }
        le[a][b] = true;
        le[b][a] = false;
    };
    for (int p = 1; p < P; p <<= 1)
        for (int k = p; k >= 1; k >>= 1)
            for (int j = k % p; j + k < P; j += 2 * k)
                for (int i = 0; i < k && i + j + k < P; ++i)
                    if ((i + j) / (2 * p) == (i + j + k) / (2 * p)) compare(i + j, i + j + k);

    net.lo = reg[low_pads];
    net.med = reg[low_pads + N / 2];
    net.hi = reg[low_pads + N - 1];
    std::array<bool, P> live{};
    live[net.lo] = live[net.med] = live[net.hi] = true;
    for (int k = n - 1; k >= 0; --k) {
        CompareOp& op = raw[k];
        op.keep =
            static_cast<std::uint8_t>((live[op.a] ? KEEP_MIN : 0) | (live[op.b] ? KEEP_MAX : 0));
        if (op.keep) live[op.a] = live[op.b] = true;
    }
    for (int k = 0; k < n; ++k)
        if (raw[k].keep) net.ops[net.count++] = raw[k];
    return net;
}

template <int N> inline constexpr SelectNet<N> select_net = build_select_net<N>();

static_assert(select_net<9>.lo < 9 && select_net<9>.med < 9 && select_net<9>.hi < 9);
static_assert(select_net<25>.lo < 25 && select_net<25>.med < 25 && select_net<25>.hi < 25);
static_assert(select_net<49>.lo < 49 && select_net<49>.med < 49 && select_net<49>.hi < 49);

template <class V> ALWAYS_INLINE V vmin(const V& a, const V& b) {
    return a < b ? a : b;
}
template <class V> ALWAYS_INLINE V vmax(const V& a, const V& b) {
    return a < b ? b : a;
}

template <int N, int K, class V> ALWAYS_INLINE void apply_op(V* r) {
    constexpr CompareOp op = select_net<N>.ops[K];
    if constexpr (op.keep == (KEEP_MIN | KEEP_MAX)) {
        const V lo = vmin(r[op.a], r[op.b]);
        r[op.b] = vmax(r[op.a], r[op.b]);
        r[op.a] = lo;
    } else if constexpr (op.keep == KEEP_MIN) {
        r[op.a] = vmin(r[op.a], r[op.b]);
    } else {
        r[op.b] = vmax(r[op.a], r[op.b]);
    }
}

template <int N, class V, std::size_t... K>
ALWAYS_INLINE void run_net(V* r, std::index_sequence<K...>) {
    (apply_op<N, static_cast<int>(K)>(r), ...);
}

// ---- Conditional median -------------------------------------------------------
//
// The pixel becomes the median when trunc(spread * power / 10) < |median - v|,
// spread being the window's maximum less its minimum (the minimum taken no
// higher than 65000). For integers that is spread * power < 10 * |median - v|,
// which needs no division and no floating point.

constexpr u16 MEDIAN_MIN_CAP = 65000;

template <int R>
ALWAYS_INLINE void median_block(const u16* src, u16* dst, int w, int x, int y, int power) {
    constexpr int K = 2 * R + 1, N = K * K;
    u16v r[N];
    for (int dy = 0; dy < K; ++dy)
        for (int dx = 0; dx < K; ++dx)
            load(r[dy * K + dx], src + static_cast<long>(y + dy - R) * w + (x + dx - R));
    run_net<N>(r, std::make_index_sequence<select_net<N>.count>{});
    u16v v;
    load(v, src + static_cast<long>(y) * w + x);
    const u16v& med = r[select_net<N>.med];
    const u16v cap = u16v{} + MEDIAN_MIN_CAP;
    const u16v spread = r[select_net<N>.hi] - vmin(r[select_net<N>.lo], cap);
    const u16v diff = vmax(med, v) - vmin(med, v);
    const u32v lhs = __builtin_convertvector(spread, u32v) * static_cast<std::uint32_t>(power);
    const u32v rhs = __builtin_convertvector(diff, u32v) * 10u;
    const s16v take = __builtin_convertvector(lhs < rhs, s16v);
    const u16v out = take ? med : v;
    store(dst + static_cast<long>(y) * w + x, out);
}

template <int R>
ALWAYS_INLINE void median_pixel(const u16* src, u16* dst, int w, int x, int y, int power) {
    constexpr int K = 2 * R + 1, N = K * K;
    u16 r[N];
    for (int dy = 0; dy < K; ++dy)
        for (int dx = 0; dx < K; ++dx)
            r[dy * K + dx] = src[static_cast<long>(y + dy - R) * w + (x + dx - R)];
    run_net<N>(r, std::make_index_sequence<select_net<N>.count>{});
    const long at = static_cast<long>(y) * w + x;
    const int v = src[at], med = r[select_net<N>.med];
    const int spread = r[select_net<N>.hi] - std::min<int>(r[select_net<N>.lo], MEDIAN_MIN_CAP);
    const int diff = med > v ? med - v : v - med;
    dst[at] = spread * power < 10 * diff ? static_cast<u16>(med) : static_cast<u16>(v);
}

template <int R>
ALWAYS_INLINE void median_rows(const u16* src, u16* dst, int w, int y0, int y1, int power) {
    const int x0 = R, x1 = w - R; // columns x0 .. x1 - 1
    for (int y = y0; y < y1; ++y) {
        if (x1 - x0 < LANES) {
            for (int x = x0; x < x1; ++x) median_pixel<R>(src, dst, w, x, y, power);
            continue;
        }
        int x = x0;
        for (; x + LANES <= x1; x += LANES) median_block<R>(src, dst, w, x, y, power);
        // The last block overlaps the one before; it writes the same values there.
        if (x < x1) median_block<R>(src, dst, w, x1 - LANES, y, power);
    }
}

template <int R>
TARGET_AVX2 void median_rows_avx2(const u16* s, u16* d, int w, int y0, int y1, int p) {
    median_rows<R>(s, d, w, y0, y1, p);
}
template <int R> void median_rows_base(const u16* s, u16* d, int w, int y0, int y1, int p) {
    median_rows<R>(s, d, w, y0, y1, p);
}

using RowsFn = void (*)(const u16*, u16*, int, int, int, int);

template <int R> RowsFn median_rows_fn() {
    return have_avx2() ? &median_rows_avx2<R> : &median_rows_base<R>;
}

// ---- Convolution ----------------------------------------------------------------
//
// One instance per (radius, kernel, divisor) that the menu uses, with the
// weights known to the compiler: zero taps vanish, unit and power-of-two
// weights become additions and shifts. Sums stay well inside 32 bits
// (at most 80 x 65535).

ALWAYS_INLINE u16v clamp_quotient(const i32v& q) {
    const i32v zero{};
    const i32v pos = q < zero ? zero : q;
    const i32v top = i32v{} + 65535;
    const i32v c = pos > 65280 ? top : pos;
    return __builtin_convertvector(c, u16v);
}

template <int R, int KER, int T>
ALWAYS_INLINE void conv_tap(i32v& acc, const u16* src, int w, int x, int y) {
    constexpr int K = 2 * R + 1;
    constexpr int weight = mask[KER][T];
    if constexpr (weight != 0) {
        u16v s;
        load(s, src + static_cast<long>(y + T / K - R) * w + (x + T % K - R));
        const i32v s32 = __builtin_convertvector(s, i32v);
        if constexpr (weight == 1)
            acc += s32;
        else if constexpr (weight == -1)
            acc -= s32;
        else
            acc += s32 * weight;
    }
}

template <int R, int KER, int D, std::size_t... T>
ALWAYS_INLINE void conv_block(const u16* src, u16* dst, int w, int x, int y,
                              std::index_sequence<T...>) {
    i32v acc{};
    (conv_tap<R, KER, static_cast<int>(T)>(acc, src, w, x, y), ...);
    i32v q;
    if constexpr (D == 1) {
        q = acc;
    } else {
        // Negative sums clamp to 0 whatever the quotient, so they can be
        // divided as if positive; below 2^24 the float quotient truncates exactly.
        const i32v zero{};
        const i32v pos = acc < zero ? zero : acc;
        q = __builtin_convertvector(__builtin_convertvector(pos, f32v) / static_cast<float>(D),
                                    i32v);
    }
    const u16v out = clamp_quotient(q);
    store(dst + static_cast<long>(y) * w + x, out);
}

int clamp_result(int q) {
    return q > 65280 ? 65535 : q < 0 ? 0 : q;
}

// Any kernel, radius and divisor, one pixel at a time.
void conv_pixel_generic(const u16* src, u16* dst, int w, int x, int y, int r, const int* weights,
                        int divisor) {
    const int k = 2 * r + 1;
    int s = 0;
    for (int dy = 0; dy < k; ++dy)
        for (int dx = 0; dx < k; ++dx)
            s += weights[dy * k + dx] * src[static_cast<long>(y + dy - r) * w + (x + dx - r)];
    dst[static_cast<long>(y) * w + x] = static_cast<u16>(clamp_result(s / divisor));
}

template <int R, int KER, int D>
ALWAYS_INLINE void conv_rows(const u16* src, u16* dst, int w, int y0, int y1) {
    const int x0 = R, x1 = w - R;
    for (int y = y0; y < y1; ++y) {
        if (x1 - x0 < LANES) {
            for (int x = x0; x < x1; ++x) conv_pixel_generic(src, dst, w, x, y, R, mask[KER], D);
            continue;
        }
        int x = x0;
        constexpr auto taps = std::make_index_sequence<(2 * R + 1) * (2 * R + 1)>{};
        for (; x + LANES <= x1; x += LANES) conv_block<R, KER, D>(src, dst, w, x, y, taps);
        if (x < x1) conv_block<R, KER, D>(src, dst, w, x1 - LANES, y, taps);
    }
}

using ConvFn = void (*)(const u16*, u16*, int, int, int);

template <int R, int KER, int D>
TARGET_AVX2 void conv_rows_avx2(const u16* s, u16* d, int w, int y0, int y1) {
    conv_rows<R, KER, D>(s, d, w, y0, y1);
}
template <int R, int KER, int D> void conv_rows_base(const u16* s, u16* d, int w, int y0, int y1) {
    conv_rows<R, KER, D>(s, d, w, y0, y1);
}
template <int R, int KER, int D> ConvFn conv_fn() {
    return have_avx2() ? &conv_rows_avx2<R, KER, D> : &conv_rows_base<R, KER, D>;
}

// The compiled instance for the menu's combinations, or nullptr.
ConvFn find_conv(int r, int kernel, int divisor) {
    if (r == 1 && kernel == 0 && divisor == 16) return conv_fn<1, 0, 16>();
    if (r == 2 && kernel == 1 && divisor == 80) return conv_fn<2, 1, 80>();
    if (r == 1 && kernel == 2 && divisor == 1) return conv_fn<1, 2, 1>();
    if (r == 2 && kernel == 3 && divisor == 1) return conv_fn<2, 3, 1>();
    if (r == 2 && kernel == 4 && divisor == 1) return conv_fn<2, 4, 1>();
    if (r == 2 && kernel == 5 && divisor == 1) return conv_fn<2, 5, 1>();
    return nullptr;
}

// ---- Unsharp mask ---------------------------------------------------------------

// Column sums of the box rows for one band, carried from row to row.
struct BoxColumns {
    std::vector<int> sum;
    int row = -1; // the output row the sums belong to
};

template <int R>
void unsharp_rows(const u16* src, u16* dst, int w, int y0, int y1, int power, BoxColumns& box) {
    constexpr int K = 2 * R + 1;
    constexpr int AREA = K * K;
    int* col = box.sum.data();
    for (int y = y0; y < y1; ++y) {
        if (box.row == y - 1) {
            const u16* add = src + static_cast<long>(y + R) * w;
            const u16* sub = src + static_cast<long>(y - R - 1) * w;
            for (int x = 0; x < w; ++x) col[x] += add[x] - sub[x];
        } else {
            std::fill(col, col + w, 0);
            for (int dy = -R; dy <= R; ++dy) {
                const u16* row = src + static_cast<long>(y + dy) * w;
                for (int x = 0; x < w; ++x) col[x] += row[x];
            }
        }
        box.row = y;
        int s = 0;
        for (int x = 0; x < K; ++x) s += col[x];
        const u16* in = src + static_cast<long>(y) * w;
        u16* out = dst + static_cast<long>(y) * w;
        for (int x = R; x < w - 1 - R; ++x) {
            const int v = in[x];
            const int e = v + (v - s / AREA) * power;
            out[x] = static_cast<u16>(clamp_result(e));
            s += col[x + R + 1] - col[x - R];
        }
    }
}

using UnsharpFn = void (*)(const u16*, u16*, int, int, int, int, BoxColumns&);

UnsharpFn find_unsharp(int r) {
    switch (r) {
    case 1:
        return &unsharp_rows<1>;
    case 2:
        return &unsharp_rows<2>;
    case 3:
        return &unsharp_rows<3>;
    case 4:
        return &unsharp_rows<4>;
    case 5:
        return &unsharp_rows<5>;
    case 6:
        return &unsharp_rows<6>;
    case 7:
        return &unsharp_rows<7>;
    default:
        return nullptr;
    }
}

// ---- The current image ------------------------------------------------------------

int frame_width() {
    return disp.width1;
}
int frame_height() {
    return disp.height1;
}
long frame_pixels() {
    return static_cast<long>(disp.width1) * disp.height1;
}

bool current_frame_ok() {
    return valid_frame(disp.width1, disp.height1);
}

// The label band: first-row pixels 4 and 5 summing to 34.
int label_rows(const u16* img, int w) {
    return has_label_marker(img, w) ? LABEL_ROWS : 0;
}

void point_at_buffers() {
    image = image_int;
    trial = trial_int;
    undo = undo_int;
}

struct WaitCursor {
    WaitCursor() { platform::ui().set_cursor(platform::CursorShape::Wait); }
    ~WaitCursor() { platform::ui().set_cursor(platform::CursorShape::Arrow); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Reports the bar only when its shown value moves (the bar holds 0..256).
class ProgressBar {
  public:
    explicit ProgressBar(const char* caption) { platform::ui().progress_open(caption); }
    ~ProgressBar() { platform::ui().progress_close(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    void set(int value) {
        value = std::clamp(value, 0, 256);
        if (value == shown_) return;
        shown_ = value;
        platform::ui().progress_update(value);
    }

  private:
    int shown_ = 0;
};

bool kernel_command(int r, int kernel, int divisor, const char* history) {
    if (!run_enhance(r, kernel, divisor)) return false;
    update_history(history);
    return true;
}

} // namespace

// ---- Buffer-level filters -------------------------------------------------------------

bool convolve_pixels(const unsigned short* src, unsigned short* dst, int w, int h, int top,
                     int radius, int kernel, int divisor, const RowProgress& progress) {
    if (radius < 1 || radius > 2 || kernel < 0 || kernel > 5 || divisor == 0) return false;
    if (!valid_frame(w, h) || top < 0) return false;
    const int y0 = top + radius, y1 = h - radius;
    if (y1 <= y0 || w - radius <= radius) return true;
    const ConvFn fast = find_conv(radius, kernel, divisor);
    auto work = [&](int, int a, int b) {
        if (fast) {
            fast(src, dst, w, a, b);
            return;
        }
        for (int y = a; y < b; ++y)
            for (int x = radius; x < w - radius; ++x)
                conv_pixel_generic(src, dst, w, x, y, radius, mask[kernel], divisor);
    };
    parallel::for_rows(y0, y1, CHUNK_ROWS, thread_count(y1 - y0), work, progress);
    return true;
}

bool unsharp_pixels(const unsigned short* src, unsigned short* dst, int w, int h, int top,
                    int radius, int power, const RowProgress& progress) {
    const UnsharpFn fn = find_unsharp(radius);
    if (!fn || power < 1 || power > 7 || !valid_frame(w, h) || top < 0) return false;
    const int y0 = top + radius, y1 = h - radius;
    // The box starts at columns 0 .. 2r; a row without a pixel to process is skipped.
    if (y1 <= y0 || w - 1 - radius <= radius) return true;
    const int bands = thread_count(y1 - y0);
    std::vector<BoxColumns> boxes(static_cast<std::size_t>(bands));
    for (BoxColumns& b : boxes) b.sum.resize(static_cast<std::size_t>(w));
    auto work = [&](int band, int a, int b) {
        fn(src, dst, w, a, b, power, boxes[static_cast<std::size_t>(band)]);
    };
    parallel::for_rows(y0, y1, CHUNK_ROWS, bands, work, progress);
    return true;
}

bool median_pixels(const unsigned short* src, unsigned short* dst, int w, int h, int top,
                   int radius, int power) {
    if (radius < 1 || radius > 3 || power < 1 || power > 10) return false;
    if (!valid_frame(w, h) || top < 0) return false;
    const int y0 = top + radius, y1 = h - radius;
    if (y1 <= y0 || w - radius <= radius) return true;
    const RowsFn fn = radius == 1   ? median_rows_fn<1>()
                      : radius == 2 ? median_rows_fn<2>()
                                    : median_rows_fn<3>();
    auto work = [&](int, int a, int b) { fn(src, dst, w, a, b, power); };
    parallel::for_rows(y0, y1, CHUNK_ROWS, thread_count(y1 - y0), work, {});
    return true;
}

// ---- Commands ------------------------------------------------------------------------

bool run_enhance(int radius, int kernel, int divisor) {
    if (radius < 1 || radius > 2 || kernel < 0 || kernel > 5 || divisor == 0) return false;
    if (!current_frame_ok()) return false;
    WaitCursor wait;
    point_at_buffers();
    undo_save_option();
    ProgressBar bar("FILTER PROGRESS");
    const int w = frame_width(), h = frame_height();
    const std::size_t bytes = static_cast<std::size_t>(frame_pixels()) * sizeof(u16);
    std::memcpy(trial, image, bytes);
    const int top = label_rows(image, w);
    const int first = top + radius;
    const int per_step = disp.binned ? 2 : 4;
    convolve_pixels(image, trial, w, h, top, radius, kernel, divisor,
                    [&](int done) { bar.set((first + done - 1) / per_step); });
    std::memcpy(image, trial, bytes);
    return true;
}

bool highlow_enhance() {
    return kernel_command(1, 2, 1, "High Pass Low Power Filter");
}
bool highhigh_enhance() {
    return kernel_command(2, 3, 1, "High Pass High Power Filter");
}
bool smoothsharp_enhance() {
    return kernel_command(2, 4, 1, "Smoother/Sharper Filter");
}
bool gaussian_enhance() {
    return kernel_command(2, 1, 80, "Gaussian Filter");
}
bool lowpass_enhance() {
    return kernel_command(1, 0, 16, "Lowpass Smoother Filter");
}
bool basrelief_enhance() {
    return kernel_command(2, 5, 1, "Bas Relief Filter");
}

bool unsharp_mask(int radius, int power) {
    if (!find_unsharp(radius) || power < 1 || power > 7 || !current_frame_ok()) return false;
    WaitCursor wait;
    ProgressBar bar("UNSHARP MASK PROGRESS");
    point_at_buffers();
    undo_save_option();
    const int w = frame_width(), h = frame_height();
    const std::size_t bytes = static_cast<std::size_t>(frame_pixels()) * sizeof(u16);
    std::memcpy(trial, image, bytes);
    unsharp_pixels(image, trial, w, h, label_rows(image, w), radius, power,
                   [&](int done) { bar.set(done); });
    std::memcpy(image, trial, bytes);
    char line[HISTORY_TEXT];
    std::snprintf(line, sizeof line, "Unsharp Mask : rad %d ,power %d", radius, power);
    update_history(line);
    return true;
}

void run_median_enhance(unsigned short* img, unsigned short* scratch, unsigned short* undo_buf,
                        int radius, int power) {
    if (!img || !scratch || !current_frame_ok()) return;
    if (radius < 1 || radius > 3 || power < 1 || power > 10) return;
    const int w = frame_width(), h = frame_height();
    const std::size_t bytes = static_cast<std::size_t>(frame_pixels()) * sizeof(u16);
    if (undo_buf && undo_buf != img) std::memcpy(undo_buf, img, bytes);
    std::memcpy(scratch, img, bytes);
    median_pixels(img, scratch, w, h, label_rows(img, w), radius, power);
    std::memcpy(img, scratch, bytes);
    char line[HISTORY_TEXT];
    std::snprintf(line, sizeof line, "Median Filter : rad %d ,power %1.1f", radius, power * 0.1);
    update_history(line);
}

bool median_filter(int radius, int power) {
    if (radius < 1 || radius > 3 || power < 1 || power > 10 || !current_frame_ok()) return false;
    WaitCursor wait;
    point_at_buffers();
    undo_save_option();
    run_median_enhance(image, trial, undo, radius, power);
    return true;
}

void venetian_blind(unsigned short* img, unsigned short* undo_buf) {
    if (!img || !undo_buf || img == undo_buf || !current_frame_ok()) return;
    const int w = frame_width(), h = frame_height();
    std::memcpy(undo_buf, img, static_cast<std::size_t>(frame_pixels()) * sizeof(u16));
    filt.venetian_flipflop = !filt.venetian_flipflop;
    const int top = label_rows(img, w);
    const u16* u = undo_buf;
    // Flag 1 pairs each row with the one below, flag 0 with the one above.
    const int step = filt.venetian_flipflop ? 1 : -1;
    const int y_first = filt.venetian_flipflop ? top : top + 1;
    const int y_end = filt.venetian_flipflop ? h - 1 : h; // exclusive
    for (int y = y_first; y < y_end; ++y) {
        const u16* a = u + static_cast<long>(y) * w;
        const u16* b = u + static_cast<long>(y + step) * w;
        u16* out = img + static_cast<long>(y) * w;
        for (int x = 0; x < w - 1; ++x) out[x] = static_cast<u16>((a[x] + b[x]) / 2);
    }
}

bool venetian_enhance() {
    if (!current_frame_ok()) return false;
    WaitCursor wait;
    point_at_buffers();
    undo_save_option();
    venetian_blind(image, undo);
    update_history("Vertical Smoothing Filter");
    return true;
}

namespace {

struct GradientLayout {
    int a = 0, b = 0; // first column of the right patches, first row of the bottom ones
    double n = 0;     // normaliser
};

constexpr int PATCH = 40;
constexpr int PATCH_TOP = 10, PATCH_LEFT = 20;

bool gradient_layout(int w, int h, GradientLayout& out) {
    if (w == 752 && h == 580) {
        out = {700, 520, 436160.0};
    } else if (w == 376 && h == 290) {
        out = {320, 240, 109044.0};
    } else {
        // The 752 x 580 frame's patches lie 12 columns from the right edge and
        // 20 rows from the bottom; the bottom ones stay clear of a label band.
        if (w < PATCH_LEFT + PATCH || h < 70) return false;
        out = {w - 52, h - 60, static_cast<double>(w) * h};
    }
    return true;
}

// The lowest most populated bin of pixel / 16 over a patch, searched from `from`.
int patch_mode(const u16* img, int w, int row, int col, int from) {
    std::array<int, 4096> count{};
    for (int y = row; y < row + PATCH; ++y)
        for (int x = col; x < col + PATCH; ++x) ++count[img[static_cast<long>(y) * w + x] / 16];
    int best = from, best_count = 0;
    for (int i = from; i < 4096; ++i)
        if (count[static_cast<std::size_t>(i)] > best_count) {
            best_count = count[static_cast<std::size_t>(i)];
            best = i;
        }
    return best;
}

} // namespace

bool gradient_filter(unsigned short* img) {
    if (!img || !current_frame_ok()) return false;
    const int w = frame_width(), h = frame_height();
    GradientLayout lay;
    if (!gradient_layout(w, h, lay)) return false;
    const int m1 = patch_mode(img, w, PATCH_TOP, PATCH_LEFT, 0);
    const int m2 = patch_mode(img, w, PATCH_TOP, lay.a, 0);
    const int m3 = patch_mode(img, w, lay.b, PATCH_LEFT, 1);
    const int m4 = patch_mode(img, w, lay.b, lay.a, 1);
    const int m = std::min({m1, m2, m3, m4});
    const double k1 = (m1 - m) * 16.0, k2 = (m2 - m) * 16.0;
    const double k3 = (m3 - m) * 16.0, k4 = (m4 - m) * 16.0;
    const double W = w, H = h;
    auto work = [&](int, int a, int b) {
        for (int y = a; y < b; ++y) {
            u16* row = img + static_cast<long>(y) * w;
            for (int x = 0; x < w; ++x) {
                const double g =
                    ((H - y) * (W - x) * k1 + (H - y) * x * k2 + (W - x) * y * k3 + x * y * k4) /
                    lay.n;
                row[x] = row[x] > g ? static_cast<u16>(row[x] - static_cast<int>(g)) : 0;
            }
        }
    };
    const int top = label_rows(img, w);
    parallel::for_rows(top, h, CHUNK_ROWS, thread_count(h - top), work, {});
    return true;
}

bool gradient_enhance() {
    if (!current_frame_ok()) return false;
    GradientLayout lay;
    if (!gradient_layout(frame_width(), frame_height(), lay)) return false;
    WaitCursor wait;
    point_at_buffers();
    undo_save_option();
    gradient_filter(image);
    update_history("Gradient Filter");
    return true;
}
