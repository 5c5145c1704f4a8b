// The File menu's file commands driven through the scripted file dialog.
#include "analysis/analysis_state.h"
#include "app/app_logic.h"
#include "app/main_window.h"
#include "app/nocteris_app.h"
#include "display/image_store.h"
#include "files/file_pick.h"
#include "files/file_state.h"
#include "files/file_test_util.h"
#include "files/fits.h"
#include "platform/qt_ui.h"
#include "settings/settings.h"
#include "support/gui_test.h"
#include "support/test_env.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;
using namespace guitest;

class FileCommandsTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        prepare_main_window_state(); // model 2: 1392 x 1040
        startup_pattern();
        win = new TNocterisWindow;
        frame = new TNocterisFrame(win);
        frame->show();
    }
    void TearDown() override {
        delete frame;
        NocterisTest::TearDown();
    }

    void answer(const std::string& path) {
        platform::FileDialogResult r;
        r.accepted = true;
        r.path = path;
        ui.file_answers.push_back(r);
    }

    TNocterisWindow* win = nullptr;
    TNocterisFrame* frame = nullptr;
};

TEST_F(FileCommandsTest, NativeSaveAndOpenRoundTripWithCaptionAndFilterRule) {
    image_int[7] = 4863;
    const std::string path = home + "/~Img.raw";
    answer(path);
    win->dispatch(24333);
    ASSERT_EQ(fs::file_size(path), 1392u * 1040 * 2);
    EXPECT_EQ(frame->windowTitle(), "Nocteris - ~img.raw");
    EXPECT_EQ(files.Filter_Index, 1);

    image_int[7] = 0;
    answer(path);
    win->dispatch(24332);
    EXPECT_EQ(image_int[7], 4863);
    EXPECT_EQ(frame->windowTitle(), "Nocteris - ~Img.raw");
    EXPECT_STREQ(files.lastfile, "~img.raw");
    EXPECT_EQ(win->Dib().width(), 1392) << "the opened image is shown";
    ASSERT_EQ(ui.file_requests.size(), 2u);
    EXPECT_EQ(ui.file_requests[1].filter_index, 1);
    answer(path);
    win->dispatch(24332);
    EXPECT_EQ(ui.file_requests[2].initial_name, "~img.raw") << "Open offers the last file opened";
}

TEST_F(FileCommandsTest, FitsSaveGoesThroughTheDetailsDialogAndPreselectsFitsNext) {
    image_int[100] = 65535;
    const std::string path = home + "/m31.fit";
    answer(path);
    when_shown([](QWidget* d) { press(d, "continue"); });
    win->dispatch(24335);
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path) % 2880, 0u);
    EXPECT_EQ(files.Filter_Index, 2);
    EXPECT_EQ(files.save_FITS, 0) << "the mode lasts one command";
    EXPECT_EQ(std::string(fits.FITS_Date).size(), 10u) << "today's date offered";

    image_int[100] = 0;
    answer(path);
    win->dispatch(24332);
    EXPECT_EQ(image_int[100], 65535);
    EXPECT_EQ(files.Filter_Index, 3) << "no tilde: all files next time";
    const platform::FileDialogRequest& next = ui.file_requests.back();
    ASSERT_EQ(next.filter_index, 2);
    EXPECT_TRUE(filter_shows(next.filters[1].second, "m31.fit")) << "and it lists the file";
}

