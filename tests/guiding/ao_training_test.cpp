// The AO training on a drawn star that follows the unit's tracked position,
// and the AO controls of the camera and guider dialogs on the settings they
// edit.
#include "support/serial_traffic.h"
#include "support/test_env.h"

#include "devices/camera_models.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "guiding/ao_params.h"
#include "guiding/ao_training.h"
#include "guiding/guide_loop.h"
#include "guiding/guide_params.h"
#include "guiding/guide_scale.h"
#include "guiding/guider_controls.h"
#include "platform/host_path.h"
#include "settings/settings.h"
#include "star/star_state.h"
#include "telescope/ao_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Trace = std::vector<std::string>;

// The star moves 4 px for 25 steps: image west for a West step, up for North.
class DrawnStar : public TrainingHost {
  public:
    std::vector<std::string> captions;
    int images = 0, whole_until = 99;
    void set_caption(const char* c) override { captions.emplace_back(c); }
    bool take_image() override {
        const double x = 60 - ao.AO_ew * 4.0 / 25, y = 64 - ao.AO_ns * 4.0 / 25;
        for (int j = 0; j < 128; ++j)
            for (int i = 0; i < 128; ++i) {
                const double r2 = (i - x) * (i - x) + (j - y) * (j - y);
                image_int[j * 128 + i] =
                    static_cast<unsigned short>(800 + 30000 * std::exp(-r2 / 4.5));
            }
        return images++ < whole_until;
    }
};

class AOTrainingTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        std::filesystem::create_directories(autosave);
        log = std::make_shared<Traffic>();
        attach_camera(std::make_unique<TimedCamera>(log, clock));
        clock.set(1000);
        cfg.AOUnit_comport = 0;
        set_image_size(128, 128);
        disp.binned = 0;
        guide.picked_star = 1;
        guide.pick_xcent = 60;
        guide.pick_ycent = 64;
    }
    void TearDown() override {
        attach_camera(nullptr);
        NocterisTest::TearDown();
    }
    Trace trace() const {
        Trace out;
        for (const auto& b : log->blocks) out.push_back(describe(b, 1000));
        return out;
    }
    bool ini_written() const {
        return std::filesystem::exists(platform::host_path("c:\\autosave\\Nocteris.INI"));
    }
    std::shared_ptr<Traffic> log;
};

TEST_F(AOTrainingTest, MeasuresStepsPerPixelOnBothAxes) {
    DrawnStar host;
    AOTrainingResult r;
    ASSERT_EQ(AOTrain(host, &r), GUIDE_DONE);
    // 25 steps each way, 250 ms after each but the last.
    EXPECT_EQ(trace(),
              (Trace{"0 W0 GW00025", "300 W0 GT00025", "600 W0 GN00025", "900 W0 GS00025"}));
    EXPECT_EQ(cfg.AOUnit_xrate, 6); // trunc(25 / 4)
    EXPECT_EQ(cfg.AOUnit_yrate, 6);
    copy_ao_values();
    EXPECT_EQ(cfg.AOUnit_slewx, 6);
    EXPECT_EQ(ao.AOUnit_trained, 1);
    EXPECT_TRUE(ini_written());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("slew RA =     4,    0,     6\n"
                                     "slew Dec =     0,    -4,     6\n"
                                     "pos 1 =    60,    64\npos 2 =    64,    64\n",
                                     0),
              0u)
        << ui.boxes[0].text;

    const std::string p = TRAINING_CAPTION;
    EXPECT_EQ(host.captions,
              (std::vector<std::string>{p + "slewing West", p + "slewing East", p + "slewing North",
                                        p + "slewing South", AO_TRAINING_END_CAPTION}));
}

TEST_F(AOTrainingTest, ALostFrameOrNoStarLeavesTheRates) {
    DrawnStar host;
    host.whole_until = 2;
    cfg.AOUnit_xrate = 9;
    EXPECT_EQ(AOTrain(host, nullptr), GUIDE_STOPPED);
    EXPECT_EQ(cfg.AOUnit_xrate, 9);
    EXPECT_EQ(ao.AOUnit_trained, 0);
    EXPECT_EQ(guide.training, 0);
    EXPECT_EQ(host.captions.back(), AO_TRAINING_END_CAPTION);
    EXPECT_FALSE(ini_written());
    EXPECT_TRUE(ui.boxes.empty());

    guide.picked_star = 0;
    host.captions.clear();
    log->blocks.clear();
    EXPECT_EQ(AOTrain(host, nullptr), GUIDE_REFUSED);
    EXPECT_TRUE(host.captions.empty());
    EXPECT_TRUE(trace().empty());

    // A star that never moved: one step a pixel, not a division by zero.
    AOTrainingResult still;
    ao_training_rates(still);
    EXPECT_EQ(still.xrate, 1);
    EXPECT_EQ(still.yrate, 1);
}

