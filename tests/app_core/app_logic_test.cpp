#include "acquisition/acquisition_state.h"
#include "analysis/analysis_state.h"
#include "app/app_logic.h"
#include "devices/camera_models.h"
#include "display/image_store.h"
#include "platform/messages.h"
#include "settings/settings.h"
#include "star/star_state.h"
#include "support/test_env.h"

#include <cstdlib>

class AppLogicTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        nocteris_camera(); // model 2: 1392 x 1040
    }

    platform::Point click(int x, int y) {
        platform::Point p{x, y};
        last = left_button_up(p);
        return p;
    }

    // A bright star on a flat background, centred on (cx, cy).
    void put_star(int cx, int cy) {
        for (int i = 0; i < disp.intlength; ++i) image_int[i] = 1000;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                image_int[(cy + dy) * disp.width1 + cx + dx] =
                    static_cast<unsigned short>(30000 - 5000 * (dx * dx + dy * dy));
    }

    ClickResult last = ClickResult::Ignored;
};

TEST_F(AppLogicTest, CameraGeometryFollowsTheModelAndKeepsItForUnlistedCodes) {
    EXPECT_EQ(disp.width1, 1392);
    EXPECT_EQ(disp.height1, 1040);
    EXPECT_EQ(disp.intlength, 1392 * 1040);
    EXPECT_EQ(disp.divisor, 8);
    EXPECT_EQ(guide.focus_x, 1392 / 2 - 64);
    EXPECT_EQ(guide.focus_y, 1040 / 2 - 64);
    cam.cam_type = 8;
    nocteris_camera();
    EXPECT_EQ(disp.width1, 2456);
    EXPECT_EQ(disp.writefile16, 2456 * 2064 / 16);
    cam.cam_type = 3;
    nocteris_camera();
    EXPECT_EQ(disp.width1, 2456) << "code 3 keeps the previous sensor";
}

TEST_F(AppLogicTest, StartupPatternFillsRowsWithTruncatedRamp) {
    startup_pattern();
    const int w = disp.width1;
    EXPECT_EQ(image_int[0], 0);
    EXPECT_EQ(image_int[300 * w + 17], static_cast<unsigned short>(300 * 225));
    EXPECT_EQ(trial_int[1000 * w + w - 1], static_cast<unsigned short>(1000 * 225));
    EXPECT_EQ(dark_int[500 * w], static_cast<unsigned short>(500 * 225));
    EXPECT_EQ(save_int[500 * w], 0);
    EXPECT_EQ(image_guider_int[289 * 500 + 499], 289 * 200);
    EXPECT_EQ(guider_darkframe_int[10], 0);
}

TEST_F(AppLogicTest, FocusFrameClickClampsAndReportsTheCentre) {
    struct Case {
        int x, y, binned, fx, fy;
    } cases[] = {
        {10, 100, 0, 3, 1},     // X < 67, Y = 50 < 65
        {800, 300, 0, 686, 86}, // X > 686; Y = 150 → 86
        {686, 452, 0, 622, 162}, {700, 440, 0, 686, 156}, {400, 600, 0, 336, 226}, // Y = 300 > 226
        {400, 300, 1, 686, 226}, // binned doubles both
    };
    for (const auto& c : cases) {
        ui.boxes.clear();
        disp.binned = c.binned;
        cm_focus_frame();
        click(c.x, c.y);
        EXPECT_EQ(guide.focus_x, c.fx) << c.x;
        EXPECT_EQ(guide.focus_y, c.fy) << c.y;
        EXPECT_EQ(guide.focus_frame, 0);
        ASSERT_EQ(ui.boxes.size(), 1u);
        char want[64];
        std::snprintf(want, sizeof want, "x position = %5d\ny position = %5d", c.fx + 64,
                      (c.fy + 64) * 2);
        EXPECT_EQ(ui.boxes[0].text, want);
    }
}

TEST_F(AppLogicTest, ClicksOutsideTheImageAreRefusedAndKeepTheMode) {
    cm_pick_star(0);
    ASSERT_EQ(guide.pick_star, 1);
    ASSERT_EQ(guide.cur_rad, 8);
    // Pick needs cur_rad + 3 pixels of margin.
    click(10, 500);
    EXPECT_EQ(last, ClickResult::Refused);
    EXPECT_EQ(ui.boxes.back().text,
              "Sorry, outside Image area - try again\n\nx position =    10\ny position =   500");
    EXPECT_EQ(guide.pick_star, 1);
    click(500, disp.height2 - 10);
    EXPECT_EQ(last, ClickResult::Refused);
    // Clicks with no mode do nothing at all.
    cm_pick_star(0);
    ui.boxes.clear();
    click(0, 0);
    EXPECT_EQ(last, ClickResult::Ignored);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AppLogicTest, PickSnapsToTheStarAndDoublesOnABinnedImage) {
    put_star(400, 300);
    cm_pick_star(1);
    EXPECT_EQ(ui.boxes.front().text, message_text(35)) << "Fit warns, and goes on";
    ui.cursor = {1000, 1000};
    platform::Point p = click(404, 297);
    EXPECT_EQ(last, ClickResult::RepaintImage);
    EXPECT_EQ(guide.picked_star, 1);
    EXPECT_EQ(guide.pick_star, 0);
    EXPECT_EQ(guide.pick_xcent, 400);
    EXPECT_EQ(guide.pick_ycent, 300);
    EXPECT_EQ(p.x, 400);
    EXPECT_EQ(p.y, 300);
    EXPECT_EQ(ui.cursor.x, 996) << "the cursor follows the snap";
    EXPECT_EQ(ui.cursor.y, 1003);
    EXPECT_EQ(guide.pick_small, 0);

    disp.binned = 1;
    cm_pick_star(0);
    click(401, 301);
    EXPECT_EQ(guide.pick_xcent, 800);
    EXPECT_EQ(guide.pick_ycent, 600);
    EXPECT_EQ(guide.pick_small, 1);
    EXPECT_EQ(guide.pick_star_small, 1);
    EXPECT_EQ(ui.boxes.back().text, "x position =   800\ny position =   600");
}

TEST_F(AppLogicTest, FailedCentroidEndsTheClickButKeepsPickMode) {
    // A saturated flat box is overexposed: the centroid fails.
    for (int i = 0; i < disp.intlength; ++i) image_int[i] = 65200;
    guide.picked_star = 1;
    cm_pick_star(0);
    click(500, 500);
    EXPECT_EQ(last, ClickResult::Done);
    EXPECT_EQ(guide.picked_star, 0);
    EXPECT_EQ(guide.pick_star, 1);
}

TEST_F(AppLogicTest, PressDuringALoopStopsEverythingItShould) {
    seq.series_exposure = 1;
    seq.exposure = 9000;
    seq.exposure_save = 4000;
    seq.cont_work = seq.series_work = 1;
    guide.guiding = 1;
    cfg.continuous = 1;
    guide.tracking = 1;
    seq.ticks = 777;
    seq.endticks = 99999;
    guide.selfguiding = 1;
    seq.focus_stretch_only = 1;
    guide.focus_x = 10;
    guide.focus_y = 20;
    guide.selfguide_info_open = 1;

    clear_messages(); // nothing pressed: nothing changes
    EXPECT_EQ(seq.cont_work, 1);
    EXPECT_EQ(ui.beeps, 0);

    ui.presses.push_back(1);
    clear_messages();
    EXPECT_EQ(seq.no_images, 1);
    EXPECT_EQ(seq.end_loop, 1);
    EXPECT_EQ(seq.exposure, 4000);
    EXPECT_EQ(seq.cont_work + seq.series_work + guide.guiding + guide.tracking, 0);
    EXPECT_EQ(cfg.continuous, 0) << "guiding was on";
    EXPECT_EQ(seq.endticks, 777u);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(guide.focus_x, 312);
    EXPECT_EQ(guide.focus_y, 65);
    EXPECT_EQ(guide.selfguiding + seq.focus_stretch_only, 0);
    EXPECT_EQ(guide.selfguide_info_open, 0);

    // Without guiding, continuous mode stays as it was.
    cfg.continuous = 1;
    seq.series_exposure = 0;
    seq.exposure = 9000;
    ui.presses.push_back(2);
    clear_messages();
    EXPECT_EQ(cfg.continuous, 1);
    EXPECT_EQ(seq.exposure, 9000);
}

TEST_F(AppLogicTest, PhotometryClickSumsTheApertureIntoTheChosenSlot) {
    for (int i = 0; i < disp.intlength; ++i) image_int[i] = 2;
    image_int[100 * disp.width1 + 100] = 1000;
    ana.photometry = 1;
    guide.cur_rad = 4;
    click(100, 100);
    EXPECT_EQ(last, ClickResult::Photometry);
    EXPECT_EQ(ana.obj_val, 80 * 2 + 1000);
    ana.ph_object = 'b';
    click(200, 200);
    EXPECT_EQ(ana.back_val, 81 * 2);
    EXPECT_EQ(ana.back_x, 200);
    platform::Point moved{1, 5};
    EXPECT_FALSE(mouse_move(moved)) << "the border is outside the move area";
    EXPECT_TRUE(mouse_move({100, 100}));
    EXPECT_EQ(ana.mast_val, 1000);
}

TEST_F(AppLogicTest, PhotometrySnapThatEndsAtTheEdgeIsRefused) {
    // A star against the left edge: the click is inside, the snap ends three
    // pixels from the edge, where the 9 x 9 aperture would leave the image.
    for (int i = 0; i < disp.intlength; ++i) image_int[i] = 1000;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -3; dx <= 4; ++dx)
            image_int[(100 + dy) * disp.width1 + 3 + dx] =
                static_cast<unsigned short>(20000 - 3000 * std::abs(dx));
    ana.photometry = 1;
    guide.cur_rad = 4;
    platform::Point p{10, 100};
    EXPECT_EQ(right_button_up(p), ClickResult::Refused);
    EXPECT_EQ(p.x, 3);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().text.rfind("Sorry, outside Image area - try again", 0), 0u);
    EXPECT_EQ(ana.obj_val, 0);
    EXPECT_EQ(ana.obj_x, 0);
    EXPECT_EQ(ana.photometry, 1) << "the mode stays for the next click";
}
