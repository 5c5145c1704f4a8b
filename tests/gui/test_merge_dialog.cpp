// The merge window under the offscreen platform: opening and refusals, the
// marks it shows, Open feeding the second image, Merge, Cancel and Help.
#include "display/geometry.h"
#include "display/image_store.h"
#include "platform/messages.h"
#include "processing/calibration.h"
#include "processing/merge_dialog.h"
#include "processing/stacking.h"
#include "support/gui_test.h"
#include "support/test_env.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <algorithm>

namespace {

class MergeDialogTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        set_image_size(20, 16);
        disp.binned = 0;
    }
    void TearDown() override {
        if (TMergeDialog* d = merge_dialog()) d->finish();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        NocterisTest::TearDown();
    }

    // The window is modeless and there is at most one: its controls by id.
    template <class T> static T* control(int id) { return guitest::control<T>(merge_dialog(), id); }
    static void press(int id) { guitest::press(merge_dialog(), id); }
    static QString shown(int id) { return guitest::text(merge_dialog(), id); }
    // A click on the main window in merge mode, as the window handles it.
    void click(int x, int y) {
        platform::Point p{x, y};
        merge_mark(p, image, 4);
        merge_dialog_refresh();
    }
    void open() {
        cm_add_image(nullptr, 0, 0, 0);
        ASSERT_NE(merge_dialog(), nullptr);
    }
};

TEST_F(MergeDialogTest, OpensModelessShowingTheFirstImageIsMarked) {
    stacking.merge_x = 12;
    open();
    TMergeDialog* d = merge_dialog();
    EXPECT_EQ(d->windowTitle(), "MERGE IMAGES");
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(d->isModal());
    EXPECT_TRUE(control<QRadioButton>(merge_id::OriginalImage)->isChecked());
    EXPECT_EQ(control<QRadioButton>(merge_id::OriginalImage)->text(), "Original  Image");
    EXPECT_FALSE(control<QRadioButton>(merge_id::MergeImage)->isChecked());
    for (int id : {merge_id::OrigX, merge_id::OrigY, merge_id::MergeX, merge_id::MergeY})
        EXPECT_EQ(shown(id), "0");
    EXPECT_EQ(control<QPushButton>(merge_id::Merge)->text(), "Merge");
    EXPECT_EQ(control<QPushButton>(merge_id::Cancel)->text(), "Cancel");
    EXPECT_EQ(control<QPushButton>(merge_id::Help)->text(), "Help");
    EXPECT_EQ(control<QCheckBox>(merge_id::Average)->text(), "Average");
    EXPECT_EQ(control<QCheckBox>(merge_id::CentreOnStar)->text(), "Centre on Star");

    // A second Merge command while the window is open.
    cm_add_image(nullptr, 0, 0, 0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, message_text(44));
    EXPECT_EQ(merge_dialog(), d);

    // The radios only show the state; clicking them changes nothing.
    press(merge_id::MergeImage);
    EXPECT_EQ(stacking.orig, 1);
    EXPECT_TRUE(control<QRadioButton>(merge_id::OriginalImage)->isChecked());
}

TEST_F(MergeDialogTest, RefusedWhileAnotherToolRunsOrTheImageIsFitted) {
    cm_add_image(nullptr, 1, 0, 0);
    cm_add_image(nullptr, 0, 1, 0);
    cm_add_image(nullptr, 0, 0, 1);
    EXPECT_EQ(merge_dialog(), nullptr);
    EXPECT_EQ(stacking.merging, 0);
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[2].text, message_text(43));
}

