// The guider camera dialog's rules: exposure, stretch, read-out, dark frame,
// the star pick, the moves and the opening command, against the simulated
// camera where a frame is needed.
#include "../acquisition/acq_sim.h"

#include "acquisition/acquisition_state.h"
#include "devices/serial_link.h"
#include "display/display_pipeline.h"
#include "display/image_store.h"
#include "guiding/guider_controls.h"
#include "guiding/guiding_state.h"
#include "platform/command_ids.h"
#include "platform/host_path.h"
#include "settings/settings.h"
#include "star/star_state.h"
#include "support/serial_traffic.h"
#include "telescope/ao_state.h"
#include "telescope/telescope_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace acqtest;

namespace {

class GuiderControlsTest : public AcqSim {
  protected:
    void SetUp() override {
        AcqSim::SetUp();
        std::filesystem::create_directories(autosave);
    }
    // A star on a flat background of the guider frame.
    static void draw_star(double cx, double cy) {
        for (int y = 0; y < 290; ++y)
            for (int x = 0; x < 500; ++x) {
                const double r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                guider_imageptr[y * 500 + x] =
                    static_cast<unsigned short>(std::lround(20 + 200 * std::exp(-r2 / 6.0)) << 8);
            }
    }
    std::string last_box() const { return ui.boxes.empty() ? "" : ui.boxes.back().text; }
};

} // namespace

TEST_F(GuiderControlsTest, ExposureUnitsSetTheirLimitAndTheArrowsStayInside) {
    guider_dialog_init();
    EXPECT_EQ(acq.stopit, 1);
    EXPECT_EQ(autoguide.max_guider_exp, 10); // seconds at start-up

    guider_set_range('t');
    EXPECT_EQ(autoguide.exp_guider_range, 't');
    EXPECT_EQ(autoguide.exp_guider_value, 5);
    EXPECT_EQ(autoguide.max_guider_exp, 100);
    autoguide.exp_guider_value = 99;
    EXPECT_TRUE(guider_increment_exp());
    EXPECT_FALSE(guider_increment_exp());
    EXPECT_EQ(autoguide.exp_guider_value, 100);

    guider_set_range('h');
    EXPECT_EQ(autoguide.max_guider_exp, 500);
    EXPECT_EQ(autoguide.exp_guider_value, 5);

    guider_set_range('s');
    EXPECT_EQ(autoguide.exp_guider_value, 1);
    EXPECT_EQ(autoguide.max_guider_exp, 10);
    EXPECT_FALSE(guider_decrement_exp());
    EXPECT_EQ(autoguide.exp_guider_value, 1);
    EXPECT_TRUE(guider_increment_exp());
    EXPECT_TRUE(guider_decrement_exp());
}

TEST_F(GuiderControlsTest, StretchBarPagesJumpToItsEnds) {
    disp.guider_stretch = 14;
    EXPECT_TRUE(scroll_guider_stretch(ScrollAction::PageRight));
    EXPECT_EQ(disp.guider_stretch, 50);
    EXPECT_FALSE(scroll_guider_stretch(ScrollAction::LineRight));
    EXPECT_TRUE(scroll_guider_stretch(ScrollAction::LineLeft));
    EXPECT_EQ(disp.guider_stretch, 49);
    EXPECT_TRUE(scroll_guider_stretch(ScrollAction::PageLeft));
    EXPECT_EQ(disp.guider_stretch, 5);
    EXPECT_FALSE(scroll_guider_stretch(ScrollAction::LineLeft));
    EXPECT_TRUE(scroll_guider_stretch(ScrollAction::Thumb, 70));
    EXPECT_EQ(disp.guider_stretch, 50);
    EXPECT_TRUE(scroll_guider_stretch(ScrollAction::Thumb, 2));
    EXPECT_EQ(disp.guider_stretch, 5);
}

