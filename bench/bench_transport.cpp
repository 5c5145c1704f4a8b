// A full frame of the largest sensor (2456 x 2064, 16-bit) through the
// simulator's socket into ReportBuffer, against a plain memcpy of the same
// bytes: what the transport costs beyond moving the data once.
#include "devices/transport.h"
#include "platform/usb.h"
#include "ratios.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t FRAME_BYTES = 2456u * 2064u * 2u;
constexpr int READOUT_BLOCK = 22; // command 2 with its exposure
constexpr const char* SOCKET_NAME = "vid_f0ca&pid_0128#bench";

std::vector<std::uint8_t> make_frame() {
    std::vector<std::uint8_t> f(FRAME_BYTES);
    for (std::size_t i = 0; i < f.size(); ++i) f[i] = std::uint8_t(i * 31 + (i >> 12));
    return f;
}

const std::vector<std::uint8_t>& frame() {
    static const std::vector<std::uint8_t> f = make_frame();
    return f;
}

// A private HOME with a camera socket whose peer answers every readout
// block with a frame, on a thread of its own; torn down at exit.
struct SimulatedCamera {
    std::string home;
    int listen_fd = -1;
    std::thread server;

    SimulatedCamera() {
        char tmpl[] = "/tmp/nocteris-bench-XXXXXX";
        home = ::mkdtemp(tmpl);
        ::setenv("HOME", home.c_str(), 1);
        std::filesystem::create_directories(platform::usb::socket_folder());
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::string path = platform::usb::socket_folder() + "/" + SOCKET_NAME;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        listen_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::bind(listen_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listen_fd, 1) != 0)
            std::abort();
        server = std::thread([fd = listen_fd] { serve(fd); });
        attach_camera(platform::usb::open("\\\\?\\usb#" + std::string(SOCKET_NAME) +
                                          "#{5e0a9c3d-7b21-4f6e-9d84-2c1b0a6f3e57}"));
        if (!camera_attached()) std::abort();
    }

    ~SimulatedCamera() {
        CloseUSBdevice(); // the server sees the end of its connection
        server.join();
        ::close(listen_fd);
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }

    static void serve(int listen_fd) {
        int conn = ::accept(listen_fd, nullptr, nullptr);
        if (conn < 0) return;
        std::uint8_t block[READOUT_BLOCK];
        for (;;) {
            std::size_t got = 0;
            while (got < sizeof block) {
                ssize_t r = ::recv(conn, block + got, sizeof block - got, 0);
                if (r <= 0) {
                    ::close(conn);
                    return;
                }
                got += std::size_t(r);
            }
            const auto& f = frame();
            for (std::size_t put = 0; put < f.size();) {
                ssize_t r = ::send(conn, f.data() + put, f.size() - put, MSG_NOSIGNAL);
                if (r <= 0) break;
                put += std::size_t(r);
            }
        }
    }
};

SimulatedCamera& camera() {
    static SimulatedCamera c;
    return c;
}

void read_one_frame() {
    std::memset(camdata, 0, READOUT_BLOCK);
    camdata[0] = 0x40;
    camdata[1] = 2;
    usbt.ByteCount = READOUT_BLOCK;
    SendBlock();
    usbt.ByteCount = int(FRAME_BYTES);
    ReceiveBlock();
}

void BM_FrameThroughSocket(benchmark::State& state) {
    camera();
    const auto& f = frame();
    std::memset(ReportBuffer, 0, f.size());
    read_one_frame();
    if (std::memcmp(ReportBuffer, f.data(), f.size()) != 0) {
        state.SkipWithError("frame differs");
        return;
    }
    for (auto _ : state) {
        read_one_frame();
        benchmark::ClobberMemory();
    }
    if (usbt.BytesReturned != FRAME_BYTES) state.SkipWithError("short frame");
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(FRAME_BYTES));
}
BENCHMARK(BM_FrameThroughSocket)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MemcpyOfTheSameBytes(benchmark::State& state) {
    const auto& f = frame();
    for (auto _ : state) {
        std::memcpy(ReportBuffer, f.data(), f.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(FRAME_BYTES));
}
BENCHMARK(BM_MemcpyOfTheSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

// How many memcpys one socket frame costs.
[[maybe_unused]] const bool socket_x =
    bench::ratio("socket_x", "BM_FrameThroughSocket", "BM_MemcpyOfTheSameBytes");

} // namespace
