#include "display/dib.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
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

// Reads into every buffer of `v` in turn from `off`, picking up after short
// reads. The caller's iovecs are used up on the way.
bool read_into(int fd, iovec* v, int count, std::int64_t off) {
    while (count > 0) {
        const ssize_t k = ::preadv(fd, v, count, off);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        off += k;
        for (size_t left = static_cast<size_t>(k); left > 0;) {
            const size_t take = std::min(left, v->iov_len);
            v->iov_base = static_cast<unsigned char*>(v->iov_base) + take;
            v->iov_len -= take;
            left -= take;
            if (v->iov_len == 0) ++v, --count;
        }
        while (count > 0 && v->iov_len == 0) ++v, --count;
    }
    return true;
}

// The file's rows straight into top-down rows of `width` bytes, their padding
// into a scrap: one copy out of the file, however the rows lie in it.
bool read_rows(int fd, std::int64_t off, std::int64_t width, std::int64_t stride,
               std::int64_t height, bool top_down, unsigned char* dst) {
    if (top_down && stride == width) return read_at(fd, dst, width * height, off);
    constexpr int BATCH = 512; // rows a call; two buffers each stays within IOV_MAX
    unsigned char scrap[4];
    iovec v[2 * BATCH];
    for (std::int64_t first = 0; first < height; first += BATCH) {
        const std::int64_t rows = std::min<std::int64_t>(BATCH, height - first);
        int count = 0;
        for (std::int64_t r = first; r < first + rows; ++r) {
            const std::int64_t to = top_down ? r : height - 1 - r;
            v[count++] = {dst + to * width, static_cast<size_t>(width)};
            if (stride > width) v[count++] = {scrap, static_cast<size_t>(stride - width)};
        }
        if (!read_into(fd, v, count, off + first * stride)) return false;
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

    // The rows go into one staging buffer kept for the run, so that a failed
    // read leaves the caller's bitmap alone; it then trades places with the
    // caller's pixels, and a rebuild allocates nothing once both have grown
    // to the image size.
    static std::vector<unsigned char> staged;
    staged.resize(static_cast<size_t>(width * height));
    if (!read_rows(fd, offset, width, stride, height, top_down, staged.data())) return false;
    if (!read_at(fd, palette, 4 * colours, palette_at)) return false;

    std::memcpy(d.palette, palette, sizeof palette);
    d.width = static_cast<int>(width);
    d.height = static_cast<int>(height);
    d.pixels.swap(staged);
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