TEST_F(FileCommandsTest, SavesTypedWithoutAnExtensionGetTheirFormatsOne) {
    answer(home + "/m42");
    when_shown([](QWidget* d) { press(d, "continue"); });
    win->dispatch(24335);
    EXPECT_TRUE(fs::exists(home + "/m42.FIT"));
    EXPECT_FALSE(fs::exists(home + "/m42"));
    EXPECT_EQ(frame->windowTitle(), "Nocteris - m42.fit");

    answer(home + "/shot");
    win->dispatch(24334);
    EXPECT_TRUE(fs::exists(home + "/shot.TIF"));

    answer(home + "/~m13"); // a native name is saved as typed
    win->dispatch(24333);
    EXPECT_TRUE(fs::exists(home + "/~m13"));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(FileCommandsTest, AbortedDetailsDialogSavesNothing) {
    when_shown([](QWidget* d) { press(d, "abort"); });
    win->dispatch(24335);
    EXPECT_TRUE(ui.file_requests.empty());
}

TEST_F(FileCommandsTest, TiffAndQuickSave) {
    cfg.tifswitch = 1;
    answer(home + "/shot.tif");
    win->dispatch(24334);
    EXPECT_EQ(fs::file_size(home + "/shot.tif"), 186u + 8 * 8 + 1392u * 1040 * 2);
    EXPECT_EQ(files.save_tif, 0);

    const int before = cfg.auto_save_num;
    win->dispatch(24336);
    EXPECT_EQ(cfg.auto_save_num, before + 1);
    // "c:\AUTOSAVE" is the working folder, whatever the case of its name.
    EXPECT_TRUE(fs::exists(autosave + "/IMG" + std::to_string(before + 1) + ".FIT"));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(FileCommandsTest, AFailedSaveKeepsTheCaptionOfTheImagesFile) {
    const std::string path = home + "/~kept.raw";
    answer(path);
    win->dispatch(24333);
    ASSERT_EQ(frame->windowTitle(), "Nocteris - ~kept.raw");
    for (int cmd : {24333, 24334}) { // native, then TIFF
        SCOPED_TRACE(cmd);
        answer(home + "/no such folder/~lost.raw");
        win->dispatch(cmd);
        EXPECT_FALSE(ui.boxes.empty()) << "the failure is reported";
        EXPECT_EQ(frame->windowTitle(), "Nocteris - ~kept.raw");
        ui.boxes.clear();
    }
}

TEST_F(FileCommandsTest, RefusedOpenKeepsTheImageButNamesTheFile) {
    const std::string path = home + "/odd.dat";
    write_file(path, std::string(1000, 'x'));
    image_int[0] = 42;
    answer(path);
    win->dispatch(24332);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "You didn't choose a Nocteris or a suitable FITS File");
    EXPECT_EQ(image_int[0], 42);
    EXPECT_EQ(frame->windowTitle(), "Nocteris - odd.dat");
}

TEST_F(FileCommandsTest, AFitsImageOfOtherSoftwareOpensAtItsOwnSize) {
    // 333 x 211 floats: an odd width, values far outside 0 ... 65535.
    std::vector<float> v(333 * 211);
    for (int y = 0; y < 211; ++y)
        for (int x = 0; x < 333; ++x) {
            const double r2 = (x - 200.0) * (x - 200.0) + (y - 90.0) * (y - 90.0);
            v[y * 333 + x] = static_cast<float>(-1e5 + 20.0 * x + 3e6 * std::exp(-r2 / 18.0));
        }
    const std::string path = home + "/other.fits";
    write_file(path, foreign_fits(-32, 333, 211, {"OBJECT  = 'Test field'"}, be_values(v)));
    answer(path);
    win->dispatch(24332);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(win->Dib().width(), 336); // display rows are whole words
    EXPECT_EQ(win->Dib().height(), 211);
    EXPECT_EQ(frame->windowTitle(), "Nocteris - other.fits");
    EXPECT_STREQ(disp.process_info[0], "FITS BITPIX -32 scaled to 0..65535");
    EXPECT_EQ(image_int[90 * 333 + 200], 65535); // the star's peak
    grab(frame, "foreign_fits.png");
}

TEST_F(FileCommandsTest, PicksStoreTheirPathsAndDeleteAsksFirst) {
    answer(home + "/dark.fit");
    win->dispatch(104);
    EXPECT_EQ(std::string(files.DarkFileName), home + "/dark.fit");
    EXPECT_EQ(files.load_darkframe, 0);
    answer(home + "/flat.fit");
    win->dispatch(122);
    EXPECT_EQ(std::string(files.FlatFileName), home + "/flat.fit");

    const std::string victim = home + "/old.raw";
    write_file(victim, "x");
    bool asked = false;
    win->confirm_delete = [&] { return asked = true, false; };
    answer(victim);
    win->dispatch(13);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(fs::exists(victim)) << "refused: kept";
    win->confirm_delete = [] { return true; };
    answer(victim);
    win->dispatch(13);
    EXPECT_FALSE(fs::exists(victim));
}

TEST_F(FileCommandsTest, CancelledComparisonWithNoEarlierChoiceReports46) {
    win->dispatch(124);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Sorry, chosen Comparison file is not an Nocteris or FITs File");
    EXPECT_EQ(files.comparison_loaded, 0);
}

// The desktop's own dialog, as QtUi builds it from the program's requests.
class QtFileDialogTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        folder = home + "/night";
        fs::create_directory(folder);
        for (const char* name :
             {"~m13", "~m13.raw", "M42.FIT", "m42.fits", "x.Fts", "shot.tif", "notes.txt"})
            write_file(folder + "/" + name, "x");
    }

    // The files the dialog lists as choosable, sorted.
    static QStringList listed(QFileDialog* d) {
        auto* view = d->findChild<QListView*>("listView");
        QStringList out;
        if (!view) return out;
        const QAbstractItemModel* m = view->model();
        const QModelIndex root = view->rootIndex();
        for (int r = 0; r < m->rowCount(root); ++r) {
            const QModelIndex i = m->index(r, 0, root);
            if (m->flags(i) & Qt::ItemIsEnabled) out << i.data().toString();
        }
        out.sort();
        return out;
    }
    // Selects filter `index` (from 1) and what it lists once the folder is read.
    static QStringList listed_under(QFileDialog* d, int index, const QStringList& want) {
        d->selectNameFilter(d->nameFilters().at(index - 1));
        QElapsedTimer t;
        t.start();
        while (listed(d) != want && t.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return listed(d);
    }

    static std::string joined(const QStringList& l) { return l.join(", ").toStdString(); }

    std::string folder;
};

