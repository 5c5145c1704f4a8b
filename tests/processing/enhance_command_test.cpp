// The filter commands on the current image: borders, label band, clamping,
// undo and history, and odd frames.
#include "display/geometry.h"
#include "display/history.h"
#include "display/image_store.h"
#include "processing/enhance.h"
#include "processing/filter_state.h"
#include "support/test_env.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Pixels = std::vector<unsigned short>;

struct Command {
    const char* name;
    bool (*run)();
    const char* history;
};

bool unsharp_default() {
    return unsharp_mask(3, 1);
}
bool median_default() {
    return median_filter(2, 6);
}

const Command COMMANDS[] = {
    {"highlow", highlow_enhance, "High Pass Low Power Filter"},
    {"highhigh", highhigh_enhance, "High Pass High Power Filter"},
    {"smoothsharp", smoothsharp_enhance, "Smoother/Sharper Filter"},
    {"gaussian", gaussian_enhance, "Gaussian Filter"},
    {"lowpass", lowpass_enhance, "Lowpass Smoother Filter"},
    {"basrelief", basrelief_enhance, "Bas Relief Filter"},
    {"unsharp", unsharp_default, "Unsharp Mask : rad 3 ,power 1"},
    {"median", median_default, "Median Filter : rad 2 ,power 0.6"},
    {"venetian", venetian_enhance, "Vertical Smoothing Filter"},
    {"gradient", gradient_enhance, "Gradient Filter"},
};

// The kernel commands whose weights sum to their divisor.
const Command KERNELS[] = {COMMANDS[0], COMMANDS[1], COMMANDS[2],
                           COMMANDS[3], COMMANDS[4], COMMANDS[5]};

class EnhanceCommands : public NocterisTest {
  protected:
    void SetUp() override { NocterisTest::SetUp(); }
    void TearDown() override {
        reset_filter_state();
        NocterisTest::TearDown();
    }

    void frame(int w, int h) { set_image_size(w, h); }
    int w() const { return disp.width1; }
    int h() const { return disp.height1; }
    unsigned short& at(int x, int y) { return image[y * disp.width1 + x]; }
    Pixels current() const { return Pixels(image, image + disp.width1 * disp.height1); }

    void fill(unsigned short v) { std::fill(image, image + w() * h(), v); }
    void fill_random(unsigned seed, int lo = 0, int hi = 65535) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> d(lo, hi);
        for (int i = 0; i < w() * h(); ++i) image[i] = static_cast<unsigned short>(d(rng));
    }
    void label() {
        at(4, 0) = 20;
        at(5, 0) = 14;
    }
    static int history_count() {
        int n = 0;
        while (n < HISTORY_USED && disp.process_info[n][0]) ++n;
        return n;
    }
};

TEST_F(EnhanceCommands, EveryFilterLeavesTheLabelBandAlone) {
    for (const Command& c : COMMANDS) {
        frame(120, 90);
        fill_random(3);
        label();
        const Pixels before = current();
        ASSERT_TRUE(c.run()) << c.name;
        const Pixels after = current();
        EXPECT_TRUE(std::equal(before.begin(), before.begin() + 10 * w(), after.begin())) << c.name;
        EXPECT_NE(after, before) << c.name;
    }
}

TEST_F(EnhanceCommands, EachFilterAddsItsHistoryLineAndUndoRestoresTheImage) {
    update_history("Earlier Stretch");
    for (const Command& c : COMMANDS) {
        frame(96, 80);
        fill_random(11);
        const Pixels before = current();
        ASSERT_TRUE(c.run()) << c.name;
        EXPECT_EQ(history_count(), 2) << c.name;
        EXPECT_STREQ(disp.process_info[1], c.history);
        EXPECT_NE(current(), before) << c.name;
        EXPECT_TRUE(restore_image());
        EXPECT_EQ(current(), before) << c.name;
        EXPECT_EQ(history_count(), 1);
        EXPECT_STREQ(disp.process_info[0], "Earlier Stretch");
    }
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);
}

