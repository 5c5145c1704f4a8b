// Guide-pulse accuracy on the real clock: timed LX200 pulses from the
// program's drive_slew() over the PC serial route to the simulator's
// pseudo-terminal, each measured on the simulator's side as the time from
// the move command's arrival to the stop command's. 200 pulses of 50 to
// 1000 ms take about two and a half minutes; NOCTERIS_BENCH_PULSES=N sends
// fewer (the lengths still spread over the whole range).
#include "cli/cli_ui.h"
#include "devices/serial_link.h"
#include "platform/ui.h"
#include "settings/settings.h"
#include "sim/server.h"
#include "sim/simulator.h"
#include "telescope/mount_protocol.h"
#include "telescope/telescope_state.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int PULSES = 200;
constexpr int SHORTEST_MS = 50, LONGEST_MS = 1000;

// The simulator served from its own thread, as nocteris-sim serves it, with
// the arrival of every LX200 command stamped on the monotonic clock.
struct Rig {
    std::string home;
    CliUi ui{std::cerr};
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::Server> server;
    std::thread serving;
    std::atomic<bool> stop{false};

    std::mutex arrivals_mutex;
    std::vector<std::pair<std::string, Clock::time_point>> arrivals;

    bool start(std::string* error) {
        char tmpl[] = "/tmp/nocteris-bench-XXXXXX";
        home = ::mkdtemp(tmpl);
        ::setenv("HOME", home.c_str(), 1);
        std::filesystem::create_directories(home + "/autosave");
        platform::install_ui(&ui);

        sim::Config c;
        c.mount.pe_amplitude = 0;
        simulator = std::make_unique<sim::Simulator>(c);
        simulator->pc_line().on_command = [this](const std::string& cmd) {
            const auto t = Clock::now();
            std::lock_guard lock(arrivals_mutex);
            arrivals.emplace_back(cmd, t);
        };
        sim::ServerOptions so;
        so.usb_folder = home + "/usb";
        so.com_folder = home + "/autosave";
        so.com_port = 1; // the program's PC_port 0
        server = std::make_unique<sim::Server>(*simulator, so);
        if (!server->start(error)) return false;
        serving = std::thread([this] { server->run([this] { return stop.load(); }); });

        cfg.telescope = 'l';
        cfg.AOUnit_comport = 3; // 3 and above: the mount hangs on the PC's own port
        cfg.PC_port = 0;
        if (!PCSerial_ready()) {
            *error = "the program cannot open the PC serial port";
            return false;
        }
        return true;
    }

    ~Rig() {
        reset_serial_link_state();
        stop = true;
        if (serving.joinable()) serving.join();
        if (server) server->stop();
        platform::install_ui(nullptr);
        std::error_code ec;
        if (!home.empty()) std::filesystem::remove_all(home, ec);
    }

    // The move-to-stop time of the last pulse, ms; negative when a command is missing.
    double last_pulse_ms(char dir) {
        const std::string move = std::string("M") + dir, halt = std::string("Q") + dir;
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        for (;;) {
            {
                std::lock_guard lock(arrivals_mutex);
                auto q = std::find_if(arrivals.rbegin(), arrivals.rend(),
                                      [&](const auto& a) { return a.first == halt; });
                auto m = std::find_if(q, arrivals.rend(),
                                      [&](const auto& a) { return a.first == move; });
                if (q != arrivals.rend() && m != arrivals.rend()) {
                    const double ms =
                        std::chrono::duration<double, std::milli>(q->second - m->second).count();
                    arrivals.clear();
                    return ms;
                }
            }
            if (Clock::now() > deadline) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
};

int pulse_count() {
    const char* env = std::getenv("NOCTERIS_BENCH_PULSES");
    const int n = env ? std::atoi(env) : PULSES;
    return std::clamp(n, 2, PULSES);
}

// Nearest rank of a sorted list.
double quantile(const std::vector<double>& sorted, double q) {
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

void BM_GuidePulseAccuracy(benchmark::State& state) {
    Rig rig;
    std::string error;
    if (!rig.start(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const int n = pulse_count();
    std::vector<int> lengths;
    for (int i = 0; i < n; ++i)
        lengths.push_back(SHORTEST_MS + (LONGEST_MS - SHORTEST_MS) * i / (n - 1));
    std::shuffle(lengths.begin(), lengths.end(), std::mt19937(12345)); // no drift with length

    std::vector<double> errors;
    int over = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            const char dir = "ewns"[i % 4];
            tele.slewdir = dir;
            tele.slew_time = lengths[i];
            drive_slew();
            const double ms = rig.last_pulse_ms(dir);
            if (ms < 0) {
                state.SkipWithError("a move or stop command never arrived");
                return;
            }
            const double err = std::abs(ms - lengths[i]);
            errors.push_back(err);
            if (err > 2.0) ++over;
        }
    }
    std::sort(errors.begin(), errors.end());
    state.counters["pulses"] = static_cast<double>(errors.size());
    state.counters["req_min_ms"] = *std::min_element(lengths.begin(), lengths.end());
    state.counters["req_max_ms"] = *std::max_element(lengths.begin(), lengths.end());
    state.counters["err_median_ms"] = quantile(errors, 0.5);
    state.counters["err_p99_ms"] = quantile(errors, 0.99);
    state.counters["err_max_ms"] = errors.back();
    state.counters["over_2ms"] = over;
}
BENCHMARK(BM_GuidePulseAccuracy)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
