// nocteris-sim: the simulated camera, mount and accessories for a person.
#include "sim/options.h"
#include "sim/server.h"
#include "sim/simulator.h"

#include "platform/clock.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_report = 0;
extern "C" void on_signal(int) {
    g_stop = 1;
}
extern "C" void on_report(int) {
    g_report = 1;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    sim::Options opt;
    std::string error;
    if (!sim::parse_options(args, &opt, &error)) {
        std::fprintf(stderr, "nocteris-sim: %s\n", error.c_str());
        return 2;
    }
    if (opt.help) {
        std::fputs(sim::usage().c_str(), stdout);
        return 0;
    }

    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    // SIGUSR1 asks where the telescope truly points (scripts compare it with
    // what mount software reads).
    struct sigaction sr {};
    sr.sa_handler = on_report;
    sigemptyset(&sr.sa_mask);
    sigaction(SIGUSR1, &sr, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    sim::Simulator simulator(opt.sim);
    sim::Server server(simulator, opt.server);
    const std::uint32_t t0 = platform::now_ms();
    auto say = [t0](const std::string& s) {
        std::printf("[%8.3f] %s\n", (platform::now_ms() - t0) / 1000.0, s.c_str());
        std::fflush(stdout);
    };
    if (!opt.quiet) {
        simulator.set_log(say);
        server.log = say;
    }
    simulator.camera().log_every_block = opt.verbose;

    if (!server.start(&error)) {
        std::fprintf(stderr, "nocteris-sim: %s\n", error.c_str());
        return 1;
    }
    const auto& m = simulator.camera().model();
    std::printf("nocteris-sim: camera model %d (product id %s), %d x %d pixels\n", m.code,
                opt.sim.camera.pid.c_str(), m.width, m.height);
    std::printf("  camera socket:       %s\n", server.camera_socket().c_str());
    if (!server.wheel_socket().empty())
        std::printf("  filter wheel socket: %s (%d positions)\n", server.wheel_socket().c_str(),
                    opt.sim.wheel.positions);
    if (!server.com_link().empty())
        std::printf("  PC serial port:      %s -> %s\n", server.com_link().c_str(),
                    server.pty_name().c_str());
    std::printf("Ready. Ctrl-C stops.\n");
    std::fflush(stdout);

    server.run([&] {
        if (g_report) {
            g_report = 0;
            double ra, dec;
            simulator.pointing(&ra, &dec);
            char text[96];
            std::snprintf(text, sizeof text, "pointing RA %.6f h Dec %+.6f deg", ra, dec);
            say(text); // even when quiet: it was asked for
        }
        return g_stop != 0;
    });
    server.stop();
    std::printf("nocteris-sim: stopped, sockets and link removed\n");
    return 0;
}
