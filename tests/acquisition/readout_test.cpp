// Readouts against the simulated camera, and the pure assembly steps.
#include "../sim/sim_test_util.h"
#include "acq_sim.h"

#include "acquisition/filter_wheel.h"
#include "acquisition/readout.h"
#include "devices/camera_models.h"
#include "display/image_store.h"
#include "display/sensor_state.h"
#include "star/star_state.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace acqtest;

namespace {

std::vector<std::uint16_t> image_pixels(const unsigned short* p, int n) {
    return std::vector<std::uint16_t>(p, p + n);
}

} // namespace

TEST(FixK1Full, LevelsEachColumnParityByItsOwnReferencePixelsWithinRange) {
    constexpr int W = 24;
    unsigned short row[2 * W] = {};
    for (int x = 0; x < 16; ++x) row[x] = x % 2 ? 2000 : 3000; // row 0: even mean 3000, odd 2000
    const unsigned short even[] = {1500, 2500, 5000, 65000};
    for (int i = 0; i < 4; ++i) row[16 + 2 * i] = even[i];
    row[17] = 1500;
    row[19] = 65535;
    for (int x = 0; x < 16; ++x) row[W + x] = static_cast<unsigned short>(100 + x); // row 1
    row[W + 16] = 200;
    row[W + 18] = 65535; // 66428 is limited to 65534

    fix_k1_full(row, W, 2);

    EXPECT_EQ(row[16], 0);
    EXPECT_EQ(row[18], 500);
    EXPECT_EQ(row[20], 3000);
    EXPECT_EQ(row[22], 63000);
    EXPECT_EQ(row[17], 500);   // odd column: its own mean 2000
    EXPECT_EQ(row[19], 64535); // 65535 - 2000 + 1000
    EXPECT_EQ(row[0], 3000);   // reference pixels keep their values
    EXPECT_EQ(row[1], 2000);
    // Row 1's own reference: even mean (100+102+...+114)/8 = 107.
    EXPECT_EQ(row[W + 16], 200 - 107 + 1000);
    EXPECT_EQ(row[W + 18], 65534);
    EXPECT_EQ(row[W + 15], 115);
}

TEST(FocusAnalysis, FindsTheStarItsWidthAndTheBackground) {
    static unsigned short f[128 * 128];
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const double r2 = (x - 60) * (x - 60) + (y - 70) * (y - 70);
            f[y * 128 + x] =
                static_cast<unsigned short>(1000 + 20000 * std::exp(-r2 / (2 * 2.0 * 2.0)));
        }
    const int max = focus_analysis(f);
    EXPECT_EQ(max, 21000);
    EXPECT_EQ(acq.max_x, 60);
    EXPECT_EQ(acq.max_y, 70);
    EXPECT_EQ(acq.focus_most_pop, 1000 / 256);
    EXPECT_EQ(acq.focus_FWHM_val, (21000 - 768) / 2 + 768);
    // Sigma 2: the half level is crossed about 2.35 sigma wide.
    EXPECT_EQ(acq.focus_FWHM, acq.FWHM_x2 - acq.FWHM_x1 + 1);
    EXPECT_GE(acq.focus_FWHM, 3);
    EXPECT_LE(acq.focus_FWHM, 5);
    EXPECT_EQ(acq.FWHM_x1 + acq.FWHM_x2, 120); // symmetric about the star
}

TEST(FocusAnalysis, AHotPixelAloneIsNotTheMaximum) {
    static unsigned short f[128 * 128];
    std::fill(std::begin(f), std::end(f), static_cast<unsigned short>(500));
    f[40 * 128 + 40] = 60000; // the pixel above it is background
    f[80 * 128 + 90] = 9000;
    f[79 * 128 + 90] = 8000;
    EXPECT_EQ(focus_analysis(f), 9000);
    EXPECT_EQ(acq.max_x, 90);
    EXPECT_EQ(acq.max_y, 80);
}