TEST_F(GuiderControlsTest, ReadoutCoversTheFrameOnly) {
    for (int i = 0; i < 500 * 290; ++i)
        guider_imageptr[i] = static_cast<unsigned short>(i % 251 << 8);
    autoguide.guiderwrk_x = 7;
    autoguide.guiderwrk_y = 8;
    autoguide.guiderwrk_val = 9;
    // x must exceed 10: the frame's first column is not read out.
    EXPECT_FALSE(guider_mouse_readout(10, 100));
    EXPECT_FALSE(guider_mouse_readout(510, 100));
    EXPECT_FALSE(guider_mouse_readout(100, 45));
    EXPECT_FALSE(guider_mouse_readout(100, 335));
    EXPECT_EQ(autoguide.guiderwrk_x, 7);
    EXPECT_EQ(autoguide.guiderwrk_y, 8);
    EXPECT_EQ(autoguide.guiderwrk_val, 9);

    ASSERT_TRUE(guider_mouse_readout(11, 46));
    EXPECT_EQ(autoguide.guiderwrk_x, 1);
    EXPECT_EQ(autoguide.guiderwrk_y, 1);
    EXPECT_EQ(autoguide.guiderwrk_val, 501 % 251);
    ASSERT_TRUE(guider_mouse_readout(509, 334));
    EXPECT_EQ(autoguide.guiderwrk_x, 499);
    EXPECT_EQ(autoguide.guiderwrk_y, 289);
    EXPECT_EQ(autoguide.guiderwrk_val, (289 * 500 + 499) % 251);
}

TEST_F(GuiderControlsTest, DarkFrameIsKeptAndOfferedOnlyOnceTaken) {
    start();
    guider_toggle_use_darkframe();
    EXPECT_EQ(autoguide.guider_use_darkframe, 0);
    EXPECT_STREQ(guider_darkframe_status(), "No darkframe has been taken");

    guider_set_range('t');
    ASSERT_TRUE(guider_take_darkframe());
    EXPECT_EQ(std::string(guider_darkframe_status()), " 5 tenth darkframe available");
    EXPECT_TRUE(std::equal(guider_imageptr, guider_imageptr + 500 * 290, guider_darkframeptr));
    EXPECT_EQ(autoguide.guider_take_darkframe, 0);
    EXPECT_TRUE(ui.boxes.empty());
    // The main camera's guide dark frame is another one.
    EXPECT_EQ(acq.guider_darkframe_loaded, 0);

    guider_toggle_use_darkframe();
    EXPECT_EQ(std::string(guider_darkframe_status()), " 5 tenth darkframe being used");
    guider_toggle_use_darkframe();
    EXPECT_EQ(autoguide.guider_use_darkframe, 0);

    // A bitmap that cannot be written keeps no dark frame.
    guider_set_range('h');
    guider_toggle_use_darkframe();
    std::snprintf(disp.BMPname_guide, sizeof disp.BMPname_guide, "c:\\nofolder\\g.bmp");
    EXPECT_FALSE(guider_take_darkframe());
    EXPECT_EQ(last_box(), "Failed to create temp bitmap");
    EXPECT_EQ(autoguide.guider_use_darkframe, 0);
    EXPECT_STREQ(guider_darkframe_status(), "No darkframe has been taken");
}

TEST_F(GuiderControlsTest, PreviewClearsTwiceThenReadsAndRendersEachFrame) {
    start();
    acq.stopit = 1;
    guider_imageptr = nullptr; // opening selects the guider buffers again
    guider_preview_begin();
    EXPECT_EQ(guider_imageptr, guider_image);
    EXPECT_EQ(acq.stopit, 0);
    EXPECT_EQ(blocks_with(CMD_READ_NOW).size(), 2u);

    std::filesystem::remove(platform::host_path(disp.BMPname_guide));
    bool whole = false;
    EXPECT_EQ(guider_preview_pass(&whole), BMP_OK);
    EXPECT_TRUE(whole);
    EXPECT_EQ(autoguide.guided_image, 1);
    EXPECT_EQ(std::filesystem::file_size(platform::host_path(disp.BMPname_guide)),
              static_cast<std::uintmax_t>(BMP_HEADER_BYTES + 500 * 290));
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);
}

