#include "display/image_store.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "support/test_env.h"

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

using Centre = std::array<int, 4>; // whole x, tenths x, whole y, tenths y

const std::string kCaption = "Nocteris  - Find Centre";
const std::string kNothing = "Sorry, Nothing found to centre on - exposure continuing";

class CentroidTest : public NocterisTest {
  protected:
    std::vector<unsigned short> img;
    int w = 0;

    // 128 x 128 is the guide frame, 500 x 290 the guider frame.
    void frame(int width, int height, unsigned short background) {
        w = width;
        img.assign(static_cast<std::size_t>(width) * height, background);
    }
    void set(int x, int y, unsigned short v) { img[static_cast<std::size_t>(y) * w + x] = v; }
    void star(double cx, double cy, double sigma = 1.5) {
        for (std::size_t i = 0; i < img.size(); ++i) {
            const double dx = static_cast<double>(i % w) - cx, dy = static_cast<double>(i / w) - cy;
            img[i] += static_cast<unsigned short>(
                20000 * std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma)));
        }
    }
    short centre_at(int x, int y, int rad) { return find_centre(x, y, img.data(), rad); }
    static Centre result() { return {guide.xcent, guide.xcentdec, guide.ycent, guide.ycentdec}; }
    static Centre guider_result() {
        return {guide.guider_xcent, guide.guider_xcentdec, guide.guider_ycent,
                guide.guider_ycentdec};
    }
    static void mark() { guide.xcent = 7, guide.xcentdec = 1, guide.ycent = 8, guide.ycentdec = 2; }
    static constexpr Centre kMarked{7, 1, 8, 2};
};

} // namespace

TEST_F(CentroidTest, UniformBoxIsEmptyJustBelowTheBackgroundThreshold) {
    frame(1312, 1024, 1000); // bin 62, threshold trunc(62 x 16.32) = 1011
    set(100, 100, 1011);
    disp.most_pop = 7;
    mark();
    EXPECT_EQ(centre_at(100, 100, 4), 0);
    EXPECT_EQ(result(), kMarked);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, kNothing);
    EXPECT_EQ(ui.boxes[0].caption, kCaption);
    EXPECT_EQ(disp.most_pop, 7); // the display's background is not ours

    guide.selfguiding = 1; // unattended: no box
    EXPECT_EQ(centre_at(100, 100, 4), 0);
    EXPECT_EQ(ui.boxes.size(), 1u);

    guide.selfguiding = 0;
    set(102, 99, 1012);
    EXPECT_EQ(centre_at(100, 100, 4), 0);
    EXPECT_EQ(result(), (Centre{102, 0, 99, 0}));
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(CentroidTest, ThresholdRuleChangesAboveBin4014AndOverexposureNeedsPeakAbove65000) {
    frame(1312, 1024, 64240); // bin 4015: threshold is the bin floor
    set(50, 50, 64241);
    EXPECT_EQ(centre_at(50, 50, 3), 0);
    EXPECT_EQ(result(), (Centre{50, 0, 50, 0}));

    frame(1312, 1024, 64224); // bin 4014: threshold 65508
    set(50, 50, 65000);
    mark();
    EXPECT_EQ(centre_at(50, 50, 3), 0);
    set(50, 50, 65001);
    guide.selfguiding = 1; // reported even when unattended
    EXPECT_EQ(centre_at(50, 50, 3), 1);
    EXPECT_EQ(result(), kMarked);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, kNothing);
    EXPECT_EQ(ui.boxes[1].text, "Sorry, Guide Area Overexposed, unable to find accurate centre");
    EXPECT_EQ(ui.boxes[1].caption, kCaption);
}

TEST_F(CentroidTest, EqualHistogramCountsTakeTheLowerBinAsBackground) {
    // Four pixels each of 1000 and 2000: with 1000 as background the 2000s
    // pull the centre off the peak; with 2000 it would sit on the peak.
    guide.guiding = 1;
    frame(128, 128, 1000);
    const unsigned short box[3][3] = {{2000, 1000, 1000}, {2000, 3000, 1000}, {2000, 2000, 1000}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) set(20 + c, 30 + r, box[r][c]);
    EXPECT_EQ(centre_at(21, 31, 1), 0);
    EXPECT_EQ(result(), (Centre{20, 6, 31, 1}));
}

