#include "display/dib.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Far larger than any sensor; keeps size computations away from overflow and
// the staging buffer bounded.
constexpr std::int64_t MAX_SIDE = 1 << 16;
constexpr std::int64_t MAX_PIXEL_BYTES = std::int64_t{1} << 26;

std::uint32_t get16(const unsigned char* p) {
    return p[0] | p[1] << 8;
}

std::uint32_t get32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool read_at(int fd, void* buf, std::int64_t n, std::int64_t off) {
    auto* p = static_cast<unsigned char*>(buf);
    while (n > 0) {
        const ssize_t k = ::pread(fd, p, static_cast<size_t>(n), off);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        p += k;
        n -= k;
        off += k;
    }
    return true;
}

bool parse(int fd, std::int64_t file_size, Dib& d) {
    unsigned char palette[256][4] = {};
    unsigned char h[54];
    if (file_size < 54 || !read_at(fd, h, sizeof h, 0)) return false;
    if (h[0] != 'B' || h[1] != 'M') return false;

    // The file-size and image-size fields are not used: writers disagree
    // about them (0 is allowed for uncompressed data). What counts is that
    // the rows are really in the file.
    const std::int64_t offset = get32(h + 10);
    const std::int64_t info_size = get32(h + 14);
    const std::int64_t width = static_cast<std::int32_t>(get32(h + 18));
    const std::int64_t raw_height = static_cast<std::int32_t>(get32(h + 22));
    const std::uint32_t planes = get16(h + 26), bits = get16(h + 28);
    const std::uint32_t compression = get32(h + 30);
    std::int64_t colours = get32(h + 46);

    if (info_size < 40 || 14 + info_size > file_size) return false;
    if (planes != 1 || bits != 8 || compression != 0) return false;
    const bool top_down = raw_height < 0;
    const std::int64_t height = top_down ? -raw_height : raw_height;
    if (width <= 0 || height <= 0 || width > MAX_SIDE || height > MAX_SIDE) return false;
    if (colours == 0) colours = 256;
    if (colours > 256) return false;

    const std::int64_t palette_at = 14 + info_size;
    if (palette_at + 4 * colours > offset) return false;
    const std::int64_t stride = (width + 3) & ~std::int64_t{3};
    if (stride * height > MAX_PIXEL_BYTES || offset + stride * height > file_size) return false;

    // The rows go through one staging buffer kept for the run, so that a
    // failed read leaves the caller's bitmap alone and a rebuild allocates
    // nothing once the caller's Dib has grown to the image size.
    static std::vector<unsigned char> staged;
    staged.resize(static_cast<size_t>(stride * height));
    if (!read_at(fd, staged.data(), stride * height, offset)) return false;
    if (!read_at(fd, palette, 4 * colours, palette_at)) return false;

    std::memcpy(d.palette, palette, sizeof palette);
    d.width = static_cast<int>(width);
    d.height = static_cast<int>(height);
    d.pixels.resize(static_cast<size_t>(width * height));
    for (std::int64_t r = 0; r < height; ++r) {
        const std::int64_t to = top_down ? r : height - 1 - r;
        std::memcpy(d.pixels.data() + to * width, staged.data() + r * stride,
                    static_cast<size_t>(width));
    }
    return true;
}

} // namespace

bool load_dib(const std::string& host_path, Dib& out) {
    const int fd = ::open(host_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && parse(fd, st.st_size, out);
    ::close(fd);
    return ok;
}
