#include "calibration_fixture.h"

#include "display/history.h"
#include "files/file_state.h"
#include "files/native_file.h"

#include <cmath>

namespace {

class CalibrationTest : public CalibrationFixture {
  protected:
    // Reference level of a flat, computed independently of the code: the
    // mean of rows 10..19, columns 5..width1-2.
    double level_of(const std::vector<unsigned short>& flat) const {
        double sum = 0;
        for (int y = 10; y < 20; ++y)
            for (int x = 5; x <= disp.width1 - 2; ++x) sum += flat[y * disp.width1 + x];
        return sum / (10.0 * (disp.width1 - 6));
    }
};

TEST_F(CalibrationTest, SubtractionNeverWrapsBelowZero) {
    use_size(4, 2);
    const std::vector<unsigned short> img = {100, 5, 0, 65535, 7, 7, 1000, 65535};
    const std::vector<unsigned short> drk = {40, 6, 0, 65535, 8, 7, 0, 1};
    std::copy(img.begin(), img.end(), image);
    std::copy(drk.begin(), drk.end(), trial);
    do_subtract_image(image, trial);
    EXPECT_EQ(current(image), (std::vector<unsigned short>{60, 0, 0, 0, 0, 0, 1000, 65534}));

    std::copy(img.begin(), img.end(), image);
    do_subtract_image(image, image);
    EXPECT_EQ(current(image), std::vector<unsigned short>(8, 0));
}

TEST_F(CalibrationTest, SubtractCommandAppliesThePickedDarkAndCanBeUndone) {
    use_camera(64, 48);
    const auto img = pattern(pixels(), 1, 3000);
    const auto drk = pattern(pixels(), 2, 0, 6000);
    std::copy(img.begin(), img.end(), image);
    pick(native_file("~dark", drk));

    ASSERT_TRUE(Subtract_Image());
    EXPECT_TRUE(ui.boxes.empty());
    for (int i = 0; i < pixels(); ++i)
        ASSERT_EQ(image[i], drk[i] < img[i] ? img[i] - drk[i] : 0) << i;
    EXPECT_STREQ(disp.process_info[0], "Dark Frame Subtracted");
    EXPECT_EQ(stacking.merge_type, 's');
    EXPECT_EQ(files.Filter_Index, 1); // the title has a tilde
    EXPECT_EQ(std::string(files.lastdir), home);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);
    // The pick is the shared one: native, FITS and all-files filters.
    ASSERT_EQ(ui.file_requests.size(), 1u);
    EXPECT_EQ(ui.file_requests[0].filters.size(), 3u);

    restore_image();
    EXPECT_EQ(current(image), img);
}

TEST_F(CalibrationTest, FlatEqualToImageGivesTheReferenceLevel) {
    use_camera(64, 48);
    const auto flat = pattern(pixels(), 3, 500);
    std::copy(flat.begin(), flat.end(), image);
    pick(native_file("~flat", flat));

    ASSERT_TRUE(Flat_Image());
    const auto level = static_cast<unsigned short>(level_of(flat));
    for (int y = 0; y < disp.height1; ++y)
        for (int x = 0; x < disp.width1; ++x) {
            const bool kept = y == 0 || x < 2 || x == disp.width1 - 1;
            ASSERT_EQ(at(image, x, y), kept ? flat[y * disp.width1 + x] : level) << x << "," << y;
        }
    EXPECT_STREQ(disp.process_info[0], "Flat Field Applied");
    EXPECT_EQ(ui.progress_captions, std::vector<std::string>{"FLAT FIELD PROGRESS"});
    ASSERT_FALSE(ui.progress_values.empty());
    EXPECT_EQ(ui.progress_values[1], 10);
    EXPECT_EQ(ui.progress_values.back(), 10 + disp.height1 - 1); // one step a row
    EXPECT_FALSE(ui.progress_shown);

    restore_image();
    EXPECT_EQ(current(image), flat);
}

