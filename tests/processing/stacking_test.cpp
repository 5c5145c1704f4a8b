#include "calibration_fixture.h"

#include "display/history.h"
#include "files/file_state.h"
#include "files/native_file.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <cmath>

namespace {

class StackingTest : public CalibrationFixture {
  protected:
    // A round star of the given peak on a flat background.
    void draw_star(unsigned short* buf, double cx, double cy, double peak, double sigma = 1.5) {
        for (int y = 0; y < disp.height1; ++y)
            for (int x = 0; x < disp.width1; ++x) {
                const double r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                const double v = at(buf, x, y) + peak * std::exp(-r2 / (2 * sigma * sigma));
                at(buf, x, y) = static_cast<unsigned short>(std::min(v, 65535.0));
            }
    }
    void frame(unsigned short* buf, unsigned short background) {
        std::fill(buf, buf + pixels(), background);
    }
};

// ------------------------------------------------------------ averaging

TEST_F(StackingTest, AveragingTruncatesAndKeepsAnImageAveragedWithItself) {
    use_size(4, 1);
    const std::vector<unsigned short> a = {0, 3, 65535, 65535}, b = {1, 4, 65535, 0};
    std::copy(a.begin(), a.end(), image);
    std::copy(b.begin(), b.end(), trial);
    do_average_image(image, trial);
    EXPECT_EQ(current(image), (std::vector<unsigned short>{0, 3, 65535, 32767}));

    std::copy(a.begin(), a.end(), image);
    do_average_image(image, image);
    EXPECT_EQ(current(image), a);
}

TEST_F(StackingTest, AverageCommandUsesThePickedFileAndCanBeUndone) {
    use_camera(64, 48);
    const auto img = pattern(pixels(), 1);
    const auto other = pattern(pixels(), 2);
    std::copy(img.begin(), img.end(), image);
    update_history("Dark Frame Subtracted");
    pick(native_file("other.raw", other));

    ASSERT_TRUE(Average_Image());
    for (int i = 0; i < pixels(); ++i) ASSERT_EQ(image[i], (img[i] + other[i]) / 2);
    EXPECT_EQ(stacking.merge_type, 'a');
    EXPECT_STREQ(disp.process_info[1], ""); // no history line of its own
    EXPECT_EQ(files.Filter_Index, 3);       // no tilde: all files next time
    restore_image();
    EXPECT_EQ(current(image), img);
}

// ------------------------------------------------------------ merging

TEST_F(StackingTest, MergeWithIdenticalMarksDoublesInsideTheBorder) {
    use_size(8, 6);
    std::vector<unsigned short> first(pixels()), second(pixels());
    for (int i = 0; i < pixels(); ++i) {
        first[i] = static_cast<unsigned short>(1000 + i);
        second[i] = static_cast<unsigned short>(i == 20 ? 65000 : 2000 + i);
    }
    std::copy(second.begin(), second.end(), image);
    std::copy(first.begin(), first.end(), trial);
    do_merge(image, trial, 3, 4, 3, 4, 0);

    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const int i = y * 8 + x;
            const bool border = y == 0 || x == 0 || x == 7;
            const int want = border ? first[i] : std::min(first[i] + second[i], 65535);
            ASSERT_EQ(at(image, x, y), want) << x << "," << y;
        }
    EXPECT_EQ(at(image, 4, 2), 65535); // saturated, not wrapped
    EXPECT_EQ(current(trial), current(image));
}

TEST_F(StackingTest, MergeKeepsTheLabelBandOfEitherImage) {
    use_size(8, 14);
    frame(trial, 100);
    frame(image, 10);
    image[4] = 20, image[5] = 14; // the second image carries the label
    do_merge(image, trial, 0, 0, 0, 0, 0);
    for (int y = 0; y <= 10; ++y) ASSERT_EQ(at(image, 3, y), 100) << y;
    EXPECT_EQ(at(image, 3, 11), 110);
}

