// The stretch dialogs under the offscreen platform: scroll rules through the
// real scroll bars, OK / Cancel / Help, and the image and history afterwards.
#include "display/geometry.h"
#include "display/image_store.h"
#include "processing/processing_state.h"
#include "processing/stretch.h"
#include "processing/stretch_dialog.h"
#include "support/gui_test.h"
#include "support/test_env.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace guitest;
using Act = QAbstractSlider::SliderAction;

class StretchDialogTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        // The main window's handlers of 888 and 1906, without the display.
        ui.on_command = [](int id) {
            if (id == 888) cm_contrast_stretch();
            if (id == 1906) disp.max_stretch = !disp.max_stretch;
        };
        set_image_size(96, 64);
        std::mt19937 gen(5);
        for (int i = 0; i < disp.intlength; ++i) image_int[i] = static_cast<unsigned short>(gen());
        image_int[5] = 500; // no label marker
        before_.assign(image_int, image_int + disp.intlength);
    }

    // Drags the thumb to `pos`.
    static void drag(QWidget* dialog, int id, int pos) {
        control<QScrollBar>(dialog, id)->setSliderPosition(pos);
    }
    static int position(QWidget* dialog, int id) {
        return control<QScrollBar>(dialog, id)->value();
    }

    bool image_unchanged() const { return std::equal(before_.begin(), before_.end(), image_int); }
    std::vector<std::string> history() const {
        std::vector<std::string> out;
        for (int i = 0; i < HISTORY_USED && disp.process_info[i][0]; ++i)
            out.emplace_back(disp.process_info[i]);
        return out;
    }

    std::vector<unsigned short> before_;
};

} // namespace

TEST_F(StretchDialogTest, NormalStretchScrollsAndApplies) {
    proc.black = 77; // reset when the dialog opens
    proc.white = 12;
    when_shown([](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Normal Stretch");
        EXPECT_EQ(text(d, 103), "0");
        EXPECT_EQ(text(d, 104), "255");
        act(d, 101, Act::SliderSingleStepSub); // already at 0
        EXPECT_EQ(position(d, 101), 0);
        act(d, 101, Act::SliderPageStepAdd, 2);
        EXPECT_EQ(text(d, 103), "20");
        act(d, 102, Act::SliderPageStepSub, 30); // stops once within ten of black
        EXPECT_EQ(text(d, 104), "25");
        act(d, 102, Act::SliderSingleStepSub, 10); // stops at black + 1
        EXPECT_EQ(text(d, 104), "21");
        EXPECT_EQ(position(d, 102), 21);
        drag(d, 101, 40); // black may not pass white
        EXPECT_EQ(position(d, 101), 20);
        drag(d, 101, 0);
        drag(d, 102, 5);
        act(d, 101, Act::SliderPageStepAdd); // would pass white
        EXPECT_EQ(text(d, 103), "0");
        drag(d, 102, 300);
        EXPECT_EQ(text(d, 104), "300");
        drag(d, 102, 200);
        drag(d, 101, 10);
        EXPECT_EQ(text(d, 103), "10");
        // The numbers only show the values.
        EXPECT_TRUE(control<QLineEdit>(d, 103)->isReadOnly());
        press(d, 1);
    });
    EXPECT_FALSE(cm_contrast_normal(nullptr));
    EXPECT_EQ(ui.commands, std::vector<int>({888}));
    EXPECT_EQ(history(), std::vector<std::string>({"Normal Stretch : max 200 ,min 10"}));
    for (int i = 0; i < disp.intlength; ++i) {
        const unsigned short v = before_[i];
        if (v < 2560) {
            ASSERT_EQ(image_int[i], 0);
        }
        if (v >= 51200) {
            ASSERT_EQ(image_int[i], 65534);
        }
    }
    EXPECT_EQ(proc.oldwhite, 200u); // the markers were drawn at the final values
    EXPECT_EQ(proc.oldblack, 10u);
}

TEST_F(StretchDialogTest, NormalStretchCancelAndHelp) {
    when_shown([this](QWidget* d) {
        act(d, 101, Act::SliderPageStepAdd, 5);
        press(d, 9);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].caption, "Nocteris - Normal Stretch");
        EXPECT_EQ(ui.boxes[0].text.rfind("Use controls to vary intensity from 0 to 255", 0), 0u);
        press(d, 2);
    });
    EXPECT_FALSE(cm_contrast_normal(nullptr));
    EXPECT_TRUE(image_unchanged());
    EXPECT_TRUE(history().empty());
    EXPECT_TRUE(ui.commands.empty());
}