TEST_F(CalibrationTest, FlatCommandLeavesTheLabelBandAlone) {
    use_camera(64, 48);
    auto img = pattern(pixels(), 4, 500);
    img[4] = 30, img[5] = 4; // label marker
    std::vector<unsigned short> flat(pixels(), 1024);
    // Zero under zero becomes the level wherever a row is flattened (column 3
    // lies outside the sample of the level).
    for (int y : {10, 11}) img[y * 64 + 3] = flat[y * 64 + 3] = 0;
    std::copy(img.begin(), img.end(), image);
    pick(native_file("~flat", flat));

    ASSERT_TRUE(Flat_Image());
    for (int i = 0; i < 11 * disp.width1; ++i) ASSERT_EQ(image[i], img[i]) << i;
    EXPECT_EQ(at(image, 3, 11), 1024);
    EXPECT_EQ(at(image, 20, 11), img[11 * 64 + 20]); // v / 1024 * 1024
}

TEST_F(CalibrationTest, FlatPixelsOfZeroAndSaturation) {
    use_size(8, 1);
    const double level = 1000.0;
    const std::vector<unsigned short> img = {9, 9, 0, 77, 500, 65535, 300, 9};
    const std::vector<unsigned short> flt = {0, 0, 0, 0, 250, 2, 3000, 0};
    std::copy(img.begin(), img.end(), image);
    std::copy(flt.begin(), flt.end(), trial);
    do_flat_field(image, trial, level, 0);
    // Columns 0, 1 and 7 are left alone; 0 under 0 gives the level, v over a
    // zero flat stays v, big quotients stop at 65535, the rest truncate.
    EXPECT_EQ(current(image), (std::vector<unsigned short>{9, 9, 1000, 77, 2000, 65535, 100, 9}));
}

TEST_F(CalibrationTest, OperandFilesOfTheWrongKindChangeNothing) {
    use_camera(64, 48);
    const auto img = pattern(pixels(), 5);
    const std::string bad = native_file("notes.txt", std::vector<unsigned short>(17, 1));
    for (bool (*command)() : {&Subtract_Image, &Flat_Image, &Average_Image}) {
        std::copy(img.begin(), img.end(), image);
        std::fill(undo, undo + pixels(), 7);
        ui.boxes.clear();
        pick(bad);
        EXPECT_FALSE(command());
        EXPECT_EQ(shown(), said(16));
        EXPECT_EQ(current(image), img);
        EXPECT_EQ(undo[0], 7); // nothing was saved for undo either
        EXPECT_TRUE(ui.progress_captions.empty());
        EXPECT_STREQ(disp.process_info[0], "");
    }
    // Cancelling the pick is silent.
    ui.boxes.clear();
    EXPECT_FALSE(Subtract_Image());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(current(image), img);
}

// The automatic steps read the fixed 752 x 580 frames.
class AutoCalibrationTest : public CalibrationTest {
  protected:
    void SetUp() override {
        CalibrationTest::SetUp();
        use_camera(752, 580);
    }
};

TEST_F(AutoCalibrationTest, DarkStaysValidWhateverOtherCommandsWrite) {
    const auto drk = pattern(pixels(), 6, 0, 3000);
    const std::string name = native_file("~dark", drk);
    const auto img = pattern(pixels(), 7, 2000);

    std::copy(img.begin(), img.end(), image);
    ASSERT_EQ(auto_remove(0, name.c_str(), image), 0);
    for (int i = 0; i < pixels(); ++i) ASSERT_EQ(image[i], drk[i] < img[i] ? img[i] - drk[i] : 0);

    // A stretch or a filter between exposures writes undo and save; the next
    // exposure still gets the dark frame, without reading the file again.
    std::fill(undo_int, undo_int + pixels(), 1);
    std::fill(save_int, save_int + pixels(), 1);
    write_file(name, "gone");
    std::copy(img.begin(), img.end(), image);
    ASSERT_EQ(auto_remove(1, name.c_str(), image), 0);
    EXPECT_EQ(image[1000], drk[1000] < img[1000] ? img[1000] - drk[1000] : 0);
    EXPECT_EQ(image[pixels() - 1],
              drk[pixels() - 1] < img[pixels() - 1] ? img[pixels() - 1] - drk[pixels() - 1] : 0);
}

