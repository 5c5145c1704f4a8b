// A guide frame's arrival to its pulse starting: the centroid on the
// 128 x 128 window, the error from the reference and the pulses planned
// (guide_telescope's work before the mount is told). A frame comes every
// second or two; the work should stay far under a millisecond.
#include "display/image_store.h"
#include "guiding/guide_correction.h"
#include "guiding/guiding_state.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int SIDE = 128;
constexpr int FRAMES = 8; // the star wanders by sub-pixel steps between them

// A seeing disc of 1.9 px FWHM (2.5" at 1.33"/px) on a sky of 1000 ADU, with
// shot and read noise, as the simulator's main camera renders a 1 s guide frame.
std::vector<std::vector<unsigned short>> frames() {
    std::vector<std::vector<unsigned short>> out(FRAMES, std::vector<unsigned short>(SIDE * SIDE));
    std::uint64_t state = 12345;
    auto gauss = [&] {
        // Sum of uniforms: close enough to a normal deviate for noise.
        double s = 0;
        for (int i = 0; i < 12; ++i) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            s += static_cast<double>(state >> 11) / 9007199254740992.0;
        }
        return s - 6;
    };
    const double sigma = 1.9 / 2.3548;
    for (int f = 0; f < FRAMES; ++f) {
        const double sx = 63.3 + 0.17 * f, sy = 64.6 - 0.11 * f;
        for (int y = 0; y < SIDE; ++y)
            for (int x = 0; x < SIDE; ++x) {
                const double r2 = (x - sx) * (x - sx) + (y - sy) * (y - sy);
                const double signal = 1000 + 18000 * std::exp(-r2 / (2 * sigma * sigma));
                const double v = signal + gauss() * std::sqrt(signal + 100);
                out[f][y * SIDE + x] = static_cast<unsigned short>(std::clamp(v, 0.0, 65535.0));
            }
    }
    return out;
}

void BM_GuideFrameToPulse(benchmark::State& state) {
    const auto window = frames();
    guide.guiding = 1;
    guide.cur_rad = static_cast<int>(state.range(0));
    cfg.slewx = 4;
    cfg.slewy = 6;
    cfg.backlashy = 3;
    centre_guide_star(63, 64, window[0].data());
    autoguide.x1 = guide.xcent;
    autoguide.y1 = guide.ycent;
    autoguide.x1dec = guide.xcentdec;
    autoguide.y1dec = guide.ycentdec;
    int f = 0;
    for (auto _ : state) {
        const bool measured = centre_guide_star(autoguide.x1, autoguide.y1, window[f].data());
        const std::int16_t dx =
            guide_error(autoguide.x1, autoguide.x1dec, guide.xcent, guide.xcentdec);
        const std::int16_t dy =
            guide_error(autoguide.y1, autoguide.y1dec, guide.ycent, guide.ycentdec);
        const GuidePulses p = plan_guide_pulses(dx, dy);
        if (!measured || p.jump) {
            state.SkipWithError("the star was not measured");
            break;
        }
        benchmark::DoNotOptimize(p);
        f = (f + 1) % FRAMES;
    }
    reset_guiding_state();
    reset_guide_state();
}

} // namespace

// The default aperture (star_mask 8), a wide one, and the largest allowed.
BENCHMARK(BM_GuideFrameToPulse)
    ->Arg(8)
    ->Arg(20)
    ->Arg(CENTROID_MAX_RADIUS - 1)
    ->Unit(benchmark::kMicrosecond);
