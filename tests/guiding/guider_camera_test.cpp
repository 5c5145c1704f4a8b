// The autoguider head's readout against the simulated camera.
#include "../acquisition/acq_sim.h"
#include "../sim/sim_test_util.h"

#include "display/image_store.h"
#include "guiding/guider_camera.h"
#include "guiding/guiding_state.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace acqtest;

TEST(GuiderMedian, ReplacesOutliersAndKeepsSmoothAreas) {
    constexpr int W = 8, H = 6;
    unsigned short img[W * H], scratch[W * H];
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) img[y * W + x] = static_cast<unsigned short>(1000 + 100 * x);
    const std::vector<unsigned short> smooth(img, img + W * H);
    guider_median(img, scratch, W, H);
    EXPECT_EQ(std::vector<unsigned short>(img, img + W * H), smooth);

    img[3 * W + 4] = 9000; // a hot pixel inside
    img[0 * W + 2] = 9000; // one on the border stays
    guider_median(img, scratch, W, H);
    EXPECT_EQ(img[3 * W + 4], 1400);
    EXPECT_EQ(img[0 * W + 2], 9000);
}

TEST_F(AcqSim, GuiderHeadFramesAreExpandedFromEightBits) {
    start();
    autoguide.exp_guider_range = 's';
    autoguide.exp_guider_value = 2;
    const std::uint32_t t0 = clock.peek();
    EXPECT_TRUE(QV_guider_camera_read());
    EXPECT_GE(clock.peek() - t0, 2000u);
    ASSERT_EQ(disp.guider_pixcount, 500 * 290);
    const auto clears = blocks_with(CMD_READ_NOW);
    ASSERT_EQ(clears.size(), 2u);
    EXPECT_EQ(u16(clears[0], 4), 1u); // CCD 1
    EXPECT_EQ(u16(clears[0], 14), 1u);
    EXPECT_EQ(u16(clears[1], 14), 290u);
    for (int i = 0; i < disp.guider_pixcount; ++i) ASSERT_EQ(guider_imageptr[i] & 0xFF, 0) << i;
    EXPECT_GT(autoguide.guider_max_val, disp.guider_most_pop);
    EXPECT_GE(disp.guider_most_pop, 1);
    EXPECT_EQ(autoguide.guider_exposure, 2000u);

    // Binned: a quarter of the bytes, spread over the whole frame.
    autoguide.guider_bin = 1;
    disp.guider_cam = 'l';
    EXPECT_TRUE(QV_guider_camera_read());
    const int w = 376;
    EXPECT_EQ(usbt.BytesReturned, static_cast<unsigned>(w / 2 * 145));
    const unsigned short* g = guider_imageptr;
    for (int r = 0; r < 290; r += 2)
        for (int j = 0; j + 1 < w / 2; ++j) {
            const int v = g[r * w + 2 * j] >> 8, next = g[r * w + 2 * j + 2] >> 8;
            ASSERT_EQ(g[r * w + 2 * j + 1], (v / 2 + next / 2) << 8) << r << "," << j;
        }
    for (int r = 1; r + 1 < 290; r += 2)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(g[r * w + x], ((g[(r - 1) * w + x] >> 8) / 2 + (g[(r + 1) * w + x] >> 8) / 2)
                                        << 8);
    EXPECT_EQ(g[289 * w + 5], g[288 * w + 5]);
}

TEST_F(AcqSim, GuiderDarkFrameIsSubtractedUnlessOneIsBeingTaken) {
    start();
    autoguide.exp_guider_value = 1;
    autoguide.guider_take_darkframe = 1;
    autoguide.guider_use_darkframe = 1;
    QV_guider_camera_read();
    std::copy(guider_imageptr, guider_imageptr + disp.guider_pixcount, guider_darkframeptr);
    autoguide.guider_take_darkframe = 0;
    QV_guider_camera_read();
    // Light frame minus its own kind of frame: what is left is small.
    std::vector<std::uint16_t> left(guider_imageptr, guider_imageptr + disp.guider_pixcount);
    EXPECT_LT(simtest::median(left), 3 * 256);
    for (int i = 0; i < disp.guider_pixcount; ++i) guider_darkframeptr[i] = 65535;
    QV_guider_camera_read();
    for (int i = 0; i < disp.guider_pixcount; ++i) ASSERT_EQ(guider_imageptr[i], 0) << i;
}
