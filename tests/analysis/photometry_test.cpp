// Photometry: starting the mode, the buttons, the fields as the window shows
// them, recording apertures at the image's edge, and the signal-to-noise
// ratio of the CCD equation against hand computations and simulated noise.
#include "analysis/analysis_state.h"
#include "analysis/photometry.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "platform/messages.h"
#include "settings/settings.h"
#include "star/star_state.h"
#include "support/test_env.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {

class PhotometryTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        set_image_size(200, 150);
        std::fill(image_int, image_int + disp.intlength, 1000);
    }
    bool record(char target, int x, int y) {
        photometry_target(target);
        return photometry_record({x, y}, image_int);
    }
};

} // namespace

TEST_F(PhotometryTest, StartRefusesWhileAnotherModeRunsAndClearsTheMeasurements) {
    EXPECT_FALSE(start_photometry(1, 0));
    ana.row_plot = 1;
    EXPECT_FALSE(start_photometry(0, 0));
    ana.row_plot = 0;
    EXPECT_FALSE(start_photometry(0, 1));
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[1].text, message_text(37));
    EXPECT_EQ(ui.boxes[2].text, message_text(38));
    EXPECT_EQ(ana.photometry, 0);

    guide.cur_rad = 8;
    ana.obj_val = ana.comp_val = ana.back_val = 5;
    ana.obj_x = ana.comp_y = ana.mast_val = ana.back_select = 1;
    ASSERT_TRUE(start_photometry(0, 0));
    EXPECT_EQ(guide.cur_rad, 4);
    EXPECT_EQ(ana.obj_val + ana.comp_val + ana.back_val, 0);
    EXPECT_EQ(ana.obj_x + ana.comp_y + ana.mast_val + ana.back_select, 0);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Cross);

    EXPECT_FALSE(start_photometry(0, 0));
    EXPECT_EQ(ui.boxes.back().text, message_text(39));
    end_photometry();
    EXPECT_EQ(ana.photometry, 0);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);
}

TEST_F(PhotometryTest, ApertureAndTargetButtons) {
    const int sizes[][2] = {{117, 0}, {114, 2}, {115, 3}, {116, 4}, {118, 6}, {119, 8}};
    for (const auto& s : sizes) {
        ana.obj_val = ana.comp_val = ana.back_val = 9;
        ana.obj_x = ana.comp_x = ana.back_y = 9;
        ana.mast_x = 9;
        photometry_aperture(s[0]);
        EXPECT_EQ(guide.cur_rad, s[1]);
        EXPECT_EQ(aperture_button(), s[0]);
        EXPECT_EQ(ana.obj_val + ana.comp_val + ana.back_val, 0);
        EXPECT_EQ(ana.obj_x + ana.comp_x + ana.back_y, 0);
        EXPECT_EQ(ana.mast_x, 9) << "the cursor fields stay";
    }
    guide.cur_rad = 5;
    EXPECT_EQ(aperture_button(), ph_id::SinglePixel) << "any other size";
    photometry_aperture(120);
    EXPECT_EQ(guide.cur_rad, 5) << "not an aperture button";

    photometry_target('c');
    EXPECT_EQ(target_button(), ph_id::Comparison);
    EXPECT_EQ(ana.back_select, 0);
    photometry_target('b');
    EXPECT_EQ(target_button(), ph_id::Background);
    EXPECT_EQ(ana.back_select, 1);
    photometry_target('o');
    EXPECT_EQ(target_button(), ph_id::Object);
    EXPECT_EQ(ana.back_select, 1) << "the background stays chosen";
}

