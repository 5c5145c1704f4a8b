#include "files/file_io.h"

#include "platform/ui.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {

namespace {
unsigned char staging_area[STAGING_BYTES];
}

unsigned char* staging() {
    return staging_area;
}

InputFile::InputFile(const std::string& host_path) {
    if (host_path.empty()) return;
    // Non-blocking so that a FIFO cannot hang the open; it is refused below.
    const int fd = ::open(host_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    length_ = st.st_size;
}

InputFile::~InputFile() {
    close();
}

void InputFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

long long InputFile::read_pieces(unsigned char* dst, long long total, long long piece) {
    if (fd_ < 0) return -1;
    if (piece <= 0) piece = total;
    long long done = 0;
    while (done < total) {
        const long long want = std::min(piece, total - done);
        long long got = 0;
        while (got < want) {
            const ssize_t n = ::read(fd_, dst + done + got, static_cast<std::size_t>(want - got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return -1;
            if (n == 0) return done + got;
            got += n;
        }
        done += got;
    }
    return done;
}

bool InputFile::read_exact(unsigned char* dst, std::size_t n) {
    return read_pieces(dst, static_cast<long long>(n), 0) == static_cast<long long>(n);
}

bool InputFile::seek(long long offset) {
    return fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == offset;
}

ReplacingFile::ReplacingFile(const std::string& host_path) : target_(host_path) {
    if (host_path.empty() || host_path.back() == '/') return;
    const auto slash = host_path.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : host_path.substr(0, slash + 1);
    const std::string base = host_path.substr(slash == std::string::npos ? 0 : slash + 1);
    // A hidden name of our own in the same folder, so the rename stays on one
    // file system; O_EXCL keeps two saves from sharing it.
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = dir + "." + base + "." + std::to_string(::getpid()) + "-" +
                std::to_string(++counter) + ".part";
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) temp_.clear();
}

ReplacingFile::~ReplacingFile() {
    discard();
}

void ReplacingFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool ReplacingFile::write(const void* data, std::size_t n) {
    if (fd_ < 0) return false;
    const auto* p = static_cast<const unsigned char*>(data);
    while (n > 0) {
        const ssize_t w = ::write(fd_, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool ReplacingFile::commit() {
    if (fd_ < 0) return false;
    bool ok = ::fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    if (ok && ::rename(temp_.c_str(), target_.c_str()) == 0) {
        temp_.clear();
        return true;
    }
    discard();
    return false;
}

WaitCursor::WaitCursor() {
    platform::ui().set_cursor(platform::CursorShape::Wait);
}
WaitCursor::~WaitCursor() {
    platform::ui().set_cursor(platform::CursorShape::Arrow);
}

void copy_text(char* dst, std::size_t size, const char* src) {
    if (size == 0) return;
    std::size_t n = 0;
    if (src)
        while (n + 1 < size && src[n]) ++n;
    std::memcpy(dst, src ? src : "", n);
    dst[n] = '\0';
}

} // namespace fileio
