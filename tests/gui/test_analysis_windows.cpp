// The analysis windows under the offscreen platform: one window of each
// kind, their guards, buttons, drawings and Help, the photometry and row
// plot clicks through the main window, blinking and labelling.
#include "analysis/analysis_state.h"
#include "analysis/blink_dialog.h"
#include "analysis/histogram_dialog.h"
#include "analysis/label.h"
#include "analysis/label_dialog.h"
#include "analysis/photometry.h"
#include "analysis/photometry_dialog.h"
#include "analysis/plot3d_dialog.h"
#include "analysis/row_plot_dialog.h"
#include "app/app_logic.h"
#include "app/main_window.h"
#include "app/nocteris_app.h"
#include "display/display_pipeline.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "files/fits.h"
#include "platform/messages.h"
#include "settings/settings.h"
#include "star/star_state.h"
#include "support/gui_test.h"
#include "support/test_env.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>
#include <cstring>

namespace {

using guitest::control;
using guitest::press;

template <class T> int open_windows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<T*>(w) && w->isVisible()) ++n;
    return n;
}

void settle() {
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class AnalysisWindowsTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        prepare_main_window_state(); // model 2: 1392 x 1040
        star_field();
    }
    void TearDown() override {
        if (THistDialog* d = histogram_dialog()) d->HistKill();
        if (T3DDialog* d = plot3d_dialog()) d->IntKill();
        if (TRowDialog* d = row_plot_dialog()) d->RowKill();
        if (TBLDialog* d = blink_dialog()) d->BlinkKill();
        if (TPHDialog* d = photometry_dialog()) d->PHKill();
        delete frame;
        settle();
        NocterisTest::TearDown();
    }

    // A sky of 1500 with stars, some of them saturated, near the top left.
    static void star_field() {
        const int w = disp.width1;
        for (int i = 0; i < disp.intlength; ++i)
            image_int[i] = static_cast<unsigned short>(1500 + (i * 7919) % 300);
        const struct {
            int x, y;
            double peak, sigma;
        } stars[] = {{60, 40, 60000, 2.5},   {150, 90, 30000, 3.0}, {250, 60, 65535, 4.0},
                     {320, 110, 15000, 2.0}, {90, 100, 45000, 3.5}, {700, 127, 50000, 3.0},
                     {1100, 127, 25000, 2.5}};
        for (const auto& s : stars)
            for (int dy = -15; dy <= 15; ++dy)
                for (int dx = -15; dx <= 15; ++dx) {
                    const int x = s.x + dx, y = s.y + dy;
                    if (x < 0 || y < 0 || x >= w || y >= disp.height1) continue;
                    const double v =
                        image_int[y * w + x] +
                        s.peak * std::exp(-(dx * dx + dy * dy) / (2 * s.sigma * s.sigma));
                    image_int[y * w + x] = static_cast<unsigned short>(std::min(65535.0, v));
                }
    }

    void open_main() {
        win = new TNocterisWindow;
        frame = new TNocterisFrame(win);
        frame->resize(750, 500);
        frame->show();
        ui.on_command = [this](int id) { win->dispatch(id); };
    }
    void mouse(QEvent::Type type, int x, int y, Qt::MouseButton b = Qt::LeftButton) {
        QMouseEvent e(type, QPointF(x, y), QPointF(x, y), b,
                      type == QEvent::MouseMove ? Qt::NoButton : b, Qt::NoModifier);
        QApplication::sendEvent(win->viewport(), &e);
    }

    TNocterisWindow* win = nullptr;
    TNocterisFrame* frame = nullptr;
};

} // namespace

