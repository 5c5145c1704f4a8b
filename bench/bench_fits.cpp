// FITS save and load of the largest sensor (2456 x 2064) beside cfitsio
// writing and reading the same 16-bit unsigned image to the same folder, so
// the two can be compared within one run. Our save flushes the new file to
// the disk before it replaces the old one; cfitsio_save_flushed does the same.
#include "display/geometry.h"
#include "display/image_store.h"
#include "display/sensor_state.h"
#include "files/fits.h"

#include <benchmark/benchmark.h>
#include <fitsio.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr int W = 2456;
constexpr int H = 2064;

struct Scratch {
    std::string dir;
    Scratch() {
        char tmpl[] = "/tmp/nocteris-bench-XXXXXX";
        dir = ::mkdtemp(tmpl);
        ::setenv("HOME", dir.c_str(), 1);
        bind_buffers();
        sensor.cam_width1 = W;
        sensor.cam_height1 = H;
        nocteris_binned();
        for (int i = 0; i < W * H; ++i) image[i] = static_cast<unsigned short>(i * 40503u);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

void ours_save(benchmark::State& state) {
    const std::string path = scratch().dir + "/ours.fit";
    for (auto _ : state)
        if (SaveFITSFile(path.c_str(), image, "M42", "", "2024-01-01", "", "Veltrane CCD", "", "",
                         0) != 0)
            state.SkipWithError("save failed");
    state.SetBytesProcessed(state.iterations() * 2LL * W * H);
}

void ours_load(benchmark::State& state) {
    const std::string path = scratch().dir + "/ours_load.fit";
    SaveFITSFile(path.c_str(), image, "M42", "", "2024-01-01", "", "Veltrane CCD", "", "", 0);
    for (auto _ : state)
        if (LoadFITSFile(path.c_str(), 2, trial) != 0) state.SkipWithError("load failed");
    state.SetBytesProcessed(state.iterations() * 2LL * W * H);
}

// cfitsio writing the file; with `durable` the file is also flushed to the
// disk as our save does before it replaces the old file, for a like-for-like
// comparison.
void cfitsio_write(benchmark::State& state, bool durable) {
    const std::string name = scratch().dir + "/cfitsio.fit";
    const std::string path = "!" + name; // "!" replaces an existing file
    long axes[2] = {W, H};
    for (auto _ : state) {
        fitsfile* f = nullptr;
        int status = 0;
        fits_create_file(&f, path.c_str(), &status);
        fits_create_img(f, USHORT_IMG, 2, axes, &status);
        fits_write_img(f, TUSHORT, 1, static_cast<LONGLONG>(W) * H, image, &status);
        fits_close_file(f, &status);
        if (status) state.SkipWithError("cfitsio write failed");
        if (durable) {
            const int fd = ::open(name.c_str(), O_RDONLY);
            ::fsync(fd);
            ::close(fd);
        }
    }
    state.SetBytesProcessed(state.iterations() * 2LL * W * H);
}

void cfitsio_save(benchmark::State& state) {
    cfitsio_write(state, false);
}
void cfitsio_save_flushed(benchmark::State& state) {
    cfitsio_write(state, true);
}

void cfitsio_load(benchmark::State& state) {
    const std::string path = scratch().dir + "/cfitsio_load.fit";
    SaveFITSFile(path.c_str(), image, "M42", "", "2024-01-01", "", "Veltrane CCD", "", "", 0);
    for (auto _ : state) {
        fitsfile* f = nullptr;
        int status = 0;
        int any_null = 0;
        fits_open_file(&f, path.c_str(), READONLY, &status);
        fits_read_img(f, TUSHORT, 1, static_cast<LONGLONG>(W) * H, nullptr, trial, &any_null,
                      &status);
        fits_close_file(f, &status);
        if (status) state.SkipWithError("cfitsio read failed");
    }
    state.SetBytesProcessed(state.iterations() * 2LL * W * H);
}

} // namespace

BENCHMARK(ours_save)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(cfitsio_save)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(cfitsio_save_flushed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ours_load)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(cfitsio_load)->Unit(benchmark::kMillisecond)->UseRealTime();
