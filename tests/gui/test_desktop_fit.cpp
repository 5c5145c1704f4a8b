// The program on a small or scaled screen and without a desktop help viewer:
// dialogs that fit and open centred, the main window's place kept between
// runs, our own help window, F1. This test runs at QT_SCALE_FACTOR=2 on the
// offscreen platform's 800 x 600 screen (400 x 300 at that scale).
#include "acquisition/camera_dialog.h"
#include "app/app_logic.h"
#include "app/main_window.h"
#include "app/nocteris_app.h"
#include "dialogs/screen_fit.h"
#include "platform/host_path.h"
#include "platform/qt_help.h"
#include "platform/qt_ui.h"
#include "resources/help_location.h"
#include "settings/settings_dialog.h"
#include "support/gui_test.h"
#include "support/test_env.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTextBrowser>

#include <filesystem>

namespace {

class DesktopFitTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        prepare_main_window_state();
        startup_pattern();
        qApp->installEventFilter(&fitter);
        win = new TNocterisWindow;
        frame = new TNocterisFrame(win);
        fitter.set_main_window(frame);
    }
    void TearDown() override {
        qApp->removeEventFilter(&fitter);
        delete frame;
        NocterisTest::TearDown();
    }
    static QRect screen_area() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    // The dialog lies on the screen and `button` can be scrolled into view.
    static void expect_fits(QDialog& d, QPushButton* button) {
        QCoreApplication::processEvents();
        EXPECT_TRUE(screen_area().contains(d.frameGeometry()))
            << d.metaObject()->className() << " " << d.width() << " x " << d.height();
        QCoreApplication::processEvents(); // the scroll area lays itself out
        QWidget* view = &d;
        if (auto* area = d.findChild<QScrollArea*>("dialogScroller")) {
            area->ensureWidgetVisible(button);
            view = area->viewport();
        }
        QCoreApplication::processEvents();
        const QRect at(button->mapTo(view, QPoint(0, 0)), button->size());
        EXPECT_TRUE(view->rect().contains(at))
            << button->text().toStdString() << " at " << at.x() << ", " << at.y() << " in "
            << view->width() << " x " << view->height();
        guitest::grab(&d,
                      (QString(d.metaObject()->className()) + "_scale2.png").toUtf8().constData());
    }

    ScreenFitter fitter;
    TNocterisWindow* win = nullptr;
    TNocterisFrame* frame = nullptr;
};

TEST_F(DesktopFitTest, DialogsLargerThanTheScreenScrollAndOpenCentred) {
    ASSERT_LT(screen_area().width(), 500) << "the test wants the scaled screen";
    place_main_window(frame);
    frame->show();

    TQVDialog camera(frame);
    camera.show();
    expect_fits(camera, guitest::control<QPushButton>(&camera, 1)); // Take Photo
    camera.hide();

    TINIDialog settings(frame);
    settings.show();
    QPushButton* cancel = nullptr;
    for (auto* b : settings.findChildren<QPushButton*>())
        if (b->text().remove('&') == "Cancel") cancel = b;
    ASSERT_NE(cancel, nullptr);
    expect_fits(settings, cancel);
    settings.hide();

    // A small dialog keeps its size and opens over the middle of the main window.
    QDialog small(frame);
    small.resize(120, 80);
    small.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(small.size(), QSize(120, 80));
    EXPECT_LE((small.frameGeometry().center() - frame->frameGeometry().center()).manhattanLength(),
              2);
    EXPECT_EQ(small.findChild<QScrollArea*>("dialogScroller"), nullptr);
}

TEST_F(DesktopFitTest, TheMainWindowOpensOnTheScreenAndKeepsItsPlace) {
    const std::string kept = platform::host_path(WINDOW_PLACE_FILE);
    std::filesystem::remove(kept);
    place_main_window(frame);
    frame->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(screen_area().contains(frame->frameGeometry()));
    EXPECT_GE(frame->width(), screen_area().width() * 3 / 4) << "most of a small screen";

    frame->setGeometry(20, 30, 300, 200);
    keep_main_window_place(frame);
    ASSERT_TRUE(std::filesystem::exists(kept));
    TNocterisWindow* other_win = new TNocterisWindow;
    TNocterisFrame other(other_win);
    place_main_window(&other);
    EXPECT_EQ(other.geometry().size(), QSize(300, 200));
    EXPECT_EQ(other.geometry().topLeft(), QPoint(20, 30));
}

TEST_F(DesktopFitTest, HelpOpensInOurOwnWindowWithoutADesktopViewer) {
    platform::QtUi desktop;
    std::vector<QUrl> asked;
    desktop.set_desktop_opener([&](const QUrl& u) {
        asked.push_back(u);
        return false; // no viewer
    });
    const std::string index = help_index_path();
    ASSERT_FALSE(index.empty());
    const std::string folder = index.substr(0, index.rfind('/') + 1);

    ASSERT_TRUE(desktop.open_help(folder + "file.html#camera"));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].fragment(), "camera");
    EXPECT_TRUE(asked[0].toLocalFile().endsWith("/file.html"));
    THelpWindow* help = desktop.help_window();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->browser()->source().fragment(), "camera");
    EXPECT_FALSE(help->browser()->toPlainText().isEmpty());
    EXPECT_TRUE(help->windowTitle().endsWith("Nocteris Help"));
    EXPECT_TRUE(screen_area().contains(help->frameGeometry()));
    guitest::grab(help, "help_window.png");

    // Nothing to show: the caller says "WinHelp failed!".
    EXPECT_FALSE(desktop.open_help(folder + "no-such-page.html"));
    // A desktop viewer that takes the page leaves our window alone.
    desktop.set_desktop_opener([](const QUrl&) { return true; });
    EXPECT_TRUE(desktop.open_help(index));
}

TEST_F(DesktopFitTest, F1OpensThePageOfTheActiveWindow) {
    HelpKeyFilter keys;
    qApp->installEventFilter(&keys);
    frame->show();
    TINIDialog settings(frame);
    EXPECT_EQ(help_page_for(&settings), "file.html#defaults");
    EXPECT_EQ(help_page_for(frame), "");

    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(frame, &f1);
    ASSERT_EQ(ui.help_opened.size(), 1u);
    EXPECT_EQ(ui.help_opened[0], help_index_path());
    qApp->removeEventFilter(&keys);
}

} // namespace