TEST_F(AnalysisWindowsTest, HistogramOpensOnceAndCloseClearsItsGuard) {
    for (int i = 0; i < 256; ++i) disp.table[i] = static_cast<std::uint32_t>(i * 3);
    disp.table[5] = 1060;
    cm_histogram(nullptr);
    cm_histogram(nullptr);
    THistDialog* d = histogram_dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(open_windows<THistDialog>(), 1);
    EXPECT_EQ(ana.hist_already, 1);
    EXPECT_EQ(d->windowTitle(), "Histogram of Current Image");
    EXPECT_FALSE(d->isModal());
    EXPECT_EQ(control<QPushButton>(d, hist_id::Close)->text(), "Close");
    EXPECT_TRUE(ui.boxes.empty()) << "a second command says nothing";

    const QImage plot = control<QWidget>(d, "plot")->grab().toImage();
    EXPECT_EQ(plot.pixelColor(5 + 8, 1), QColor(255, 0, 0)) << "the cut bar reaches y 0";
    EXPECT_EQ(plot.pixelColor(200 + 8, 210 - 280), QColor()) << "outside the image";
    EXPECT_EQ(plot.pixelColor(200 + 8, 205), QColor(128, 128, 128));
    EXPECT_EQ(plot.pixelColor(5, 100), QColor(0, 0, 255)) << "the axis";
    EXPECT_STREQ(ana.workfld2, "val   count\n005    1060\n");

    press(d, hist_id::Help);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Ravlo_5 - Display Histogram");
    EXPECT_NE(ui.boxes[0].text.find("Short key - CTL+H"), std::string::npos);

    press(d, hist_id::Close);
    settle();
    EXPECT_EQ(ana.hist_already, 0);
    EXPECT_EQ(histogram_dialog(), nullptr);
    EXPECT_EQ(open_windows<THistDialog>(), 0);

    // Closed by the window manager: the guard clears too.
    cm_histogram(nullptr);
    histogram_dialog()->close();
    settle();
    EXPECT_EQ(ana.hist_already, 0);
    cm_histogram(nullptr);
    EXPECT_NE(histogram_dialog(), nullptr);
}

TEST_F(AnalysisWindowsTest, ThreeDPlotBuildsItsReliefOnce) {
    std::fill(image_int, image_int + disp.intlength, 0);
    image_int[20 * disp.width1 + 20] = 65535;
    cm_3d(nullptr);
    cm_3d(nullptr);
    T3DDialog* d = plot3d_dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(open_windows<T3DDialog>(), 1);
    EXPECT_EQ(d->windowTitle(), "3-D Intensity Plot");
    settle();
    ASSERT_TRUE(d->built());
    const QImage relief = d->relief();
    EXPECT_EQ(relief.size(), QSize(644, 384));
    // Row 20 starts at x 116; its column 20 peaks 170 above the row's foot.
    // The climb to it is light grey, the way down grey.
    EXPECT_EQ(relief.pixelColor(116 + 19, 150), QColor(192, 192, 192));
    EXPECT_EQ(relief.pixelColor(116 + 20, 150), QColor(128, 128, 128));
    EXPECT_EQ(relief.pixelColor(116 + 20, 20 - 175 + 186), QColor(Qt::white));
    EXPECT_EQ(relief.pixelColor(116 + 100, 20 + 186), QColor(128, 128, 128));

    // The row plot is refused while the 3-D plot is open, silently.
    cm_row_int(nullptr, 0, 0);
    EXPECT_EQ(row_plot_dialog(), nullptr);
    press(d, plot3d_id::Help);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Nocteris - 3-D Plot");
    press(d, plot3d_id::Finished);
    settle();
    EXPECT_EQ(ana.intensity_plot, 0);
    EXPECT_EQ(open_windows<T3DDialog>(), 0);
}

TEST_F(AnalysisWindowsTest, RowPlotFollowsTheClickedRow) {
    open_main();
    cm_row_int(win, 1, 0);
    cm_row_int(win, 0, 1);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, message_text(47));
    EXPECT_EQ(ui.boxes[1].text, message_text(48));
    EXPECT_EQ(row_plot_dialog(), nullptr);

    win->dispatch(16);
    win->dispatch(16);
    TRowDialog* d = row_plot_dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(open_windows<TRowDialog>(), 1);
    EXPECT_EQ(d->windowTitle(), "INTENSITY PROFILE OF ONE ROW");
    EXPECT_EQ(guitest::text(d, row_id::Row), "127");
    EXPECT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::UpArrow);

    mouse(QEvent::MouseButtonRelease, 100, 60);
    EXPECT_EQ(ana.obj_y, 60);
    EXPECT_EQ(guitest::text(d, row_id::Row), "60");
    // Row 60 crosses the saturated star at column 250.
    const QImage plot = control<QWidget>(d, "plot")->grab().toImage();
    EXPECT_EQ(plot.pixelColor(250 + 5, 198 - 65535 / 384), QColor(128, 128, 128));
    EXPECT_EQ(plot.width(), 1392 + 152);

    win->viewport()->setCursor(Qt::UpArrowCursor); // as the desktop's cursor call does
    win->viewport()->repaint();
    EXPECT_EQ(win->viewport()->cursor().shape(), Qt::UpArrowCursor) << "a paint keeps it";
    press(d, row_id::Finished);
    settle();
    EXPECT_EQ(ana.row_plot, 0);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);
    EXPECT_EQ(open_windows<TRowDialog>(), 0);
}

