// The main window under the offscreen platform: menus, tool bar, hints,
// enablers, the display rebuild and its failures.
#include "analysis/analysis_state.h"
#include "app/app_logic.h"
#include "app/main_window.h"
#include "app/nocteris_app.h"
#include "display/history.h"
#include "display/image_store.h"
#include "platform/messages.h"
#include "settings/settings.h"
#include "star/star_state.h"
#include "support/test_env.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImageReader>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QToolBar>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

class MainWindowTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        prepare_main_window_state();
        startup_pattern();
    }
    void TearDown() override {
        delete frame;
        NocterisTest::TearDown();
    }

    void open() {
        win = new TNocterisWindow;
        frame = new TNocterisFrame(win);
        frame->resize(750, 500);
        frame->show();
        ui.on_command = [this](int id) { win->dispatch(id); };
    }

    // Menu items as "label|shortcut" lines, separators as "-".
    static QStringList items(QMenu* m) {
        QStringList out;
        for (QAction* a : m->actions()) out << (a->isSeparator() ? "-" : a->text());
        return out;
    }

    TNocterisWindow* win = nullptr;
    TNocterisFrame* frame = nullptr;
};

TEST_F(MainWindowTest, MenuBarHasEveryItemInOrder) {
    open();
    QStringList bar;
    for (QAction* a : frame->menuBar()->actions()) bar << a->text();
    EXPECT_EQ(bar, QStringList({"&File", "&Edit", "&View", "&Label", "&Contrast", "Filter&s ",
                                "&Merging", "&Histogram", "Help"}));
    auto menu = [&](int i) { return frame->menuBar()->actions()[i]->menu(); };
    EXPECT_EQ(items(menu(0)), QStringList({"&Open...\tCTL+O",
                                           "&Save...\tCTL+S",
                                           "Save as &Tiff file...",
                                           "S&ave as FITS file...",
                                           "&Quick Save as FITS...\tCtl+Q ",
                                           "-",
                                           "&Delete File...",
                                           "&Load/Edit AutoSave FITS text",
                                           "Select Dark &Frame...",
                                           "Select Auto-Flat File...",
                                           "Load Comparison Image",
                                           "-",
                                           "Set Program Defa&ults",
                                           "Nocteris Camera &Interface\tCTL+Z",
                                           "Pic&k Guide Star\tCTL+P",
                                           "Focus Frame Centre\tCTL+W",
                                           "Default Focus Frame Centre",
                                           "-",
                                           "Train Auto-Guiding",
                                           "Start Auto-Guiding",
                                           "Telescope &Control",
                                           "-",
                                           "P&rint setup...",
                                           "&Print...",
                                           "-",
                                           "E&xit"}));
    EXPECT_EQ(items(menu(1)), QStringList({"&Undo Last Filter\tCTL+U", "&Copy\tShift+Ins"}));
    EXPECT_EQ(items(menu(2)),
              QStringList({"&Fit to window", "bin display", "False Colour P&alette",
                           "&Auto contrast stretch image", "Max Palette Stretch\tCTL+M",
                           "&Mirror Image", "-", "&Photometry of Image", "-", "Blink Comparison",
                           "-", "3-D &Intensity Plot", "Intensity Plot of Current R&ow", "-",
                           "Processing &History", "&Show/Edit Current Image FITS details"}));
    EXPECT_EQ(frame->menuBar()->actions()[3]->menu(), nullptr) << "Label is a command";
    EXPECT_EQ(items(menu(4)).size(), 8);
    EXPECT_EQ(
        items(menu(5)),
        QStringList({"&Unsharp masking HPF", "&High Pass, Low Power", "High Pass, High &Power",
                     "&Smoother/Sharper Filter", "-", "&Median Filter - Noise Reduction",
                     "&Gaussian Smoother Filter", "Low Pass &Weighted Mean &Smoother", "-",
                     "&Bas Relief Generator", "Gradient &Filter", "&Vertical Smoothing"}));
    EXPECT_EQ(items(menu(6)),
              QStringList({"&Subtract Image (Dark Frame)", "Apply &Flat Field", "-",
                           "Merge two Images &together", "Average &with current Image"}));
    EXPECT_EQ(items(menu(8)), QStringList({"Help in using Nocteris", "About Nocteris"}));
}

