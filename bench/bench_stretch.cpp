// The contrast stretch apply step on the largest sensor (2456 x 2064): the
// undo copy plus one table lookup a pixel in 16 blocks, with one thread and
// with every core. The table builders are timed apart: they run once per
// stretch whatever the image size.
#include "display/geometry.h"
#include "display/image_store.h"
#include "platform/scripted_ui.h"
#include "processing/processing_state.h"
#include "processing/stretch.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

// Progress and cursor calls cost nothing and record nothing.
class QuietUi : public platform::ScriptedUi {
  public:
    void progress_open(const std::string&) override {}
    void progress_update(int, const std::string&) override {}
    void send_command(int) override {}
};

QuietUi quiet;

void large_image() {
    platform::install_ui(&quiet);
    bind_buffers();
    reset_display_state();
    reset_processing_state();
    SensorGeometry s;
    s.width = 2456;
    s.height = 2064;
    derive_geometry(s);
    std::mt19937 gen(1);
    for (int i = 0; i < disp.intlength; ++i) image_int[i] = static_cast<unsigned short>(gen());
    image_int[5] = 1000; // no label band
    tolvern(18.0);
}

void BM_ApplyStretch(benchmark::State& state) {
    large_image();
    proc.apply_threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        contrast_stretch(0);
        benchmark::DoNotOptimize(image_int[disp.intlength - 1]);
    }
    state.SetItemsProcessed(state.iterations() * disp.intlength);
    state.SetBytesProcessed(state.iterations() * disp.intlength * 2LL);
}
// 0 = one thread per core.
BENCHMARK(BM_ApplyStretch)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BuildTable(benchmark::State& state) {
    large_image();
    for (auto _ : state) {
        disp.process_info[0][0] = '\0';
        switch (state.range(0)) {
        case 0:
            tolvern(18.0);
            break;
        case 1:
            proc.power_str = 1.7;
            ContrastPower();
            break;
        default:
            ContrastSine();
            break;
        }
        benchmark::DoNotOptimize(proc.stretch_table[100]);
    }
}
BENCHMARK(BM_BuildTable)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace
