// The camera control dialog's rules on the globals, and its exposure passes
// against the simulated camera.
#include "acq_sim.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/camera_controls.h"
#include "acquisition/sequence.h"
#include "display/display_pipeline.h"
#include "display/image_store.h"
#include "platform/command_ids.h"
#include "platform/host_path.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

using namespace acqtest;
using A = ScrollAction;

namespace {

class CameraControlsTest : public NocterisTest {
  protected:
    void SetUp() override { NocterisTest::SetUp(); }
};

// A Gaussian star on a flat background, in the current geometry.
void draw_star(int cx, int cy, int peak) {
    for (int y = 0; y < disp.height1; ++y)
        for (int x = 0; x < disp.width1; ++x) {
            const double r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            image_int[y * disp.width1 + x] =
                static_cast<unsigned short>(1000 + peak * std::exp(-r2 / (2 * 2.0 * 2.0)));
        }
}

} // namespace

TEST_F(CameraControlsTest, RangeButtonsSetTheValueAndTheArrowLimit) {
    struct Case {
        char range;
        int value;
        int max;
    };
    for (const Case& c : {Case{'q', 5, 1000}, Case{'h', 5, 500}, Case{'t', 1, 100},
                          Case{'s', 1, 300}, Case{'m', 1, 90}}) {
        cfg.exp_value = 77;
        set_exposure_range(c.range);
        EXPECT_EQ(cfg.exp_range, c.range);
        EXPECT_EQ(cfg.exp_value, c.value) << c.range;
        EXPECT_EQ(acq.max_exp, c.max) << c.range;
    }

    // The arrows stop at max_exp and at min_exp.
    set_exposure_range('h');
    cfg.exp_value = 499;
    EXPECT_TRUE(scroll_exposure(A::LineRight));
    EXPECT_EQ(cfg.exp_value, 500);
    EXPECT_FALSE(scroll_exposure(A::LineRight));
    EXPECT_FALSE(scroll_exposure(A::PageRight));
    EXPECT_EQ(cfg.exp_value, 500);
    cfg.exp_value = 2;
    EXPECT_TRUE(scroll_exposure(A::LineLeft));
    EXPECT_FALSE(scroll_exposure(A::LineLeft));
    EXPECT_FALSE(scroll_exposure(A::Thumb, 0));
    EXPECT_EQ(cfg.exp_value, 1);

    // Opening the dialog takes the limit of a range stored in the settings,
    // minutes included, and forgets the last pick.
    cfg.exp_range = 'm';
    guide.picked_star = 1;
    acq.stopit = 0;
    acq.max_value = 900;
    camera_dialog_init();
    EXPECT_EQ(acq.max_exp, 90);
    EXPECT_EQ(guide.picked_star, 0);
    EXPECT_EQ(acq.stopit, 1);
    EXPECT_EQ(acq.max_value, 0);
    cfg.exp_range = '?'; // a damaged settings file: counted as seconds
    camera_dialog_init();
    EXPECT_EQ(acq.max_exp, 300);
}

TEST_F(CameraControlsTest, TypedValuesMustStayBelowTheLimitButTakePhotoTakesAnyPositiveValue) {
    set_exposure_range('h');
    EXPECT_FALSE(take_typed_exposure("500"));
    EXPECT_EQ(cfg.exp_value, 5);
    EXPECT_TRUE(take_typed_exposure("499"));
    EXPECT_EQ(cfg.exp_value, 499);
    for (const char* bad : {"0", "-3", "", "abc", "12abc", "99999999999999999999"})
        EXPECT_FALSE(take_typed_exposure(bad)) << bad;
    EXPECT_TRUE(take_typed_exposure(" 12 "));
    EXPECT_EQ(cfg.exp_value, 12);

    disp.bin_display_quad = 1;
    EXPECT_TRUE(take_photo("500"));
    EXPECT_EQ(cfg.exp_value, 500);
    EXPECT_EQ(disp.bin_display_quad, 0);
    for (const char* bad : {"0", "", "none", "-5"}) {
        EXPECT_FALSE(take_photo(bad)) << bad;
        EXPECT_EQ(cfg.exp_value, 500) << bad;
    }
    // The sequence counts milliseconds in an int: 40,000 minutes do not fit.
    set_exposure_range('m');
    EXPECT_FALSE(take_photo("40000"));
    EXPECT_EQ(cfg.exp_value, 1);
    EXPECT_TRUE(take_photo("35000"));
    EXPECT_EQ(cfg.exp_value, 35000);
}

