// One guider cycle on the real clock against the in-process simulator: the
// guider frame's readout (exposure, transfer and the 8-bit frame expanded
// into the guider buffer, at the simulated head's own readout speed) beside
// the cycle's own work on the frame (the guider centroid, the error and the
// pulses planned). The work should be a small part of the cycle.
#include "cli/cli_ui.h"
#include "devices/transport.h"
#include "display/image_store.h"
#include "guiding/guide_correction.h"
#include "guiding/guider_camera.h"
#include "guiding/guider_guiding.h"
#include "guiding/guiding_state.h"
#include "platform/ui.h"
#include "platform/usb.h"
#include "settings/settings.h"
#include "sim/simulator.h"
#include "sim/usb_provider.h"
#include "star/centroid.h"
#include "star/star_state.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

struct Rig {
    std::string home;
    CliUi ui{std::cerr};
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::UsbProvider> provider;

    Rig() {
        char tmpl[] = "/tmp/nocteris-bench-XXXXXX";
        home = ::mkdtemp(tmpl);
        ::setenv("HOME", home.c_str(), 1);
        std::filesystem::create_directories(home + "/autosave");
        platform::install_ui(&ui);
        bind_buffers();
        sim::Config c; // the head's default readout speed
        simulator = std::make_unique<sim::Simulator>(c);
        provider = std::make_unique<sim::UsbProvider>(*simulator);
        platform::usb::use_builtin_providers(false);
        platform::usb::use_hardware_providers(false);
        platform::usb::add_provider(provider.get());
        attach_camera(provider->open(sim::camera_device_path(c.camera.pid)));
        if (!camera_attached()) std::abort();
        usbt.got_qv = 1;
        autoguide.exp_guider_range = 'h';
        autoguide.exp_guider_value = 5; // 50 ms
    }
    ~Rig() {
        CloseUSBdevice();
        platform::usb::remove_provider(provider.get());
        platform::install_ui(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
};

// The brightest pixel of the frame away from its edges: the guide star.
void brightest(int* bx, int* by) {
    unsigned short best = 0;
    for (int y = 20; y < 270; ++y)
        for (int x = 20; x < 480; ++x)
            if (guider_imageptr[y * 500 + x] > best) {
                best = guider_imageptr[y * 500 + x];
                *bx = x;
                *by = y;
            }
}

void BM_GuiderCycle(benchmark::State& state) {
    Rig rig;
    cfg.guider_slewx = 4;
    cfg.guider_slewy = 5;
    guide.cur_rad = cfg.star_mask;
    if (!QV_guider_camera_read()) {
        state.SkipWithError("the guider frame did not arrive whole");
        return;
    }
    int x = 250, y = 145;
    brightest(&x, &y);
    guider_find_centre(x, y, guider_imageptr, guide.cur_rad);
    autoguide.x1 = guide.guider_xcent;
    autoguide.y1 = guide.guider_ycent;
    autoguide.x1dec = guide.guider_xcentdec;
    autoguide.y1dec = guide.guider_ycentdec;
    double read_s = 0, work_s = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (!QV_guider_camera_read()) {
            state.SkipWithError("the guider frame did not arrive whole");
            return;
        }
        const auto t1 = Clock::now();
        guider_find_centre(autoguide.x1, autoguide.y1, guider_imageptr, guide.cur_rad);
        const std::int16_t dx =
            guide_error(autoguide.x1, autoguide.x1dec, guide.guider_xcent, guide.guider_xcentdec);
        const std::int16_t dy =
            guide_error(autoguide.y1, autoguide.y1dec, guide.guider_ycent, guide.guider_ycentdec);
        benchmark::DoNotOptimize(plan_guider_pulses(dx, dy));
        const auto t2 = Clock::now();
        read_s += std::chrono::duration<double>(t1 - t0).count();
        work_s += std::chrono::duration<double>(t2 - t1).count();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["readout_ms"] = 1000 * read_s / n;
    state.counters["work_us"] = 1e6 * work_s / n;
    state.counters["work_share_pct"] = 100 * work_s / (read_s + work_s);
    reset_guiding_state();
    reset_guide_state();
}

} // namespace

BENCHMARK(BM_GuiderCycle)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();
