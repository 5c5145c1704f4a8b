// The dialog kit: bitmaps as the window and the camera dialog draw them, the
// scroll bars' route through the scroll rules, and controls found by id.
#include "dialogs/controls.h"
#include "dialogs/dib_image.h"
#include "dialogs/scroll_binding.h"
#include "display/dib.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QScrollBar>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Act = QAbstractSlider::SliderAction;

TEST(DibImage, EveryPixelAndColourInTheBitmapsRowOrder) {
    // Three pixels a row, so the image's rows are padded and the bitmap's are not.
    Dib dib;
    dib.width = 3;
    dib.height = 2;
    dib.pixels = {0, 1, 2, 253, 254, 255};
    for (int i = 0; i < 256; ++i) {
        dib.palette[i][0] = static_cast<unsigned char>(i);       // blue
        dib.palette[i][1] = static_cast<unsigned char>(255 - i); // green
        dib.palette[i][2] = static_cast<unsigned char>(i / 2);   // red
    }
    const QImage img = dib_image(dib);
    ASSERT_EQ(img.format(), QImage::Format_Indexed8);
    ASSERT_EQ(img.size(), QSize(3, 2));
    ASSERT_EQ(img.colorCount(), 256);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const int v = dib.pixels[y * 3 + x];
            EXPECT_EQ(img.pixelIndex(x, y), v) << x << "," << y;
            EXPECT_EQ(img.pixel(x, y), qRgb(v / 2, 255 - v, v)) << x << "," << y;
        }
}

TEST(DibImage, AnEmptyBitmapGivesANullImage) {
    EXPECT_TRUE(dib_image(Dib{}).isNull());
}

// A value from 0 to 20 behind a bar that shows 0..100, moved by a rule that
// refuses steps past 20 and records what it was asked.
class ScrollBinding : public ::testing::Test {
  protected:
    void SetUp() override {
        bar.setRange(0, 100);
        bar.setPageStep(10);
        bind_scroll_rules(
            &bar,
            [this](ScrollAction a, int pos) {
                seen.emplace_back(a, pos);
                int want = value;
                if (a == ScrollAction::LineLeft) want -= 1;
                if (a == ScrollAction::LineRight) want += 1;
                if (a == ScrollAction::PageLeft) want -= 5;
                if (a == ScrollAction::PageRight) want += 5;
                if (a == ScrollAction::Thumb) want = pos;
                if (want < 0 || want > 20 || want == value) return false;
                value = want;
                return true;
            },
            [this] { return value; }, [this] { ++changes; });
    }

    QScrollBar bar{Qt::Horizontal};
    int value = 7;
    int changes = 0;
    std::vector<std::pair<ScrollAction, int>> seen;
};

TEST_F(ScrollBinding, TheBarShowsTheValueFromTheStart) {
    EXPECT_EQ(bar.value(), 7);
    EXPECT_TRUE(seen.empty());
}

TEST_F(ScrollBinding, EachActionReachesTheRuleAndTheBarShowsWhatItLeft) {
    bar.triggerAction(Act::SliderSingleStepAdd);
    EXPECT_EQ(value, 8);
    EXPECT_EQ(bar.value(), 8);
    bar.triggerAction(Act::SliderSingleStepSub);
    bar.triggerAction(Act::SliderSingleStepSub);
    EXPECT_EQ(bar.value(), 6);
    bar.triggerAction(Act::SliderPageStepAdd); // Qt alone would go to 16
    EXPECT_EQ(bar.value(), 11);
    bar.triggerAction(Act::SliderPageStepSub);
    EXPECT_EQ(bar.value(), 6);
    bar.setSliderPosition(13); // a drag: the rule gets the thumb's position
    EXPECT_EQ(value, 13);
    bar.triggerAction(Act::SliderToMaximum);
    EXPECT_EQ(bar.value(), 13);
    const std::vector<std::pair<ScrollAction, int>> want = {
        {ScrollAction::LineRight, 8},  {ScrollAction::LineLeft, 7}, {ScrollAction::LineLeft, 6},
        {ScrollAction::PageRight, 16}, {ScrollAction::PageLeft, 1}, {ScrollAction::Thumb, 13},
        {ScrollAction::Other, 100}};
    EXPECT_EQ(seen, want);
    EXPECT_EQ(changes, 6);
}

TEST_F(ScrollBinding, ARefusedStepLeavesTheThumbAndChangesNothing) {
    value = 20;
    bar.setValue(20);
    bar.triggerAction(Act::SliderSingleStepAdd);
    bar.triggerAction(Act::SliderPageStepAdd);
    EXPECT_EQ(bar.value(), 20);
    EXPECT_EQ(bar.sliderPosition(), 20);
    bar.setSliderPosition(60); // past what the rule allows
    EXPECT_EQ(bar.value(), 20);
    EXPECT_EQ(value, 20);
    EXPECT_EQ(changes, 0);
}

TEST(Controls, FoundByTheirIdWhereverTheyAreInTheDialog) {
    QDialog dialog;
    auto* group = new QGroupBox(&dialog);
    QPushButton* take = make_button(group, 724, "Take Dark Frame");
    make_check(group, 725, "Apply Dark Frame");
    EXPECT_EQ(take->objectName(), "id724");
    EXPECT_EQ(find_control<QPushButton>(&dialog, 724), take);
    EXPECT_NE(find_control<QCheckBox>(&dialog, 725), nullptr);
    EXPECT_EQ(find_control<QCheckBox>(&dialog, 724), nullptr); // a button, not a check box
    EXPECT_EQ(find_control(&dialog, 72), nullptr);
    // Enter belongs to the dialog's default button, not to the focused one.
    EXPECT_FALSE(take->autoDefault());
}

} // namespace