TEST_F(CameraControlsTest, CountDelayAndStretchBarsStayInTheirRanges) {
    seq.no_images = 1;
    EXPECT_FALSE(scroll_no_images(A::LineLeft));
    EXPECT_FALSE(scroll_no_images(A::PageLeft));
    int steps = 0;
    while (scroll_no_images(A::LineRight)) ++steps;
    EXPECT_EQ(steps, 98);
    EXPECT_EQ(seq.no_images, 99);
    EXPECT_FALSE(scroll_no_images(A::Thumb, 150));
    EXPECT_TRUE(scroll_no_images(A::PageLeft));
    EXPECT_EQ(seq.no_images, 89);

    cfg.continuous_delay = 0;
    EXPECT_FALSE(scroll_continuous_delay(A::LineLeft));
    EXPECT_TRUE(scroll_continuous_delay(A::PageRight));
    EXPECT_TRUE(scroll_continuous_delay(A::PageRight));
    EXPECT_EQ(cfg.continuous_delay, 20);
    EXPECT_FALSE(scroll_continuous_delay(A::LineRight));

    // The stretch display window allows up to 50; this bar starts from where
    // it shows such a factor (its top).
    disp.max_stretch_mult = 25.0;
    EXPECT_EQ(dialog_stretch_position(), 10);
    EXPECT_FALSE(scroll_dialog_stretch(A::LineRight));
    EXPECT_EQ(disp.max_stretch_mult, 25.0);
    EXPECT_TRUE(scroll_dialog_stretch(A::LineLeft));
    EXPECT_EQ(disp.max_stretch_mult, 9.0);
    EXPECT_TRUE(scroll_dialog_stretch(A::Thumb, 0));
    EXPECT_EQ(disp.max_stretch_mult, 2.0);
    EXPECT_FALSE(scroll_dialog_stretch(A::LineLeft));
}

TEST_F(CameraControlsTest, SeriesExposureSwitchesSavingOnButNotOff) {
    cfg.auto_save_fits = 0;
    toggle_series_exposure();
    EXPECT_EQ(seq.series_exposure, 1);
    EXPECT_EQ(cfg.auto_save_fits, 1);
    toggle_series_exposure();
    EXPECT_EQ(seq.series_exposure, 0);
    EXPECT_EQ(cfg.auto_save_fits, 1);
}

TEST_F(CameraControlsTest, CameraModeText) {
    struct Case {
        int continuous, selfguiding, images;
        const char* text;
    };
    for (const Case& c : {Case{0, 0, 1, "Single Image"}, Case{0, 0, 3, "Auto Merging"},
                          Case{1, 0, 1, "Continuous Imaging"}, Case{1, 0, 4, "Series Imaging"},
                          Case{0, 1, 1, "Selfguide Next Image"}}) {
        cfg.continuous = c.continuous;
        guide.selfguiding = c.selfguiding;
        seq.no_images = c.images;
        EXPECT_STREQ(camera_mode_text(), c.text);
    }
}