TEST_F(CentroidTest, BoxMayTouchTheImageEdgeButNotCrossIt) {
    frame(1312, 1024, 1000);
    const int rad = 5, right = 1312 - rad - 1, bottom = 1024 - rad - 1;
    for (auto [x, y] : {std::pair{rad, rad}, std::pair{right, bottom}}) {
        set(x, y, 9000);
        EXPECT_EQ(centre_at(x, y, rad), 0);
        EXPECT_EQ(result(), (Centre{x, 0, y, 0}));
    }
    mark();
    for (auto [x, y] : {std::pair{rad - 1, 100}, std::pair{100, rad - 1}, std::pair{right + 1, 100},
                        std::pair{100, bottom + 1}})
        EXPECT_EQ(centre_at(x, y, rad), 1) << x << "," << y;
    EXPECT_EQ(centre_at(500, 500, CENTROID_MAX_RADIUS + 1), 1); // would overrun vals1
    EXPECT_EQ(centre_at(500, 500, -1), 1);
    EXPECT_EQ(result(), kMarked);
    ASSERT_EQ(ui.boxes.size(), 6u);
    EXPECT_EQ(ui.boxes[5].text, "Find centre failed - outside image area");
    EXPECT_EQ(ui.boxes[5].caption, kCaption);

    guide.tracking = 1; // the guide frame is 128 wide whatever the image
    frame(128, 128, 1000);
    set(123, 60, 9000);
    EXPECT_EQ(centre_at(123, 60, 4), 0);
    EXPECT_EQ(result(), (Centre{123, 0, 60, 0})); // tracking alone still rounds
    EXPECT_EQ(centre_at(124, 60, 4), 1);
}

TEST_F(CentroidTest, FullSizeBoxSumsDoNotWrap) {
    // 59 bright columns on the right of a 129-pixel box: the column-weighted
    // sum is about 2e10, far past 32 bits.
    frame(1312, 1024, 0);
    const int rad = CENTROID_MAX_RADIUS;
    for (int y = 200 - rad; y <= 200 + rad; ++y)
        for (int x = 200 - rad + 70; x <= 200 + rad; ++x) set(x, y, 30000);
    EXPECT_EQ(centre_at(200, 200, rad), 0);
    EXPECT_EQ(result(), (Centre{200 - rad + 99, 0, 200, 0}));
}

TEST_F(CentroidTest, StarIsFoundInTenthsWhileGuidingAndToWholePixelsWhenPicking) {
    frame(128, 128, 1000);
    star(100.35, 60.75);
    guide.guiding = 1;
    EXPECT_EQ(centre_at(97, 64, 8), 0);
    EXPECT_EQ(result(), (Centre{100, 3, 60, 7}));

    guide.guiding = 0; // full frame from here on
    frame(1312, 1024, 1000);
    star(100.35, 60.75);
    EXPECT_EQ(centre_at(97, 64, 8), 0);
    EXPECT_EQ(result(), (Centre{100, 0, 61, 0}));
    guide.selfguiding = 1;
    EXPECT_EQ(centre_at(103, 57, 8), 0);
    EXPECT_EQ(result(), (Centre{100, 3, 60, 7}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CentroidTest, IgnoreSmallRoundsEvenWhileGuiding) {
    guide.guiding = 1;
    frame(128, 128, 1000);
    set(60, 60, 1268); // box column 3.474, row just under 3
    set(61, 60, 1244);
    EXPECT_EQ(centre_at(60, 60, 3), 0);
    EXPECT_EQ(result(), (Centre{60, 4, 59, 9}));
    cfg.ignore_small = 1;
    EXPECT_EQ(centre_at(60, 60, 3), 0);
    EXPECT_EQ(result(), (Centre{60, 0, 60, 0}));
}

TEST_F(CentroidTest, SingleBrightPixelIsPulledTowardTheBoxCorner) {
    guide.guiding = 1;
    frame(128, 128, 1000);
    set(60, 60, 5000);
    EXPECT_EQ(centre_at(60, 60, 6), 0);
    EXPECT_EQ(result(), (Centre{59, 9, 59, 9}));
}

TEST_F(CentroidTest, GuiderUsesItsOwnFrameAndMeasuresEvenAnEmptyBoxSilently) {
    disp.width1 = 200; // not the guider's geometry
    frame(500, 290, 1000);
    EXPECT_EQ(guider_find_centre(100, 100, img.data(), 5), 0);
    EXPECT_EQ(guider_result(), (Centre{96, 0, 96, 0})); // only the sums' starting 1: box (1, 1)
    set(495, 285, 9000);
    EXPECT_EQ(guider_find_centre(495, 285, img.data(), 4), 0);
    EXPECT_EQ(guider_result(), (Centre{494, 9, 284, 9}));
    EXPECT_TRUE(ui.boxes.empty());

    EXPECT_EQ(guider_find_centre(496, 200, img.data(), 4), 1);
    EXPECT_EQ(guider_find_centre(200, 286, img.data(), 4), 1);
    EXPECT_EQ(guider_find_centre(200, 140, img.data(), CENTROID_MAX_RADIUS + 1), 1);
    EXPECT_EQ(guider_result(), (Centre{494, 9, 284, 9}));
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[0].caption, "RAV_A4_RED  - Find Centre");
    EXPECT_EQ(result(), (Centre{0, 0, 0, 0}));
}

TEST_F(CentroidTest, GuiderBoostsFaintStarsAndClipsTheirTop) {
    // Below a peak of 17000 a value of 16384 or more is set to 65535 before
    // the fourfold boost, so it outweighs a 16383 neighbour four times over.
    frame(500, 290, 0);
    set(48, 50, 16383);
    set(52, 50, 16384);
    EXPECT_EQ(guider_find_centre(50, 50, img.data(), 3), 0);
    EXPECT_EQ(guider_result(), (Centre{51, 2, 49, 9}));
    set(52, 50, 17000); // bright enough: plain values, nearly equal weights
    EXPECT_EQ(guider_find_centre(50, 50, img.data(), 3), 0);
    EXPECT_EQ(guider_result(), (Centre{50, 0, 49, 9}));
}

TEST_F(CentroidTest, GuideFrameStaysInsideTheImageAndCompensatesReadoutAlignment) {
    auto place = [](int x, int y) {
        guide.pick_xcent = x, guide.pick_ycent = y;
        calc_guideframe();
        return std::array{guide.focus_x, guide.focus_y, guide.xcent, guide.ycent};
    };
    guide.xcent = 33, guide.ycent = 44;
    EXPECT_EQ(place(10, 10), (std::array{0, 0, 10, 10}));
    EXPECT_EQ(guide.old_xcent, 33);
    EXPECT_EQ(guide.old_ycent, 44);
    EXPECT_EQ(guide.tracking, 1);
    EXPECT_TRUE(ui.boxes.empty());

    // Odd column origin; row origin 6 past a multiple of ten.
    EXPECT_EQ(place(201, 300), (std::array{137, 236, 65, 58}));
    EXPECT_EQ(guide.drawx, 65);
    EXPECT_EQ(guide.drawy, 58);
    EXPECT_EQ(place(1300, 1000), (std::array{1184, 896, 116, 98}));

    disp.width1 = 656, disp.height1 = 512; // binned: half-size window
    disp.focus_width1 = disp.focus_height1 = 32;
    EXPECT_EQ(place(32, 480), (std::array{0, 448, 32, 24}));

    cfg.Debug_Mode = 1;
    disp.width1 = 1312, disp.height1 = 1024;
    disp.focus_width1 = disp.focus_height1 = 64;
    place(201, 300);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "xcent=   65, ycent =    58, focus_x =   137, focus_y =   236,  "
                                "xoffset =     1, yoffset =     6");
    EXPECT_EQ(ui.boxes[0].caption, "Nocteris");
}

