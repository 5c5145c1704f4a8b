// The camera control dialog under the offscreen platform: its controls by id,
// the preview loop against the simulated camera, the pick on the picture, and
// the two small windows that go with it.
#include "acquisition/acq_sim.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/camera_dialog.h"
#include "acquisition/info_dialog.h"
#include "acquisition/readout.h"
#include "acquisition/wait_dialog.h"
#include "devices/serial_link.h"
#include "display/display_pipeline.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "guiding/camera_training.h"
#include "guiding/guiding_state.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "support/gui_test.h"
#include "telescope/ao_state.h"
#include "telescope/telescope_state.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>

using namespace acqtest;
using namespace guitest;

namespace {

using Act = QAbstractSlider::SliderAction;

class CameraDialogTest : public AcqSim {
  protected:
    void SetUp() override {
        AcqSim::SetUp();
        std::filesystem::create_directories(autosave);
        ui.on_command = [](int id) {
            if (id == 1906) disp.max_stretch = !disp.max_stretch;
            if (id == 16102) set_camera_model_geometry();
        };
    }

    static bool enabled(QWidget* dialog, int id) { return control(dialog, id)->isEnabled(); }

    // Presses Start and, from inside the loop, does `stop` once `passes`
    // exposures have been taken (one beep each).
    void preview(TQVDialog& d, int passes, std::function<void()> stop) {
        QTimer poll;
        bool stopped = false;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (stopped || ui.beeps < passes || !d.previewing()) return;
            stopped = true;
            stop();
        });
        poll.start(0);
        press(&d, 107);
        poll.stop();
    }

    // A Gaussian star on a flat background, in the current geometry.
    static void draw_star(int cx, int cy) {
        for (int y = 0; y < disp.height1; ++y)
            for (int x = 0; x < disp.width1; ++x) {
                const double r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                image_int[y * disp.width1 + x] =
                    static_cast<unsigned short>(1000 + 20000 * std::exp(-r2 / 8.0));
            }
    }
};

} // namespace

TEST_F(CameraDialogTest, ExposureControlsFollowTheirRules) {
    TQVDialog d;
    d.show();
    EXPECT_EQ(d.windowTitle(), "Nocteris Control Interface");
    EXPECT_TRUE(control<QRadioButton>(&d, 704)->isChecked());
    EXPECT_EQ(text(&d, 105), "1");

    press(&d, 702);
    EXPECT_EQ(cfg.exp_range, 'h');
    EXPECT_EQ(text(&d, 105), "5");
    EXPECT_EQ(control<QScrollBar>(&d, 104)->maximum(), 500);

    // A typed value is taken by the next refresh only below the limit.
    set_text(&d, 105, "500");
    press(&d, 117);
    EXPECT_EQ(cfg.exposure_delay, 1);
    EXPECT_EQ(cfg.exp_value, 5);
    EXPECT_EQ(text(&d, 105), "5");
    set_text(&d, 105, "499");
    press(&d, 117);
    EXPECT_EQ(cfg.exp_value, 499);
    control<QScrollBar>(&d, 104)->triggerAction(Act::SliderSingleStepAdd);
    control<QScrollBar>(&d, 104)->triggerAction(Act::SliderSingleStepAdd);
    EXPECT_EQ(text(&d, 105), "500");
    EXPECT_EQ(control<QScrollBar>(&d, 104)->value(), 500);

    // Each bar shows what its rule left: no fewer than one exposure.
    control<QScrollBar>(&d, 111)->triggerAction(Act::SliderSingleStepSub);
    EXPECT_EQ(control<QScrollBar>(&d, 111)->value(), 1);
    control<QScrollBar>(&d, 111)->triggerAction(Act::SliderSingleStepAdd);
    EXPECT_EQ(text(&d, 112), "2");
    EXPECT_EQ(text(&d, 17), "Auto Merging");
    press(&d, 710);
    EXPECT_TRUE(control<QCheckBox>(&d, 116)->isChecked());

    // The display stretch belongs to the main window.
    press(&d, 748);
    EXPECT_EQ(ui.commands, std::vector<int>({1906}));
    EXPECT_TRUE(control<QCheckBox>(&d, 748)->isChecked());

    EXPECT_EQ(text(&d, 728), "Using Default Vals");
    EXPECT_EQ(text(&d, 761), "Telescope Drives");
    EXPECT_FALSE(enabled(&d, 743)); // nothing trained to save

    set_text(&d, 730, "9");
    set_text(&d, 732, "x");
    press(&d, 742);
    EXPECT_EQ(cfg.slewx, 9);
    EXPECT_EQ(cfg.slewy, 2);
    EXPECT_EQ(text(&d, 732), "2");

    press(&d, 9);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Nocteris - Control ZQ Camera");
}