TEST_F(EnhanceCommands, FlatImagesStayFlatUnderTheKernelsExceptForClamping) {
    frame(64, 48);
    for (unsigned short level : {0, 1000, 65280, 65535}) {
        for (const Command& c : KERNELS) {
            fill(level);
            ASSERT_TRUE(c.run());
            EXPECT_EQ(current(), Pixels(64 * 48, level)) << c.name << " at " << level;
        }
    }
    // Quotients above 65280 are taken to full white; the border keeps its value.
    fill(65300);
    ASSERT_TRUE(gaussian_enhance());
    EXPECT_EQ(at(2, 2), 65535);
    EXPECT_EQ(at(63 - 2, 47 - 2), 65535);
    EXPECT_EQ(at(1, 10), 65300);
    EXPECT_EQ(at(10, 47), 65300);
}

TEST_F(EnhanceCommands, ABrightPixelUnderTheHighPassKernels) {
    frame(21, 21);
    fill(0);
    at(10, 10) = 65535;
    ASSERT_TRUE(highlow_enhance());
    EXPECT_EQ(at(10, 10), 65535);
    for (auto [x, y] : {std::pair{9, 10}, {11, 10}, {10, 9}, {10, 11}, {9, 9}, {11, 11}})
        EXPECT_EQ(at(x, y), 0) << x << "," << y;

    fill(0);
    at(10, 10) = 65535;
    ASSERT_TRUE(highhigh_enhance());
    EXPECT_EQ(at(10, 10), 65535);
    EXPECT_EQ(*std::max_element(image, image + 21 * 21), 65535);
    EXPECT_EQ(std::count(image, image + 21 * 21, 0), 21 * 21 - 1);

    // On a grey sky the negative weights pull the neighbours down.
    fill(1000);
    at(10, 10) = 1100;
    ASSERT_TRUE(highlow_enhance());
    EXPECT_EQ(at(10, 10), 1500);
    EXPECT_EQ(at(9, 10), 900);
    EXPECT_EQ(at(9, 9), 1000);
}

TEST_F(EnhanceCommands, ConvolutionReportsProgressByRow) {
    frame(200, 400);
    fill_random(5);
    disp.binned = 0;
    ASSERT_TRUE(lowpass_enhance());
    ASSERT_FALSE(ui.progress_captions.empty());
    EXPECT_EQ(ui.progress_captions.front(), "FILTER PROGRESS");
    EXPECT_FALSE(ui.progress_shown);
    ASSERT_FALSE(ui.progress_values.empty());
    EXPECT_TRUE(std::is_sorted(ui.progress_values.begin(), ui.progress_values.end()));
    EXPECT_EQ(ui.progress_values.back(), 398 / 4); // the last row is 398

    // A binned image moves the bar twice as fast.
    ui.progress_values.clear();
    disp.binned = 1;
    ASSERT_TRUE(gaussian_enhance());
    EXPECT_EQ(ui.progress_values.back(), 397 / 2);

    ui.progress_values.clear();
    ASSERT_TRUE(unsharp_mask(2, 3));
    EXPECT_EQ(ui.progress_captions.back(), "UNSHARP MASK PROGRESS");
    EXPECT_EQ(ui.progress_values.back(), 256); // one step per row, the bar full
}

TEST_F(EnhanceCommands, UnsharpMaskKeepsFlatImagesAndItsBorders) {
    frame(40, 30);
    fill(777);
    ASSERT_TRUE(unsharp_mask(3, 1));
    EXPECT_EQ(current(), Pixels(40 * 30, 777));

    fill(1000);
    at(20, 15) = 1490; // the box mean of 49 pixels rises by 10
    ASSERT_TRUE(unsharp_mask(3, 2));
    EXPECT_EQ(at(20, 15), 1490 + 2 * 480);
    EXPECT_EQ(at(19, 15), 1000 - 2 * 10);

    // Columns 0..r-1 and from w-1-r on are not processed, one short of symmetry.
    fill_random(8);
    const Pixels before = current();
    ASSERT_TRUE(unsharp_mask(2, 7));
    for (int y = 0; y < 30; ++y)
        for (int x : {0, 1, 37, 38, 39}) EXPECT_EQ(at(x, y), before[y * 40 + x]) << x << "," << y;
    EXPECT_NE(at(36, 15), before[15 * 40 + 36]);
}

