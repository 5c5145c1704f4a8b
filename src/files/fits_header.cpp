#include "files/fits_header.h"

#include "display/image_store.h"
#include "files/fits.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace fitsread {

namespace {

constexpr char OLD_UNSIGNED_BZERO[] = "BZERO   =   +0.0000000000E+00";

// Columns 11 to the comment slash (outside quotes), spaces trimmed.
std::string value_field(const char* card) {
    int from = 10, to = CARD;
    for (int c = from; c < CARD; ++c)
        if (card[c] == '/') {
            to = c;
            break;
        }
    while (from < to && card[from] == ' ') ++from;
    while (to > from && card[to - 1] == ' ') --to;
    return std::string(card + from, static_cast<std::size_t>(to - from));
}

bool has_value(const char* card) {
    return card[8] == '=' && card[9] == ' ';
}

std::string shown(const char* card) {
    std::string v = card ? value_field(card) : std::string();
    for (char& c : v)
        if (c < 0x20 || c > 0x7e) c = '?';
    return v.empty() ? "(empty)" : v;
}

bool logical_true(const char* card) {
    return has_value(card) && value_field(card) == "T";
}

std::string size_text(long long w, long long h) {
    return std::to_string(w) + " \u00d7 " + std::to_string(h);
}

template <class T> T load_be(const unsigned char* p) {
    using U = std::conditional_t<
        sizeof(T) == 1, std::uint8_t,
        std::conditional_t<sizeof(T) == 2, std::uint16_t,
                           std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;
    U u = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) u = static_cast<U>((u << 8) | p[i]);
    return std::bit_cast<T>(u);
}

} // namespace

bool is_keyword(const char* card, const char* keyword) {
    const std::size_t n = std::strlen(keyword);
    if (n > 8 || std::memcmp(card, keyword, n) != 0) return false;
    for (std::size_t i = n; i < 8; ++i)
        if (card[i] != ' ') return false;
    return true;
}

const char* Header::find(const char* keyword) const {
    for (int i = 0; i < count; ++i)
        if (is_keyword(cards + i * CARD, keyword)) return cards + i * CARD;
    return nullptr;
}

bool Header::offset_16() const {
    return bitpix == 16 && !raw_unsigned && bscale == 1.0 && (bzero == 32768.0 || bzero == 32767.0);
}

bool card_integer(const char* card, long long& value) {
    if (!card || !has_value(card)) return false;
    const std::string v = value_field(card);
    const char* b = v.data();
    const char* e = b + v.size();
    if (b < e && *b == '+') ++b;
    long long x = 0;
    const auto r = std::from_chars(b, e, x);
    if (r.ec != std::errc() || r.ptr != e) return false;
    value = x;
    return true;
}

bool card_real(const char* card, double& value) {
    if (!card || !has_value(card)) return false;
    std::string v = value_field(card);
    for (char& c : v)
        if (c == 'D' || c == 'd') c = 'E'; // the Fortran exponent FITS allows
    const char* b = v.data();
    const char* e = b + v.size();
    if (b < e && *b == '+') ++b;
    double x = 0.0;
    const auto r = std::from_chars(b, e, x);
    if (r.ec != std::errc() || r.ptr != e || !std::isfinite(x)) return false;
    value = x;
    return true;
}

bool card_string(const char* card, char* out, std::size_t max) {
    if (!card || max == 0 || card[8] != '=') return false;
    int col = 9;
    while (col < CARD && card[col] == ' ') ++col;
    if (col >= CARD || card[col] != '\'') return false;
    std::size_t n = 0;
    for (++col; col < CARD && n + 1 < max; ++col) {
        if (card[col] == '\'') {
            if (col + 1 < CARD && card[col + 1] == '\'') {
                ++col;
            } else {
                break;
            }
        }
        out[n++] = card[col];
    }
    while (n > 0 && out[n - 1] == ' ') --n; // not significant in FITS strings
    out[n] = '\0';
    return true;
}