TEST_F(GuiderControlsTest, PickSnapsOntoTheStarInsideTheFrame) {
    cfg.star_mask = 6;
    draw_star(200, 100);
    EXPECT_EQ(guider_pick_click(210, 145), GuiderPick::NotArmed);

    guider_arm_pick();
    EXPECT_EQ(guide.cur_rad, 6);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Cross);
    // Too near the left edge: the box would leave the frame.
    EXPECT_EQ(guider_pick_click(15, 145), GuiderPick::Outside);
    EXPECT_EQ(last_box(), "Sorry, outside Image area - please try again");
    EXPECT_EQ(guide.guider_pick_star, 1);

    ui.cursor = {400, 300};
    ui.boxes.clear();
    ASSERT_EQ(guider_pick_click(10 + 203, 45 + 98), GuiderPick::Picked);
    EXPECT_EQ(guide.guider_picked_star, 1);
    EXPECT_EQ(guide.guider_pick_star, 0);
    EXPECT_NEAR(guide.guider_pick_xcent, 200, 1);
    EXPECT_NEAR(guide.guider_pick_ycent, 100, 1);
    // The cursor followed the star by as much as the point moved.
    EXPECT_EQ(ui.cursor.x - 400, guide.guider_pick_xcent - 203);
    EXPECT_EQ(ui.cursor.y - 300, guide.guider_pick_ycent - 98);
    ASSERT_EQ(ui.boxes.size(), 1u);
    char want[64];
    std::snprintf(want, sizeof want, "x position = %5d\ny position = %5d", guide.guider_pick_xcent,
                  guide.guider_pick_ycent);
    EXPECT_EQ(last_box(), want);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);
}

TEST_F(GuiderControlsTest, PickAtTheFrameEdgesKeepsTheBoxOnTheFrame) {
    cfg.star_mask = 4;
    draw_star(495, 285);
    guider_arm_pick();
    // The last click whose box still ends on column 499 and row 289.
    EXPECT_EQ(guider_pick_click(510 - 4, 100), GuiderPick::Outside);
    EXPECT_EQ(guider_pick_click(200, 335 - 4), GuiderPick::Outside);
    ui.boxes.clear();
    guide.cur_rad = 4;
    EXPECT_EQ(guider_pick_click(509 - 4, 334 - 4), GuiderPick::Picked);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes.front().text.rfind("x position", 0), 0u);
}

TEST_F(GuiderControlsTest, OpeningRefusesWithoutCameraOrDrive) {
    platform::usb::use_builtin_providers(false);
    int ran = 0;
    EXPECT_FALSE(QV_Guider_Control([&] { ++ran; }));
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(last_box(), NO_CAMERA_TEXT);

    start();
    cfg.telescope = 'n';
    ui.boxes.clear();
    EXPECT_FALSE(QV_Guider_Control([&] { ++ran; }));
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(last_box(), NO_DRIVE_TEXT);
    EXPECT_EQ(autoguide.got_guidercam, 0);
}

TEST_F(GuiderControlsTest, OpeningRunsTheDialogAndHandsOverAfterwards) {
    start();
    cfg.telescope = 'b';
    guide.guider_pick_star = 1;
    ui.commands.clear();
    EXPECT_TRUE(QV_Guider_Control([] {}));
    EXPECT_EQ(autoguide.guider_pick_star_save, 1);
    EXPECT_EQ(guide.guider_pick_star, 0);
    EXPECT_EQ(serial.comfound, 1);
    EXPECT_EQ(autoguide.got_guidercam, 1);
    EXPECT_TRUE(ui.commands.empty());

    EXPECT_TRUE(QV_Guider_Control(guider_exit_main_camera));
    EXPECT_EQ(autoguide.guider_pick_star_save, 0);
    EXPECT_EQ(ui.commands, std::vector<int>{CM_CAMERA_INTERFACE});
    EXPECT_EQ(acq.start_maincam, 0);

    ui.commands.clear();
    cfg.telescope = 'l';
    EXPECT_TRUE(QV_Guider_Control(guider_exit_start_guiding));
    EXPECT_EQ(ui.commands, std::vector<int>{CM_GUIDER_GUIDE});
    EXPECT_EQ(autoguide.start_guider, 0);
}