TEST_F(AcqSim, FullFrameOfTheSkyShowsStarsInTheImage) {
    start();
    acq.exposure = 2000;
    std::fill(image, image + disp.intlength, static_cast<unsigned short>(0));
    const std::uint32_t t0 = clock.peek();
    EXPECT_TRUE(QV_full_read());
    EXPECT_GE(clock.peek() - t0, 2000u);
    EXPECT_EQ(acq.binned_image_state, 0);
    EXPECT_GT(
        simtest::find_stars(image_pixels(image, disp.intlength), disp.width1, disp.height1).size(),
        10u);
    const auto reads = blocks_with(CMD_EXPOSE_AND_READ);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(u16(reads[0], 12), static_cast<unsigned>(sensor.cam_width1));
    EXPECT_EQ(u16(reads[0], 14), static_cast<unsigned>(sensor.cam_height1));
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
}

TEST_F(AcqSim, ModelOneFrameIsLevelledToAThousand) {
    sim::Config c;
    c.camera.pid = "0121";
    start(c);
    ASSERT_EQ(cam.cam_type, 1);
    acq.exposure = 500;
    EXPECT_TRUE(QV_full_read());
    // The background of every row sits near 1000 after the correction.
    std::vector<std::uint16_t> sample;
    for (int y = 0; y < disp.height1; y += 17)
        for (int x = 16; x < disp.width1; x += 13) sample.push_back(image[y * disp.width1 + x]);
    EXPECT_NEAR(simtest::median(sample), 1000, 300);
}

TEST_F(AcqSim, CameraTimesUpToAHundredSecondsTheHostBeyond) {
    start();
    cfg.exp_range = 's';
    cfg.exp_value = 100;
    std::uint32_t t0 = clock.peek();
    QV_camera_read();
    EXPECT_GE(clock.peek() - t0, 100000u);
    auto reads = blocks_with(CMD_EXPOSE_AND_READ);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(u16(reads[0], 18) | (u16(reads[0], 20) << 16), 100000u);
    EXPECT_TRUE(blocks_with(CMD_READ_NOW).empty());
    EXPECT_EQ(blocks_with(CMD_CLEAR).size(), 2u); // clear and wipe only

    blocks.clear();
    cfg.exp_value = 101;
    t0 = clock.peek();
    const int max = QV_camera_read();
    EXPECT_GE(clock.peek() - t0, 101000u);
    EXPECT_TRUE(blocks_with(CMD_EXPOSE_AND_READ).empty());
    const auto now_reads = blocks_with(CMD_READ_NOW);
    ASSERT_EQ(now_reads.size(), 1u);
    EXPECT_EQ(now_reads[0].size(), 18u);
    // The vertical registers are kept clear throughout the host-timed exposure.
    int clears = 0;
    for (const auto& b : blocks_with(CMD_CLEAR)) clears += u16(b, 2) == CLEARVERT_VALUE;
    EXPECT_GT(clears, 500);
    EXPECT_EQ(max, acq.max_focus_val);
    EXPECT_GT(max, 0);
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
}

TEST_F(AcqSim, ModelFourClosesTheShutterForCameraTimedFramesAndDarkFrames) {
    sim::Config c;
    c.camera.pid = "0124";
    start(c);
    ASSERT_EQ(cam.cam_type, 4);
    acq.exposure = 1000;
    acq.take_darkframe = 1;
    QV_full_read();
    const auto shutter = blocks_with(CMD_SHUTTER);
    ASSERT_EQ(shutter.size(), 1u);
    EXPECT_EQ(u16(shutter[0], 2), SHUTTER_CLOSE_VALUE);
    const auto reads = blocks_with(CMD_EXPOSE_AND_READ);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(u16(reads[0], 2), DARK_READOUT_VALUE);
}