TEST_F(CameraDialogTest, TakePhotoClosesOnlyWithANonZeroValue) {
    when_shown([](QWidget* d) {
        press(d, 702);
        set_text(d, 105, "0");
        press(d, 1);
        EXPECT_TRUE(d->isVisible());
        set_text(d, 105, "500"); // above the arrow limit, still taken
        press(d, 1);
        EXPECT_FALSE(d->isVisible());
    });
    disp.bin_display_quad = 1;
    EXPECT_TRUE(run_camera_dialog(nullptr));
    EXPECT_EQ(cfg.exp_value, 500);
    EXPECT_EQ(disp.bin_display_quad, 0);

    when_shown([](QWidget* d) { press(d, 2); });
    EXPECT_FALSE(run_camera_dialog(nullptr));
    EXPECT_EQ(acq.stopit, 1);
}

TEST_F(CameraDialogTest, PreviewLoopShowsTheSkyAndStopsOnStopOrAnyClick) {
    start();
    ui.on_command = [](int id) {
        if (id == 1906) disp.max_stretch = !disp.max_stretch;
    };
    cfg.exp_range = 's';
    cfg.exp_value = 10;
    cfg.focus_delay = 1;
    TQVDialog d;
    d.show();
    press(&d, 748); // faint stars need the display stretch
    EXPECT_TRUE(d.picture_image().isNull());

    // No preview in minutes, nor of 100 units or more.
    press(&d, 705);
    press(&d, 107);
    press(&d, 704);
    set_text(&d, 105, "100");
    press(&d, 107);
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_EQ(disp.focussed, 0);
    set_text(&d, 105, "10");
    EXPECT_FALSE(enabled(&d, 108));
    EXPECT_FALSE(enabled(&d, 725)); // no guide dark frame yet

    preview(d, 2, [&] { press(&d, 108); });
    EXPECT_FALSE(d.previewing());
    EXPECT_EQ(acq.stopit, 1);
    EXPECT_EQ(ui.beeps, 2);
    EXPECT_EQ(disp.focussed, 1);
    EXPECT_GT(acq.max_value, 0);
    EXPECT_EQ(text(&d, 109), QString::number(acq.max_focus_val));
    ASSERT_FALSE(d.picture_image().isNull());
    EXPECT_EQ(d.picture_image().size(), QSize(disp.width1 / 4 + 2, disp.height1 / 4 + 2));
    // Stars: some picture pixels stand well above the sky.
    const QImage& pic = d.picture_image();
    int darkest = 255, brightest = 0;
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x) {
            darkest = std::min(darkest, qGray(pic.pixel(x, y)));
            brightest = std::max(brightest, qGray(pic.pixel(x, y)));
        }
    EXPECT_GT(brightest - darkest, 60);

    // A left press anywhere in the dialog stops it too, even on a label.
    ui.beeps = 0;
    preview(d, 1, [&] {
        QLabel* any = d.findChildren<QLabel*>().front();
        QTest::mousePress(any, Qt::LeftButton);
        QTest::mouseRelease(any, Qt::LeftButton);
    });
    EXPECT_FALSE(d.previewing());
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_TRUE(enabled(&d, 107));

    // The guide dark frame: one pass, then "Apply Dark Frame" may be ticked.
    press(&d, 724);
    EXPECT_EQ(acq.guider_darkframe_loaded, 1);
    EXPECT_EQ(text(&d, 723), "10 second darkframe available");
    ASSERT_TRUE(enabled(&d, 725));
    press(&d, 725);
    EXPECT_EQ(acq.use_darkframe, 1);

    // The simulated filter wheel is there: its buttons work.
    ASSERT_TRUE(enabled(&d, 13));
    press(&d, 13);
    EXPECT_EQ(text(&d, 10), "2");
    EXPECT_EQ(text(&d, 11), "Filter 2");

    if (const char* dir = std::getenv("NOCTERIS_SCREENSHOTS")) {
        // With the brightest star picked and the cross-wires on.
        long best = 0;
        for (int y = 40; y < disp.height1 - 40; ++y)
            for (int x = 40; x < disp.width1 - 40; ++x)
                if (image_int[y * disp.width1 + x] > image_int[best]) best = y * disp.width1 + x;
        press(&d, 726);
        QTest::mouseClick(d.findChild<QWidget*>("picture"), Qt::LeftButton, {},
                          QPoint(best % disp.width1 / 4, best / disp.width1 / 4));
        press(&d, 775);
        d.grab().save(QString::fromLocal8Bit(dir) + "/camera_dialog.png");
    }
}