std::size_t card_commentary(const char* card, char* out, std::size_t max) {
    if (max == 0) return 0;
    int to = CARD;
    while (to > 8 && card[to - 1] == ' ') --to;
    std::size_t n = 0;
    for (int col = 8; col < to && n + 1 < max; ++col) out[n++] = card[col];
    out[n] = '\0';
    return n;
}

Verdict parse_header(const char* bytes, std::size_t n, long long file_length, Header& h,
                     std::string& why) {
    h = Header{};
    const std::size_t cards = std::min<std::size_t>(n, MAX_HEADER_BYTES) / CARD;
    if (cards == 0 || !is_keyword(bytes, "SIMPLE")) {
        why = "not a FITS file (no SIMPLE card)";
        return cards == 0 ? Verdict::Truncated : Verdict::Refused;
    }
    if (!logical_true(bytes)) {
        why = "SIMPLE = " + shown(bytes) + ": not standard FITS";
        return Verdict::Refused;
    }
    std::size_t end = cards;
    for (std::size_t i = 0; i < cards; ++i)
        if (is_keyword(bytes + i * CARD, "END")) {
            end = i;
            break;
        }
    if (end == cards) {
        why = "no END card";
        // A file cut inside its header has lost its END; a complete one has none.
        return n < static_cast<std::size_t>(MAX_HEADER_BYTES) &&
                       static_cast<long long>(n) == file_length && n % RECORD != 0
                   ? Verdict::Truncated
                   : Verdict::Refused;
    }
    h.cards = bytes;
    h.count = static_cast<int>(end);
    h.header_bytes = static_cast<long long>((end * CARD) / RECORD + 1) * RECORD;

    long long v = 0;
    const char* bitpix = h.find("BITPIX");
    if (!bitpix) {
        why = "no BITPIX card";
        return Verdict::Refused;
    }
    if (!card_integer(bitpix, v) ||
        (v != 8 && v != 16 && v != 32 && v != 64 && v != -32 && v != -64)) {
        why = "BITPIX " + shown(bitpix) + " is not FITS";
        return Verdict::Refused;
    }
    h.bitpix = static_cast<int>(v);

    const char* naxis = h.find("NAXIS");
    if (!naxis) {
        why = "no NAXIS card";
        return Verdict::Refused;
    }
    long long axes = 0;
    if (!card_integer(naxis, axes) || axes < 0 || axes > 999) {
        why = "NAXIS " + shown(naxis) + " is not FITS";
        return Verdict::Refused;
    }
    long long size[3] = {1, 1, 1}; // the third holds the product of any further axes
    for (long long a = 1; a <= axes; ++a) {
        const std::string key = "NAXIS" + std::to_string(a);
        const char* card = h.find(key.c_str());
        if (!card) {
            why = "no " + key + " card";
            return Verdict::Refused;
        }
        if (!card_integer(card, v) || v < 0) {
            why = key + " " + shown(card) + " is not a size";
            return Verdict::Refused;
        }
        if (a <= 2) {
            if (v == 0) {
                why = "no image data (" + key + " 0)";
                return Verdict::Refused;
            }
            size[a - 1] = v;
        } else if (v != 1) {
            size[2] = 0; // a real third axis, whatever its size
        }
    }
    if (axes == 0) {
        why = "no image data (NAXIS 0)";
        return Verdict::Refused;
    }
    if (axes == 1) {
        why = "1-D data";
        return Verdict::Refused;
    }
    if (size[2] != 1) {
        why = std::to_string(axes) + "-D data";
        return Verdict::Refused;
    }
    if (size[0] > MAIN_BUFFER_PIXELS || size[1] > MAIN_BUFFER_PIXELS ||
        size[0] * size[1] > MAIN_BUFFER_PIXELS) {
        why = "too large: " + size_text(size[0], size[1]);
        return Verdict::Refused;
    }
    if (size[0] < MIN_SIDE || size[1] < MIN_SIDE) {
        why = "too small: " + size_text(size[0], size[1]);
        return Verdict::Refused;
    }
    h.width = static_cast<int>(size[0]);
    h.height = static_cast<int>(size[1]);

    if (const char* card = h.find("BSCALE")) {
        if (!card_real(card, h.bscale) || h.bscale == 0.0) {
            why = "BSCALE " + shown(card) + " is not a scale";
            return Verdict::Refused;
        }
    }
    if (const char* card = h.find("BZERO")) {
        if (!card_real(card, h.bzero)) {
            why = "BZERO " + shown(card) + " is not a number";
            return Verdict::Refused;
        }
        h.raw_unsigned = h.bitpix == 16 &&
                         std::memcmp(card, OLD_UNSIGNED_BZERO, sizeof OLD_UNSIGNED_BZERO - 1) == 0;
    }
    if (h.bitpix > 0) h.has_blank = card_integer(h.find("BLANK"), h.blank);

    if (file_length < h.header_bytes) {
        why = "cut short inside its header";
        return Verdict::Truncated;
    }
    const long long have = file_length - h.header_bytes;
    if (have < h.data_bytes()) {
        why = "cut short: " + std::to_string(have) + " of " + std::to_string(h.data_bytes()) +
              " data bytes";
        return Verdict::Truncated;
    }
    return Verdict::Ok;
}