TEST_F(CameraControlsTest, PreviewRefusedForMinutesAndLongValues) {
    cfg.exp_range = 'm';
    cfg.exp_value = 1;
    EXPECT_FALSE(begin_preview());
    EXPECT_EQ(acq.stopit, 1);
    EXPECT_FALSE(take_guide_darkframe());
    cfg.exp_range = 's';
    for (int v : {100, 0}) {
        cfg.exp_value = v;
        EXPECT_FALSE(preview_allowed()) << v;
    }
    EXPECT_EQ(disp.focussed, 0);

    // A short preview leaves interlaced high resolution; a long one keeps it.
    cfg.highres_intl = 1;
    cfg.exp_value = 5;
    EXPECT_TRUE(begin_preview());
    EXPECT_EQ(cfg.highres_intl, 1);
    cfg.exp_range = 'h';
    cfg.exp_value = 99;
    image = trial;
    disp.focus_mode = 1;
    EXPECT_TRUE(begin_preview());
    EXPECT_EQ(cfg.highres_intl, 0);
    EXPECT_EQ(cfg.highres_nonintl, 1);
    EXPECT_EQ(acq.stopit, 0);
    EXPECT_EQ(disp.focussed, 1);
    EXPECT_EQ(disp.focus_mode, 0);
    EXPECT_EQ(image, image_int);
}

TEST_F(CameraControlsTest, GuideDarkFrameTextAndApplySwitch) {
    struct Case {
        char range;
        int value;
        const char* text;
    };
    for (const Case& c : {Case{'h', 5, "05 hundredth "}, Case{'t', 12, "12 tenth "},
                          Case{'q', 7, "07 thousandth "}, Case{'s', 3, "03 second "}}) {
        cfg.exp_range = c.range;
        cfg.exp_value = c.value;
        make_darkframe_base_text();
        EXPECT_STREQ(acq.darkframe_base_text, c.text);
    }

    EXPECT_STREQ(guide_dark_status_text(), "No Dark Frame has been taken");
    EXPECT_FALSE(toggle_apply_darkframe());
    EXPECT_EQ(acq.use_darkframe, 0);
    acq.guider_darkframe_loaded = 1;
    EXPECT_STREQ(guide_dark_status_text(), "03 second darkframe available");
    EXPECT_TRUE(toggle_apply_darkframe());
    EXPECT_STREQ(guide_dark_status_text(), "03 second darkframe being used");
    EXPECT_TRUE(toggle_apply_darkframe());
    EXPECT_EQ(acq.use_darkframe, 0);
}

TEST_F(CameraControlsTest, PickOnTheQuarterScalePicture) {
    set_image_size(400, 320);
    disp.binned = 0;
    draw_star(201, 161, 20000);
    cfg.star_mask = 8;
    ui.cursor = {100, 100};

    EXPECT_EQ(dialog_pick_star(50, 40), PickResult::NotArmed);
    EXPECT_TRUE(ui.boxes.empty());

    arm_pick_star();
    EXPECT_EQ(guide.cur_rad, 8);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Cross);
    // The search box must stay inside the picture: 8..92 across, 8..72 down.
    for (auto [x, y] : {std::pair{7, 40}, std::pair{93, 40}, std::pair{50, 73}}) {
        EXPECT_EQ(dialog_pick_star(x, y), PickResult::Outside);
        EXPECT_EQ(ui.boxes.back().text, "Sorry, outside Image area - please try again");
    }
    EXPECT_EQ(guide.pick_star, 1); // still armed

    ui.boxes.clear();
    EXPECT_EQ(dialog_pick_star(51, 41), PickResult::Picked); // (204, 164) on the image
    EXPECT_EQ(guide.pick_xcent, 201);
    EXPECT_EQ(guide.pick_ycent, 161);
    EXPECT_EQ(guide.picked_star, 1);
    EXPECT_EQ(guide.pick_star, 0);
    EXPECT_EQ(guide.centre_it, 0);
    EXPECT_EQ(guide.pick_small, 0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "x position =   201\ny position =   161");
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);
    // The cursor ends on the star: 201/4 - 204/4 and 161/4 - 164/4.
    EXPECT_EQ(ui.cursor.x, 100 - 1);
    EXPECT_EQ(ui.cursor.y, 100 - 1);

    EXPECT_EQ(picture_pixel_value(50, 40), image_int[160 * 400 + 200]);
    EXPECT_EQ(picture_pixel_value(100, 10), -1);
    EXPECT_EQ(picture_pixel_value(-1, 10), -1);
}

