// The FITS details dialog: what it shows, what Continue and Abort leave in
// the detail fields, and the time-difference scroll bar.
#include "display/image_store.h"

#include "app/all_state.h"
#include "files/fits.h"
#include "files/fits_dialog.h"
#include "settings/settings.h"
#include "support/gui_test.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QtTest>
#include <cstring>
#include <functional>

using namespace guitest;

class TestFitsDialog : public QObject {
    Q_OBJECT

  private:
    // Runs `steps` on the dialog once it shows modally; returns the dialog's result.
    static int run(std::function<void(QWidget*)> steps) {
        when_shown(steps);
        return run_fits_dialog(nullptr);
    }
    static void set_details() {
        std::strcpy(cfg.FITS_Obj, "M 13");
        std::strcpy(cfg.FITS_Obs, "Ann");
        std::strcpy(cfg.FITS_Tel, "LX200");
        std::strcpy(cfg.FITS_Src, "Observatory");
        std::strcpy(cfg.FITS_Ins, "Veltrane CCD");
        std::strcpy(cfg.FITS_Filter, "None");
        std::strcpy(cfg.FITS_Com, "seeing 3");
        std::strcpy(cfg.FITS_His, "stacked");
        std::strcpy(fits.FITS_Date, "2024-06-01");
        std::strcpy(fits.FITS_Time, "22:10:00");
        fits.FITS_Exptime = 30;
        cfg.FITS_Focallen = 79.5;
        cfg.FITS_Aperture = 12.5;
        cfg.FITS_Diff = -5;
    }

  private slots:
    void init() { reset_all_state(); }

    void opensWithTheDetailFields() {
        set_details();
        fits.eightbit = 1;
        TFITSDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("FITS DETAILS"));
        QCOMPARE(text(&dialog, "FITS_Obj"), QStringLiteral("M 13"));
        QCOMPARE(text(&dialog, "FITS_Src"), QStringLiteral("Observatory"));
        QCOMPARE(text(&dialog, "FITS_Date"), QStringLiteral("2024-06-01"));
        QCOMPARE(control<QPlainTextEdit>(&dialog, "FITS_His")->toPlainText(),
                 QStringLiteral("stacked"));
        QCOMPARE(text(&dialog, "FITS_Exptime"), QStringLiteral("30.000000"));
        QCOMPARE(text(&dialog, "FITS_Focallen"), QStringLiteral("79.500000"));
        QCOMPARE(text(&dialog, "FITS_Diff"), QStringLiteral("-5"));
        QCOMPARE(control<QScrollBar>(&dialog, "FITS_Diff_bar")->value(), -5);
        QVERIFY(control<QCheckBox>(&dialog, "eightbit")->isChecked());
        QVERIFY(!control<QCheckBox>(&dialog, "FITS_SBIG")->isChecked());

        // A stored difference beyond the bar's range shows as none.
        cfg.FITS_Diff = 14;
        TFITSDialog wide;
        QCOMPARE(text(&wide, "FITS_Diff"), QStringLiteral("0"));
        QCOMPARE(control<QScrollBar>(&wide, "FITS_Diff_bar")->value(), 0);
    }

    void continueCopiesEveryFieldBack() {
        set_details();
        const int r = run([](QWidget* d) {
            type(d, "FITS_Obj", QString(80, QLatin1Char('o'))); // longer than the field takes
            type(d, "FITS_Tel", QStringLiteral("Newton 200/1000"));
            type(d, "FITS_Date", QStringLiteral("2024-06-02 extra"));
            type(d, "FITS_Filter", QStringLiteral("Ha"));
            type(d, "FITS_Exptime", QStringLiteral("  45.25"));
            type(d, "FITS_Focallen", QStringLiteral("long")); // not a number: kept
            type(d, "FITS_Aperture", QStringLiteral("nan"));  // nor this
            control<QPlainTextEdit>(d, "FITS_Com")->setPlainText("two\nlines");
            control<QPlainTextEdit>(d, "FITS_His")->setPlainText(QString(300, QLatin1Char('h')));
            arrow(d, "FITS_Diff_bar", true);
            arrow(d, "FITS_Diff_bar", true);
            press(d, "continue");
        });
        QCOMPARE(r, 1);
        QCOMPARE(std::strlen(cfg.FITS_Obj), std::size_t(67));
        QCOMPARE(cfg.FITS_Tel, "Newton 200/1000");
        QCOMPARE(fits.FITS_Date, "2024-06-02 ");
        QCOMPARE(cfg.FITS_Filter, "Ha");
        QCOMPARE(cfg.FITS_Obs, "Ann");
        QCOMPARE(fits.FITS_Time, "22:10:00");
        QCOMPARE(cfg.FITS_Com, "two lines");
        QCOMPARE(std::strlen(cfg.FITS_His), std::size_t(254));
        QCOMPARE(fits.FITS_Exptime, 45.25);
        QCOMPARE(cfg.FITS_Focallen, 79.5);
        QCOMPARE(cfg.FITS_Aperture, 12.5);
        QCOMPARE(cfg.FITS_Diff, -3);
    }

    void abortKeepsTheFieldsButNotTheCheckBoxes() {
        set_details();
        const int r = run([](QWidget* d) {
            type(d, "FITS_Obj", QStringLiteral("changed"));
            arrow(d, "FITS_Diff_bar", false);
            press(d, "eightbit");
            press(d, "FITS_SBIG");
            QCOMPARE(fits.eightbit, 1); // at once, before any button
            QCOMPARE(cfg.FITS_SBIG, 1);
            press(d, "abort");
        });
        QCOMPARE(r, 0);
        QCOMPARE(cfg.FITS_Obj, "M 13");
        QCOMPARE(cfg.FITS_Diff, -5);
        QCOMPARE(fits.eightbit, 1);
        QCOMPARE(cfg.FITS_SBIG, 1);
    }

    void timeDifferenceStopsAtElevenHours() {
        cfg.FITS_Diff = 9;
        TFITSDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (int i = 0; i < 4; ++i) arrow(&dialog, "FITS_Diff_bar", true);
        QCOMPARE(text(&dialog, "FITS_Diff"), QStringLiteral("11"));
        for (int i = 0; i < 30; ++i) arrow(&dialog, "FITS_Diff_bar", false);
        QCOMPARE(text(&dialog, "FITS_Diff"), QStringLiteral("-11"));
        arrow(&dialog, "FITS_Diff_bar", true);
        QCOMPARE(text(&dialog, "FITS_Diff"), QStringLiteral("-10"));
        QCOMPARE(cfg.FITS_Diff, 9); // until Continue
    }

    void grabForInspection() {
        const QByteArray dir = qgetenv("NOCTERIS_GRAB_DIR");
        if (dir.isEmpty()) QSKIP("set NOCTERIS_GRAB_DIR to save a picture of the dialog");
        set_details();
        TFITSDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        grab(&dialog, "fits_dialog.png");
    }
};

QTEST_MAIN(TestFitsDialog)
#include "test_fits_dialog.moc"
