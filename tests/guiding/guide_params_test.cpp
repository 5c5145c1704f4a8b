// The camera dialog's guiding parameters: typed defaults, the trained
// column and the direction swaps, kept in the settings file.
#include "support/test_env.h"

#include "guiding/guide_params.h"
#include "guiding/guiding_state.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "telescope/telescope_state.h"

#include <gtest/gtest.h>

using GuideParamsTest = NocterisTest;

TEST_F(GuideParamsTest, ChangeDefaultsKeepsRatesUsableAndSaves) {
    cfg.slewx = 2;
    cfg.slewy = 2;
    cfg.backlashx = 9;
    change_defaults("7", "0", "-5", "oops", "12");
    EXPECT_EQ(cfg.slewx, 7);
    EXPECT_EQ(cfg.slewy, 1); // guiding divides by it
    EXPECT_EQ(cfg.backlashx, 0);
    EXPECT_EQ(cfg.backlashy, 0);      // unchanged: not a number
    EXPECT_EQ(autoguide.theta, 7.0f); // held within a turn
    cfg.slewx = 3;
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(cfg.slewx, 7);
    change_defaults("123456", "x", "99999", "x", "-3");
    EXPECT_EQ(cfg.slewx, GUIDE_FIELD_MAX);
    EXPECT_EQ(cfg.backlashx, GUIDE_FIELD_MAX);
    EXPECT_EQ(autoguide.theta, -3.0f);
    change_defaults("7", "x", "0", "x", "x");

    // Nothing trained yet: the defaults stay.
    EXPECT_FALSE(save_latest());
    EXPECT_EQ(cfg.slewx, 7);
    autoguide.trained = 1;
    autoguide.RA_rate = 4;
    autoguide.Dec_rate = 0;
    autoguide.RA_backlash = 2;
    autoguide.Dec_backlash = 3;
    EXPECT_TRUE(save_latest());
    EXPECT_EQ(cfg.slewx, 4);
    EXPECT_EQ(cfg.slewy, 1);
    EXPECT_EQ(cfg.backlashx, 2);
    EXPECT_EQ(cfg.backlashy, 3);
    cfg.slewx = 0;
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(cfg.slewx, 4);
}

TEST_F(GuideParamsTest, DirectionSwapsTurnMountAndAoOutputTogether) {
    swap_ns();
    EXPECT_EQ(cfg.n, 's');
    EXPECT_EQ(cfg.s, 'n');
    EXPECT_EQ(cfg.Mn, 'S');
    EXPECT_EQ(cfg.Ms, 'N');
    EXPECT_TRUE(ns_swapped());
    EXPECT_FALSE(ew_swapped());
    swap_ew();
    EXPECT_EQ(cfg.e, 'w');
    EXPECT_EQ(cfg.Mt, 'W');
    EXPECT_EQ(cfg.Mw, 'T');
    swap_ns();
    EXPECT_EQ(cfg.n, 'n');
    EXPECT_EQ(cfg.Mn, 'N');
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(cfg.e, 'w');
    EXPECT_EQ(cfg.w, 'e');
}

TEST_F(GuideParamsTest, UseDefaultsSwitchesOnlyOnceTrained) {
    toggle_use_trained();
    EXPECT_EQ(autoguide.use_trained, 0);
    EXPECT_STREQ(use_default_caption(), "Use Defaults");
    EXPECT_STREQ(trained_vals_text(), "Using Default Vals");
    autoguide.trained = autoguide.use_trained = 1;
    EXPECT_STREQ(trained_vals_text(), "Using Trained Vals");
    toggle_use_trained();
    EXPECT_EQ(autoguide.use_trained, 0);
    EXPECT_STREQ(use_default_caption(), "Use Trained");
    EXPECT_STREQ(trained_vals_text(), "Using Default Vals");
    toggle_use_trained();
    EXPECT_EQ(autoguide.use_trained, 1);
    EXPECT_STREQ(use_default_caption(), "Use Defaults");
}

TEST_F(GuideParamsTest, DriveTestsMoveWhileHeldOnTheChosenDrive) {
    EXPECT_FALSE(drive_test_press('n')); // no drive chosen
    EXPECT_EQ(tele.tele_moving, 0);

    cfg.telescope = 'l';
    swap_ns();
    EXPECT_TRUE(drive_test_press('n'));
    EXPECT_STREQ(tele.move_direction, "#:Ms#"); // the swap reverses the test too
    EXPECT_FALSE(drive_test_press('e'));        // one move at a time
    EXPECT_TRUE(drive_test_release());
    EXPECT_EQ(tele.tele_moving, 0);
    EXPECT_FALSE(drive_test_release());

    cfg.telescope = 'b';
    EXPECT_TRUE(drive_test_press('e'));
    EXPECT_EQ(tele.slewdir, 'e');
    EXPECT_EQ(tele.tele_moving, 1);
    EXPECT_TRUE(drive_test_release());
    EXPECT_EQ(tele.tele_moving, 0);
}
