// The enhancement filters on a 2456 x 2064 frame, beside OpenCV's median and
// 2-D filter on the same 16-bit image when OpenCV is installed, and the plain
// partial-selection median the fast one replaces.
#include "../tests/processing/enhance_reference.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "processing/enhance.h"
#include "processing/filter_state.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <random>
#include <vector>

#ifdef NOCTERIS_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int W = 2456, H = 2064;

// A sky: background with read noise, a few hundred stars and some hot pixels.
const std::vector<unsigned short>& sky() {
    static const std::vector<unsigned short> img = [] {
        std::vector<unsigned short> p(static_cast<std::size_t>(W) * H);
        std::mt19937 rng(42);
        std::normal_distribution<double> noise(2000.0, 60.0);
        for (auto& v : p) v = static_cast<unsigned short>(noise(rng));
        std::uniform_int_distribution<int> xs(3, W - 4), ys(3, H - 4), peak(3000, 60000);
        for (int s = 0; s < 400; ++s) {
            const int cx = xs(rng), cy = ys(rng), a = peak(rng);
            for (int dy = -3; dy <= 3; ++dy)
                for (int dx = -3; dx <= 3; ++dx) {
                    const double f = a / (1.0 + dx * dx + dy * dy);
                    auto& v = p[static_cast<std::size_t>(cy + dy) * W + cx + dx];
                    v = static_cast<unsigned short>(std::min(65535.0, v + f));
                }
        }
        for (int s = 0; s < 2000; ++s) p[static_cast<std::size_t>(ys(rng)) * W + xs(rng)] = 65535;
        return p;
    }();
    return img;
}

// Threads: 0 every core, 1 a single thread.
void set_threads(benchmark::State& state) {
    filt.threads = static_cast<int>(state.range(0));
    state.SetLabel(filt.threads == 1 ? "1 thread" : "all cores");
}

void kernel(benchmark::State& state, int r, int k, int d) {
    set_threads(state);
    const auto& src = sky();
    std::vector<unsigned short> dst = src;
    for (auto _ : state) {
        convolve_pixels(src.data(), dst.data(), W, H, 0, r, k, d);
        benchmark::DoNotOptimize(dst.data());
    }
}

void BM_Kernel_LowPass3x3(benchmark::State& s) {
    kernel(s, 1, 0, 16);
}
void BM_Kernel_Gaussian5x5(benchmark::State& s) {
    kernel(s, 2, 1, 80);
}
void BM_Kernel_HighPassLow3x3(benchmark::State& s) {
    kernel(s, 1, 2, 1);
}
void BM_Kernel_HighPassHigh5x5(benchmark::State& s) {
    kernel(s, 2, 3, 1);
}
void BM_Kernel_SmoothSharp5x5(benchmark::State& s) {
    kernel(s, 2, 4, 1);
}
void BM_Kernel_BasRelief5x5(benchmark::State& s) {
    kernel(s, 2, 5, 1);
}