TEST_F(StackingTest, MergeShiftsTheSecondImageByTheMarks) {
    use_size(10, 8);
    for (int i = 0; i < pixels(); ++i) {
        trial[i] = 1000;
        image[i] = static_cast<unsigned short>(i);
    }
    // Second mark 2 right and 1 down of the first: F(x, y) meets S(x+2, y+1).
    do_merge(image, trial, 4, 3, 6, 4, 1);
    EXPECT_EQ(at(image, 1, 2), (1000 + 3 * 10 + 3) / 2);
    EXPECT_EQ(at(image, 6, 6), (1000 + 7 * 10 + 8) / 2);
    EXPECT_EQ(at(image, 7, 2), 1000); // counterpart in the last column
    EXPECT_EQ(at(image, 2, 7), 1000); // counterpart below the image

    // Shifted entirely off: the first image is shown unchanged.
    frame(trial, 1000);
    do_merge(image, trial, 0, 0, 50, 0, 0);
    EXPECT_EQ(current(image), std::vector<unsigned short>(pixels(), 1000));
}

TEST_F(StackingTest, MergeModeRefusals) {
    EXPECT_FALSE(start_merge(1, 0, 0));
    EXPECT_FALSE(start_merge(0, 1, 0));
    EXPECT_FALSE(start_merge(0, 0, 1));
    EXPECT_EQ(stacking.merging, 0);
    ASSERT_TRUE(start_merge(0, 0, 0));
    EXPECT_FALSE(start_merge(0, 0, 0));
    std::vector<std::string> want = {message_text(37), message_text(37), message_text(43),
                                     message_text(44)};
    EXPECT_EQ(shown(), want);
    EXPECT_EQ(stacking.merging, 1);
}

TEST_F(StackingTest, InteractiveMergeFromMarksToResult) {
    use_size(16, 12);
    stacking.average = 1;
    stacking.orig_x = 9;
    ASSERT_TRUE(start_merge(0, 0, 0));
    EXPECT_EQ(stacking.orig, 1);
    EXPECT_EQ(stacking.average, 0);
    EXPECT_EQ(stacking.orig_x, 0);

    frame(image, 100); // the first image
    platform::Point p{5, 6};
    merge_mark(p, image, 4);
    EXPECT_EQ(stacking.orig_x, 5);
    EXPECT_EQ(stacking.orig_y, 6);
    EXPECT_FALSE(merge_execute()); // the second image is not there yet
    EXPECT_EQ(stacking.merging, 1);

    merge_take_second(); // Open: the first image moves to trial
    EXPECT_EQ(stacking.orig, 0);
    EXPECT_EQ(current(trial), current(image));
    frame(image, 30); // the loaded second image
    p = {7, 6};
    merge_mark(p, image, 4);
    EXPECT_EQ(stacking.merge_x, 7);
    EXPECT_EQ(stacking.orig_x, 5);

    ASSERT_TRUE(merge_execute());
    EXPECT_EQ(stacking.merging, 0);
    EXPECT_EQ(disp.prep_image, 1);
    EXPECT_EQ(at(image, 3, 3), 130);
    EXPECT_EQ(at(image, 14, 3), 100); // counterpart in the last column
    EXPECT_FALSE(merge_execute());    // merge mode is over
}

TEST_F(StackingTest, OpeningTheWrongFileWhileMergingKeepsTheImage) {
    use_camera(64, 48);
    const auto img = pattern(pixels(), 3);
    std::copy(img.begin(), img.end(), image);
    ASSERT_TRUE(start_merge(0, 0, 0));
    merge_take_second();
    write_file(home + "/notes.txt", "not an image");
    EXPECT_NE(LoadQVFile((home + "/notes.txt").c_str()), LOAD_OK);
    EXPECT_EQ(shown(), said(41));
    EXPECT_EQ(current(image), img);
    EXPECT_EQ(current(trial), img);
}

TEST_F(StackingTest, MarksSnapToTheStarWhenAsked) {
    use_size(48, 40);
    frame(image, 1000);
    draw_star(image, 20, 15, 20000);
    ASSERT_TRUE(start_merge(0, 0, 0));
    platform::Point p{18, 13};
    merge_mark(p, image, 6);
    EXPECT_EQ(stacking.orig_x, 18); // no snap by default
    stacking.merge_centre = 1;
    merge_mark(p, image, 6);
    EXPECT_EQ(stacking.orig_x, 20);
    EXPECT_EQ(stacking.orig_y, 15);
    EXPECT_EQ(p.x, 20);
}

TEST_F(StackingTest, MergeOnTinyImages) {
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {3, 1}, {1, 12}}) {
        use_size(w, h);
        std::fill(image, image + pixels() + 8, 65535);
        std::fill(trial, trial + pixels() + 8, 65535);
        image[pixels()] = 7;
        do_merge(image, trial, 0, 0, 0, 0, 0);
        do_merge(image, trial, 0, 0, -1, -1, 1);
        do_average_image(image, trial);
        EXPECT_EQ(image[0], 65535);
        EXPECT_EQ(image[pixels()], 7);
    }
}

