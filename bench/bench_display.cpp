// Display rebuild of the largest sensor (2456 x 2064) against plain file I/O
// of the same number of bytes: how much the file-based pipeline costs on top
// of the disk round trip it cannot avoid. Also the bitmap writer alone.
#include "display/dib.h"
#include "display/display_pipeline.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "platform/host_path.h"
#include "ratios.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A private HOME for the run, removed at exit.
struct Scratch {
    std::string home;
    Scratch() {
        char tmpl[] = "/tmp/nocteris-bench-XXXXXX";
        home = ::mkdtemp(tmpl);
        ::setenv("HOME", home.c_str(), 1);
        std::filesystem::create_directories(home + "/autosave");
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

void large_image() {
    scratch();
    bind_buffers();
    reset_display_state();
    SensorGeometry s;
    s.width = 2456;
    s.height = 2064;
    s.divisor = 16;
    derive_geometry(s);
    // A sky-like ramp with a few saturated stars.
    for (int i = 0; i < disp.intlength; ++i)
        image_int[i] = static_cast<unsigned short>(2000 + (i % 2456) * 3 + (i / 2456) * 2);
    for (int i = 0; i < disp.intlength; i += 9973) image_int[i] = 65535;
}

long long bitmap_bytes() {
    return BMP_HEADER_BYTES + 2456LL * 2064;
}

void BM_DisplayRebuild(benchmark::State& state) {
    large_image();
    disp.max_stretch = 1;
    disp.stretch_palette = 1;
    const std::string path = platform::host_path(disp.BMPname_main);
    Dib dib;
    for (auto _ : state) {
        DisplayImage();
        find_most_pop(image);
        if (write_bmp(reinterpret_cast<char*>(pixels_c), reinterpret_cast<char*>(pixels_bmp), 0,
                      0) != BMP_OK ||
            !load_dib(path, dib)) {
            state.SkipWithError("display rebuild failed");
            break;
        }
        benchmark::DoNotOptimize(dib.pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * bitmap_bytes());
}
BENCHMARK(BM_DisplayRebuild)->Unit(benchmark::kMillisecond);

// write_bmp with the display stretch, from freshly reduced display bytes
// each time (it stretches them in place).
void BM_WriteBmp(benchmark::State& state) {
    large_image();
    disp.max_stretch = 1;
    disp.stretch_palette = 1;
    find_most_pop(image);
    for (auto _ : state) {
        state.PauseTiming();
        DisplayImage();
        state.ResumeTiming();
        if (write_bmp(reinterpret_cast<char*>(pixels_c), reinterpret_cast<char*>(pixels_bmp), 0,
                      0) != BMP_OK) {
            state.SkipWithError("write_bmp failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * bitmap_bytes());
}
BENCHMARK(BM_WriteBmp)->Unit(benchmark::kMillisecond);

void BM_PlainFileRoundTrip(benchmark::State& state) {
    scratch();
    const std::string path = scratch().home + "/autosave/plain.bin";
    const size_t n = static_cast<size_t>(bitmap_bytes());
    std::vector<unsigned char> out(n, 0x5A), in(n);
    for (auto _ : state) {
        std::remove(path.c_str());
        FILE* f = std::fopen(path.c_str(), "wb");
        const bool wrote = f && std::fwrite(out.data(), 1, n, f) == n;
        if (f) std::fclose(f);
        f = std::fopen(path.c_str(), "rb");
        const bool read = f && std::fread(in.data(), 1, n, f) == n;
        if (f) std::fclose(f);
        if (!wrote || !read) {
            state.SkipWithError("plain file I/O failed");
            break;
        }
        benchmark::DoNotOptimize(in.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(n));
}
BENCHMARK(BM_PlainFileRoundTrip)->Unit(benchmark::kMillisecond);

// How many plain round trips one display rebuild costs.
[[maybe_unused]] const bool rebuild_x =
    bench::ratio("rebuild_x", "BM_DisplayRebuild", "BM_PlainFileRoundTrip");

} // namespace
