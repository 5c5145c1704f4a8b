#include "display/display_pipeline.h"

#include "display/image_store.h"
#include "platform/host_path.h"
#include "platform/messages.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

// The buffers are read byte by byte: byte 2k+1 is the high byte of pixel k.
static_assert(std::endian::native == std::endian::little);

namespace {

// Whole-image loops never run past the buffers, whatever the geometry says.
int clamp_count(long long n, long long cap) {
    return static_cast<int>(std::clamp<long long>(n, 0, cap));
}

int display_count(int focus) {
    return focus ? FOCUS_PIXELS : clamp_count(disp.intlength, DISPLAY_BYTES);
}

void put16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// File header, info header and room for the palette; every other byte is 0.
void put_header(unsigned char* h, std::uint32_t file_size, std::int32_t width, std::int32_t height,
                std::uint32_t image_size) {
    std::memset(h, 0, BMP_HEADER_BYTES);
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, file_size);
    put32(h + 10, BMP_HEADER_BYTES);
    put32(h + 14, 40);
    put32(h + 18, static_cast<std::uint32_t>(width));
    put32(h + 22, static_cast<std::uint32_t>(height));
    put16(h + 26, 1);
    put16(h + 28, 8);
    put32(h + 34, image_size);
}

void put_grey(unsigned char* entry, int v) {
    entry[0] = entry[1] = entry[2] = static_cast<unsigned char>(v);
    entry[3] = 0;
}

// 255 S x / (x (S - 1) + 1): 0 at 0, 255 at 1, steeper for larger S. A
// nonsensical strength (S <= 0 from a settings file) must not give NaN.
double hyperbolic(double s, double x) {
    const double v = 255.0 * s * x / (x * (s - 1.0) + 1.0);
    return std::isnan(v) ? 0.0 : v;
}

bool write_all(int fd, const unsigned char* p, long long n) {
    while (n > 0) {
        const ssize_t k = ::write(fd, p, static_cast<size_t>(n));
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        p += k;
        n -= k;
    }
    return true;
}

// Header and pixel data in one write. A short write still tells which of the
// two did not get through whole.
int write_file(int fd, const unsigned char* header, const unsigned char* pixels, long long n) {
    long long done = 0;
    const long long all = BMP_HEADER_BYTES + n;
    while (done < all) {
        iovec v[2];
        int count = 0;
        if (done < BMP_HEADER_BYTES)
            v[count++] = {const_cast<unsigned char*>(header) + done,
                          static_cast<size_t>(BMP_HEADER_BYTES - done)};
        const long long from = std::max(0LL, done - BMP_HEADER_BYTES);
        if (n > from)
            v[count++] = {const_cast<unsigned char*>(pixels) + from, static_cast<size_t>(n - from)};
        const ssize_t k = ::writev(fd, v, count);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return done < BMP_HEADER_BYTES ? BMP_HEADER_SHORT : BMP_PIXELS_SHORT;
        done += k;
    }
    return BMP_OK;
}

// Deleting first means a reader that still has the old file open (the print
// helper, a second copy of the program) keeps a complete old bitmap.
int create_fresh(const char* dos_name) {
    const std::string path = platform::host_path(dos_name);
    if (path.empty()) return -1;
    ::unlink(path.c_str());
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

int finish(int fd, int code) {
    if (::close(fd) != 0 && code == BMP_OK) code = BMP_PIXELS_SHORT;
    return code;
}

// Smallest display byte above 0 and largest below 253, in one read of the
// bytes. Shifted by -1 and +3 (wrapping), the bytes left out become the
// largest and the smallest values, so a plain minimum and maximum of bytes
// finds both levels: code the compiler turns into vector min and max
// instructions over fixed-size blocks.
void display_range(const unsigned char* p, int n, unsigned char& lo, unsigned char& hi) {
    constexpr int BLOCK = 64;
    unsigned char lows[BLOCK], highs[BLOCK];
    std::memset(lows, 255, sizeof lows);
    std::memset(highs, 0, sizeof highs);
    int i = 0;
    for (; i + BLOCK <= n; i += BLOCK) {
        for (int k = 0; k < BLOCK; ++k) {
            lows[k] = std::min(lows[k], static_cast<unsigned char>(p[i + k] - 1));   // 0 -> 255
            highs[k] = std::max(highs[k], static_cast<unsigned char>(p[i + k] + 3)); // 253.. -> 0..
        }
    }
    int low = 255, high = 0;
    for (int k = 0; k < BLOCK; ++k) {
        low = std::min<int>(low, lows[k]);
        high = std::max<int>(high, highs[k]);
    }
    for (; i < n; ++i) {
        low = std::min<int>(low, static_cast<unsigned char>(p[i] - 1));
        high = std::max<int>(high, static_cast<unsigned char>(p[i] + 3));
    }
    // Nothing above 0 leaves 255; nothing below 253 leaves 0.
    lo = static_cast<unsigned char>(low == 255 ? 255 : low + 1);
    hi = static_cast<unsigned char>(high < 3 ? 0 : high - 3);
}

// The display stretch for every byte value, and for every pair of bytes: the
// long loops look up two bytes at a time.
struct StretchTable {
    unsigned char byte[256];
    std::uint16_t pair[65536];
    bool paired = false; // `pair` follows `byte`
};

// Built for the current strength and levels; fills stretch_bmp_table on the way.
const StretchTable& stretch_table() {
    static StretchTable t;
    const bool focus = disp.focus_mode == 1;
    const double s = focus ? disp.focus_stretch : disp.max_stretch_mult;
    for (int k = 0; k < 255; ++k) {
        const double v = hyperbolic(s, k / 255.0);
        disp.stretch_bmp_table[k] = static_cast<std::uint16_t>(std::clamp(v, 0.0, 65535.0));
    }
    unsigned char byte[256];
    for (int v = 0; v < 256; ++v) {
        int d = std::max(0, v - disp.min_pix);
        if (!focus) d = std::max(0, d - disp.start_stretch);
        d = std::min(d, 254); // a negative black level must not index past the curve
        // Saturated stars (253..255) stay saturated.
        byte[v] = v >= 253 ? static_cast<unsigned char>(v)
                           : static_cast<unsigned char>(disp.stretch_bmp_table[d] & 0xFF);
    }
    // Frame after frame the levels mostly stay: so does the pair table.
    if (t.paired && std::memcmp(byte, t.byte, sizeof byte) == 0) return t;
    std::memcpy(t.byte, byte, sizeof byte);
    // Indexed by two bytes as they lie in memory, whatever the byte order.
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const unsigned char in[2] = {static_cast<unsigned char>(a),
                                         static_cast<unsigned char>(b)};
            const unsigned char out[2] = {t.byte[a], t.byte[b]};
            std::uint16_t i, o;
            std::memcpy(&i, in, 2);
            std::memcpy(&o, out, 2);
            t.pair[i] = o;
        }
    }
    t.paired = true;
    return t;
}

void apply_lut(unsigned char* p, long long n, const StretchTable& t) {
    // Eight bytes at a time: one load, four pair lookups, one store.
    long long i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t v;
        std::memcpy(&v, p + i, 8);
        v = std::uint64_t{t.pair[v & 0xFFFF]} | std::uint64_t{t.pair[(v >> 16) & 0xFFFF]} << 16 |
            std::uint64_t{t.pair[(v >> 32) & 0xFFFF]} << 32 | std::uint64_t{t.pair[v >> 48]} << 48;
        std::memcpy(p + i, &v, 8);
    }
    for (; i < n; ++i) p[i] = t.byte[p[i]];
}

struct Layout {
    int stride; // bytes of an image row in the display bytes
    int rows;   // image rows
    int step;   // every step-th byte of every step-th row is shown
    int w, h, pad;
};