TEST_F(PhotometryTest, FieldsShowMeansAndTheMagnitudeDifference) {
    guide.cur_rad = 2;
    ana.obj_val = 250000;
    ana.comp_val = 100000;
    EXPECT_EQ(photometry_field(ph_id::ObjectValue), "  10000");
    EXPECT_EQ(photometry_field(ph_id::ComparisonValue), "   4000");
    ana.comp_val = 100024;
    EXPECT_EQ(photometry_field(ph_id::ComparisonValue), "   4000") << "a whole-number mean";

    // No background chosen: the image's level shows, the plain sums compare.
    disp.most_pop = 4;
    ana.obj_val = 50000;
    ana.comp_val = 20000;
    EXPECT_EQ(photometry_field(ph_id::BackgroundValue), "   1024");
    EXPECT_EQ(photometry_field(ph_id::MagnitudeDifference), "-0.99");

    ana.back_select = 1;
    ana.back_val = 10000;
    EXPECT_EQ(photometry_field(ph_id::BackgroundValue), "    400");
    EXPECT_EQ(photometry_field(ph_id::MagnitudeDifference), "-1.51"); // 40000 / 10000

    ana.back_val = 60000; // above the object
    EXPECT_EQ(photometry_field(ph_id::MagnitudeDifference), "");
    ana.back_val = 0;
    ana.comp_val = 0;
    EXPECT_EQ(photometry_field(ph_id::MagnitudeDifference), "") << "no comparison yet";

    ana.obj_x = 12, ana.obj_y = 34, ana.mast_x = 5, ana.mast_y = 6, ana.mast_val = 65535;
    EXPECT_EQ(photometry_field(ph_id::ObjectX), "12");
    EXPECT_EQ(photometry_field(ph_id::ObjectY), "34");
    EXPECT_EQ(photometry_field(ph_id::CursorX), "5");
    EXPECT_EQ(photometry_field(ph_id::CursorY), "6");
    EXPECT_EQ(photometry_field(ph_id::CursorValue), "  65535");
}

TEST_F(PhotometryTest, RecordsIntoTheChosenSlotAndRefusesAnApertureAcrossTheEdge) {
    image_int[50 * 200 + 60] = 5000;
    guide.cur_rad = 4;
    ASSERT_TRUE(record('o', 60, 50));
    EXPECT_EQ(ana.obj_val, 80 * 1000 + 5000);
    ASSERT_TRUE(record('c', 4, 4)) << "the first aperture inside the top left corner";
    EXPECT_EQ(ana.comp_val, 81 * 1000);
    ASSERT_TRUE(record('b', 195, 145));
    EXPECT_EQ(ana.back_x, 195);
    EXPECT_EQ(ana.back_val, 81 * 1000);
    EXPECT_TRUE(ui.boxes.empty());

    for (auto [x, y] : {std::pair{3, 50}, {196, 50}, {60, 3}, {60, 146}, {-400, 50}, {60, 9999}}) {
        EXPECT_FALSE(record('o', x, y)) << x << "," << y;
        char text[100];
        std::snprintf(text, sizeof text,
                      "Sorry, outside Image area - try again\n\nx position = %5d\ny position = %5d",
                      x, y);
        EXPECT_EQ(ui.boxes.back().text, text);
    }
    EXPECT_EQ(ana.obj_x, 60) << "a refused click records nothing";
    EXPECT_EQ(ana.obj_val, 85000);

    // A geometry larger than the buffers: the last rows cannot be measured.
    set_image_size(3000, 2100);
    EXPECT_FALSE(aperture_inside(1500, 2090, 4));
    EXPECT_TRUE(aperture_inside(1500, 100, 4));
    EXPECT_EQ(aperture_sum(image_int, 2995, 2095, 8), 0) << "nothing read past the buffer";
}

