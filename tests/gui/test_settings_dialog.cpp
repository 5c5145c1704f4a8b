#include "app/all_state.h"
#include "devices/camera_models.h"
#include "display/image_store.h"
#include "platform/scripted_ui.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "settings/settings_dialog.h"
#include "star/star_state.h"
#include "support/gui_test.h"
#include "support/test_env.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace guitest;

class TestSettingsDialog : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> home_;
    platform::ScriptedUi ui_;

    std::string ini() const { return home_->path().toStdString() + "/autosave/Nocteris.INI"; }

  private slots:
    void init() {
        home_ = std::make_unique<QTemporaryDir>();
        qputenv("HOME", home_->path().toLocal8Bit());
        ui_ = platform::ScriptedUi{};
        platform::install_ui(&ui_);
        reset_all_state();
    }
    void cleanup() { platform::install_ui(nullptr); }

    void clicksChangeTheGlobalsAndTheDialogShowsThem() {
        TINIDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Set Program Defaults"));
        QVERIFY(control<QRadioButton>(&dialog, 17131)->isChecked()); // star mask 8
        QCOMPARE(control<QRadioButton>(&dialog, 17130)->text(), QStringLiteral("7 Pixels"));

        press(&dialog, 17133);
        QCOMPARE(cfg.star_mask, short(11));
        QVERIFY(control<QRadioButton>(&dialog, 17133)->isChecked());
        QVERIFY(!control<QRadioButton>(&dialog, 17131)->isChecked());
        // Pressing the selected choice again keeps it selected.
        press(&dialog, 17133);
        QVERIFY(control<QRadioButton>(&dialog, 17133)->isChecked());

        // Number fields are taken by "Set Manually" ...
        control<QSpinBox>(&dialog, 17116)->setValue(7);
        control<QSpinBox>(&dialog, 17137)->setValue(20);
        control<QSpinBox>(&dialog, 17183)->setValue(25);
        press(&dialog, 17118);
        QCOMPARE(cfg.slewx, 7);
        QCOMPARE(cfg.hysty, 20);
        QCOMPARE(cfg.guider_backlashy, 25);
        // ... and by the marked handlers, not by the others, which show the globals again.
        control<QSpinBox>(&dialog, 17116)->setValue(9);
        press(&dialog, 17272);
        QCOMPARE(cfg.ignore_amount, 800);
        QCOMPARE(cfg.slewx, 7);
        QCOMPARE(control<QSpinBox>(&dialog, 17116)->value(), 7);
        control<QSpinBox>(&dialog, 17116)->setValue(12);
        press(&dialog, 17102);
        QCOMPARE(cfg.slewx, 12);
        QCOMPARE(cfg.n, 's');
        QVERIFY(control<QCheckBox>(&dialog, 17102)->isChecked());

        press(&dialog, 17120);
        QCOMPARE(cfg.default_back, 'r');
        QCOMPARE(disp.back_r, 120);
        QCOMPARE(disp.back_changed, 1);
        press(&dialog, 17106);
        QCOMPARE(cfg.display_exposure, 0);
        QVERIFY(control<QCheckBox>(&dialog, 17106)->isChecked());
        press(&dialog, 17268);
        QCOMPARE(cfg.GuiderMode, 'A');

        QCOMPARE(control<QSpinBox>(&dialog, 17269)->value(), 1); // PC_port 0 is COM1
        cfg.auto_save_num = 42;
        dialog.refresh();
        QCOMPARE(control<QLineEdit>(&dialog, 17157)->text(), QStringLiteral("42"));

        control<QLineEdit>(&dialog, 17147)->setText(QStringLiteral("photos"));
        press(&dialog, 17148);
        QCOMPARE(QString(cfg.auto_save_dir), QStringLiteral("c:\\photos"));
        QVERIFY(QDir(home_->path() + "/photos").exists());
        QCOMPARE(control<QLineEdit>(&dialog, 17147)->text(), QStringLiteral("c:\\photos"));
        QVERIFY(ui_.boxes.empty());
    }

    void saveChangesWritesTheFile() {
        when_shown([](QWidget* d) {
            press(d, 17290);
            press(d, 17189);
            control<QSpinBox>(d, 17269)->setValue(3);
            control<QLineEdit>(d, 17147)->setText(QStringLiteral("\\astro"));
            press(d, 1);
        });
        QCOMPARE(run_settings_dialog(nullptr), 1);
        // The first opening found no file: it wrote the defaults without a message.
        QVERIFY(ui_.boxes.empty());
        QCOMPARE(read_file(ini()).size(), std::size_t(INI_FILE_BYTES));

        reset_settings();
        QCOMPARE(LoadINIFile(cfg.ini_file), 0);
        QCOMPARE(cfg.tifswitch, 1);
        QCOMPARE(cfg.slewdefault, 8);
        QCOMPARE(cfg.PC_port, short(2));
        QCOMPARE(QString(cfg.auto_save_dir), QStringLiteral("c:\\astro"));
        QVERIFY(QDir(home_->path() + "/astro").exists());
    }

    void anInvalidFolderKeepsTheDialogOpen() {
        QDir(home_->path()).mkpath("autosave");
        cfg.star_mask = 15;
        QCOMPARE(SaveINIFile(cfg.ini_file), 0);
        const std::string before = read_file(ini());
        reset_settings();
        when_shown([this](QWidget* d) {
            QVERIFY(control<QRadioButton>(d, 17135)->isChecked()); // loaded from the file
            press(d, 17123);
            control<QLineEdit>(d, 17147)->setText(QStringLiteral("q:\\images"));
            press(d, 1);
            QVERIFY(d->isVisible());
            QCOMPARE(ui_.boxes.size(), std::size_t(1));
            QCOMPARE(QString::fromStdString(ui_.boxes[0].text),
                     QStringLiteral("Sorry! AutoSave Directory is invalid"));
            press(d, 2);
        });
        QCOMPARE(run_settings_dialog(nullptr), 2);
        // Cancel writes nothing, but what was changed stays changed.
        QCOMPARE(read_file(ini()), before);
        QCOMPARE(cfg.FITS_SBIG, 1);
        QCOMPARE(QString(cfg.auto_save_dir), QStringLiteral("c:\\AUTOSAVE"));
    }

    void anUnreadableFileIsReportedAndReplaced() {
        QDir(home_->path()).mkpath("autosave");
        write_file(ini(), "abc");
        when_shown([](QWidget* d) { press(d, 2); });
        QCOMPARE(run_settings_dialog(nullptr), 2);
        QCOMPARE(ui_.boxes.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(ui_.boxes[0].text),
                 QStringLiteral("Unable to load INI file, please delete and try again"));
        QCOMPARE(read_file(ini()).size(), std::size_t(INI_FILE_BYTES));
    }

    void aLowScreenMakesTheOptionsScroll() {
        disp.screen_height = 400;
        TINIDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.height() <= 400);
        auto* area = dialog.findChild<QScrollArea*>();
        QVERIFY(area->verticalScrollBar()->maximum() > 0);
        // Everything can still be reached.
        auto* last = control<QLineEdit>(&dialog, 17157);
        area->ensureWidgetVisible(last);
        QVERIFY(area->viewport()->rect().contains(
            last->mapTo(area->viewport(), last->rect().bottomRight())));
        QVERIFY(control<QPushButton>(&dialog, 1)->isVisible());

        grab(&dialog, "settings_dialog_scrolled.png");
    }

    void grabForInspection() {
        const QByteArray dir = qgetenv("NOCTERIS_GRAB_DIR");
        if (dir.isEmpty()) QSKIP("set NOCTERIS_GRAB_DIR to save a picture of the dialog");
        TINIDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        grab(dialog.findChild<QScrollArea*>()->widget(), "settings_dialog_contents.png");
        grab(&dialog, "settings_dialog.png");
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "test_settings_dialog.moc"