TEST_F(QtFileDialogTest, EachFilterListsItsFilesWhateverTheirCase) {
    platform::QtUi qt;
    platform::FileDialogRequest req = open_dialog_request();
    req.initial_dir = folder;
    const QStringList native{"~m13", "~m13.raw"};
    const QStringList fits_files{"M42.FIT", "m42.fits", "x.Fts"};
    const QStringList all{"M42.FIT", "m42.fits", "notes.txt", "shot.tif",
                          "x.Fts",   "~m13",     "~m13.raw"};
    QStringList names;
    QStringList got[3];
    when_shown([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(d, nullptr);
        for (const QString& f : d->nameFilters()) names << f.left(f.lastIndexOf(" ("));
        got[0] = listed_under(d, 1, native);
        got[1] = listed_under(d, 2, fits_files);
        got[2] = listed_under(d, 3, all);
    });
    EXPECT_FALSE(qt.file_dialog(req).accepted);
    EXPECT_EQ(joined(names), "Veltrane (~*.), FITS files, All Files");
    EXPECT_EQ(joined(got[0]), joined(native));
    EXPECT_EQ(joined(got[1]), joined(fits_files));
    EXPECT_EQ(joined(got[2]), joined(all));
}

TEST_F(QtFileDialogTest, AFitsSaveTypedWithoutExtensionEndsInFit) {
    platform::QtUi qt;
    platform::FileDialogRequest req = save_dialog_request(false, true);
    req.initial_dir = folder;
    QStringList shown;
    QString offered = "not shown";
    when_shown([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(d, nullptr);
        shown = listed_under(d, 1, {"M42.FIT", "m42.fits", "x.Fts"});
        auto* name = d->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        offered = name->text();
        name->setText("m51");
        static_cast<QDialog*>(d)->accept(); // as the Save button does
    });
    const platform::FileDialogResult r = qt.file_dialog(req);
    EXPECT_EQ(joined(shown), "M42.FIT, m42.fits, x.Fts");
    // "*.FIT" is no name to save under.
    EXPECT_EQ(offered, "");
    ASSERT_TRUE(r.accepted);
    EXPECT_EQ(r.path, folder + "/m51.FIT");
}