TEST_F(CameraDialogTest, ThePreviewEndsByItselfWhenTheCameraGoesAway) {
    sim::Config c;
    c.faults.camera.disconnect_frame = 1;
    start(c);
    cfg.exp_range = 't';
    cfg.exp_value = 1;
    cfg.focus_delay = 0;
    TQVDialog d;
    d.show();
    preview(d, 10, [&] { ADD_FAILURE() << "the loop should have ended by itself"; });
    EXPECT_FALSE(d.previewing());
    EXPECT_EQ(ui.beeps, 2); // the second frame was cut short
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_NE(ui.boxes[0].text.find("trying to read ZIRED data from USB"), std::string::npos);

    // Nor is a guide dark frame kept from a frame that did not arrive.
    press(&d, 724);
    EXPECT_EQ(acq.guider_darkframe_loaded, 0);
    EXPECT_EQ(acq.taking_darkframe, 0);
    EXPECT_EQ(text(&d, 723), "No Dark Frame has been taken");
}

TEST_F(CameraDialogTest, ClosingEndsThePreview) {
    start();
    cfg.exp_range = 't';
    cfg.exp_value = 1;
    cfg.focus_delay = 0;
    TQVDialog d;
    d.show();
    preview(d, 1, [&] { d.reject(); });
    EXPECT_FALSE(d.previewing());
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(ui.beeps, 1);
}

TEST_F(CameraDialogTest, PickingAStarOnThePicture) {
    set_image_size(400, 320);
    disp.binned = 0;
    draw_star(201, 161);
    cfg.star_mask = 8;
    guide.picked_star = 1; // a pick from before does not carry over
    TQVDialog d;
    d.show();
    QWidget* picture = d.findChild<QWidget*>("picture");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size(), QSize(102, 82));
    EXPECT_EQ(text(&d, 751), "");

    // Without "Select Guide Star" a click only shows where it is.
    QTest::mouseMove(picture, QPoint(50, 40));
    EXPECT_EQ(text(&d, 754), "200");
    EXPECT_EQ(text(&d, 755), "160");
    EXPECT_EQ(text(&d, 753), QString::number(image_int[160 * 400 + 200]));
    QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(51, 41));
    EXPECT_EQ(guide.picked_star, 0);
    EXPECT_TRUE(ui.boxes.empty());

    press(&d, 726);
    QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(51, 41));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "x position =   201\ny position =   161");
    EXPECT_EQ(guide.picked_star, 1);
    EXPECT_EQ(guide.pick_star, 0);
    EXPECT_EQ(text(&d, 751), "201");
    EXPECT_EQ(text(&d, 752), "161");

    // The cross is drawn at a quarter of the star's position.
    const QImage shot = picture->grab().toImage();
    const QColor arm = shot.pixelColor(201 / 4 + 15, 161 / 4);
    EXPECT_GT(arm.red(), 200);
    EXPECT_LT(arm.green(), 100);
}

