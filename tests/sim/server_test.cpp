// nocteris-sim's sockets and pseudo-terminal, spoken to by a client written
// from the command tables alone, on the real clock.
#include "sim/server.h"
#include "sim_test_util.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace sim;
using namespace simtest;

namespace {

bool exists(const std::string& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

int connect_to(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads exactly n bytes unless the deadline passes or the peer closes.
Bytes read_n(int fd, std::size_t n, int timeout_ms = 10000) {
    Bytes b(n);
    std::size_t got = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (got < n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        const ssize_t k = ::read(fd, b.data() + got, n - got);
        if (k <= 0) break;
        got += static_cast<std::size_t>(k);
    }
    b.resize(got);
    return b;
}

void write_all(int fd, const Bytes& b) {
    ASSERT_EQ(::write(fd, b.data(), b.size()), static_cast<ssize_t>(b.size()));
}

class SimServer : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        platform::install_virtual_clock(nullptr); // a separate thread serves: real time
        cfg.camera.readout_rate = 0;
    }
    void TearDown() override {
        halt();
        NocterisTest::TearDown();
    }
    void launch(ServerOptions opt = {}) {
        simulator = std::make_unique<Simulator>(cfg);
        server = std::make_unique<Server>(*simulator, opt);
        std::string error;
        ASSERT_TRUE(server->start(&error)) << error;
        stop = false;
        thread = std::thread([this] { server->run([this] { return stop.load(); }); });
    }
    void halt() {
        stop = true;
        if (thread.joinable()) thread.join();
        if (server) server->stop();
    }
    Config cfg;
    std::unique_ptr<Simulator> simulator;
    std::unique_ptr<Server> server;
    std::atomic<bool> stop{false};
    std::thread thread;
};

} // namespace

TEST_F(SimServer, SocketsCarryTheUsbBytesAndVanishAtStop) {
    cfg.camera.pid = "0128";
    launch();
    const std::string cam = autosave + "/usb/vid_f0ca&pid_0128#sim0";
    const std::string wheel = autosave + "/usb/vid_f0ca&pid_0700#sim0";
    EXPECT_EQ(server->camera_socket(), cam);
    EXPECT_EQ(server->wheel_socket(), wheel);
    const int fd = connect_to(cam);
    ASSERT_GE(fd, 0);
    write_all(fd, block(255));
    EXPECT_EQ(read_n(fd, 4), (Bytes{12, 0, 2, 0}));
    // A frame far larger than the socket holds, and a reply queued behind it.
    Bytes blocks = readout(2, 0, 0, 2456, 2064, 1, 1, 3000);
    const Bytes echo = block(0, 0, 0, 1, {42});
    blocks.insert(blocks.end(), echo.begin(), echo.end());
    write_all(fd, blocks);
    const Bytes frame = read_n(fd, 2456u * 2064 * 2, 30000);
    EXPECT_EQ(frame.size(), 2456u * 2064 * 2);
    EXPECT_GT(find_stars(pixels16(frame), 2456, 2064).size(), 5u);
    EXPECT_EQ(read_n(fd, 1), Bytes{42});
    // Nothing else comes down the pipe.
    EXPECT_TRUE(read_n(fd, 1, 200).empty());
    ::close(fd);

    const int wfd = connect_to(wheel);
    ASSERT_GE(wfd, 0);
    write_all(wfd, {0, 0, 0});
    EXPECT_EQ(read_n(wfd, 3), (Bytes{0, 1, 5}));
    ::close(wfd);

    const std::string link = server->com_link();
    EXPECT_EQ(link, autosave + "/com3");
    halt();
    EXPECT_FALSE(exists(cam));
    EXPECT_FALSE(exists(wheel));
    EXPECT_FALSE(exists(link));
}

TEST_F(SimServer, PseudoTerminalSpeaksLx200At9600) {
    ServerOptions opt;
    opt.com_port = 4;
    launch(opt);
    const int fd = ::open((autosave + "/com4").c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    tio.c_cflag &= ~(PARENB | CSTOPB | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);
    const std::string cmds = "#:LM 0057#";
    ASSERT_EQ(::write(fd, cmds.data(), cmds.size()), static_cast<ssize_t>(cmds.size()));
    const std::string info = "#:LI#";
    ASSERT_EQ(::write(fd, info.data(), info.size()), static_cast<ssize_t>(info.size()));
    const std::string want = "M57 PN 18:53.6 +33*02#";
    const Bytes r = read_n(fd, want.size(), 5000);
    EXPECT_EQ(std::string(r.begin(), r.end()), want);
    ::close(fd);
}

TEST_F(SimServer, LeftoverSocketIsReplacedALiveOneIsNot) {
    // A socket file left behind by a simulator that died.
    {
        Simulator s(cfg);
        Server dead(s, {});
        ASSERT_TRUE(dead.start(nullptr));
        // Close without removing: what a crash leaves.
        const std::string path = dead.camera_socket();
        const int probe = connect_to(path);
        ::close(probe);
        ASSERT_TRUE(exists(path));
        dead.stop();
        ASSERT_EQ(::mknod(path.c_str(), S_IFSOCK | 0644, 0), 0);
    }
    launch();
    const int fd = connect_to(server->camera_socket());
    EXPECT_GE(fd, 0);
    ::close(fd);

    Simulator other(cfg);
    Server second(other, {});
    std::string error;
    EXPECT_FALSE(second.start(&error));
    EXPECT_NE(error.find("another simulator"), std::string::npos) << error;
    EXPECT_TRUE(exists(server->camera_socket())); // the first one's socket survives
}

TEST_F(SimServer, DisconnectFaultClosesTheSocketPartWayThroughAFrame) {
    cfg.faults.camera.disconnect_frame = 0;
    launch();
    const int fd = connect_to(server->camera_socket());
    ASSERT_GE(fd, 0);
    write_all(fd, readout(2, 0, 0, 1392, 1040, 1, 1, 10));
    const Bytes got = read_n(fd, 1392u * 1040 * 2, 10000);
    EXPECT_EQ(got.size(), 1392u * 1040); // half, then the end of the stream
    ::close(fd);
    // The next program to connect finds the camera working.
    const int again = connect_to(server->camera_socket());
    ASSERT_GE(again, 0);
    write_all(again, block(0, 0, 0, 1, {9}));
    EXPECT_EQ(read_n(again, 1), Bytes{9});
    ::close(again);
}
