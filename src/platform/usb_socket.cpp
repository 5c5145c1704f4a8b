// The simulator's devices: one Unix stream socket per device in the working
// folder's "usb" folder, carrying exactly the bytes of the device's pipes.
#include "platform/ui.h"
#include "platform/usb_ids.h"
#include "platform/usb_internal.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform::usb::detail {

namespace {

// Real time between looks at the deadline while a device is silent.
constexpr int POLL_SLICE_MS = 20;

// "vid_f0ca&pid_0122#sim0": lower-case hex ids, a serial of plain characters.
bool parse_socket_name(const std::string& name, std::uint16_t& vid, std::uint16_t& pid,
                       std::string& serial) {
    PathParts parts;
    // Reuse the path parser on the block-driver form of the name.
    std::string as_path = "\\\\?\\usb#" + name + "#" + usb_ids::BLOCK_DRIVER_CLASS;
    if (name.size() > 64 || !parse_device_path(as_path, parts)) return false;
    for (char c : parts.instance)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'))
            return false;
    vid = parts.vid;
    pid = parts.pid;
    serial = parts.instance;
    return true;
}

std::uint16_t filter_wheel_pid() {
    return static_cast<std::uint16_t>(std::stoul(usb_ids::FILTER_WHEEL_PID, nullptr, 16));
}

// Connects without blocking: a listener that is gone refuses at once, one
// that is busy does not hold the caller. -1 on failure, with errno set.
int connect_socket(const std::string& folder, const std::string& name) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string full = folder + "/" + name;
    int dir = -1;
    if (full.size() >= sizeof addr.sun_path) {
        // Too long for a socket address: reach the folder through its descriptor.
        dir = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0) {
            ::close(fd);
            return -1;
        }
        full = "/proc/self/fd/" + std::to_string(dir) + "/" + name;
    }
    int rc = -1;
    if (full.size() < sizeof addr.sun_path) {
        std::memcpy(addr.sun_path, full.c_str(), full.size() + 1);
        do {
            rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        } while (rc < 0 && errno == EINTR);
    } else {
        errno = ENAMETOOLONG;
    }
    int saved = errno;
    if (dir >= 0) ::close(dir);
    if (rc < 0) {
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

class SocketDevice : public Device {
  public:
    SocketDevice(int fd, std::uint16_t vid, std::uint16_t pid) : fd_(fd), vid_(vid), pid_(pid) {}
    ~SocketDevice() override { ::close(fd_); }

    long write(const std::uint8_t* data, std::size_t n) override {
        err_ = 0;
        std::size_t put = 0;
        Deadline deadline(WRITE_TIMEOUT_MS);
        while (put < n) {
            // MSG_NOSIGNAL: a simulator that went away is a failed write, not SIGPIPE.
            ssize_t r = ::send(fd_, data + put, n - put, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (r >= 0) {
                put += std::size_t(r);
                continue;
            }
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                err_ = errno;
                return -1;
            }
            if (deadline.passed()) {
                err_ = ETIMEDOUT;
                return -1;
            }
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, deadline.slice_ms(POLL_SLICE_MS));
        }
        return long(put);
    }

    long read(std::uint8_t* data, std::size_t n, std::uint32_t timeout_ms) override {
        err_ = 0;
        std::size_t got = 0;
        Deadline deadline(timeout_ms);
        while (got < n) {
            // One call waits for all of it, a slice of real time at most: a
            // frame comes in one or two calls, not one per buffer-full.
            const int slice = deadline.slice_ms(POLL_SLICE_MS);
            ssize_t r = slice > 0 && wait_at_most(slice)
                            ? ::recv(fd_, data + got, n - got, MSG_WAITALL)
                            : ::recv(fd_, data + got, n - got, MSG_DONTWAIT);
            if (r > 0) {
                got += std::size_t(r);
                if (got < n && deadline.passed()) {
                    err_ = ETIMEDOUT;
                    break;
                }
                if (got < n) while_waiting();
                continue;
            }
            if (r == 0) { // the simulator closed its end
                err_ = ECONNRESET;
                break;
            }
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                err_ = errno;
                break;
            }
            if (deadline.passed()) {
                err_ = ETIMEDOUT;
                break;
            }
            while_waiting(); // a camera-timed exposure can take 100 s
        }
        if (got == 0 && err_ != 0) return -1;
        return long(got);
    }

    void discard_input() override {
        std::uint8_t sink[4096];
        while (::recv(fd_, sink, sizeof sink, MSG_DONTWAIT) > 0) {
        }
    }

    int last_error() const override { return err_; }
    std::uint16_t vendor_id() const override { return vid_; }
    std::uint16_t product_id() const override { return pid_; }

  private:
    // Blocking receives give up after `ms` of real time; false when the
    // socket will not take the limit.
    bool wait_at_most(int ms) {
        if (ms == wait_ms_) return true;
        timeval tv{ms / 1000, (ms % 1000) * 1000};
        if (::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) return false;
        wait_ms_ = ms;
        return true;
    }

    int fd_;
    std::uint16_t vid_, pid_;
    int err_ = 0;
    int wait_ms_ = -1; // the socket's receive limit, -1 before it is set
};

class SocketProvider : public Provider {
  public:
    std::vector<std::string> enumerate(InterfaceClass cls) override {
        std::vector<std::string> paths;
        const std::string folder = socket_folder();
        DIR* d = ::opendir(folder.c_str());
        if (!d) return paths; // no simulator has run here
        std::vector<std::string> names;
        while (dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
        ::closedir(d);
        std::sort(names.begin(), names.end());
        for (const auto& name : names) {
            std::uint16_t vid, pid;
            std::string serial;
            if (!parse_socket_name(name, vid, pid, serial)) continue;
            InterfaceClass own =
                pid == filter_wheel_pid() ? InterfaceClass::Hid : InterfaceClass::BlockDriver;
            if (own != cls || !listening(folder, name)) continue;
            paths.push_back(device_path(cls, vid, pid, serial));
        }
        return paths;
    }

    std::unique_ptr<Device> open(const std::string& path) override {
        PathParts parts;
        if (!parse_device_path(path, parts)) return nullptr;
        char ids[32];
        std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x#", unsigned(parts.vid),
                      unsigned(parts.pid));
        const std::string name = ids + parts.instance;
        std::uint16_t vid, pid;
        std::string serial;
        if (!parse_socket_name(name, vid, pid, serial)) return nullptr;
        if ((pid == filter_wheel_pid()) != (parts.cls == InterfaceClass::Hid)) return nullptr;
        int fd = connect_socket(socket_folder(), name);
        if (fd < 0) return nullptr;
        // Connected: reads may block now (each within its limit); writes
        // still never do.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return std::make_unique<SocketDevice>(fd, vid, pid);
    }

  private:
    // A socket file whose simulator has gone refuses connections: it is not
    // a present device. The probe connects and closes without a byte.
    static bool listening(const std::string& folder, const std::string& name) {
        struct stat st;
        if (::lstat((folder + "/" + name).c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return false;
        int fd = connect_socket(folder, name);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        return errno == EAGAIN; // alive, its queue is full
    }
};

} // namespace

Provider& socket_provider() {
    static SocketProvider p;
    return p;
}

} // namespace platform::usb::detail
