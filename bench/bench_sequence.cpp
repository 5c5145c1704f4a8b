// One image of the exposure sequence on the largest sensor (model 8, 2456 x
// 2064) against the in-process simulator on the real clock, with a 1 ms
// exposure: the readout alone, then the whole step after the exposure
// (readout, dark frame, flat field, display rebuild, automatic save).
#include "acquisition/acquisition_state.h"
#include "acquisition/readout.h"
#include "acquisition/sequence.h"
#include "cli/cli_ui.h"
#include "devices/camera_models.h"
#include "devices/transport.h"
#include "display/display_pipeline.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "files/file_state.h"
#include "platform/ui.h"
#include "platform/usb.h"
#include "ratios.h"
#include "settings/settings.h"
#include "sim/render.h"
#include "sim/usb_provider.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

namespace {

constexpr int WIDTH = 2456, HEIGHT = 2064;

// What the main window does with a shown image, without the window.
class DisplayHost : public SequenceHost {
  public:
    void show_image() override {
        DisplayImage();
        write_display_bitmap();
    }
    void image_shown(const std::string& saved) override { saved_ok = !saved.empty(); }
    bool saved_ok = false;
};

void write_native(const std::string& path, unsigned short value) {
    std::string bytes(static_cast<std::size_t>(WIDTH) * HEIGHT * 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        bytes[i] = static_cast<char>(value & 0xFF);
        bytes[i + 1] = static_cast<char>(value >> 8);
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

// A private HOME, the simulated model 8 camera attached, dark and flat files
// of its size, and the sequence set for one 1 ms image saved as FITS.
struct Setup {
    std::string home;
    CliUi ui{std::cerr}; // nobody watches: boxes go to standard error
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::UsbProvider> provider;

    Setup() {
        char tmpl[] = "/tmp/nocteris-bench-XXXXXX";
        home = ::mkdtemp(tmpl);
        ::setenv("HOME", home.c_str(), 1);
        std::filesystem::create_directories(home + "/autosave"); // display bitmap, settings
        platform::install_ui(&ui);
        bind_buffers();

        sim::Config c;
        c.camera.pid = sim::pid_for_model(8);
        c.camera.readout_rate = 0;
        simulator = std::make_unique<sim::Simulator>(c);
        provider = std::make_unique<sim::UsbProvider>(*simulator);
        platform::usb::use_builtin_providers(false);
        platform::usb::use_hardware_providers(false);
        platform::usb::add_provider(provider.get());
        attach_camera(provider->open(sim::camera_device_path(c.camera.pid)));
        if (!camera_attached()) std::abort();
        usbt.got_qv = 1;
        cam.cam_type = 8;
        set_camera_model_geometry();
        nocteris_binned();
        if (disp.width1 != WIDTH || disp.height1 != HEIGHT) std::abort();

        const std::string dark = home + "/dark.raw", flat = home + "/flat.raw";
        write_native(dark, 100);
        write_native(flat, 30000);
        std::snprintf(files.DarkFileName, sizeof files.DarkFileName, "%s", dark.c_str());
        std::snprintf(files.FlatFileName, sizeof files.FlatFileName, "%s", flat.c_str());
        cfg.darkframe_remove = 1;
        cfg.flatfield_remove = 1;
        cfg.auto_save_fits = 1;
        std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "%s/out", home.c_str());
        cfg.exp_range = 'q';
        cfg.exp_value = 1;
        cfg.exposure_delay = 0;
        image = image_int;
    }

    ~Setup() {
        CloseUSBdevice();
        platform::usb::remove_provider(provider.get());
        platform::install_ui(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

void BM_ReadoutAlone(benchmark::State& state) {
    setup();
    acq.exposure = 1;
    for (auto _ : state) {
        if (!QV_full_read()) {
            state.SkipWithError("short frame");
            return;
        }
        benchmark::DoNotOptimize(image[0]);
    }
}
BENCHMARK(BM_ReadoutAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SequenceStep(benchmark::State& state) {
    setup();
    DisplayHost host;
    for (auto _ : state) {
        seq.no_images = 1;
        cfg.continuous = 0;
        cfg.auto_save_num = 0; // the same file each time, not one per iteration
        run_exposure_sequence(host);
        if (!host.saved_ok || !acq.darkframe_loaded || !acq.flatfield_loaded) {
            state.SkipWithError("an image step failed");
            return;
        }
    }
}
BENCHMARK(BM_SequenceStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// The part of the step that the readout takes.
[[maybe_unused]] const bool readout_share =
    bench::ratio("readout_share", "BM_ReadoutAlone", "BM_SequenceStep");

} // namespace