TEST_F(EnhanceCommands, MedianReplacesOutliersOnlyAndNeverAtFullPower) {
    frame(50, 40);
    fill_random(21);
    const Pixels before = current();
    run_median_enhance(image, trial, undo, 3, 10);
    EXPECT_EQ(current(), before);
    EXPECT_TRUE(std::equal(undo, undo + 50 * 40, before.begin()));

    fill(3000);
    at(25, 20) = 9000;
    at(30, 20) = 3001;
    at(31, 20) = 3010;
    run_median_enhance(image, trial, undo, 1, 6);
    EXPECT_EQ(at(25, 20), 3000); // a hot pixel goes
    EXPECT_EQ(at(30, 20), 3001); // within 0.6 of its window's spread: kept
    EXPECT_STREQ(disp.process_info[1], "Median Filter : rad 1 ,power 0.6");
}

TEST_F(EnhanceCommands, VerticalSmoothingAlternatesDownwardAndUpward) {
    frame(4, 4);
    const unsigned short rows[4] = {0, 100, 300, 1000};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) at(x, y) = static_cast<unsigned short>(rows[y] + x);

    ASSERT_TRUE(venetian_enhance());
    EXPECT_EQ(filt.venetian_flipflop, 1);
    // Each row averages with the one below; the last row and column stay.
    EXPECT_EQ(at(0, 0), 50);
    EXPECT_EQ(at(1, 1), 201);
    EXPECT_EQ(at(2, 2), 652);
    EXPECT_EQ(at(0, 3), 1000);
    EXPECT_EQ(at(3, 0), 3);

    ASSERT_TRUE(venetian_enhance());
    EXPECT_EQ(filt.venetian_flipflop, 0);
    // Now with the one above; the first row stays.
    EXPECT_EQ(at(0, 0), 50);
    EXPECT_EQ(at(0, 1), (50 + 200) / 2);
    EXPECT_EQ(at(2, 3), (652 + 1002) / 2);
    EXPECT_EQ(at(3, 3), 1003);
    EXPECT_EQ(history_count(), 2);
}

TEST_F(EnhanceCommands, VerticalSmoothingUpwardStopsAboveTheLabelBand) {
    frame(8, 14);
    fill(2000);
    for (int x = 0; x < 8; ++x) at(x, 10) = 4000;
    label();
    filt.venetian_flipflop = 1; // the next use pairs upward
    ASSERT_TRUE(venetian_enhance());
    EXPECT_EQ(at(0, 10), 4000); // row 10 has no partner below the band
    EXPECT_EQ(at(0, 11), 3000);
    EXPECT_EQ(at(0, 9), 2000);
}

// A 752 x 580 frame with flat patches; other pixels at `sky`.
class GradientTest : public EnhanceCommands {
  protected:
    void patches(int a, int b, const unsigned short level[4]) {
        const int rows[4] = {10, 10, b, b}, cols[4] = {20, a, 20, a};
        for (int p = 0; p < 4; ++p)
            for (int y = rows[p]; y < rows[p] + 40; ++y)
                for (int x = cols[p]; x < cols[p] + 40; ++x) at(x, y) = level[p];
    }
};

TEST_F(GradientTest, EqualModesChangeNothing) {
    frame(752, 580);
    fill_random(4, 1600, 1615); // one histogram bin everywhere
    const Pixels before = current();
    ASSERT_TRUE(gradient_enhance());
    EXPECT_EQ(current(), before);
    EXPECT_STREQ(disp.process_info[0], "Gradient Filter");
}

