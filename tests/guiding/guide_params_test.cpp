// The camera dialog's guiding parameters: typed defaults, the trained
// column and the direction swaps, kept in the settings file.
#include "support/test_env.h"

#include "guiding/guide_params.h"
#include "guiding/guiding_state.h"
#include "settings/ini_file.h"
#include "settings/settings.h"

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
    EXPECT_EQ(cfg.backlashy, 0); // unchanged: not a number
    EXPECT_EQ(autoguide.theta, 12.0f);
    cfg.slewx = 3;
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(cfg.slewx, 7);

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
