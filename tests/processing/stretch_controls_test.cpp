// The power and typed-value rules behind the stretch dialogs (the black and
// white rules are exercised through the dialog's own scroll bars).
#include "processing/processing_state.h"
#include "processing/stretch_controls.h"
#include "support/test_env.h"

using StretchControlsTest = NocterisTest;
using A = ScrollAction;

TEST_F(StretchControlsTest, PowerStepsInExactTenths) {
    ASSERT_EQ(proc.power_str, 1.0);
    EXPECT_FALSE(scroll_power(A::PageLeft));
    EXPECT_FALSE(scroll_power(A::Thumb));
    int steps = 0;
    while (scroll_power(A::LineLeft)) ++steps;
    EXPECT_EQ(steps, 9);
    EXPECT_EQ(proc.power_str, 0.1);
    EXPECT_EQ(power_position(), 1);
    steps = 0;
    while (scroll_power(A::LineRight)) ++steps;
    EXPECT_EQ(steps, 29);
    EXPECT_EQ(proc.power_str, 3.0);
    EXPECT_EQ(power_position(), 30);
    // Back down to the start lands on the identity exactly.
    for (int k = 0; k < 20; ++k) scroll_power(A::LineLeft);
    EXPECT_EQ(proc.power_str, 1.0);
    EXPECT_EQ(power_position(), 10);
}

TEST_F(StretchControlsTest, NonLinearPowerTyped) {
    struct Case {
        const char* text;
        bool ok;
        unsigned white;
    };
    for (const Case& c : {Case{"18", true, 18}, Case{" 7 ", true, 7}, Case{"1", true, 1},
                          Case{"50", true, 50}, Case{"51", false, 25}, Case{"0", false, 25},
                          Case{"-3", false, 25}, Case{"", false, 25}, Case{"abc", false, 25},
                          Case{"12abc", false, 25}, Case{"99999999999999999999", false, 25}}) {
        proc.white = 40;
        EXPECT_EQ(accept_nonlinear(c.text), c.ok) << c.text;
        EXPECT_EQ(proc.white, c.white) << c.text;
    }
    EXPECT_FALSE(accept_nonlinear(nullptr));
}