TEST_F(CameraDialogTest, InfoAndWaitWindows) {
    guide.xcent = 63;
    guide.xcentdec = 4;
    guide.ycent = 70;
    guide.ycentdec = 0;
    guide.guider_guiding_standalone = 1;
    TInfoDialog info;
    info.InfoUpdate(1500, 260, -12, 7);
    EXPECT_EQ(info.windowTitle(), "Guiding Info");
    EXPECT_EQ(control<QLabel>(&info, 101)->text(), "Guide star  x 63.4   y 70.0");
    EXPECT_EQ(control<QLabel>(&info, 102)->text(), "Last corrections  x 1.5 s   y 0.3 s");
    EXPECT_EQ(control<QLabel>(&info, 103)->text(), "AO unit  n/s   -12   e/w     7");
    EXPECT_TRUE(info.focus_image().isNull()); // no focus bitmap written yet

    // A guide frame with the star at (63.4, 70.0), as guiding writes it.
    set_image_size(FOCUS_SIDE, FOCUS_SIDE);
    draw_star(63, 70);
    disp.focus_mode = 1;
    DisplayImage();
    ASSERT_EQ(
        write_bmp(reinterpret_cast<char*>(pixels_c), reinterpret_cast<char*>(pixels_bmp), 1, 0),
        BMP_OK);
    info.InfoUpdate(1500, 260, -12, 7);
    EXPECT_EQ(info.focus_image().size(), QSize(FOCUS_SIDE, FOCUS_SIDE));
    info.show();
    QTest::mouseClick(control<QPushButton>(&info, 108), Qt::LeftButton);
    EXPECT_EQ(guide.guider_guiding_standalone, 0);

    TWaitDialog wait;
    EXPECT_EQ(wait.windowTitle(), "Nocteris  Information");
    EXPECT_EQ(control<QLabel>(&wait, 101)->text(), "Initialisation in Progress");
    if (const char* dir = std::getenv("NOCTERIS_SCREENSHOTS")) {
        info.grab().save(QString::fromLocal8Bit(dir) + "/info_dialog.png");
        wait.show();
        wait.grab().save(QString::fromLocal8Bit(dir) + "/wait_dialog.png");
    }
}