PixelConverter::PixelConverter(const Header& h) : h_(h) {
    if (h.bitpix == 16 && (h.raw_unsigned || h.offset_16()) && !h.has_blank) {
        direct_ = true;
        flip_ = h.raw_unsigned ? 0 : 0x8000;
    }
}

double PixelConverter::value(const unsigned char* p, bool& valid) const {
    double raw = 0.0;
    valid = true;
    long long whole = 0;
    switch (h_.bitpix) {
    case 8:
        whole = p[0];
        break;
    case 16:
        whole = load_be<std::int16_t>(p);
        break;
    case 32:
        whole = load_be<std::int32_t>(p);
        break;
    case 64:
        whole = load_be<std::int64_t>(p);
        break;
    case -32:
        raw = load_be<float>(p);
        break;
    default:
        raw = load_be<double>(p);
        break;
    }
    if (h_.bitpix > 0) {
        if (h_.has_blank && whole == h_.blank) {
            valid = false;
            return 0.0;
        }
        raw = static_cast<double>(whole);
    } else if (!std::isfinite(raw)) {
        valid = false;
        return 0.0;
    }
    const double v = h_.bzero + h_.bscale * raw;
    if (!std::isfinite(v)) valid = false;
    return v;
}

void PixelConverter::survey(const unsigned char* data, std::size_t pixels) {
    if (direct_) return;
    const int step = h_.bytes_per_pixel();
    for (std::size_t i = 0; i < pixels; ++i) {
        bool valid;
        const double v = value(data + i * step, valid);
        if (!valid) continue;
        if (!any_) {
            low_ = high_ = v;
            any_ = true;
        } else {
            low_ = std::min(low_, v);
            high_ = std::max(high_, v);
        }
        if (exact_ && (v < 0.0 || v > 65535.0 || v != std::floor(v))) exact_ = false;
    }
}

bool PixelConverter::scaled() const {
    return !direct_ && any_ && !exact_;
}

double PixelConverter::factor() const {
    if (!scaled()) return 1.0;
    return high_ > low_ ? 65535.0 / (high_ - low_) : 0.0;
}

void PixelConverter::convert(const unsigned char* data, std::size_t pixels,
                             unsigned short* out) const {
    if (direct_) {
        for (std::size_t i = 0; i < pixels; ++i)
            out[i] = static_cast<unsigned short>(((data[2 * i] << 8) | data[2 * i + 1]) ^ flip_);
        return;
    }
    const int step = h_.bytes_per_pixel();
    const bool scale = scaled();
    // Halves, so that the span of values near the double's limits stays finite.
    const double half_span = high_ / 2 - low_ / 2;
    for (std::size_t i = 0; i < pixels; ++i) {
        bool valid;
        double v = value(data + i * step, valid);
        if (scale) v = half_span > 0.0 ? std::round((v / 2 - low_ / 2) / half_span * 65535.0) : 0.0;
        out[i] = valid && v >= 0.0 ? static_cast<unsigned short>(std::min(v, 65535.0)) : 0;
    }
}

} // namespace fitsread