TEST_F(CentroidTest, PickSnapMovesPointAndCursorOntoTheStar) {
    frame(1312, 1024, 1000);
    star(100.35, 60.75);
    guide.cur_rad = 8;
    ui.cursor = {500, 400};
    platform::Point p{96, 57};
    EXPECT_TRUE(snap_to_star(p, img.data()));
    EXPECT_EQ(std::pair(p.x, p.y), std::pair(100, 61));
    EXPECT_EQ(std::pair(ui.cursor.x, ui.cursor.y), std::pair(504, 404));
    EXPECT_EQ(guide.picked_star, 1);

    platform::Point edge{1312 - 8, 57}; // no pass may run this close to the edge
    EXPECT_TRUE(snap_to_star(edge, img.data()));
    EXPECT_EQ(edge.x, 1312 - 8);
    EXPECT_TRUE(ui.boxes.empty());

    platform::Point left{3, 57}; // a failing pass withdraws the pick
    EXPECT_FALSE(snap_to_star(left, img.data()));
    EXPECT_EQ(guide.picked_star, 0);
    EXPECT_EQ(left.x, 3);
    EXPECT_EQ(ui.cursor.x, 504);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(CentroidTest, SnapsOnEmptySkyKeepThePointInsteadOfAnOlderStar) {
    frame(1312, 1024, 1000);
    star(100.35, 60.75);
    guide.cur_rad = 8;
    platform::Point p{96, 57};
    ASSERT_TRUE(snap_to_star(p, img.data())); // the results now hold this star

    platform::Point sky{700, 500};
    EXPECT_FALSE(snap_to_star(sky, img.data()));
    EXPECT_EQ(std::pair(sky.x, sky.y), std::pair(700, 500));
    EXPECT_EQ(guide.picked_star, 0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, kNothing);

    platform::Point merge;
    search_centre(700, 500, img.data(), 8, merge);
    EXPECT_EQ(std::pair(merge.x, merge.y), std::pair(700, 500));
}

TEST_F(CentroidTest, SearchCentreConvergesOverItsPasses) {
    // The first box only catches the star's edge; the second recentres on it.
    frame(1312, 1024, 1000);
    star(100.35, 60.75, 2.0);
    ui.cursor = {300, 300};
    platform::Point p;
    search_centre(92, 53, img.data(), 8, p);
    EXPECT_EQ(std::pair(p.x, p.y), std::pair(100, 61));
    EXPECT_EQ(std::pair(ui.cursor.x, ui.cursor.y), std::pair(308, 308));
    EXPECT_EQ(guide.picked_star, 0); // not picking

    guide.pick_star = 1;
    search_centre(100, 61, img.data(), 8, p);
    EXPECT_EQ(guide.picked_star, 1);
}
