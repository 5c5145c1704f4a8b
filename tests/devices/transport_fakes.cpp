#include "transport_fakes.h"

#include "platform/usb_ids.h"

#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace fake {

namespace {

sockaddr_un address_of(const std::string& name) {
    std::string folder = platform::usb::socket_folder();
    std::filesystem::create_directories(folder);
    std::string full = folder + "/" + name;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    EXPECT_LT(full.size(), sizeof addr.sun_path);
    std::strncpy(addr.sun_path, full.c_str(), sizeof addr.sun_path - 1);
    return addr;
}

int listen_on(const std::string& name) {
    sockaddr_un addr = address_of(name);
    // Non-blocking, so that the peer's thread sees the shutdown at its end.
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << strerror(errno);
    EXPECT_EQ(::listen(fd, 4), 0);
    return fd;
}

bool wait_for(int fd, short events, int timeout_ms) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, timeout_ms) > 0;
}

} // namespace

bool recv_exact(int fd, void* data, std::size_t n, int timeout_ms) {
    auto* p = static_cast<std::uint8_t*>(data);
    std::size_t got = 0;
    while (got < n) {
        if (!wait_for(fd, POLLIN, timeout_ms)) return false;
        ssize_t r = ::recv(fd, p + got, n - got, 0);
        if (r <= 0) return false;
        got += std::size_t(r);
    }
    return true;
}

bool send_all(int fd, const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::size_t put = 0;
    while (put < n) {
        if (!wait_for(fd, POLLOUT, 5000)) return false;
        ssize_t r = ::send(fd, p + put, n - put, MSG_NOSIGNAL);
        if (r <= 0) return false;
        put += std::size_t(r);
    }
    return true;
}

SocketPeer::SocketPeer(const std::string& name, std::function<void(int fd)> script)
    : listen_fd_(listen_on(name)) {
    thread_ = std::thread([fd = listen_fd_, script = std::move(script)] {
        while (wait_for(fd, POLLIN, 5000)) {
            int conn = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (conn < 0) return;
            std::uint8_t first;
            bool speaks = wait_for(conn, POLLIN, 5000) && ::recv(conn, &first, 1, MSG_PEEK) == 1;
            if (speaks) script(conn);
            ::close(conn);
            if (speaks) return;
        }
    });
}

SocketPeer::~SocketPeer() {
    ::shutdown(listen_fd_, SHUT_RDWR);
    thread_.join();
    ::close(listen_fd_);
}

void make_stale_socket(const std::string& name) {
    ::close(listen_on(name));
}

std::string camera_socket_path(const std::string& name) {
    return "\\\\?\\usb#" + name + "#" + usb_ids::BLOCK_DRIVER_CLASS;
}

} // namespace fake
