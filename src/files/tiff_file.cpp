#include "files/tiff_file.h"

#include "display/image_store.h"
#include "files/file_io.h"
#include "platform/host_path.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

enum Type : std::uint16_t { SHORT = 3, LONG = 4, RATIONAL = 5 };

struct Bytes {
    std::vector<unsigned char> v;
    void u16(unsigned x) {
        v.push_back(static_cast<unsigned char>(x & 0xFF));
        v.push_back(static_cast<unsigned char>((x >> 8) & 0xFF));
    }
    void u32(std::uint32_t x) {
        u16(x & 0xFFFF);
        u16(x >> 16);
    }
    void entry(unsigned tag, Type type, std::uint32_t count, std::uint32_t value) {
        u16(tag);
        u16(type);
        u32(count);
        u32(value); // a SHORT sits in the low half, as little-endian requires
    }
};

} // namespace

int SaveTifFile(const char* path, const unsigned short* image, int sixteen_bit) {
    const std::string host = platform::host_path(path ? path : "");
    const long long w = disp.width1, h = disp.height1;
    // Width and length are SHORT entries.
    if (host.empty() || !image || w <= 0 || h <= 0 || w > 65535 || h > 65535 ||
        w * h > MAIN_BUFFER_PIXELS)
        return 1;

    const long long sample = sixteen_bit ? 2 : 1;
    const long long d = std::clamp<long long>(disp.divisor, 1, 255);
    const long long rows = (h + d - 1) / d;
    const long long strips = (h + rows - 1) / rows;
    const long long row_bytes = w * sample;
    const long long strip_bytes = rows * row_bytes;
    const long long data = TIFF_DIRECTORY_END + 8 * strips;
    const auto count = [&](long long k) { return std::min(rows, h - k * rows) * row_bytes; };

    Bytes hd;
    hd.v.reserve(static_cast<std::size_t>(data));
    hd.v.push_back('I');
    hd.v.push_back('I');
    hd.u16(42);
    hd.u32(8);
    hd.u16(13);
    const bool one = strips == 1;
    const auto u32 = [](long long x) { return static_cast<std::uint32_t>(x); };
    hd.entry(254, LONG, 1, 0);
    hd.entry(256, SHORT, 1, u32(w));
    hd.entry(257, SHORT, 1, u32(h));
    hd.entry(258, SHORT, 1, sixteen_bit ? 16 : 8);
    hd.entry(259, SHORT, 1, 1);
    hd.entry(262, SHORT, 1, 1);
    hd.entry(273, LONG, u32(strips), u32(one ? data : TIFF_DIRECTORY_END));
    hd.entry(277, SHORT, 1, 1);
    hd.entry(278, LONG, 1, u32(rows));
    hd.entry(279, LONG, u32(strips), u32(one ? count(0) : TIFF_DIRECTORY_END + 4 * strips));
    hd.entry(282, RATIONAL, 1, 170);
    hd.entry(283, RATIONAL, 1, 178);
    hd.entry(296, SHORT, 1, 3);
    hd.u32(0);
    hd.u32(510);
    hd.u32(6);
    hd.u32(256);
    hd.u32(4);
    for (long long k = 0; k < strips; ++k) hd.u32(u32(data + k * strip_bytes));
    for (long long k = 0; k < strips; ++k) hd.u32(u32(count(k)));

    unsigned char* buf = fileio::staging();
    for (long long i = 0; i < w * h; ++i) {
        if (sixteen_bit) {
            buf[2 * i] = static_cast<unsigned char>(image[i] & 0xFF);
            buf[2 * i + 1] = static_cast<unsigned char>(image[i] >> 8);
        } else {
            buf[i] = static_cast<unsigned char>(image[i] >> 8);
        }
    }

    fileio::ReplacingFile out(host);
    if (!out.write(hd.v.data(), hd.v.size())) return 1;
    for (long long k = 0; k < strips; ++k)
        if (!out.write(buf + k * strip_bytes, static_cast<std::size_t>(count(k)))) return 1;
    return out.commit() ? 0 : 1;
}