// ------------------------------------------------------------ star tracking

class TrackTest : public StackingTest {
  protected:
    void SetUp() override {
        StackingTest::SetUp();
        use_size(64, 64);
        cfg.star_mask = 8;
        guide.xcent = 30;
        guide.ycent = 30;
    }
    int track(const AccumulateOptions& opt = {}) {
        StackState& s = stacking;
        return track_accumulate(image, trial, s.orig_x, s.orig_y, s.merge_x, s.merge_y, s.orig_max,
                                s.orig_avg, opt);
    }
};

TEST_F(TrackTest, FollowsTheStarAndRejectsAPeakOverThreeTimesTheFirst) {
    frame(image, 1000);
    draw_star(image, 30, 30, 9000);
    ASSERT_EQ(track(), 0);
    EXPECT_EQ(stacking.orig_x, 30);
    EXPECT_EQ(stacking.orig_y, 30);
    EXPECT_EQ(stacking.orig_max, 10000);
    EXPECT_EQ(at(trial, 30, 30), 10000);

    // The star drifted 3 right and 2 up and brightened to 2.9 times.
    frame(image, 1000);
    draw_star(image, 33, 28, 28000);
    ASSERT_EQ(track(), 0);
    EXPECT_EQ(stacking.merge_x, 33);
    EXPECT_EQ(stacking.merge_y, 28);
    EXPECT_EQ(stacking.orig_x, 33);
    EXPECT_EQ(at(image, 33, 28), 29000 + 10000);
    EXPECT_EQ(at(image, 0, 0), 1000); // no counterpart: the raw value
    EXPECT_EQ(current(trial), current(image));

    // 3.1 times the first peak: the frame is dropped and the sum is shown.
    const auto sum = current(trial);
    frame(image, 1000);
    draw_star(image, 33, 28, 30000);
    EXPECT_EQ(track(), 1);
    EXPECT_EQ(current(image), sum);
    EXPECT_EQ(current(trial), sum);
    EXPECT_EQ(stacking.orig_x, 33);

    // A third of the first peak is too faint as well.
    frame(image, 1000);
    draw_star(image, 33, 28, 1900);
    EXPECT_EQ(track(), 1);
}

TEST_F(TrackTest, AveragingAddsAShareOfEachFrame) {
    AccumulateOptions opt;
    opt.slew_sum_average = 1;
    opt.total_images = 4;
    frame(image, 1000);
    draw_star(image, 30, 30, 9000);
    ASSERT_EQ(track(opt), 0);
    EXPECT_EQ(at(trial, 10, 10), 250);
    EXPECT_EQ(stacking.orig_max, 10000); // the peak of the raw frame
    ASSERT_EQ(track(opt), 0);
    EXPECT_EQ(at(image, 10, 10), 500);
}

TEST_F(TrackTest, NoStarToFollowEndsTheSeries) {
    guide.xcent = 2; // the search box would leave the image
    frame(image, 1000);
    EXPECT_EQ(track(), 1);
    EXPECT_EQ(stacking.orig_x, 0);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes[0].text, "Find centre failed - outside image area");
}

TEST_F(TrackTest, SaturatesInsteadOfWrapping) {
    frame(image, 40000);
    draw_star(image, 30, 30, 20000);
    ASSERT_EQ(track(), 0);
    ASSERT_EQ(track(), 0);
    EXPECT_EQ(at(image, 10, 10), 65535);
    EXPECT_EQ(at(image, 30, 30), 65535);
}

TEST_F(TrackTest, BlackAndSaturatedFrames) {
    // Black: nothing to centre on, so the reference stays put.
    frame(image, 0);
    ASSERT_EQ(track(), 0);
    ASSERT_EQ(track(), 0);
    EXPECT_EQ(stacking.orig_x, 30);
    EXPECT_EQ(current(image), std::vector<unsigned short>(pixels(), 0));

    // Saturated: the centroid creeps to the corner until the star is lost;
    // the sum stays clamped.
    reset_stack_state();
    frame(image, 65535);
    ASSERT_EQ(track(), 0);
    EXPECT_EQ(track(), 1);
    EXPECT_EQ(current(image), std::vector<unsigned short>(pixels(), 65535));
}

