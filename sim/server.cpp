#include "sim/server.h"

#include "platform/host_path.h"
#include "platform/usb_ids.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace sim {

namespace {

bool make_dirs(const std::string& path) {
    std::string cur;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || (path[i] == '/' && i > 0)) {
            cur = path.substr(0, i);
            if (::mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

void set_nonblocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

Server::Server(Simulator& sim, ServerOptions opt) : sim_(sim), opt_(std::move(opt)) {}

Server::~Server() {
    stop();
}

bool Server::listen_on(const std::string& path, int* fd, std::string* error) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        *error = "socket path too long for a Unix socket: " + path;
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            *error = path + " exists and is not a socket";
            return false;
        }
        // A live socket belongs to another simulator; a dead one is left over.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool live =
            probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        if (probe >= 0) ::close(probe);
        if (live) {
            *error = "another simulator is serving " + path;
            return false;
        }
        ::unlink(path.c_str());
    }
    *fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (*fd < 0 || ::bind(*fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(*fd, 4) != 0) {
        *error = "cannot listen on " + path + ": " + std::strerror(errno);
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
        return false;
    }
    set_nonblocking(*fd);
    return true;
}

bool Server::start(std::string* error) {
    std::string dummy;
    if (!error) error = &dummy;
    const std::string usb =
        opt_.usb_folder.empty() ? platform::host_path("c:\\autosave\\usb") : opt_.usb_folder;
    if (!make_dirs(usb)) {
        *error = "cannot create " + usb + ": " + std::strerror(errno);
        return false;
    }
    const std::string vid = std::string("vid_") + usb_ids::VENDOR_ID;
    camera_path_ = usb + "/" + vid + "&pid_" + sim_.config().camera.pid + "#" + opt_.serial;
    if (!listen_on(camera_path_, &camera_listen_, error)) {
        stop();
        return false;
    }
    if (sim_.config().wheel.usb) {
        wheel_path_ = usb + "/" + vid + "&pid_" + usb_ids::FILTER_WHEEL_PID + "#" + opt_.serial;
        if (!listen_on(wheel_path_, &wheel_listen_, error)) {
            stop();
            return false;
        }
    }
    started_ = true;
    if (opt_.com_port > 0) {
        const std::string folder =
            opt_.com_folder.empty() ? platform::working_folder() : opt_.com_folder;
        if (!make_dirs(folder) || !pty_.open(error)) {
            stop();
            return false;
        }
        com_link_ = folder + "/com" + std::to_string(opt_.com_port);
        if (!make_link(com_link_, pty_.slave_name(), error)) {
            com_link_.clear();
            stop();
            return false;
        }
    }
    return true;
}

void Server::stop() {
    drop(camera_, nullptr);
    drop(wheel_, nullptr);
    if (camera_listen_ >= 0) {
        ::close(camera_listen_);
        ::unlink(camera_path_.c_str());
        camera_listen_ = -1;
    }
    if (wheel_listen_ >= 0) {
        ::close(wheel_listen_);
        ::unlink(wheel_path_.c_str());
        wheel_listen_ = -1;
    }
    if (!com_link_.empty()) {
        remove_link(com_link_, pty_.slave_name());
        com_link_.clear();
    }
    pty_.close();
    started_ = false;
}

void Server::accept_client(int listen_fd, Client& c, const char* what) {
    const int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    c.fd = fd;
    c.out.clear();
    c.sent = 0;
    c.backlog = false;
    if (&c == &camera_) sim_.camera_reset_link();
    note(std::string(what) + ": program connected");
}

void Server::drop(Client& c, const char* what) {
    if (c.fd < 0) return;
    ::close(c.fd);
    c.fd = -1;
    c.out.clear();
    c.sent = 0;
    c.backlog = false;
    if (what) note(std::string(what) + ": program disconnected");
}

bool Server::flush(Client& c) {
    while (c.sent < c.out.size()) {
        const ssize_t n = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        c.sent += static_cast<std::size_t>(n);
    }
    c.out.clear();
    c.sent = 0;
    return true;
}

void Server::poll_once(int max_wait_ms) {
    if (!started_) return;
    // Wake up when the camera's next reply is due.
    int timeout = max_wait_ms;
    if (camera_.fd >= 0 && !camera_.backlog) {
        const double next = sim_.camera_next_ready();
        if (next != std::numeric_limits<double>::infinity()) {
            const double ms = std::ceil((next - sim_.now()) * 1000.0);
            timeout = static_cast<int>(std::clamp(ms, 0.0, static_cast<double>(max_wait_ms)));
        }
    }

    pollfd fds[5];
    int n = 0;
    auto add = [&](int fd, short events) {
        fds[n] = {fd, events, 0};
        return n++;
    };
    const int i_cl = camera_.fd < 0 ? add(camera_listen_, POLLIN) : -1;
    const int i_c =
        camera_.fd >= 0 ? add(camera_.fd, POLLIN | (camera_.backlog ? POLLOUT : 0)) : -1;
    const int i_wl = wheel_listen_ >= 0 && wheel_.fd < 0 ? add(wheel_listen_, POLLIN) : -1;
    const int i_w =
        wheel_.fd >= 0 ? add(wheel_.fd, POLLIN | (wheel_.out.empty() ? 0 : POLLOUT)) : -1;
    const int i_p = pty_.master() >= 0 ? add(pty_.master(), POLLIN) : -1;
    if (::poll(fds, n, timeout) < 0) return; // a signal: let the caller look

    std::uint8_t buf[65536];
    if (i_cl >= 0 && (fds[i_cl].revents & POLLIN)) accept_client(camera_listen_, camera_, "camera");
    if (i_wl >= 0 && (fds[i_wl].revents & POLLIN))
        accept_client(wheel_listen_, wheel_, "filter wheel");

    if (i_c >= 0 && (fds[i_c].revents & (POLLIN | POLLHUP | POLLERR))) {
        const ssize_t k = ::recv(camera_.fd, buf, sizeof buf, 0);
        if (k > 0)
            sim_.camera_write(buf, static_cast<std::size_t>(k));
        else if (k == 0 || (errno != EAGAIN && errno != EINTR))
            drop(camera_, "camera");
    }
    if (camera_.fd >= 0) {
        // What the camera has ready goes from its reply straight into the
        // socket, as much as the socket takes now.
        bool failed = false;
        camera_.backlog = false;
        sim_.camera_send([&](const std::uint8_t* p, std::size_t len) -> std::size_t {
            const ssize_t k = ::send(camera_.fd, p, len, MSG_NOSIGNAL);
            if (k < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                    camera_.backlog = true;
                else
                    failed = true;
                return 0;
            }
            if (static_cast<std::size_t>(k) < len) camera_.backlog = true;
            return static_cast<std::size_t>(k);
        });
        if (failed) {
            drop(camera_, "camera");
        } else if (!camera_.backlog && sim_.camera_link_down()) {
            drop(camera_, "camera (link dropped by fault)");
        }
    }

    if (i_w >= 0 && (fds[i_w].revents & (POLLIN | POLLHUP | POLLERR))) {
        const ssize_t k = ::recv(wheel_.fd, buf, sizeof buf, 0);
        if (k > 0) {
            sim_.wheel_write(buf, static_cast<std::size_t>(k));
            const std::size_t r = sim_.wheel_read(buf, sizeof buf);
            wheel_.out.insert(wheel_.out.end(), buf, buf + r);
        } else if (k == 0 || (errno != EAGAIN && errno != EINTR)) {
            drop(wheel_, "filter wheel");
        }
    }
    if (wheel_.fd >= 0 && !flush(wheel_)) drop(wheel_, "filter wheel");

    if (i_p >= 0 && (fds[i_p].revents & POLLIN)) {
        const ssize_t k = ::read(pty_.master(), buf, sizeof buf);
        if (k > 0) {
            sim_.pc_write(buf, static_cast<std::size_t>(k));
            const auto reply = sim_.pc_take();
            // A port nobody reads overflows; the surplus is lost as on a line.
            if (!reply.empty()) {
                const ssize_t w = ::write(pty_.master(), reply.data(), reply.size());
                (void)w;
            }
        }
    }
}

void Server::run(const std::function<bool()>& should_stop) {
    while (!should_stop()) poll_once(200);
}

} // namespace sim