TEST_F(AnalysisWindowsTest, BlinkSwitchesTheMainWindowAndBack) {
    open_main();
    for (int i = 0; i < disp.intlength; ++i) comparison_int[i] = 200 * 256;
    win->dispatch(125);
    win->dispatch(125);
    TBLDialog* d = blink_dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(open_windows<TBLDialog>(), 1);
    EXPECT_EQ(d->windowTitle(), "Blinking:- Current Image");
    auto* button = control<QPushButton>(d, blink_id::Comparison);
    EXPECT_EQ(button->text(), "Comparison");

    press(d, blink_id::Comparison);
    EXPECT_EQ(ui.commands.back(), 926);
    EXPECT_EQ(d->windowTitle(), "Blinking:- Comparison");
    EXPECT_EQ(button->text(), "Current Image");
    EXPECT_EQ(win->Dib().pixelIndex(10, 500), 200) << "the comparison image shows";
    EXPECT_EQ(image, image_int);

    press(d, blink_id::Comparison);
    EXPECT_EQ(ui.commands.back(), 925);
    EXPECT_EQ(d->windowTitle(), "Blinking:- Current Image");
    EXPECT_EQ(button->text(), "Comparison");
    EXPECT_EQ(win->Dib().pixelIndex(10, 500), image_int[500 * 1392 + 10] / 256);

    press(d, blink_id::Comparison);
    press(d, blink_id::Finished);
    settle();
    EXPECT_EQ(ana.blinking, 0);
    EXPECT_EQ(open_windows<TBLDialog>(), 0);
    EXPECT_EQ(win->Dib().pixelIndex(10, 500), 200) << "the last image shown stays";
}

TEST_F(AnalysisWindowsTest, PhotometryMeasuresClicksOnTheMainWindow) {
    open_main();
    win->dispatch(14);
    TPHDialog* d = photometry_dialog();
    ASSERT_NE(d, nullptr);
    win->dispatch(14);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, message_text(39));
    EXPECT_EQ(open_windows<TPHDialog>(), 1);
    EXPECT_EQ(d->windowTitle(), "PHOTOMETRY");
    EXPECT_TRUE(control<QRadioButton>(d, ph_id::Pixels9)->isChecked());
    EXPECT_TRUE(control<QRadioButton>(d, ph_id::Object)->isChecked());
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Cross);
    EXPECT_FALSE(frame->menuAction(301)->isEnabled() && (win->dispatch(301), win->Fit()))
        << "no fitting in photometry mode";

    // A right click beside the star snaps onto it.
    mouse(QEvent::MouseButtonRelease, 62, 41, Qt::RightButton);
    EXPECT_EQ(guitest::text(d, ph_id::ObjectX), "60");
    EXPECT_EQ(guitest::text(d, ph_id::ObjectY), "40");
    press(d, ph_id::Comparison);
    mouse(QEvent::MouseButtonRelease, 150, 90);
    EXPECT_EQ(guitest::text(d, ph_id::ComparisonX), "150");
    press(d, ph_id::Background);
    mouse(QEvent::MouseButtonRelease, 500, 300);
    EXPECT_EQ(guitest::text(d, ph_id::BackgroundX), "500");
    EXPECT_FALSE(guitest::text(d, ph_id::MagnitudeDifference).isEmpty());
    EXPECT_EQ(guitest::text(d, ph_id::MagnitudeDifference).toStdString(),
              photometry_field(ph_id::MagnitudeDifference));
    EXPECT_FALSE(guitest::text(d, "snr").isEmpty());

    mouse(QEvent::MouseMove, 250, 60);
    EXPECT_EQ(guitest::text(d, ph_id::CursorX), "250");
    EXPECT_EQ(guitest::text(d, ph_id::CursorValue), "  65535");

    // The camera values: a bad one is refused and the old one shown again.
    const QString snr = guitest::text(d, "snr");
    guitest::type(d, "gain", "abc");
    control<QLineEdit>(d, "gain")->editingFinished();
    EXPECT_EQ(guitest::text(d, "gain"), "1.4");
    EXPECT_NE(ui.boxes.back().text.find("gain"), std::string::npos);
    guitest::type(d, "gain", "0.35");
    control<QLineEdit>(d, "gain")->editingFinished();
    EXPECT_EQ(cfg.ccd_gain, 0.35);
    EXPECT_NE(guitest::text(d, "snr"), snr);

    // A click outside the image is refused and leaves the mode on.
    const std::size_t before = ui.boxes.size();
    mouse(QEvent::MouseButtonRelease, 2, 300);
    EXPECT_EQ(ui.boxes.size(), before + 1);
    EXPECT_EQ(ui.boxes.back().text.rfind("Sorry, outside Image area", 0), 0u);

    press(d, ph_id::Pixels5);
    EXPECT_EQ(guide.cur_rad, 2);
    EXPECT_EQ(guitest::text(d, ph_id::ObjectX), "0") << "a new aperture clears the marks";
    EXPECT_EQ(guitest::text(d, ph_id::MagnitudeDifference), "");
    guitest::grab(d, "photometry.png");

    press(d, ph_id::Help);
    EXPECT_EQ(ui.boxes.back().caption, "Nocteris - Control Photometry");
    press(d, ph_id::Finished);
    settle();
    EXPECT_EQ(ana.photometry, 0);
    EXPECT_EQ(open_windows<TPHDialog>(), 0);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);
    win->dispatch(14);
    EXPECT_NE(photometry_dialog(), nullptr) << "it opens again";
}