TEST_F(MainWindowTest, ToolBarOrderFollowsTheDisplayStateAndTheTelescopeSetting) {
    auto names = [&] {
        QStringList out;
        for (QAction* a : frame->toolActions()) out << (a->isSeparator() ? "-" : a->objectName());
        return out;
    };
    cfg.telescope = 'n';
    open();
    const QStringList plain = {"tool24333", "tool24336", "tool24332", "-",        "tool1000",
                               "-",         "tool1907",  "tool1002",  "tool1904", "-",
                               "tool121",   "-",         "tool1903",  "-",        "tool1",
                               "tool117",   "tool2",     "tool120",   "tool106",  "tool3",
                               "-",         "tool110",   "tool115",   "tool111"};
    EXPECT_EQ(names(), plain);
    // Telescope items are greyed and the button is absent.
    for (int id : {22, 23, 24}) EXPECT_FALSE(frame->menuAction(id)->isEnabled()) << id;

    win->dispatch(123);  // bin display
    win->dispatch(1901); // display stretch on
    QStringList swapped = plain;
    swapped[6] = "tool1908";
    swapped[7] = "tool1003";
    EXPECT_EQ(names(), swapped);
    win->dispatch(1902);
    EXPECT_EQ(names()[7], "tool1002");

    delete frame;
    frame = nullptr;
    cfg.telescope = 'l';
    reset_display_state();
    nocteris_camera();
    open();
    EXPECT_EQ(names().back(), "tool24");
}

TEST_F(MainWindowTest, HintsShowInTheStatusBarAtTheTop) {
    open();
    auto over_menu_item = [&](int id) {
        QAction* act = frame->menuAction(id);
        QMenu* menu = qobject_cast<QMenu*>(act->parent());
        menu->popup(QPoint(0, 0));
        QMouseEvent move(QEvent::MouseMove, menu->actionGeometry(act).center(), QPointF(),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(menu, &move);
        menu->hide();
        return frame->hintBar()->currentMessage();
    };
    auto over_button = [&](int bitmap) {
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(frame->toolBar()->widgetForAction(frame->toolAction(bitmap)),
                                &enter);
        return frame->hintBar()->currentMessage();
    };
    EXPECT_EQ(over_menu_item(121), "View and change most program variables");
    EXPECT_EQ(over_menu_item(24332), "Get an image from Disk");
    EXPECT_EQ(over_button(24336), "Save Image as a FITs file");
    EXPECT_EQ(over_button(1000), "Camera Control");
    EXPECT_EQ(over_button(1002), "Use Display Stretch");
    EXPECT_EQ(over_button(120), "Automatically make background black");
    EXPECT_EQ(over_menu_item(113), "");
    EXPECT_LT(frame->hintBar()->mapTo(frame, QPoint(0, 0)).y(),
              win->mapTo(frame, QPoint(0, 0)).y());
}

TEST_F(MainWindowTest, CommandsOfLaterCapabilitiesAreGreyed) {
    cfg.telescope = 'n'; // no drive: no training, guiding or telescope control
    open();
    for (int id : {22, 23, 24}) EXPECT_FALSE(frame->menuAction(id)->isEnabled()) << id;
    win->dispatch(22); // a greyed command does nothing
    EXPECT_TRUE(ui.boxes.empty());
    cfg.telescope = 'b';
    frame->updateEnablers();
    for (int id : {12, 121, 21, 25,  26,  9,     301, 123, 118, 119, 302, 22,
                   23, 24,  17, 112, 113, 24310, 14,  15,  16,  125, 6,   8})
        EXPECT_TRUE(frame->menuAction(id)->isEnabled()) << id;
    EXPECT_TRUE(frame->toolAction(1903)->isEnabled()) << "photometry";
    EXPECT_TRUE(frame->toolAction(1907)->isEnabled());
    EXPECT_TRUE(frame->toolAction(1000)->isEnabled()); // the camera
}

TEST_F(MainWindowTest, CaptionAndChecksFollowTheState) {
    open();
    EXPECT_EQ(frame->windowTitle(), "Nocteris - ");
    win->SetCaption(nullptr);
    EXPECT_EQ(frame->windowTitle(), "Nocteris - (Untitled)");
    EXPECT_FALSE(frame->menuAction(24359)->isEnabled()) << "nothing to copy yet";
    win->dispatch(118);
    frame->updateEnablers();
    EXPECT_TRUE(frame->menuAction(118)->isChecked());
    EXPECT_TRUE(frame->menuAction(24359)->isEnabled());
    win->dispatch(21);
    EXPECT_TRUE(frame->menuAction(21)->isChecked());
    win->dispatch(21);
    EXPECT_FALSE(frame->menuAction(21)->isChecked());
}

TEST_F(MainWindowTest, DisplayRebuildShowsTheBitmapItWrote) {
    open();
    win->dispatch(302); // mirror rebuilds the display
    ASSERT_FALSE(win->Dib().isNull());
    EXPECT_EQ(win->PixelWidth(), 1392);
    EXPECT_EQ(win->PixelHeight(), 1040);
    // Row y of the test pattern holds y * 225: its high byte is on screen.
    EXPECT_EQ(win->Dib().pixelIndex(5, 300), (300 * 225 & 0xFFFF) >> 8);
    EXPECT_EQ(win->Palette()[200], qRgb(200, 200, 200));

    // Qt's own reader takes our file as it is.
    QImageReader reader(QString::fromStdString(autosave + "/Nocteris.bmp"));
    QImage read = reader.read();
    ASSERT_FALSE(read.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(read.size(), QSize(1392, 1040));
    EXPECT_EQ(read.format(), QImage::Format_Indexed8);
    EXPECT_EQ(read.colorCount(), 256);
    EXPECT_EQ(read.pixelIndex(5, 300), win->Dib().pixelIndex(5, 300));

    win->dispatch(123); // half size
    EXPECT_EQ(win->PixelWidth(), 696);
    EXPECT_EQ(win->PixelHeight(), 520);
    win->dispatch(118); // false colour
    EXPECT_EQ(win->Palette()[128], qRgb(128, 64, 0));

    win->dispatch(24359);
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(696, 520));
}

TEST_F(MainWindowTest, UnwritableFolderReportsAndKeepsThePreviousImage) {
    open();
    win->dispatch(302);
    const QImage before = win->Dib();
    ASSERT_FALSE(before.isNull());
    fs::remove_all(autosave);
    write_file(autosave, "not a folder");
    ui.boxes.clear();
    win->dispatch(123);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, "Failed to create temp bitmap");
    EXPECT_EQ(ui.boxes[1].text, "Cannot open bitmap file");
    EXPECT_EQ(win->Dib(), before);
}