// One pass over the display bytes: each image row is stretched in place (the
// first `n` bytes only, when `lut` is given) while it is in the cache and, when
// it is shown, goes bottom-up to its bitmap row: image row step * j becomes
// bitmap row h - 1 - j, ending in `pad` zero bytes.
void stage_rows(unsigned char* src, long long n, const StretchTable* lut, unsigned char* dst,
                const Layout& l) {
    const long long out_stride = l.w + l.pad;
    for (int r = 0; r < l.rows; ++r) {
        unsigned char* in = src + static_cast<long long>(r) * l.stride;
        if (lut)
            apply_lut(in,
                      std::clamp(n - static_cast<long long>(r) * l.stride, 0LL,
                                 static_cast<long long>(l.stride)),
                      *lut);
        const int j = r / l.step;
        if (r % l.step != 0 || j >= l.h) continue;
        unsigned char* out = dst + (l.h - 1 - j) * out_stride;
        if (l.step == 1) {
            std::memcpy(out, in, static_cast<size_t>(l.w));
        } else {
            for (int c = 0; c < l.w; ++c) out[c] = in[l.step * c];
        }
        std::memset(out + l.w, 0, static_cast<size_t>(l.pad));
    }
    const long long covered = static_cast<long long>(l.rows) * l.stride;
    if (lut && n > covered) apply_lut(src + covered, n - covered, *lut);
}

} // namespace

void setup_image(const char* src, char* dst, int focus, int /*geo*/) {
    const int n = (focus || guide_window_use().guiding)
                      ? FOCUS_PIXELS
                      : clamp_count(disp.intlength, std::min(MAIN_BUFFER_PIXELS, DISPLAY_BYTES));
    // src - 1 is pixel 0: whole pixels shifted down give the high bytes, in
    // blocks the compiler turns into vector shifts and packs.
    constexpr int BLOCK = 32;
    const unsigned char* px = reinterpret_cast<const unsigned char*>(src) - 1;
    unsigned char* out = reinterpret_cast<unsigned char*>(dst);
    int k = 0;
    for (; k + BLOCK <= n; k += BLOCK) {
        std::uint16_t v[BLOCK];
        std::memcpy(v, px + 2 * k, sizeof v);
        for (int j = 0; j < BLOCK; ++j) out[k + j] = static_cast<unsigned char>(v[j] >> 8);
    }
    for (; k < n; ++k) out[k] = px[2 * k + 1];
}

void DisplayImage() {
    setup_image(reinterpret_cast<const char*>(image) + 1, reinterpret_cast<char*>(pixels_c),
                disp.focus_mode, 0);
}

void gamma_table(int most_pop, unsigned char out[256]) {
    // Single-precision exponents: their sum is just above 1, so the curve
    // reaches 255 at most_pop + 255. With exact ones it ends at 254.99...
    const double k = 1.0 / std::pow(255.0, static_cast<double>(-0.7f));
    for (int i = 0; i < 256; ++i) {
        if (i <= most_pop) {
            out[i] = 0;
            continue;
        }
        const double v = k * std::pow(static_cast<double>(i - most_pop), static_cast<double>(0.3f));
        out[i] = static_cast<unsigned char>(v >= 255.0 ? 255 : static_cast<int>(v));
    }
}

void display_palette(unsigned char out[256][4]) {
    unsigned char g[256];
    gamma_table(std::max(0, disp.most_pop), g);
    for (int i = 0; i < 256; ++i) {
        if (disp.colour_palette) {
            // Black through red and orange to yellow; white at the top.
            const int a = disp.stretch_palette ? g[i] : i;
            if (a > 240) {
                put_grey(out[i], a);
            } else {
                out[i][0] = 0;
                out[i][1] = static_cast<unsigned char>(a * a / 256);
                out[i][2] = static_cast<unsigned char>(a);
                out[i][3] = 0;
            }
        } else {
            put_grey(out[i], (disp.stretch_palette || disp.max_stretch) ? g[i] : i);
        }
    }
}