TEST_F(GuiderControlsTest, InfoTextsAndTheErrorPlot) {
    guide.guider_xcent = 123;
    guide.guider_xcentdec = 4;
    guide.guider_ycent = 56;
    guide.guider_ycentdec = 0;
    autoguide.x3 = 1250;
    autoguide.y3 = -4399;
    autoguide.slew_time_x = 80;
    autoguide.slew_time_y = -120;
    clock.set(10000);
    GuiderInfoTexts t = guider_info_texts(3, -7, ":Mgn0500#", 7501);
    EXPECT_STREQ(t.x, "123.4");
    EXPECT_STREQ(t.y, "56.0");
    EXPECT_STREQ(t.ex, "1.2");
    EXPECT_STREQ(t.ey, "-4.4");
    EXPECT_STREQ(t.slew_x, "   80");
    EXPECT_STREQ(t.slew_y, " -120");
    EXPECT_STREQ(t.ao_ew, "    3");
    EXPECT_STREQ(t.ao_ns, "   -7");
    EXPECT_STREQ(t.offload, ":Mgn0500#");
    t = guider_info_texts(0, 0, ":Mgn0500#", 7500);
    EXPECT_STREQ(t.offload, "");

    int px = 0, py = 0;
    ASSERT_TRUE(guider_error_plot_point(578, 98, &px, &py));
    EXPECT_EQ(px, 590);
    EXPECT_EQ(py, 141);
    autoguide.y3 = -4400;
    EXPECT_FALSE(guider_error_plot_point(578, 98, &px, &py));
}

namespace {

class GuiderMoveTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        cfg.AOUnit_comport = 0;
        serial.Port = 1;
        log = std::make_shared<Traffic>();
        attach_camera(std::make_unique<TimedCamera>(log, clock));
        clock.set(1000);
    }
    void TearDown() override {
        attach_camera(nullptr);
        NocterisTest::TearDown();
    }
    std::vector<std::string> trace() {
        std::vector<std::string> out;
        // What went out, without when: the moves' timing is the mount code's.
        for (const auto& b : log->blocks) {
            const std::string d = describe(b, 1000);
            out.push_back(d.substr(d.find(' ') + 1));
        }
        log->blocks.clear();
        return out;
    }
    std::shared_ptr<Traffic> log;
};

using Trace = std::vector<std::string>;

} // namespace

TEST_F(GuiderMoveTest, ArrowsDriveTheMountWhileHeld) {
    cfg.telescope = 'l';
    EXPECT_TRUE(guider_move_press('w'));
    EXPECT_EQ(tele.tele_moving, 1);
    EXPECT_FALSE(guider_move_press('e')); // one move at a time
    EXPECT_TRUE(guider_move_release());
    EXPECT_EQ(tele.tele_moving, 0);
    const Trace t = trace();
    EXPECT_NE(std::find(t.begin(), t.end(), "W1 #:Mw#"), t.end());

    cfg.telescope = 'b';
    EXPECT_TRUE(guider_move_press('s'));
    EXPECT_TRUE(guider_move_release());
    EXPECT_EQ(trace(), (Trace{"K2", "K0"}));
    EXPECT_FALSE(guider_move_release());

    // The toggles: on, then off with the next press of any of them.
    EXPECT_TRUE(guider_move_toggle('s'));
    EXPECT_EQ(tele.tele_moving, 1);
    EXPECT_TRUE(guider_move_toggle('n'));
    EXPECT_EQ(tele.tele_moving, 0);
    EXPECT_EQ(trace(), (Trace{"K2", "K0"}));

    // With the AO unit chosen a press is one move of the unit, AO swaps
    // applied, whatever the drive; the relay toggles stay the mount's.
    cfg.GuiderMode = 'A';
    cfg.telescope = 'n';
    cfg.AOe = 'w';
    cfg.AOw = 'e';
    EXPECT_TRUE(guider_moves_available());
    EXPECT_FALSE(guider_toggles_available());
    EXPECT_TRUE(guider_move_press('n'));
    EXPECT_TRUE(guider_move_press('e'));
    EXPECT_EQ(trace(), (Trace{"W0 MN00100", "W0 MW00100"}));
    EXPECT_EQ(ao.AO_ns, 100);
    EXPECT_EQ(ao.AO_ew, -100);
    EXPECT_EQ(tele.tele_moving, 0);
    EXPECT_FALSE(guider_move_toggle('n'));
    EXPECT_TRUE(trace().empty());
    cfg.GuiderMode = 'T';
    EXPECT_FALSE(guider_moves_available());
}