TEST_F(AOTrainingTest, DialogControlsEditTheSettingsAndDriveTheUnit) {
    change_guider_mode();
    EXPECT_EQ(cfg.GuiderMode, 'A');
    EXPECT_STREQ(guiding_mode_text(), "AO Unit");
    EXPECT_TRUE(ini_written());
    set_ao_values("15", "x"); // not a number: kept
    EXPECT_EQ(cfg.AOUnit_slewx, 15);
    EXPECT_EQ(cfg.AOUnit_slewy, Settings{}.AOUnit_slewy);
    set_ao_values("0", "-3"); // no step at all would stop guiding dead
    EXPECT_EQ(cfg.AOUnit_slewx, 1);
    EXPECT_EQ(cfg.AOUnit_slewy, 1);
    cfg.AOUnit_comport = 0;
    change_ao_mode();
    EXPECT_EQ(cfg.AOUnit_comport, 0);
    change_ao_mode(); // back to serial: on the PC port
    EXPECT_EQ(cfg.AOUnit_comport, 3);
    set_ao_com2();
    EXPECT_EQ(cfg.AOUnit_comport, 1);

    // The drive arrows step the unit through its mount output, AO swaps applied.
    cfg.AOUnit_comport = 0;
    cfg.telescope = 'l';
    set_ao_ew();
    EXPECT_TRUE(drive_test_press('w'));
    EXPECT_FALSE(drive_test_release()); // nothing runs to be stopped
    EXPECT_TRUE(drive_test_press('n'));
    EXPECT_EQ(trace(), (Trace{"0 W0 MT00100", "50 W0 MN00100"}));
    EXPECT_EQ(ao.AO_ew, 100);
}

// The guider dialog's versions: the mount-output letters on their own, the
// mode switch keeps the port, the centring puts a serial unit on the PC port.
TEST_F(AOTrainingTest, GuiderDialogControlsKeepTheirOwnRules) {
    set_ao_mount_ns();
    EXPECT_EQ(cfg.Mn, 'S');
    EXPECT_EQ(cfg.Ms, 'N');
    EXPECT_TRUE(ao_mount_ns_swapped());
    EXPECT_TRUE(ini_written());
    set_ao_mount_ew();
    set_ao_mount_ew();
    EXPECT_EQ(cfg.Mt, 'T');
    EXPECT_EQ(cfg.Mw, 'W');
    // This dialog's mount swap leaves the unit's mount letters alone.
    guider_swap_ns();
    EXPECT_EQ(cfg.n, 's');
    EXPECT_EQ(cfg.Mn, 'S');

    cfg.AOUnit_comport = 0;
    toggle_ao_mode();
    EXPECT_EQ(cfg.AOUnitModeParallel, 1);
    ao.AO_ns = 40;
    guider_centralise_ao_unit(); // parallel: idle, then reset, on the socket
    EXPECT_EQ(cfg.AOUnit_comport, 0);
    EXPECT_EQ(ao.AO_ns, 0);
    toggle_ao_mode();
    EXPECT_EQ(cfg.AOUnitModeParallel, 0);
    EXPECT_EQ(cfg.AOUnit_comport, 0);
    cfg.PC_port = 99; // no such port here: the unit cannot be reached
    ao.AO_ew = -12;
    guider_centralise_ao_unit();
    EXPECT_EQ(cfg.AOUnit_comport, 3);
    EXPECT_EQ(ao.AO_ew, 0);

    // Use Trained / Use Defaults: the trained rates only once there are some.
    EXPECT_STREQ(ao_use_default_caption(), "Use Defaults");
    toggle_ao_use_trained();
    EXPECT_EQ(ao.AOUnit_use_trained, 0);
    ao.AOUnit_trained = 1;
    toggle_ao_use_trained();
    EXPECT_STREQ(ao_vals_in_use_text(), "Using Trained Vals");
    EXPECT_STREQ(ao_use_default_caption(), "Use Defaults");
    toggle_ao_use_trained();
    EXPECT_STREQ(ao_vals_in_use_text(), "Using Default Vals");
    EXPECT_STREQ(ao_use_default_caption(), "Use Trained");
}

// The guider's 7.4 um pixels through the same telescope as the main camera.
TEST_F(AOTrainingTest, GuiderScaleUsesTheGuiderPixels) {
    EXPECT_NEAR(guider_arcsec_per_pixel(), 1.526, 0.001); // 1000 mm
    ASSERT_TRUE(set_guide_focal_length_mm(500));
    EXPECT_NEAR(guider_arcsec_per_pixel(), 3.053, 0.001);
    cam.cam_type = 2;
    EXPECT_NE(guide_arcsec_per_pixel(), guider_arcsec_per_pixel());
}

} // namespace