TEST_F(AnalysisWindowsTest, LabelDialogWritesTheLabelOrNothing) {
    open_main();
    image_int[0] = 1234;
    guitest::when_shown([](QWidget* d) { press(d, label_id::Cancel); });
    win->dispatch(8);
    EXPECT_EQ(image_int[0], 1234) << "Cancel changes nothing";

    guitest::when_shown([](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Label Current Image");
        EXPECT_TRUE(control<QCheckBox>(d, label_id::AutoDate)->isChecked());
        press(d, label_id::FitsDate); // the image has no FITS date
        EXPECT_FALSE(control<QCheckBox>(d, label_id::FitsDate)->isChecked());
        press(d, label_id::AutoDate);
        EXPECT_FALSE(control<QCheckBox>(d, label_id::AutoDate)->isChecked());
        guitest::type(d, label_id::Text, "M42");
        press(d, label_id::Ok);
    });
    win->dispatch(8);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().text, "Sorry, FITs date not set");
    EXPECT_STREQ(ana.txtbuffer, "M42");
    for (int i = 0; i < 6; ++i) EXPECT_EQ(image_int[i], 17);
    EXPECT_EQ(image_int[1 * 1392 + 241], 65535) << "'M' at column 240";
    EXPECT_EQ(win->Dib().pixelIndex(241, 1), 255) << "the display shows the label";

    std::strcpy(fits.FITS_Date, "2015-08-09");
    std::strcpy(fits.FITS_Time, "22:10:00");
    guitest::when_shown([](QWidget* d) {
        press(d, label_id::FitsDate);
        EXPECT_TRUE(control<QCheckBox>(d, label_id::FitsDate)->isChecked());
        EXPECT_TRUE(control<QCheckBox>(d, label_id::AutoDate)->isChecked());
        guitest::type(d, label_id::Text, "Jupiter and moons from the garden");
        EXPECT_EQ(guitest::text(d, label_id::Text).size(), 31) << "cut at 31 characters";
        guitest::grab(d, "label.png");
        press(d, label_id::Ok);
    });
    win->dispatch(8);
    EXPECT_STREQ(ana.txtbuffer, "Jupiter and moons from the gard");
    guitest::grab(frame, "label_main.png");
}

// Not a check: pictures of the five windows on a star field, for a person to
// look at (NOCTERIS_GRAB_DIR names the folder).
TEST_F(AnalysisWindowsTest, PicturesOfTheWindows) {
    if (qEnvironmentVariableIsEmpty("NOCTERIS_GRAB_DIR")) GTEST_SKIP();
    open_main();
    win->image_prepare();
    frame->resize(900, 600);
    QApplication::processEvents();
    win->viewport()->repaint(); // the histogram of what is shown
    win->dispatch(6);
    win->dispatch(15);
    settle();
    guitest::grab(histogram_dialog(), "histogram.png");
    guitest::grab(plot3d_dialog(), "plot3d.png");
    plot3d_dialog()->IntKill();
    win->dispatch(16);
    ana.obj_y = 127;
    row_plot_refresh();
    guitest::grab(row_plot_dialog(), "rowplot.png");
    row_plot_dialog()->RowKill();
    win->dispatch(125);
    guitest::grab(blink_dialog(), "blink.png");
    win->dispatch(14);
    mouse(QEvent::MouseButtonRelease, 62, 41, Qt::RightButton);
    press(photometry_dialog(), ph_id::Comparison);
    mouse(QEvent::MouseButtonRelease, 151, 89, Qt::RightButton);
    press(photometry_dialog(), ph_id::Background);
    mouse(QEvent::MouseButtonRelease, 500, 300);
    mouse(QEvent::MouseMove, 152, 91);
    guitest::grab(photometry_dialog(), "photometry_measured.png");
}