void BM_Median(benchmark::State& state) {
    set_threads(state);
    const int r = static_cast<int>(state.range(1));
    const auto& src = sky();
    std::vector<unsigned short> dst = src;
    for (auto _ : state) {
        median_pixels(src.data(), dst.data(), W, H, 0, r, 6);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetLabel(std::string(filt.threads == 1 ? "1 thread" : "all cores") + ", radius " +
                   std::to_string(r));
}

// The plain partial selection, single-threaded: what the fast median replaces.
void BM_MedianPlainSelection(benchmark::State& state) {
    const int r = static_cast<int>(state.range(0));
    std::vector<unsigned short> dst;
    for (auto _ : state) {
        reference::median(sky(), dst, W, H, 0, r, 6);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetLabel("radius " + std::to_string(r));
}

void BM_UnsharpMask(benchmark::State& state) {
    set_threads(state);
    const int r = static_cast<int>(state.range(1));
    const auto& src = sky();
    std::vector<unsigned short> dst = src;
    for (auto _ : state) {
        unsharp_pixels(src.data(), dst.data(), W, H, 0, r, 1);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetLabel(std::string(filt.threads == 1 ? "1 thread" : "all cores") + ", radius " +
                   std::to_string(r));
}

// Whole commands on the current image: undo copy, filter, history.
void load_current() {
    bind_buffers();
    set_image_size(W, H);
    std::memcpy(image_int, sky().data(), sky().size() * sizeof(unsigned short));
}

void BM_Command_Gaussian(benchmark::State& state) {
    set_threads(state);
    load_current();
    for (auto _ : state) {
        gaussian_enhance();
        disp.process_info[0][0] = '\0';
    }
}

void BM_Command_VerticalSmoothing(benchmark::State& state) {
    set_threads(state);
    load_current();
    for (auto _ : state) {
        venetian_enhance();
        disp.process_info[0][0] = '\0';
    }
}

// Each run starts from the sky again, so this includes one frame copy.
void BM_Command_Gradient(benchmark::State& state) {
    set_threads(state);
    load_current();
    for (auto _ : state) {
        std::memcpy(image_int, sky().data(), sky().size() * sizeof(unsigned short));
        gradient_enhance();
        disp.process_info[0][0] = '\0';
    }
}

void threads_arg(benchmark::internal::Benchmark* b) {
    b->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_Kernel_LowPass3x3)->Apply(threads_arg);
BENCHMARK(BM_Kernel_Gaussian5x5)->Apply(threads_arg);
BENCHMARK(BM_Kernel_HighPassLow3x3)->Apply(threads_arg);
BENCHMARK(BM_Kernel_HighPassHigh5x5)->Apply(threads_arg);
BENCHMARK(BM_Kernel_SmoothSharp5x5)->Apply(threads_arg);
BENCHMARK(BM_Kernel_BasRelief5x5)->Apply(threads_arg);
BENCHMARK(BM_Median)
    ->ArgsProduct({{0, 1}, {1, 2, 3}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_MedianPlainSelection)
    ->Arg(2)
    ->Arg(3)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_UnsharpMask)
    ->ArgsProduct({{0, 1}, {1, 3, 7}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Command_Gaussian)->Apply(threads_arg);
BENCHMARK(BM_Command_VerticalSmoothing)->Apply(threads_arg);
BENCHMARK(BM_Command_Gradient)->Apply(threads_arg);

#ifdef NOCTERIS_HAVE_OPENCV
// OpenCV with its own thread pool (every core unless told otherwise).
cv::Mat sky_mat() {
    return cv::Mat(H, W, CV_16U, const_cast<unsigned short*>(sky().data()));
}

void BM_OpenCV_medianBlur5x5(benchmark::State& state) {
    cv::setNumThreads(state.range(0) == 1 ? 1 : -1);
    const cv::Mat src = sky_mat();
    cv::Mat dst;
    for (auto _ : state) {
        cv::medianBlur(src, dst, 5);
        benchmark::DoNotOptimize(dst.data);
    }
    state.SetLabel(state.range(0) == 1 ? "1 thread" : "all cores");
}

void BM_OpenCV_filter2D5x5(benchmark::State& state) {
    cv::setNumThreads(state.range(0) == 1 ? 1 : -1);
    const cv::Mat src = sky_mat();
    cv::Mat kernel(5, 5, CV_32F);
    for (int i = 0; i < 25; ++i) kernel.at<float>(i / 5, i % 5) = mask[1][i] / 80.0f;
    cv::Mat dst;
    for (auto _ : state) {
        cv::filter2D(src, dst, -1, kernel);
        benchmark::DoNotOptimize(dst.data);
    }
    state.SetLabel(state.range(0) == 1 ? "1 thread" : "all cores");
}

BENCHMARK(BM_OpenCV_medianBlur5x5)->Apply(threads_arg);
BENCHMARK(BM_OpenCV_filter2D5x5)->Apply(threads_arg);
#endif

} // namespace
