// The simulator's render time for the largest frame (model 8, 2456 x 2064),
// still and trailed, and a whole exposure through the in-process camera.
#include "platform/clock.h"
#include "sim/render.h"
#include "sim/usb_provider.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

struct Scene {
    sim::MountConfig mount;
    sim::SkyConfig sky;
    std::unique_ptr<sim::World> world;
    std::unique_ptr<sim::StarField> stars;
    std::unique_ptr<sim::Renderer> sensor;

    explicit Scene(double drift) {
        mount.drift_ra = drift;
        mount.pe_amplitude = 0;
        world = std::make_unique<sim::World>(mount, sim::AoConfig{}, 1);
        stars = std::make_unique<sim::StarField>(sky);
        sim::SensorModel s;
        s.width = 2456;
        s.height = 2064;
        s.scale = 0.71;
        s.gain = 0.35;
        s.full_well = 20000;
        sensor = std::make_unique<sim::Renderer>(s);
        world->advance_to(100);
    }
};

void render(benchmark::State& state, double drift, double seconds) {
    Scene scene(drift);
    sim::Window win{0, 0, 2456, 2064, 1, 1};
    sim::Exposure exp;
    exp.light = {{0, seconds}};
    exp.dark_seconds = seconds;
    std::vector<std::uint8_t> out;
    std::uint64_t frame = 0;
    for (auto _ : state) {
        exp.noise_seed = ++frame;
        scene.sensor->render(*scene.world, *scene.stars, scene.sky, win, exp, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2456 * 2064 * 2);
}

// A 10 s exposure with the mount still, as most frames are.
void BM_RenderFullFrame(benchmark::State& state) {
    render(state, 0, 10);
}
// Drifting 1 arcsec a second: every star drawn as a trail of samples.
void BM_RenderTrailedFullFrame(benchmark::State& state) {
    render(state, 1.0, 10);
}

// Command block in, frame out, through the device the program would open.
void BM_CameraFullFrameInProcess(benchmark::State& state) {
    platform::VirtualClock clock;
    platform::install_virtual_clock(&clock);
    sim::Config cfg;
    cfg.camera.pid = "0128";
    cfg.camera.readout_rate = 0;
    sim::Simulator simulator(cfg);
    sim::UsbProvider provider(simulator);
    auto cam = provider.open(provider.enumerate(platform::usb::InterfaceClass::BlockDriver).at(0));
    const std::uint8_t block[22] = {0x40, 2,    3,    0,    0,    0, 14, 0,    0,    0, 0,
                                    0,    0x98, 0x09, 0x10, 0x08, 1, 1,  0x10, 0x27, 0, 0};
    std::vector<std::uint8_t> buf(2456 * 2064 * 2);
    for (auto _ : state) {
        cam->write(block, sizeof block);
        benchmark::DoNotOptimize(cam->read(buf.data(), buf.size(), 60000));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2456 * 2064 * 2);
    platform::install_virtual_clock(nullptr);
}

} // namespace

BENCHMARK(BM_RenderFullFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderTrailedFullFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CameraFullFrameInProcess)->Unit(benchmark::kMillisecond);