TEST_F(GradientTest, TheFullFrameRemovesABilinearRamp) {
    frame(752, 580);
    fill(20000);
    const unsigned short level[4] = {1600, 3200, 1600, 1600};
    patches(700, 520, level);
    ASSERT_TRUE(gradient_filter(image));
    // k2 = 1600 at the top-right corner, fading to 0 at the left and bottom.
    EXPECT_EQ(at(0, 100), 20000);
    EXPECT_EQ(at(751, 0), 20000 - 1597); // g = 580 * 751 * 1600 / 436160
    EXPECT_EQ(at(376, 290), 20000 - 400);
    EXPECT_EQ(at(751, 579), 20000 - 2);
    EXPECT_EQ(at(20, 10), 1600 - 41); // the patches are corrected too
}

TEST_F(GradientTest, TheBinnedFrameKeepsItsOwnNormaliser) {
    frame(376, 290);
    fill(20000);
    const unsigned short level[4] = {3200, 1600, 1600, 1600};
    patches(320, 240, level);
    ASSERT_TRUE(gradient_filter(image));
    // N = 109044 rather than 376 * 290, so the corner loses a little less than k1.
    EXPECT_EQ(at(0, 0), 20000 - 1599);
}

TEST_F(GradientTest, OtherFramesPlaceThePatchesFromTheirCorners) {
    frame(1000, 700);
    fill(30000);
    const unsigned short level[4] = {1600, 1600, 1600, 4800};
    patches(1000 - 52, 700 - 60, level);
    at(998, 698) = 100;
    ASSERT_TRUE(gradient_filter(image));
    EXPECT_EQ(at(999, 699), 30000 - 3192); // 3200 * 999 * 699 / (1000 * 700)
    EXPECT_EQ(at(0, 699), 30000);
    EXPECT_EQ(at(500, 350), 30000 - 800);
    EXPECT_EQ(at(948, 640), 4800 - 2773);
    EXPECT_EQ(at(998, 698), 0); // below its correction
}

TEST_F(GradientTest, TheLowerPatchesIgnoreTheZeroBin) {
    frame(752, 580);
    fill(5000);
    const unsigned short level[4] = {8, 8, 8, 8}; // every patch in bin 0
    patches(700, 520, level);
    ASSERT_TRUE(gradient_filter(image));
    // The lower modes read as 1, so the bottom is lowered by up to 16.
    EXPECT_EQ(at(0, 0), 5000);
    EXPECT_EQ(at(0, 579), 5000 - 15);
}

TEST_F(GradientTest, FramesTooSmallForThePatchesAreLeftAlone) {
    for (auto [fw, fh] : {std::pair{59, 200}, {200, 69}, {1, 1}}) {
        frame(fw, fh);
        fill_random(9);
        const Pixels before = current();
        EXPECT_FALSE(gradient_enhance());
        EXPECT_EQ(current(), before);
    }
    EXPECT_EQ(history_count(), 0);
    frame(60, 70);
    fill_random(9);
    EXPECT_TRUE(gradient_enhance());
}

TEST_F(EnhanceCommands, TinyAndExtremeImagesAreSafe) {
    for (auto [fw, fh] : {std::pair{1, 1},
                          {1, 7},
                          {7, 1},
                          {2, 2},
                          {3, 3},
                          {4, 6},
                          {5, 5},
                          {6, 11},
                          {16, 12},
                          {33, 5}}) {
        for (unsigned short level : {0, 65535}) {
            for (const Command& c : COMMANDS) {
                frame(fw, fh);
                fill(level);
                c.run();
                const Pixels after = current();
                EXPECT_EQ(after, Pixels(static_cast<std::size_t>(fw * fh), level))
                    << c.name << " " << fw << "x" << fh << " at " << level;
            }
        }
    }
}

TEST_F(EnhanceCommands, AGeometryLargerThanTheBuffersIsRefused) {
    frame(3000, 2001);
    for (const Command& c : COMMANDS) {
        EXPECT_FALSE(c.run()) << c.name;
    }
    run_median_enhance(image, trial, undo, 1, 6);
    EXPECT_EQ(history_count(), 0);
}

} // namespace