TEST_F(MergeDialogTest, MarksOpenAndMergeEndToEnd) {
    std::fill(image, image + disp.intlength, 100);
    open();
    click(6, 7);
    EXPECT_EQ(shown(merge_id::OrigX), "6");
    EXPECT_EQ(shown(merge_id::OrigY), "7");

    // Merge before the second image is there does nothing.
    press(merge_id::Merge);
    ASSERT_NE(merge_dialog(), nullptr);
    EXPECT_EQ(stacking.merging, 1);

    merge_open_in_merge_mode(); // Open, before the file is loaded
    EXPECT_TRUE(control<QRadioButton>(merge_id::MergeImage)->isChecked());
    std::fill(image, image + disp.intlength, 40); // the second image, loaded
    click(8, 7);
    EXPECT_EQ(shown(merge_id::MergeX), "8");
    EXPECT_EQ(shown(merge_id::OrigX), "6");

    press(merge_id::Average);
    EXPECT_EQ(stacking.average, 1);
    press(merge_id::Merge);
    EXPECT_EQ(merge_dialog(), nullptr);
    EXPECT_EQ(stacking.merging, 0);
    EXPECT_EQ(stacking.average, 0);
    EXPECT_EQ(image[5 * 20 + 5], 70);   // (100 + 40) / 2
    EXPECT_EQ(image[5 * 20 + 17], 100); // shifted past the last column
    EXPECT_EQ(disp.prep_image, 1);
    EXPECT_EQ(ui.commands, std::vector<int>{891}); // the window repaints
}

TEST_F(MergeDialogTest, OpenOutsideMergeModeTouchesNothing) {
    std::fill(image, image + disp.intlength, 5);
    std::fill(trial, trial + disp.intlength, 9);
    merge_open_in_merge_mode();
    EXPECT_EQ(trial[0], 9);
    EXPECT_EQ(stacking.orig, 0);
}

TEST_F(MergeDialogTest, CancelAndClosingLeaveMergeMode) {
    std::fill(image, image + disp.intlength, 100);
    open();
    press(merge_id::Average);
    press(merge_id::Cancel);
    EXPECT_EQ(merge_dialog(), nullptr);
    EXPECT_EQ(stacking.merging, 0);
    EXPECT_EQ(stacking.average, 0);
    EXPECT_EQ(image[50], 100);

    open();
    merge_dialog()->close();
    EXPECT_EQ(merge_dialog(), nullptr);
    EXPECT_EQ(stacking.merging, 0);

    open();
    QTest::keyClick(merge_dialog(), Qt::Key_Escape);
    EXPECT_EQ(merge_dialog(), nullptr);
    EXPECT_EQ(stacking.merging, 0);
    // After all that the command opens again without complaint.
    open();
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(MergeDialogTest, CentreOnStarIsKeptBetweenMerges) {
    open();
    press(merge_id::CentreOnStar);
    EXPECT_EQ(stacking.merge_centre, 1);
    press(merge_id::Cancel);
    open();
    EXPECT_TRUE(control<QCheckBox>(merge_id::CentreOnStar)->isChecked());
    press(merge_id::CentreOnStar);
    EXPECT_EQ(stacking.merge_centre, 0);
}

TEST_F(MergeDialogTest, HelpExplainsTheSteps) {
    open();
    press(merge_id::Help);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Nocteris - Control Merging");
    EXPECT_EQ(ui.boxes[0].text.rfind("Mark the position in the displayed image", 0), 0u);
    EXPECT_NE(ui.boxes[0].text.find("\n\nCheck the Average box"), std::string::npos);
    EXPECT_EQ(stacking.merging, 1); // the window stays
}

TEST_F(MergeDialogTest, LooksRight) {
    open();
    click(123, 45);
    merge_open_in_merge_mode();
    click(1234, 567);
    stacking.merge_centre = 1;
    merge_dialog_refresh();
    TMergeDialog* d = merge_dialog();
    d->adjustSize();
    // Everything fits its text: nothing cramped or clipped.
    for (auto* b : d->findChildren<QAbstractButton*>())
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->objectName().toStdString();
    auto* e = control<QLineEdit>(merge_id::MergeX);
    EXPECT_GE(e->width(), e->fontMetrics().horizontalAdvance("65535"));
    guitest::grab(d, "merge_dialog.png");
}

} // namespace