// ------------------------------------------------------------ profile matching

class SlewTest : public StackingTest {
  protected:
    void SetUp() override {
        StackingTest::SetUp();
        use_size(320, 240);
    }
    int slew(const AccumulateOptions& opt = {}) {
        StackState& s = stacking;
        return slew_accumulate(image, trial, s.orig_x, s.orig_y, s.merge_x, s.merge_y, s.orig_max,
                               s.orig_avg, opt);
    }
    // A few stars of different brightness in and around the profile window,
    // displaced by (dx, dy).
    void star_field(int dx, int dy) {
        frame(image, 500);
        const double stars[][3] = {{230, 130, 8000},
                                   {255, 170, 5000},
                                   {280, 150, 12000},
                                   {215, 185, 3000},
                                   {262, 118, 6000}};
        for (const auto& s : stars) draw_star(image, s[0] + dx, s[1] + dy, s[2]);
    }
};

TEST_F(SlewTest, RegistersAShiftedFrameOnTheSum) {
    star_field(0, 0);
    const auto first = current(image);
    ASSERT_EQ(slew(), 0);
    EXPECT_EQ(stacking.merge_y, 0); // the first window qualified
    EXPECT_GT(stacking.orig_avg, 0);
    EXPECT_EQ(current(trial), first);

    star_field(3, -2);
    ASSERT_EQ(slew(), 0);
    EXPECT_EQ(stacking.orig_x, 3);
    EXPECT_EQ(stacking.orig_y, -2);
    EXPECT_EQ(at(trial, 280, 150), 2 * first[150 * 320 + 280]);
    EXPECT_EQ(at(trial, 100, 50), 1000);
    EXPECT_EQ(current(image), current(trial));

    // The next frame drifts further; the shift adds up.
    star_field(4, -2);
    ASSERT_EQ(slew(), 0);
    EXPECT_EQ(stacking.orig_x, 4);
    EXPECT_EQ(at(trial, 280, 150), 3 * first[150 * 320 + 280]);
}

TEST_F(SlewTest, ASeriesStartingOnABlackCornerIsStillStarted) {
    star_field(0, 0);
    std::fill(image, image + 10000, 0); // the corner that sets orig_avg
    const auto first = current(image);
    ASSERT_EQ(slew(), 0);
    ASSERT_EQ(slew(), 0); // the same frame again: added, not a new start
    EXPECT_EQ(at(trial, 280, 150), 2 * first[150 * 320 + 280]);
}

TEST_F(SlewTest, SaturatedFrameHasNoUsableWindow) {
    frame(image, 65535);
    EXPECT_EQ(slew(), 2);
    EXPECT_EQ(current(image), std::vector<unsigned short>(pixels(), 65535));
}

TEST_F(SlewTest, NoBrightPixelInAnyWindowReturnsTwo) {
    frame(image, 2000); // background level 7: 2625 would be needed
    image[150 * 320 + 250] = 2600;
    EXPECT_EQ(slew(), 2);
    EXPECT_EQ(stacking.orig_avg, 0);
    EXPECT_EQ(at(image, 250, 150), 2600); // the new frame stays shown
    // The third window (rows 120..219) is the last one tried.
    image[219 * 320 + 299] = 2700;
    EXPECT_EQ(slew(), 0);
    EXPECT_EQ(stacking.merge_y, 20);
}

TEST_F(SlewTest, AFrameWithoutStructureToMatchIsRejected) {
    frame(image, 500);
    image[150 * 320 + 250] = 800; // barely above the threshold of 768
    ASSERT_EQ(slew(), 0);
    const auto sum = current(trial);
    frame(image, 520);
    image[150 * 320 + 250] = 800;
    EXPECT_EQ(slew(), 1);
    EXPECT_EQ(current(image), sum);
    EXPECT_EQ(current(trial), sum);
}

TEST_F(SlewTest, ImagesSmallerThanTheWindowAreRefused) {
    for (auto [w, h] : {std::pair{299, 240}, {320, 199}, {1, 1}}) {
        use_size(w, h);
        stacking.orig_avg = 0;
        std::fill(image, image + pixels(), 0);
        EXPECT_EQ(slew(), 2);
        stacking.orig_avg = 5;
        stacking.merge_y = 0;
        EXPECT_EQ(slew(), 2);
    }
}

} // namespace