TEST_F(PhotometryTest, SignalToNoiseMatchesAHandComputation) {
    // 50,000 counts of star in the 9 x 9 aperture over a sky of 1000 a pixel.
    const int cx = 60, cy = 50;
    image_int[cy * 200 + cx] += 10000;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx || dy) image_int[(cy + dy) * 200 + cx + dx] += 5000;
    cfg.ccd_gain = 2.0;
    cfg.ccd_read_noise = 10.0;
    guide.cur_rad = 4;
    ASSERT_TRUE(record('o', cx, cy));
    ASSERT_TRUE(record('b', 150, 100));

    // S = 2 x 50,000 = 100,000 e-; noise^2 = S + 81 (1 + 81/81)(2 x 1000 + 10^2) = 440,200.
    SnrEstimate e = photometry_snr();
    ASSERT_TRUE(e.valid);
    EXPECT_DOUBLE_EQ(e.signal, 100000.0);
    EXPECT_NEAR(e.noise, 663.4757, 1e-4);
    EXPECT_NEAR(e.snr, 150.7214, 1e-4);
    EXPECT_NEAR(e.mag_error, 0.0072036, 1e-7);
    EXPECT_EQ(snr_text(e), "150.7");
    EXPECT_EQ(mag_error_text(e), "0.007");

    // Without a background aperture: the image's level, known from many pixels.
    ana.back_select = 0;
    disp.most_pop = 4; // 1024 a pixel
    e = photometry_snr();
    EXPECT_DOUBLE_EQ(e.signal, 2.0 * (131000 - 81 * 1024));
    EXPECT_NEAR(e.snr, 184.9334, 1e-4);

    // Nothing above the background, nothing measured, or an unusable gain.
    ana.back_select = 1;
    ana.back_val = ana.obj_val;
    EXPECT_FALSE(photometry_snr().valid);
    EXPECT_EQ(snr_text(photometry_snr()), "");
    ana.back_val = 81000;
    cfg.ccd_gain = 0;
    EXPECT_FALSE(photometry_snr().valid);
    cfg.ccd_gain = 2;
    ana.obj_val = 0;
    EXPECT_FALSE(photometry_snr().valid);
}

TEST_F(PhotometryTest, PredictedNoiseIsTheScatterOfSimulatedMeasurements) {
    // A star of 20,000 counts on a sky of 300, photon noise and read noise in
    // electrons, measured 3000 times with a 7 x 7 object and background
    // aperture: the scatter of the net signal is what the equation predicts.
    const double gain = 1.5, read_noise = 9.0, sky = 300.0, flux = 20000.0;
    cfg.ccd_gain = gain;
    cfg.ccd_read_noise = read_noise;
    guide.cur_rad = 3;
    std::mt19937 rng(17);
    std::normal_distribution<double> read(0.0, read_noise);
    auto expose = [&](int x0, int y0, bool star) {
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx) {
                const double counts = sky + (star && dx == 0 && dy == 0 ? flux : 0.0);
                std::poisson_distribution<long> photons(counts * gain);
                const double e = static_cast<double>(photons(rng)) + read(rng);
                image_int[(y0 + dy) * 200 + x0 + dx] =
                    static_cast<unsigned short>(std::lround(std::max(0.0, e / gain)));
            }
    };
    const int trials = 3000;
    double sum = 0, sum2 = 0, predicted = 0;
    for (int t = 0; t < trials; ++t) {
        expose(40, 40, true);
        expose(120, 90, false);
        ASSERT_TRUE(record('o', 40, 40));
        ASSERT_TRUE(record('b', 120, 90));
        const SnrEstimate e = photometry_snr();
        ASSERT_TRUE(e.valid);
        sum += e.signal;
        sum2 += e.signal * e.signal;
        predicted += e.noise;
    }
    const double mean = sum / trials;
    const double scatter = std::sqrt(sum2 / trials - mean * mean);
    predicted /= trials;
    EXPECT_NEAR(mean, gain * flux, 0.01 * gain * flux);
    // The error of a scatter from 3000 samples is about 1.3 %.
    EXPECT_NEAR(scatter / predicted, 1.0, 0.05) << scatter << " vs " << predicted;
}

TEST_F(PhotometryTest, TypedCameraValues) {
    double v = -1;
    EXPECT_TRUE(parse_ccd_value("1.25", true, v));
    EXPECT_EQ(v, 1.25);
    EXPECT_TRUE(parse_ccd_value(" 0 ", false, v));
    EXPECT_EQ(v, 0.0);
    for (const char* bad : {"", "0", "-1", "x", "1.5e", "nan", "inf", "1e999"})
        EXPECT_FALSE(parse_ccd_value(bad, true, v)) << bad;
    EXPECT_FALSE(parse_ccd_value("-0.5", false, v));
    EXPECT_EQ(v, 0.0) << "left alone";
}
