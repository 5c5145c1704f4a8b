// Guiding closed on the simulated sky: the training measures the mount, the
// loop holds the star against drift, and a press stops it with everything
// put back.
#include "guide_sim.h"

#include <filesystem>

using namespace guidetest;

namespace {

using GuideLoopTest = GuideSim;

TEST_F(GuideLoopTest, TrainingFindsTheGuideRateAndGuidingHoldsTheStar) {
    sim::Config c;
    c.mount.pe_amplitude = 0;
    c.mount.backlash_dec = 0;
    begin(c);
    CountingHost host;
    std::filesystem::create_directories(autosave);
    GuideLog tlog;
    ASSERT_EQ(CmTrainGuide(host, &tlog), GUIDE_DONE);
    tlog.close();
    // The log names its run and holds the eight steps and the result.
    EXPECT_EQ(tlog.path().rfind(autosave + "/guide_", 0), 0u) << tlog.path();
    const std::string text = read_file(tlog.path());
    EXPECT_NE(text.find("north 1,n,1000,"), std::string::npos) << text;
    EXPECT_NE(text.find("west 2,w,1000,"), std::string::npos);
    EXPECT_NE(text.find("# slewx = "), std::string::npos);
    EXPECT_NEAR(cfg.slewy, dec_rate(), 0.15 * dec_rate() + 1);
    EXPECT_NEAR(cfg.slewx, ra_rate(), 0.15 * ra_rate() + 1);
    // No play in the gears: the star comes back where the window put it.
    EXPECT_LE(cfg.backlashx, 1);
    EXPECT_LE(cfg.backlashy, 1);
    EXPECT_EQ(guide.picked_star, 0); // a new pick before guiding

    pick();
    mark();
    host.limit = 60;
    double sum2 = 0;
    int n = 0;
    host.each = [&] {
        double x, y;
        true_offset(&x, &y);
        sum2 += x * x + y * y;
        ++n;
    };
    ASSERT_EQ(CmStartGuide(host), GUIDE_DONE);
    EXPECT_EQ(host.opened, 1);
    EXPECT_EQ(host.closed, 1);
    EXPECT_GE(host.frames, 60);
    EXPECT_LT(std::sqrt(sum2 / n), 1.0);
    EXPECT_EQ(guide.focus_x, 312);
    EXPECT_EQ(guide.guiding, 0);
    EXPECT_TRUE(ui.boxes.size() == 1) << ui.boxes.size(); // the training's result
}

} // namespace

TEST_F(GuideLoopTest, TheGuideWindowShowsEachStarWhereThePlacementExpectsIt) {
    sim::Config c;
    c.mount.pe_amplitude = 0;
    begin(c);
    std::vector<std::uint16_t> px(image, image + disp.intlength);
    int checked = 0;
    for (const auto& s : simtest::find_stars(px, disp.width1, disp.height1)) {
        if (s.x < 80 || s.y < 80 || s.x > disp.width1 - 80 || s.y > disp.height1 - 80) continue;
        if (s.value < 500) continue;
        guide.pick_xcent = s.x;
        guide.pick_ycent = s.y;
        calc_guideframe();
        guide.tracking = 0;
        if (guide.focus_y % 10 == 0) continue; // no shift to see
        ASSERT_TRUE(QV_camera_guide());
        // The brightest pixel of the window is the star.
        int bx = 0, by = 0;
        for (int i = 0; i < 128 * 128; ++i)
            if (image[i] > image[by * 128 + bx]) bx = i % 128, by = i / 128;
        EXPECT_NEAR(bx, guide.xcent, 1) << "focus " << guide.focus_x << "," << guide.focus_y;
        EXPECT_NEAR(by, guide.ycent, 1) << "focus " << guide.focus_x << "," << guide.focus_y;
        ++checked;
    }
    EXPECT_GE(checked, 2);
}
