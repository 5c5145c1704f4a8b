// The Unsharp Mask and Median dialogs under the offscreen platform: arrows
// and their limits, Help, OK and Cancel, and the image and history after OK.
#include "display/geometry.h"
#include "display/image_store.h"
#include "processing/enhance_dialog.h"
#include "processing/filter_state.h"
#include "support/gui_test.h"
#include "support/test_env.h"

#include <random>
#include <vector>

namespace {

using namespace guitest;

class EnhanceDialogTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        set_image_size(64, 48);
        std::mt19937 rng(5);
        std::uniform_int_distribution<int> d(1000, 1400);
        for (int i = 0; i < 64 * 48; ++i) image[i] = static_cast<unsigned short>(d(rng));
        for (int i = 300; i < 64 * 48; i += 97) image[i] = 60000; // hot pixels
        original.assign(image, image + 64 * 48);
    }

    std::vector<unsigned short> current() const { return {image, image + 64 * 48}; }

    std::vector<unsigned short> original;
};

TEST_F(EnhanceDialogTest, UnsharpArrowsStopAtTheirLimitsAndOkFilters) {
    filt.white = 6; // the dialog starts from its defaults whatever came before
    when_shown([this](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Unsharp Mask Filter");
        EXPECT_EQ(text(d, "radius_edit"), "3");
        EXPECT_EQ(text(d, "power_edit"), "1");
        grab(d, "unsharp_dialog.png");
        arrow(d, "radius_bar", true, 6);
        EXPECT_EQ(filt.white, 7);
        EXPECT_EQ(text(d, "radius_edit"), "7");
        arrow(d, "radius_bar", false, 9);
        EXPECT_EQ(filt.white, 1);
        arrow(d, "radius_bar", true, 1);
        arrow(d, "power_bar", false, 2);
        EXPECT_EQ(filt.black, 1);
        arrow(d, "power_bar", true, 9);
        EXPECT_EQ(filt.black, 7);
        EXPECT_EQ(text(d, "power_edit"), "7");
        arrow(d, "power_bar", false, 3);

        press(d, "id9");
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text,
                  "Use controls to vary the radius from 1 to 7, and the power from 1 to 7.");
        EXPECT_EQ(ui.boxes[0].caption, "Nocteris");
        EXPECT_TRUE(d->isVisible());
        press(d, "id1");
    });
    EXPECT_TRUE(unsharp_enhance(nullptr));
    EXPECT_STREQ(disp.process_info[0], "Unsharp Mask : rad 2 ,power 4");
    EXPECT_NE(current(), original);
    // The undo copy holds the image from before.
    EXPECT_EQ(std::vector<unsigned short>(undo, undo + 64 * 48), original);
    EXPECT_EQ(ui.progress_captions.back(), "UNSHARP MASK PROGRESS");
    EXPECT_FALSE(ui.progress_shown);
}

TEST_F(EnhanceDialogTest, UnsharpCancelChangesNothing) {
    when_shown([](QWidget* d) {
        arrow(d, "power_bar", true, 3);
        press(d, "id2");
    });
    EXPECT_FALSE(unsharp_enhance(nullptr));
    EXPECT_EQ(current(), original);
    EXPECT_EQ(disp.process_info[0][0], '\0');
    EXPECT_TRUE(ui.progress_captions.empty());
}

TEST_F(EnhanceDialogTest, MedianShowsPowerInTenthsAndOkFilters) {
    filt.black = 2;
    when_shown([this](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Median Filter");
        EXPECT_EQ(text(d, "radius_edit"), "1");
        EXPECT_EQ(text(d, "power_edit"), "0.6");
        grab(d, "median_dialog.png");
        arrow(d, "power_bar", true, 6);
        EXPECT_EQ(filt.black, 10);
        EXPECT_EQ(text(d, "power_edit"), "1.0");
        arrow(d, "power_bar", false, 12);
        EXPECT_EQ(filt.black, 1);
        EXPECT_EQ(text(d, "power_edit"), "0.1");
        arrow(d, "power_bar", true, 2);
        EXPECT_EQ(text(d, "power_edit"), "0.3");
        arrow(d, "radius_bar", true, 4);
        EXPECT_EQ(filt.white, 3);
        arrow(d, "radius_bar", false, 1);
        EXPECT_EQ(text(d, "radius_edit"), "2");

        press(d, "id9");
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text,
                  "Use controls to vary the radius from 1 to 3, and the power from 0.1 to 1.");
        EXPECT_EQ(ui.boxes[0].caption, "Nocteris - Median Filter");
        press(d, "id1");
    });
    EXPECT_TRUE(median_enhance(nullptr));
    EXPECT_STREQ(disp.process_info[0], "Median Filter : rad 2 ,power 0.3");
    // The hot pixels are gone except in the two-pixel border.
    int kept = 0;
    for (int i = 300; i < 64 * 48; i += 97) {
        const int row = i / 64, col = i % 64;
        if (row < 2 || row > 45 || col < 2 || col > 61) {
            EXPECT_EQ(image[i], 60000) << i;
            ++kept;
        } else {
            EXPECT_LT(image[i], 1500) << i;
        }
    }
    EXPECT_EQ(kept, 3);
    EXPECT_EQ(std::vector<unsigned short>(undo, undo + 64 * 48), original);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);
}

TEST_F(EnhanceDialogTest, MedianCancelChangesNothing) {
    when_shown([](QWidget* d) { press(d, "id2"); });
    EXPECT_FALSE(median_enhance(nullptr));
    EXPECT_EQ(current(), original);
    EXPECT_EQ(disp.process_info[0][0], '\0');
}

} // namespace