TEST_F(CameraControlsTest, APickThatFindsNoCentreEnds) {
    set_image_size(400, 320);
    // Flat at the top of the scale: nothing stands above the background.
    std::fill(image_int, image_int + disp.intlength, static_cast<unsigned short>(65520));
    guide.picked_star = 1;
    arm_pick_star();
    EXPECT_EQ(dialog_pick_star(50, 40), PickResult::Lost);
    EXPECT_EQ(guide.picked_star, 0);
    EXPECT_EQ(guide.pick_star, 0);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_NE(ui.boxes.back().text.find("Overexposed"), std::string::npos);
}

using CameraPassTest = AcqSim;

TEST_F(CameraPassTest, PreviewPassWritesThePictureAndDarkFrameStaysInItsBuffer) {
    start();
    std::filesystem::create_directories(autosave);
    cfg.exp_range = 'h';
    cfg.exp_value = 5;
    ASSERT_TRUE(begin_preview());
    std::fill(image_int, image_int + disp.intlength, static_cast<unsigned short>(0));
    EXPECT_EQ(camera_dialog_pass(), BMP_OK);
    EXPECT_GT(acq.max_value, 0);
    EXPECT_EQ(acq.max_value, acq.max_focus_val);
    EXPECT_TRUE(std::filesystem::exists(platform::host_path(disp.BMPname_main)));
    EXPECT_TRUE(ui.boxes.empty());

    // The guide dark frame buffer holds less than a full frame.
    ASSERT_GT(disp.intlength, GUIDER_BUFFER_PIXELS);
    acq.use_darkframe = 1;
    ASSERT_TRUE(take_guide_darkframe());
    EXPECT_TRUE(std::equal(image_int, image_int + GUIDER_BUFFER_PIXELS, guider_darkframe));
    EXPECT_EQ(acq.guider_darkframe_loaded, 1);
    EXPECT_EQ(acq.taking_darkframe, 0);
    EXPECT_STREQ(acq.darkframe_base_text, "05 hundredth ");
}

TEST_F(CameraControlsTest, AutoMergingWithoutAStarIsRefusedAtTakePhoto) {
    cfg.continuous = 0;
    guide.selfguiding = 0;
    acq.slew_sum_alt = 0;
    guide.picked_star = 0;
    seq.no_images = 1;
    EXPECT_EQ(take_photo_refusal(), nullptr); // a single image needs no star
    seq.no_images = 4;
    EXPECT_STREQ(take_photo_refusal(), AUTO_MERGE_NEEDS_STAR);
    guide.picked_star = 1;
    EXPECT_EQ(take_photo_refusal(), nullptr);
    guide.picked_star = 0;
    acq.slew_sum_alt = 1; // profile matching finds its own detail
    EXPECT_EQ(take_photo_refusal(), nullptr);
    acq.slew_sum_alt = 0;
    cfg.continuous = 1; // a series is not merged
    EXPECT_EQ(take_photo_refusal(), nullptr);
}

TEST_F(AcqSim, AutoguiderCameraButtonHandsOverOnlyWithADriveAndNoGuiderGuiding) {
    start();
    struct Host : SequenceHost {
        bool run_dialog() override {
            handed = exit_autoguider_cam();
            return false; // the dialog closed with 2, not through "Take Photo"
        }
        bool handed = false;
    } host;

    guide.guider_guiding_standalone = 1;
    QV_Control(host);
    EXPECT_FALSE(host.handed);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().text, "Sorry, already guiding with external camera");
    guide.guider_guiding_standalone = 0;
    cfg.telescope = 'n';
    QV_Control(host);
    EXPECT_EQ(ui.boxes.back().text, NO_DRIVE_TEXT);
    const auto handovers = [&] {
        return std::count(ui.commands.begin(), ui.commands.end(), CM_GUIDER_CAMERA);
    };
    EXPECT_EQ(handovers(), 0);

    cfg.telescope = 'l';
    QV_Control(host);
    EXPECT_TRUE(host.handed);
    EXPECT_EQ(disp.bin_display_quad, 0);
    EXPECT_EQ(acq.start_autoguidercam, 0);
    EXPECT_EQ(handovers(), 1);
}