TEST_F(StretchDialogTest, PowerLawLeftAtOneChangesNothing) {
    proc.power_str = 2.4;
    when_shown([](QWidget* d) {
        EXPECT_EQ(text(d, 102), "1.0");
        EXPECT_EQ(position(d, 101), 10);
        act(d, 101, Act::SliderSingleStepAdd);
        act(d, 101, Act::SliderSingleStepSub);
        press(d, 1);
    });
    EXPECT_FALSE(cm_contrast_power(nullptr));
    // Cancel after a change changes nothing either.
    when_shown([](QWidget* d) {
        act(d, 101, Act::SliderSingleStepAdd, 3);
        press(d, 2);
    });
    EXPECT_FALSE(cm_contrast_power(nullptr));
    EXPECT_TRUE(image_unchanged());
    EXPECT_TRUE(history().empty());
    EXPECT_TRUE(ui.commands.empty());
}

TEST_F(StretchDialogTest, PowerLawSteps) {
    when_shown([](QWidget* d) {
        act(d, 101, Act::SliderSingleStepAdd, 5);
        EXPECT_EQ(text(d, 102), "1.5");
        EXPECT_EQ(position(d, 101), 15);
        // Pages and drags do not move the power.
        act(d, 101, Act::SliderPageStepAdd);
        drag(d, 101, 3);
        EXPECT_EQ(text(d, 102), "1.5");
        EXPECT_EQ(position(d, 101), 15);
        act(d, 101, Act::SliderSingleStepSub, 20);
        EXPECT_EQ(text(d, 102), "0.1");
        act(d, 101, Act::SliderSingleStepAdd, 8);
        EXPECT_EQ(text(d, 102), "0.9");
        press(d, 1);
    });
    EXPECT_FALSE(cm_contrast_power(nullptr));
    EXPECT_EQ(history(), std::vector<std::string>({"Power Stretch : 0.9"}));
    EXPECT_FALSE(image_unchanged());
    EXPECT_EQ(ui.commands, std::vector<int>({888}));
}

TEST_F(StretchDialogTest, NonLinearChecksTheTypedPower) {
    when_shown([](QWidget* d) { press(d, 2); });
    EXPECT_FALSE(cm_contrast_tolvern(nullptr));
    EXPECT_TRUE(image_unchanged());

    when_shown([this](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Non-Linear Stretch");
        EXPECT_EQ(text(d, 102), "25");
        act(d, 101, Act::SliderSingleStepAdd, 30);
        EXPECT_EQ(text(d, 102), "50");
        act(d, 101, Act::SliderSingleStepSub, 60);
        EXPECT_EQ(text(d, 102), "2");
        act(d, 101, Act::SliderPageStepAdd);
        EXPECT_EQ(position(d, 101), 2);

        // A power out of range goes back to 25 and the dialog stays.
        auto* edit = control<QLineEdit>(d, 102);
        edit->setText("75");
        press(d, 1);
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(edit->text(), "25");
        EXPECT_EQ(position(d, 101), 25);
        EXPECT_TRUE(image_unchanged());

        press(d, 9);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, "Use controls to vary the Power from 2 to 50");
        EXPECT_EQ(ui.boxes[0].caption, "Nocteris - NonLiniar Filter");

        edit->setText("18");
        QTest::keyClick(edit, Qt::Key_Return); // Enter is OK
    });
    EXPECT_TRUE(cm_contrast_tolvern(nullptr));
    EXPECT_EQ(history(), std::vector<std::string>({"Non-Linear Stretch : power 18"}));
    tolvern(18.0);
    for (int i = 0; i < disp.intlength; ++i)
        ASSERT_EQ(image_int[i], 2 * proc.stretch_table[before_[i] >> 1]);
}

TEST_F(StretchDialogTest, StretchDisplayIsModelessAndLeavesPixels) {
    disp.max_stretch_mult = 25.0;
    TMaxDialog* d = cm_stretch_max(nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(d->isModal());
    EXPECT_EQ(d->windowTitle(), "Stretch Display");
    EXPECT_EQ(cm_stretch_max(nullptr), d); // one window only

    act(d, 101, Act::SliderSingleStepAdd);
    EXPECT_EQ(disp.max_stretch_mult, 26.0);
    EXPECT_EQ(text(d, 102), "26");
    act(d, 101, Act::SliderPageStepSub);
    EXPECT_EQ(disp.max_stretch_mult, 2.0);
    act(d, 101, Act::SliderSingleStepSub); // already at the bottom: nothing sent
    act(d, 101, Act::SliderPageStepAdd);
    EXPECT_EQ(disp.max_stretch_mult, 50.0);
    drag(d, 101, 9);
    EXPECT_EQ(text(d, 102), "9");
    EXPECT_EQ(ui.commands, std::vector<int>({1907, 1907, 1907, 1907}));

    ui.commands.clear();
    auto* box = control<QCheckBox>(d, 103);
    EXPECT_EQ(box->text(), "Activate stretch display");
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    EXPECT_EQ(ui.commands, std::vector<int>({1906}));
    EXPECT_EQ(disp.max_stretch, 1);
    EXPECT_TRUE(box->isChecked());

    EXPECT_TRUE(image_unchanged());
    EXPECT_TRUE(history().empty());
    QPointer<TMaxDialog> watch(d);
    press(d, 2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}
