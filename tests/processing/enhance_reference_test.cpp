// The fast filters against the plain versions of enhance_reference.h, on
// random images of odd sizes, with one thread and with several.
#include "app/all_state.h"
#include "enhance_reference.h"
#include "processing/enhance.h"
#include "processing/filter_state.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <utility>

namespace {

using reference::Pixels;

struct Size {
    int w, h;
};

// Odd sizes: narrower than one vector of output pixels, just wider, and wide
// ones whose last block overlaps the one before.
constexpr Size SIZES[] = {{7, 9}, {17, 11}, {19, 21}, {23, 45}, {37, 29}, {61, 67}, {131, 37}};

enum class Kind { Full, Narrow, Spiky, Labelled };

Pixels random_image(int w, int h, Kind kind, unsigned seed) {
    std::mt19937 rng(seed);
    Pixels p(static_cast<std::size_t>(w * h));
    switch (kind) {
    case Kind::Full:
    case Kind::Labelled: {
        std::uniform_int_distribution<int> d(0, 65535);
        for (auto& v : p) v = static_cast<std::uint16_t>(d(rng));
        break;
    }
    case Kind::Narrow: { // many ties and thresholds met exactly
        std::uniform_int_distribution<int> d(0, 12);
        for (auto& v : p) v = static_cast<std::uint16_t>(64990 + d(rng) * (seed % 2 ? 1 : -3));
        break;
    }
    case Kind::Spiky: { // a flat sky with hot and cold pixels
        std::uniform_int_distribution<int> d(0, 99);
        for (auto& v : p) {
            const int r = d(rng);
            v = static_cast<std::uint16_t>(r < 3 ? 65535 : r < 5 ? 0 : 2000 + r);
        }
        break;
    }
    }
    if (kind == Kind::Labelled && w > 5) {
        p[4] = 30;
        p[5] = 4;
    }
    return p;
}

constexpr Kind KINDS[] = {Kind::Full, Kind::Narrow, Kind::Spiky, Kind::Labelled};

std::string where(Size s, Kind kind, int threads) {
    return std::to_string(s.w) + "x" + std::to_string(s.h) + " kind " +
           std::to_string(static_cast<int>(kind)) + " threads " + std::to_string(threads);
}

int top_of(const Pixels& p, int w) {
    return w > 5 && p[4] + p[5] == 34 ? 10 : 0;
}

// Parameter: threads, and whether the AVX2 copies may be used.
class EnhanceReference : public ::testing::TestWithParam<std::pair<int, bool>> {
  protected:
    void SetUp() override {
        reset_all_state();
        filt.threads = GetParam().first;
        filt.use_avx2 = GetParam().second;
    }
    void TearDown() override { reset_all_state(); }
};

TEST_P(EnhanceReference, ConvolutionMatchesThePlainSum) {
    // The menu's combinations, then others that only the general path serves.
    const int combos[][3] = {{1, 0, 16}, {2, 1, 80}, {1, 2, 1}, {2, 3, 1}, {2, 4, 1},
                             {2, 5, 1},  {1, 3, 1},  {2, 1, 7}, {1, 2, -3}};
    unsigned seed = 1;
    for (Size s : SIZES)
        for (Kind kind : KINDS) {
            const Pixels src = random_image(s.w, s.h, kind, seed++);
            const int top = top_of(src, s.w);
            for (const auto& c : combos) {
                Pixels want, got = src;
                reference::convolve(src, want, s.w, s.h, top, c[0], c[1], c[2]);
                ASSERT_TRUE(
                    convolve_pixels(src.data(), got.data(), s.w, s.h, top, c[0], c[1], c[2]));
                ASSERT_EQ(got, want) << where(s, kind, GetParam().first) << " radius " << c[0]
                                     << " kernel " << c[1] << " divisor " << c[2];
            }
        }
}

TEST_P(EnhanceReference, MedianMatchesThePartialSelection) {
    unsigned seed = 100;
    for (Size s : SIZES)
        for (Kind kind : KINDS) {
            const Pixels src = random_image(s.w, s.h, kind, seed++);
            const int top = top_of(src, s.w);
            // Every power on the small images; the plain selection is slow.
            const int step = s.w * s.h < 1000 ? 1 : 3;
            for (int r = 1; r <= 3; ++r)
                for (int power = 1; power <= 10; power += step) {
                    Pixels want, got = src;
                    reference::median(src, want, s.w, s.h, top, r, power);
                    ASSERT_TRUE(median_pixels(src.data(), got.data(), s.w, s.h, top, r, power));
                    ASSERT_EQ(got, want) << where(s, kind, GetParam().first) << " radius " << r
                                         << " power " << power;
                }
        }
}

TEST_P(EnhanceReference, UnsharpMaskMatchesTheRunningSum) {
    unsigned seed = 200;
    for (Size s : SIZES)
        for (Kind kind : KINDS) {
            const Pixels src = random_image(s.w, s.h, kind, seed++);
            const int top = top_of(src, s.w);
            for (int r = 1; r <= 7; ++r)
                for (int power = 1; power <= 7; power += 3) {
                    Pixels want, got = src;
                    reference::unsharp(src, want, s.w, s.h, top, r, power);
                    ASSERT_TRUE(unsharp_pixels(src.data(), got.data(), s.w, s.h, top, r, power));
                    ASSERT_EQ(got, want) << where(s, kind, GetParam().first) << " radius " << r
                                         << " power " << power;
                }
        }
}

INSTANTIATE_TEST_SUITE_P(Copies, EnhanceReference,
                         ::testing::Values(std::pair{1, true}, std::pair{3, true},
                                           std::pair{1, false}),
                         [](const auto& info) {
                             return "threads" + std::to_string(info.param.first) +
                                    (info.param.second ? "" : "_baseline");
                         });

TEST(EnhanceArguments, OutOfRangeArgumentsLeaveTheImageAlone) {
    const Pixels src = random_image(21, 21, Kind::Full, 7);
    Pixels dst = src;
    EXPECT_FALSE(convolve_pixels(src.data(), dst.data(), 21, 21, 0, 3, 1, 80));
    EXPECT_FALSE(convolve_pixels(src.data(), dst.data(), 21, 21, 0, 1, 6, 1));
    EXPECT_FALSE(convolve_pixels(src.data(), dst.data(), 21, 21, 0, 1, 2, 0));
    EXPECT_FALSE(median_pixels(src.data(), dst.data(), 21, 21, 0, 4, 6));
    EXPECT_FALSE(median_pixels(src.data(), dst.data(), 21, 21, 0, 1, 11));
    EXPECT_FALSE(unsharp_pixels(src.data(), dst.data(), 21, 21, 0, 8, 1));
    EXPECT_FALSE(unsharp_pixels(src.data(), dst.data(), 21, 21, 0, 3, 0));
    EXPECT_FALSE(median_pixels(src.data(), dst.data(), 0, 21, 0, 1, 6));
    EXPECT_FALSE(median_pixels(src.data(), dst.data(), 3000, 3000, 0, 1, 6));
    EXPECT_EQ(dst, src);
}

} // namespace