void setup_stretched_bmp(char* pixels) {
    apply_lut(reinterpret_cast<unsigned char*>(pixels), display_count(disp.focus_mode == 1),
              stretch_table());
}

int write_bmp(char* src, char* dst, int focus, int /*geo*/) {
    const GuideWindowUse loops = guide_window_use();
    const bool focus_file = focus || loops.tracking || loops.training;
    if (focus_file) disp.focussed = 1;
    const int fd = create_fresh(focus_file ? disp.BMPname_focus : disp.BMPname_main);
    if (fd < 0) return BMP_CREATE_FAILED;

    Layout l{disp.width1, disp.height1, 1, disp.width1, disp.height1, 0};
    if (focus) {
        l.w = l.h = l.stride = l.rows = FOCUS_SIDE;
    } else if (disp.bin_display_quad) {
        l.w /= 4, l.h /= 4, l.step = 4;
    } else if (disp.bin_display) {
        l.w /= 2, l.h /= 2, l.step = 2;
    }
    l.w = std::max(0, l.w);
    l.h = std::max(0, l.h);
    l.pad = (4 - l.w % 4) % 4;
    const long long row = static_cast<long long>(l.w) + l.pad;
    const long long total = row * l.h;
    const bool fits =
        total <= DISPLAY_BYTES && static_cast<long long>(l.stride) * l.rows <= DISPLAY_BYTES;

    unsigned char* in = reinterpret_cast<unsigned char*>(src);
    const int n = display_count(focus);
    const StretchTable* lut = nullptr;
    if (disp.stretch_palette || disp.max_stretch || focus) {
        if (disp.most_pop < 0) disp.most_pop = 0;
        if (disp.max_stretch || focus) {
            display_range(in, n, disp.min_pix, disp.max_pix);
            lut = &stretch_table();
        }
    }

    unsigned char header[BMP_HEADER_BYTES];
    put_header(header, static_cast<std::uint32_t>(total + BMP_HEADER_BYTES),
               static_cast<std::int32_t>(row), l.h, static_cast<std::uint32_t>(total));
    display_palette(reinterpret_cast<unsigned char(*)[4]>(header + 54));
    if (total == 0 || !fits) {
        // Nothing to show, or more than the buffers hold: the header alone.
        if (lut) apply_lut(in, n, *lut);
        if (!write_all(fd, header, BMP_HEADER_BYTES)) return finish(fd, BMP_HEADER_SHORT);
        return finish(fd, total == 0 ? BMP_OK : BMP_PIXELS_SHORT);
    }

    unsigned char* out = reinterpret_cast<unsigned char*>(dst);
    stage_rows(in, n, lut, out, l);
    return finish(fd, write_file(fd, header, out, total));
}

void find_most_pop(const unsigned short* img) {
    std::memset(disp.table, 0, sizeof disp.table);
    const int end = clamp_count(std::min(disp.intlength, 25600), MAIN_BUFFER_PIXELS);
    for (int i = 10240; i < end; ++i) ++disp.table[img[i] >> 8];
    int best = 0;
    for (int v = 1; v <= 256; ++v)
        if (disp.table[v] > disp.table[best]) best = v;
    disp.most_pop = best;
}

void build_histogram(const unsigned short* img) {
    std::memset(disp.table, 0, sizeof disp.table);
    // The count skips half a row at the start and ten rows' worth overall; it
    // never runs past the image.
    const long long first = std::max(0, disp.width1 / 2);
    const long long end = std::min<long long>(first + std::max(0, disp.intlength - disp.width1_10),
                                              clamp_count(disp.intlength, MAIN_BUFFER_PIXELS));
    for (long long i = first; i < end; ++i) ++disp.table[img[i] >> 8];

    int m[3] = {0, 0, 0};
    bool taken[257] = {};
    for (int& pick : m) {
        int best = -1;
        for (int v = 0; v <= 256; ++v)
            if (!taken[v] && disp.table[v] > 0 && (best < 0 || disp.table[v] > disp.table[best]))
                best = v;
        if (best < 0) break;
        taken[best] = true;
        pick = best;
    }
    disp.most_pop = (m[0] + m[1] + m[2]) / 3;
}