TEST_F(CameraDialogTest, GuidingControlsTrainSwitchTestTheDrivesAndStartGuiding) {
    start();
    cfg.telescope = 'l';
    cfg.slewcom = '1';
    cfg.AOUnit_comport = 0;
    cfg.gotcontrolbox = 1;
    serial.comfound = 1;
    cfg.exp_range = 's';
    cfg.exp_value = 1;
    cfg.continuous = 0;
    TQVDialog d;
    d.show();
    for (int id : {15, 721, 722, 727, 729, 135, 138, 762, 763, 771, 774})
        EXPECT_TRUE(enabled(&d, id)) << id;

    // "Train" without a star does nothing; with one it runs on the sky.
    press(&d, 727);
    EXPECT_EQ(d.windowTitle(), "Nocteris Control Interface");
    acq.exposure = 1000;
    QV_camera_read();
    ASSERT_TRUE(pick_brightest_star(image_int));
    press(&d, 727);
    EXPECT_EQ(d.windowTitle(), CAMERA_CONTROL_CAPTION);
    EXPECT_FALSE(d.training());
    EXPECT_FALSE(d.picture_image().isNull()); // the training's last frame
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("slew RA = ", 0), 0u);
    EXPECT_EQ(text(&d, 728), "Using Trained Vals");
    EXPECT_EQ(text(&d, 735), QString::number(autoguide.RA_rate));
    EXPECT_GT(autoguide.RA_rate, 1);

    press(&d, 729);
    EXPECT_EQ(autoguide.use_trained, 0);
    EXPECT_EQ(control<QPushButton>(&d, 729)->text(), "Use Trained");
    EXPECT_EQ(text(&d, 728), "Using Default Vals");

    // The drive bars move the mount while an arrow is held.
    QScrollBar* ns = control<QScrollBar>(&d, 721);
    const QPoint left_arrow(4, ns->height() / 2);
    QTest::mousePress(ns, Qt::LeftButton, {}, left_arrow);
    EXPECT_EQ(tele.tele_moving, 1);
    EXPECT_STREQ(tele.move_direction, "#:Mn#");
    QTest::mouseRelease(ns, Qt::LeftButton, {}, left_arrow);
    EXPECT_EQ(tele.tele_moving, 0);
    QScrollBar* ew = control<QScrollBar>(&d, 722);
    const QPoint right_arrow(ew->width() - 4, ew->height() / 2);
    QTest::mousePress(ew, Qt::LeftButton, {}, right_arrow);
    EXPECT_STREQ(tele.move_direction, "#:Me#");
    QTest::mouseRelease(ew, Qt::LeftButton, {}, right_arrow);
    EXPECT_EQ(tele.tele_moving, 0);

    // Self-guiding shows in the camera mode; a press on the box toggles it.
    press(&d, 135);
    EXPECT_EQ(guide.selfguiding, 1);
    EXPECT_TRUE(control<QCheckBox>(&d, 135)->isChecked());
    EXPECT_EQ(text(&d, 17), "Selfguide Next Image");
    press(&d, 138);
    EXPECT_EQ(guide.selfguiding_darkframe, 1);
    press(&d, 138);
    EXPECT_EQ(guide.selfguiding, 0);
    EXPECT_FALSE(control<QCheckBox>(&d, 135)->isChecked());

    for (auto* g : d.findChildren<QGroupBox*>())
        if (g->title() == "Guiding") grab(g, "camera_dialog_guiding.png");
    grab(&d, "camera_dialog_all.png");

    // "Start Guiding" takes the typed exposure and closes the dialog.
    type(&d, 105, "3");
    press(&d, 15);
    EXPECT_EQ(acq.startguiding, 1);
    EXPECT_EQ(cfg.exp_value, 3);
    EXPECT_FALSE(d.isVisible());
}

TEST_F(CameraDialogTest, AOControlsSwitchTheModeAndDriveTheUnit) {
    start();
    cfg.telescope = 'l';
    cfg.AOUnit_comport = 0;
    serial.comfound = 1;
    TQVDialog d;
    d.show();
    EXPECT_EQ(text(&d, 761), "Telescope Drives");
    EXPECT_EQ(text(&d, 773), "Serial");
    EXPECT_TRUE(control<QRadioButton>(&d, "ao_com1")->isChecked());

    press(&d, 762);
    EXPECT_EQ(cfg.GuiderMode, 'A');
    EXPECT_EQ(text(&d, 761), "AO Unit");
    EXPECT_TRUE(std::filesystem::exists(autosave + "/Nocteris.INI"));

    // With the unit chosen an arrow steps it through its mount output, and
    // the simulated mount moves; nothing is left moving.
    const auto eta = [this] { return simulator->world().view(simulator->now()).eta; };
    const double e0 = eta();
    QScrollBar* ns = control<QScrollBar>(&d, 721);
    const QPoint left_arrow(4, ns->height() / 2);
    QTest::mousePress(ns, Qt::LeftButton, {}, left_arrow);
    QTest::mouseRelease(ns, Qt::LeftButton, {}, left_arrow);
    EXPECT_EQ(tele.tele_moving, 0);
    EXPECT_GE(ao.AO_ns, 100);
    clock.advance(5000);
    EXPECT_GT(eta() - e0, 1.0);

    // "Centralise" forgets the tracked position.
    press(&d, 772);
    EXPECT_EQ(ao.AO_ns, 0);
}