TEST_F(MainWindowTest, AFileThatIsNotABitmapKeepsThePreviousOne) {
    open();
    win->dispatch(302);
    const QImage before = win->Dib();
    write_file(autosave + "/garbage.bmp", "BM this is no bitmap at all");
    ui.boxes.clear();
    EXPECT_EQ(win->LoadBitmapFile("c:\\autosave\\garbage.bmp"), 0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Cannot open bitmap file");
    EXPECT_EQ(win->Dib(), before);
}

TEST_F(MainWindowTest, UndoHistoryAndHelp) {
    open();
    update_history("Normal Stretch");
    image_int[0] = 4863;
    undo_save_option(); // the median filter's change
    update_history("Median Filter");
    image_int[0] = 1;
    win->dispatch(9);
    EXPECT_EQ(image_int[0], 4863);
    EXPECT_EQ(win->Dib().pixelIndex(0, 0), 18);
    win->dispatch(9); // one level: the second Undo changes nothing
    EXPECT_EQ(image_int[0], 4863);
    ui.boxes.clear();
    win->dispatch(17);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Normal Stretch \n");

    ui.help_ok = false;
    win->dispatch(112);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text, "WinHelp failed!");
    EXPECT_EQ(ui.boxes[1].caption, "Nocteris");
    EXPECT_EQ(ui.boxes[1].icon, platform::BoxIcon::Stop);
    ASSERT_EQ(ui.help_opened.size(), 1u);
    EXPECT_NE(ui.help_opened[0].find("index.html"), std::string::npos);
}

TEST_F(MainWindowTest, FocusFrameClickGoesThroughTheWindow) {
    open();
    win->dispatch(25);
    QMouseEvent press(QEvent::MouseButtonRelease, QPointF(10, 100), QPointF(10, 100),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(win->viewport(), &press);
    EXPECT_EQ(guide.focus_x, 3);
    EXPECT_EQ(guide.focus_y, 1);
    win->dispatch(26);
    EXPECT_EQ(guide.focus_x, 312);
    EXPECT_EQ(guide.focus_y, 65);
}