TEST_F(AutoCalibrationTest, ADifferentDarkFileIsReadEvenWithTheFlagSet) {
    const std::string first = native_file("~dark1", std::vector<unsigned short>(pixels(), 100));
    const std::string second = native_file("~dark2", std::vector<unsigned short>(pixels(), 300));
    std::fill(image, image + pixels(), 1000);
    ASSERT_EQ(auto_remove(0, first.c_str(), image), 0);
    EXPECT_EQ(image[5], 900);
    std::fill(image, image + pixels(), 1000);
    ASSERT_EQ(auto_remove(1, second.c_str(), image), 0);
    EXPECT_EQ(image[5], 700);
}

TEST_F(AutoCalibrationTest, RefusedCalibrationFilesLeaveTheImage) {
    const auto img = pattern(pixels(), 8);
    std::copy(img.begin(), img.end(), image);
    const std::string wrong = native_file("~short", std::vector<unsigned short>(1000, 5));
    const std::string binned = native_file("~binned", std::vector<unsigned short>(109040, 5));
    EXPECT_EQ(auto_remove(0, wrong.c_str(), image), 12);
    EXPECT_EQ(auto_flatfield(0, wrong.c_str(), image), 12);
    EXPECT_EQ(auto_remove(0, binned.c_str(), image), 12); // binned frame, full image
    EXPECT_EQ(auto_remove(0, (home + "/missing").c_str(), image), 12);
    EXPECT_EQ(auto_remove(0, "d:\\dark", image), 11);
    EXPECT_EQ(auto_flatfield(0, "d:\\flat", image), 11);
    EXPECT_EQ(current(image), img);
    // A failed load leaves no cache behind for a stale flag to use.
    EXPECT_EQ(auto_remove(1, wrong.c_str(), image), 12);
    EXPECT_EQ(current(image), img);
    EXPECT_TRUE(ui.boxes.empty()); // the exposure sequence reports these
}

TEST_F(AutoCalibrationTest, AutoFlatSkipsRowsZeroAndOneButNotTheLabel) {
    auto flat = pattern(pixels(), 9, 1000);
    const std::string name = native_file("~flat", flat);
    auto img = flat;
    img[4] = 17, img[5] = 17; // label marker: not honoured here
    std::copy(img.begin(), img.end(), image);
    ASSERT_EQ(auto_flatfield(0, name.c_str(), image), 0);

    const auto level = static_cast<unsigned short>(level_of(flat));
    for (int x = 0; x < disp.width1; ++x) {
        ASSERT_EQ(at(image, x, 0), img[x]);
        ASSERT_EQ(at(image, x, 1), img[disp.width1 + x]);
    }
    EXPECT_EQ(at(image, 100, 2), level);
    EXPECT_EQ(at(image, 100, 5), level);
    EXPECT_EQ(at(image, disp.width1 - 2, disp.height1 - 1), level);
    EXPECT_EQ(at(image, 1, 9), img[9 * disp.width1 + 1]);

    // Reused from the cache after save has been overwritten.
    std::fill(save_int, save_int + pixels(), 3);
    std::copy(img.begin(), img.end(), image);
    ASSERT_EQ(auto_flatfield(1, name.c_str(), image), 0);
    EXPECT_EQ(at(image, 100, 5), level);
}

// Images down to one pixel, all black or all saturated: every routine stays
// inside the image and the results are the clamped ones.
TEST_F(CalibrationTest, TinyAndExtremeImages) {
    const int sizes[][2] = {{1, 1}, {2, 1}, {1, 3}, {3, 3}, {6, 2}, {7, 12}, {9, 21}};
    for (const auto& s : sizes) {
        for (unsigned short v : {0, 65535}) {
            SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1] << " value " << v);
            use_size(s[0], s[1]);
            const int n = pixels();
            // Beyond the image: values that would show if they were read or written.
            std::fill(image, image + n + 64, 4321);
            std::fill(trial, trial + n + 64, 1234);
            std::fill(image, image + n, v);
            std::fill(trial, trial + n, v);

            const double level = flat_reference_level(trial);
            EXPECT_EQ(level, v);
            for (int y = -1; y <= disp.height1; ++y) do_flat_field(image, trial, level, y);
            for (int i = 0; i < n; ++i) ASSERT_EQ(image[i], v) << i;

            do_subtract_image(image, trial);
            for (int i = 0; i < n; ++i) ASSERT_EQ(image[i], 0) << i;
            EXPECT_EQ(image[n], 4321);
            EXPECT_EQ(trial[n], 1234);
        }
    }
}

} // namespace
