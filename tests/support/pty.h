#pragma once
// Tests of the PC serial route: a pseudo-terminal whose slave the program
// opens through the com<n> link in the working folder.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal pair: the program opens the slave through the com<n>
// link, the test plays the mount on the master.
struct Pty {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    std::string slave;

    Pty() {
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
        slave = ::ptsname(master);
        termios t{};
        ::tcgetattr(master, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master, TCSANOW, &t);
    }
    ~Pty() { ::close(master); }

    // What the program sent: until `want` bytes, or until the line has been
    // quiet for `quiet_ms` (real time; 2 s at most).
    std::string take(std::size_t want, int quiet_ms = 2000) const {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        pollfd p{master, POLLIN, 0};
        while (got.size() < want && std::chrono::steady_clock::now() < deadline &&
               ::poll(&p, 1, quiet_ms) > 0) {
            char buf[256];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }
    std::string drain() const { return take(1000, 50); }
    void say(const std::string& reply) const {
        ASSERT_EQ(::write(master, reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
    }
};