TEST_F(AcqSim, BinnedFocusWindowIsClampedAtTheSensorEdge) {
    start();
    guide.focus_x = 40;
    guide.focus_y = 200;
    guide.bin_focus_frame = 1;
    acq.exposure = 500;
    std::fill(image, image + 128 * 128, static_cast<unsigned short>(0));
    EXPECT_TRUE(QV_focus_read());
    auto reads = blocks_with(CMD_EXPOSE_AND_READ);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(u16(reads[0], 8), 0u);
    EXPECT_EQ(u16(reads[0], 10), 136u);
    EXPECT_EQ(u16(reads[0], 12), 256u);
    EXPECT_EQ(reads[0][16], 2);
    EXPECT_EQ(usbt.BytesReturned, 32768u);
    // The whole 128 x 128 result landed at the start of the image.
    EXPECT_GT(image[0], 0);
    EXPECT_GT(image[128 * 128 - 1], 0);

    blocks.clear();
    guide.bin_focus_frame = 0;
    acq.exposure = 2000; // beyond a second the focus frame is read now
    QV_focus_read();
    reads = blocks_with(CMD_READ_NOW);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(u16(reads[0], 8), 40u);
    EXPECT_EQ(u16(reads[0], 12), 128u);
    EXPECT_EQ(reads[0][16], 1);
}

TEST_F(AcqSim, GuideFrameWaitsForTheExposureThenReadsTheFocusWindow) {
    start();
    cfg.exp_range = 't';
    cfg.exp_value = 20; // 2 s: the host waits, then the camera times it again
    const std::uint32_t t0 = clock.peek();
    EXPECT_TRUE(QV_camera_guide());
    EXPECT_GE(clock.peek() - t0, 2000u);
    EXPECT_EQ(acq.exposure, 2000u);
    EXPECT_EQ(blocks_with(CMD_READ_NOW).size(), 1u);
}

TEST_F(AcqSim, AutoAdvanceWrapsTheWheelAfterTheLastPosition) {
    start();
    ASSERT_EQ(usbt.USB_filterwheel, 1);
    ASSERT_EQ(cfg.Max_Filters, 5); // the simulated wheel's positions
    acq.exposure = 100;
    acq.auto_advance = 1;
    acq.Filterbox_Filter = 5;
    QV_full_read();
    EXPECT_EQ(acq.Filterbox_Filter, 1);
    EXPECT_EQ(simulator->wheel().target(), 1);
    QV_full_read();
    EXPECT_EQ(acq.Filterbox_Filter, 2);
    EXPECT_EQ(simulator->wheel().target(), 2);
    acq.auto_advance = 0;
    QV_full_read();
    EXPECT_EQ(acq.Filterbox_Filter, 2);
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
}

TEST_F(AcqSim, StalledReadEndsWithTheTransportMessageAndNoStaleData) {
    sim::Config c;
    c.faults.camera.stall = 1.0;
    start(c);
    std::fill(ReportBuffer, ReportBuffer + 1000, static_cast<unsigned char>(0x55));
    std::fill(image, image + disp.intlength, static_cast<unsigned short>(0x5555));
    acq.exposure = 5000;
    const std::uint32_t t0 = clock.peek();
    EXPECT_FALSE(QV_full_read());
    EXPECT_LE(clock.peek() - t0, 5000u + 31000u);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_NE(ui.boxes[0].text.find("trying to read ZIRED data from USB"), std::string::npos)
        << ui.boxes[0].text;
    EXPECT_EQ(image[0], 0);
    EXPECT_EQ(image[disp.intlength - 1], 0);
}

TEST_F(AcqSim, CameraGoneMidFrameEndsTheReadWithAMessage) {
    sim::Config c;
    c.faults.camera.disconnect_frame = 0;
    start(c);
    acq.exposure = 1000;
    const std::uint32_t t0 = clock.peek();
    EXPECT_FALSE(QV_full_read());
    EXPECT_LE(clock.peek() - t0, 1000u + 31000u);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_NE(ui.boxes[0].text.find("ZIRED"), std::string::npos) << ui.boxes[0].text;
    // The program goes on: the next read reports again instead of hanging.
    ui.boxes.clear();
    EXPECT_FALSE(QV_focus_read());
    EXPECT_FALSE(ui.boxes.empty());
}