int write_guider_bmp() {
    const int fd = create_fresh(disp.BMPname_guide);
    if (fd < 0) return BMP_CREATE_FAILED;

    unsigned char header[BMP_HEADER_BYTES];
    put_header(header, 146078, disp.guider_cam == 's' ? 500 : 376, GUIDER_ROWS, 0);
    for (int i = 0; i < 256; ++i) {
        int v = i;
        if (disp.guider_max_stretch == 1)
            v = static_cast<int>(
                std::clamp(hyperbolic(disp.guider_stretch, i / 255.0), 0.0, 255.0));
        put_grey(header + 54 + 4 * i, v);
    }

    const int b = std::clamp(disp.guider_most_pop - 1, 0, 254);
    const int gw = std::clamp(disp.guider_width1, 0, GUIDER_DISPLAY_BYTES / GUIDER_ROWS);
    for (int r = 0; r < GUIDER_ROWS; ++r) {
        for (int c = 0; c < gw; ++c) {
            const int hb = guider_imageptr[r * gw + c] >> 8;
            guider_pixels[r * gw + c] = static_cast<unsigned char>(hb >= 253 ? hb
                                                                   : hb <= b ? 0
                                                                             : hb - b);
        }
    }
    for (int r = 0; r < GUIDER_ROWS; ++r)
        std::memcpy(guider_bitmap + (GUIDER_ROWS - 1 - r) * gw, guider_pixels + r * gw,
                    static_cast<size_t>(gw));

    if (!write_all(fd, header, BMP_HEADER_BYTES)) return finish(fd, BMP_HEADER_SHORT);
    const int n = clamp_count(disp.guider_pixcount, GUIDER_DISPLAY_BYTES);
    if (!write_all(fd, guider_bitmap, n)) return finish(fd, BMP_PIXELS_SHORT);
    return finish(fd, BMP_OK);
}

void mirror_image(unsigned short* img, unsigned short* tr) {
    const int w = disp.width1, h = disp.height1;
    if (w <= 0 || h <= 0 || static_cast<long long>(w) * h > MAIN_BUFFER_PIXELS) return;
    // A labelled image keeps its label band in place.
    const int s = has_label_marker(img, image_pixel_count()) ? LABEL_ROWS : 0;
    for (int row = s; row < h; ++row) {
        const unsigned short* in = img + static_cast<long long>(row) * w;
        unsigned short* out = tr + static_cast<long long>(row) * w;
        for (int x = 0; x < w; ++x) out[w - 1 - x] = in[x];
    }
    const long long from = static_cast<long long>(s) * w;
    const long long to = clamp_count(disp.intlength, MAIN_BUFFER_PIXELS);
    if (to > from) std::memcpy(img + from, tr + from, static_cast<size_t>(to - from) * sizeof *img);
}

const char* shown_bitmap_name() {
    const GuideWindowUse loops = guide_window_use();
    return (loops.guiding || loops.training) ? disp.BMPname_focus : disp.BMPname_main;
}

int write_display_bitmap() {
    image = image_int;
    if (disp.stretch_palette == 1) find_most_pop(image);
    const int r = write_bmp(reinterpret_cast<char*>(pixels_c), reinterpret_cast<char*>(pixels_bmp),
                            disp.focus_mode, 0);
    if (r == BMP_CREATE_FAILED) messages(8);
    if (r == BMP_HEADER_SHORT) messages(9);
    if (r == BMP_PIXELS_SHORT) messages(10);
    return r;
}
