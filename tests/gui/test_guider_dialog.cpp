// The guider camera's dialogs under the offscreen platform: the controls by
// id, the preview of the simulated autoguider head, the read-out and the pick
// on the frame, the moves, the guiding information window, and the hand-over
// between the main window, the camera dialog and the guider dialog.
#include "acquisition/acq_sim.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/camera_dialog.h"
#include "acquisition/sequence.h"
#include "app/app_logic.h"
#include "app/main_window.h"
#include "app/nocteris_app.h"
#include "devices/serial_link.h"
#include "dialogs/guide_graph.h"
#include "display/display_pipeline.h"
#include "display/image_store.h"
#include "guiding/guider_camera.h"
#include "guiding/guider_controls.h"
#include "guiding/guider_dialog.h"
#include "guiding/guider_info_dialog.h"
#include "guiding/guiding_state.h"
#include "guiding/sequence_guiding.h"
#include "platform/command_ids.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "support/gui_test.h"
#include "telescope/ao_state.h"
#include "telescope/telescope_state.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

using namespace acqtest;
using namespace guitest;

namespace {

using Act = QAbstractSlider::SliderAction;

class GuiderDialogTest : public AcqSim {
  protected:
    void SetUp() override {
        AcqSim::SetUp();
        std::filesystem::create_directories(autosave);
    }

    static bool enabled(QWidget* d, int id) { return control(d, id)->isEnabled(); }
    void start_guider_on_the_simulated_mount();

    // Presses Start and does `stop` from inside the preview once `frames`
    // frames have been taken (one beep each).
    void preview(TGQVDialog& d, int frames, std::function<void()> stop) {
        QTimer poll;
        bool stopped = false;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (stopped || ui.beeps < frames || !d.previewing()) return;
            stopped = true;
            stop();
        });
        poll.start(0);
        press(&d, 101);
        poll.stop();
    }

    static void draw_star(int cx, int cy) {
        for (int y = 0; y < 290; ++y)
            for (int x = 0; x < 500; ++x) {
                const double r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                guider_imageptr[y * 500 + x] =
                    static_cast<unsigned short>(std::lround(20 + 200 * std::exp(-r2 / 6.0)) << 8);
            }
    }
};

} // namespace

TEST_F(GuiderDialogTest, ExposureStretchAndOptionsFollowTheirRules) {
    TGQVDialog d;
    d.show();
    EXPECT_EQ(d.windowTitle(), "Auto Guider Camera Control");
    QWidget* picture = d.findChild<QWidget*>("picture");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->geometry(), QRect(10, 45, 500, 290));
    EXPECT_TRUE(control<QRadioButton>(&d, 115)->isChecked());
    EXPECT_EQ(text(&d, 112), "1");

    press(&d, 114);
    EXPECT_EQ(autoguide.exp_guider_range, 't');
    EXPECT_EQ(text(&d, 112), "5");
    for (int i = 0; i < 6; ++i) press(&d, 110);
    EXPECT_EQ(text(&d, 112), "1");
    press(&d, 115);
    for (int i = 0; i < 12; ++i) press(&d, 111);
    EXPECT_EQ(text(&d, 112), "10");

    auto* stretch = control<QScrollBar>(&d, 116);
    stretch->triggerAction(Act::SliderPageStepAdd);
    EXPECT_EQ(disp.guider_stretch, 50);
    EXPECT_EQ(text(&d, 117), "50");
    stretch->triggerAction(Act::SliderSingleStepAdd);
    EXPECT_EQ(stretch->value(), 50);
    stretch->triggerAction(Act::SliderPageStepSub);
    EXPECT_EQ(disp.guider_stretch, 5);

    press(&d, 106);
    EXPECT_EQ(autoguide.guider_use_median, 1);
    press(&d, 107);
    EXPECT_EQ(disp.guider_max_stretch, 1);
    press(&d, 108);
    EXPECT_EQ(autoguide.guider_exposure_delay, 1);
    EXPECT_TRUE(control<QCheckBox>(&d, 109)->isChecked());

    for (int id : {157, 158, 141, 170, 175, 184, 189}) EXPECT_TRUE(enabled(&d, id)) << id;
    EXPECT_EQ(text(&d, 156), "Using Default Vals");
    EXPECT_EQ(text(&d, 174), "Using Default Vals");
    EXPECT_EQ(text(&d, 163), "Telescope Drives");
    grab(&d, "guider_dialog_empty.png");
}

TEST_F(GuiderDialogTest, DarkFrameIsOfferedOnceTaken) {
    start();
    TGQVDialog d;
    d.show();
    EXPECT_EQ(text(&d, 105), "No darkframe has been taken");
    EXPECT_FALSE(enabled(&d, 104));
    press(&d, 103);
    EXPECT_EQ(text(&d, 105), " 1 second darkframe available");
    ASSERT_TRUE(enabled(&d, 104));
    press(&d, 104);
    EXPECT_EQ(autoguide.guider_use_darkframe, 1);
    EXPECT_EQ(text(&d, 105), " 1 second darkframe being used");
    EXPECT_FALSE(d.frame_image().isNull());
}

TEST_F(GuiderDialogTest, PreviewRunsUntilAClickAndGoesOnPastRenderFailures) {
    start();
    TGQVDialog d;
    d.show();
    QWidget* picture = d.findChild<QWidget*>("picture");
    preview(d, 2, [&] {
        // Leaving for the main camera or for guiding waits for the preview's end.
        EXPECT_FALSE(enabled(&d, 140));
        EXPECT_FALSE(enabled(&d, 141));
        QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(100, 100));
    });
    EXPECT_FALSE(d.previewing());
    EXPECT_GE(ui.beeps, 2);
    EXPECT_EQ(autoguide.guided_image, 1);
    ASSERT_FALSE(d.frame_image().isNull());
    EXPECT_EQ(d.frame_image().size(), QSize(500, 290));
    EXPECT_TRUE(enabled(&d, 101));
    EXPECT_FALSE(enabled(&d, 102));
    grab(&d, "guider_dialog.png");

    // A bitmap that cannot be written is reported on every frame.
    std::snprintf(disp.BMPname_guide, sizeof disp.BMPname_guide, "c:\\nofolder\\g.bmp");
    ui.beeps = 0;
    ui.boxes.clear();
    preview(d, 3, [&] { press(&d, 102); });
    EXPECT_GE(ui.boxes.size(), 3u);
    for (const auto& b : ui.boxes) EXPECT_EQ(b.text, "Failed to create temp bitmap");

    // Without Continuous, Start takes one frame.
    press(&d, 109);
    ui.boxes.clear();
    press(&d, 101);
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_FALSE(d.previewing());
}

TEST_F(GuiderDialogTest, PointerReadoutAndStarPickOnTheFrame) {
    cfg.star_mask = 6;
    draw_star(200, 100);
    TGQVDialog d;
    d.show();
    QWidget* picture = d.findChild<QWidget*>("picture");
    QTest::mouseMove(picture, QPoint(190, 95));
    EXPECT_EQ(text(&d, 118), "190");
    EXPECT_EQ(text(&d, 119), "95");
    EXPECT_EQ(text(&d, 120), QString::number(guider_imageptr[95 * 500 + 190] >> 8));

    press(&d, 121);
    EXPECT_EQ(picture->cursor().shape(), Qt::CrossCursor);
    QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(2, 100));
    EXPECT_EQ(ui.boxes.back().text, "Sorry, outside Image area - please try again");
    QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(203, 98));
    EXPECT_EQ(guide.guider_picked_star, 1);
    EXPECT_EQ(text(&d, 122), QString::number(guide.guider_pick_xcent));
    EXPECT_EQ(text(&d, 123), QString::number(guide.guider_pick_ycent));
    EXPECT_NEAR(guide.guider_pick_xcent, 200, 1);
    EXPECT_EQ(QString::fromStdString(ui.boxes.back().text).left(10), "x position");
    EXPECT_NE(picture->cursor().shape(), Qt::CrossCursor);
}

TEST_F(GuiderDialogTest, ArrowsMoveWhileHeldAndTogglesOnlyOnTheRelays) {
    start();
    cfg.telescope = 'b';
    TGQVDialog d;
    d.show();
    auto* north = control<QToolButton>(&d, 131);
    QTest::mousePress(north, Qt::LeftButton);
    EXPECT_EQ(tele.tele_moving, 1);
    QTest::mouseRelease(north, Qt::LeftButton);
    EXPECT_EQ(tele.tele_moving, 0);

    ASSERT_TRUE(enabled(&d, 137));
    press(&d, 137);
    EXPECT_EQ(tele.tele_moving, 1);
    // A right click on the frame stops a relay move.
    QTest::mouseClick(d.findChild<QWidget*>("picture"), Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_EQ(tele.tele_moving, 0);

    // With the AO unit chosen the arrows are its; the toggles stay the relays'.
    cfg.GuiderMode = 'A';
    d.ShowValues();
    for (int id : {131, 132, 133, 134}) EXPECT_TRUE(enabled(&d, id)) << id;
    EXPECT_FALSE(enabled(&d, 135));
}

TEST_F(GuiderDialogTest, AOControlsDriveTheUnitAndSaveTheSettings) {
    start();
    cfg.telescope = 'l';
    cfg.AOUnit_comport = 0;
    serial.comfound = 1;
    TGQVDialog d;
    d.show();
    press(&d, 189); // Switch
    EXPECT_EQ(cfg.GuiderMode, 'A');
    EXPECT_EQ(text(&d, 163), "AO Unit");
    EXPECT_EQ(d.findChild<QGroupBox*>("move")->title(), "Move AO Unit");
    // An arrow is one 100-step move of the unit; nothing is left running.
    auto* north = control<QToolButton>(&d, 131);
    QTest::mousePress(north, Qt::LeftButton);
    QTest::mouseRelease(north, Qt::LeftButton);
    EXPECT_EQ(ao.AO_ns, 100);
    EXPECT_EQ(tele.tele_moving, 0);

    for (int id : {180, 181, 182, 183}) press(&d, id);
    EXPECT_EQ(std::string({cfg.AOn, cfg.AOs, cfg.AOe, cfg.AOw}), "snwe");
    EXPECT_EQ(std::string({cfg.Mn, cfg.Ms, cfg.Mt, cfg.Mw}), "SNWT");
    EXPECT_TRUE(control<QCheckBox>(&d, 182)->isChecked());
    EXPECT_FALSE(control<QCheckBox>(&d, 162)->isChecked()); // the mount's own letters stay

    type(&d, 170, "15");
    type(&d, 171, "x");
    press(&d, 184); // Set Values: a field that is no number keeps its rate
    EXPECT_EQ(cfg.AOUnit_slewx, 15);
    EXPECT_EQ(cfg.AOUnit_slewy, 6);
    EXPECT_EQ(text(&d, 171), "6");
    cfg.AOUnit_xrate = 9;
    cfg.AOUnit_yrate = 11;
    press(&d, 185); // Copy Trained
    EXPECT_EQ(text(&d, 170), "9");
    EXPECT_EQ(cfg.AOUnit_slewy, 11);

    auto* use = control<QPushButton>(&d, 186);
    EXPECT_EQ(use->text(), "Use Defaults");
    ao.AOUnit_trained = 1;
    press(&d, 186);
    EXPECT_EQ(ao.AOUnit_use_trained, 1);
    EXPECT_EQ(text(&d, 174), "Using Trained Vals");
    press(&d, 186);
    EXPECT_EQ(use->text(), "Use Trained");
    EXPECT_EQ(text(&d, 174), "Using Default Vals");

    press(&d, 176);
    EXPECT_EQ(cfg.AOUnit_comport, 1);
    EXPECT_TRUE(control<QRadioButton>(&d, 176)->isChecked());
    EXPECT_FALSE(control<QRadioButton>(&d, 177)->isChecked());
    press(&d, 178);
    EXPECT_EQ(cfg.AOUnit_comport, 3);
    press(&d, 177);
    EXPECT_EQ(cfg.AOUnit_comport, 0);
    press(&d, 187); // Change Mode: parallel, the port kept
    EXPECT_EQ(text(&d, 179), "Parallel");
    EXPECT_EQ(cfg.AOUnit_comport, 0);
    press(&d, 188); // Centre AO
    EXPECT_EQ(ao.AO_ns, 0);

    // Without a guider star AO training does nothing.
    guide.guider_picked_star = 0;
    press(&d, 175);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(d.windowTitle(), "Auto Guider Camera Control");
    grab(&d, "guider_dialog_ao.png");

    const Settings set = cfg;
    reset_settings();
    ASSERT_EQ(LoadINIFile(set.ini_file), 0);
    EXPECT_EQ(cfg.GuiderMode, 'A');
    EXPECT_EQ(std::string({cfg.AOn, cfg.AOe, cfg.Mn, cfg.Mt}), "swSW");
    EXPECT_EQ(cfg.AOUnit_slewx, 9);
    EXPECT_EQ(cfg.AOUnit_slewy, 11);
    EXPECT_EQ(cfg.AOUnitModeParallel, 1);
    EXPECT_EQ(cfg.AOUnit_comport, 0);
}

TEST_F(GuiderDialogTest, MainCameraButtonClosesTheDialog) {
    TGQVDialog d;
    d.show();
    press(&d, 140);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(acq.start_maincam, 1);
}

TEST_F(GuiderDialogTest, GuidingInfoShowsTheFrameTheErrorAndItsStop) {
    strcpy(autoguide.guider_info_caption, "Guiding Info - stabilising");
    guide.guider_pick_xcent = 250;
    guide.guider_pick_ycent = 140;
    guide.guider_xcent = 251;
    guide.guider_xcentdec = 3;
    autoguide.x3 = 800;
    autoguide.y3 = -1500;
    autoguide.slew_time_x = 120;
    draw_star(251, 140);
    write_guider_bmp();
    TGInfoDialog info;
    info.show();
    EXPECT_EQ(info.windowTitle(), "Guiding Info - stabilising");
    EXPECT_EQ(control<QLabel>(&info, 111)->text(), "251.3");
    EXPECT_EQ(control<QLabel>(&info, 113)->text(), "0.8");
    EXPECT_EQ(control<QLabel>(&info, 114)->text(), "-1.5");
    EXPECT_EQ(control<QLabel>(&info, 115)->text(), "120");
    EXPECT_FALSE(info.frame_image().isNull());
    ASSERT_NE(info.graph(), nullptr);
    EXPECT_NE(dynamic_cast<GuideGraph*>(info.graph()), nullptr);
    EXPECT_GE(info.graph()->geometry().top(), 45 + 290);

    EXPECT_FALSE(enabled(&info, 108));
    guide.guider_guiding_standalone = 1;
    autoguide.guided_image = 1;
    for (int i = 0; i < 40; ++i) info.graph()->add(0.3 * std::sin(i / 3.0), 0.2, 100, -50);
    info.InfoUpdate();
    // The guider's 7.4 um pixels at 1000 mm, not the main camera's.
    EXPECT_TRUE(info.graph()->rms_text().contains("y 0.20 px (0.31\")"))
        << qPrintable(info.graph()->rms_text());
    ASSERT_TRUE(enabled(&info, 108));
    grab(&info, "guider_info.png");
    press(&info, 108);
    EXPECT_EQ(guide.guider_guiding_standalone, 0);
    EXPECT_FALSE(enabled(&info, 108));
}

namespace {

// Acts once on each guider or camera dialog that shows.
class DialogWatch {
  public:
    std::function<void(TGQVDialog*)> on_guider;
    std::function<void(TQVDialog*)> on_camera;
    DialogWatch() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (!w->isVisible() || seen_.count(w)) continue;
                if (auto* g = qobject_cast<TGQVDialog*>(w)) {
                    seen_.insert(w);
                    on_guider(g);
                } else if (auto* c = qobject_cast<TQVDialog*>(w)) {
                    seen_.insert(w);
                    on_camera(c);
                }
            }
        });
        timer_.start(10);
    }

  private:
    QTimer timer_;
    std::set<QWidget*> seen_;
};

} // namespace

TEST_F(GuiderDialogTest, CtrlGOpensTheGuiderAndTheDialogsHandOverToEachOther) {
    prepare_main_window_state();
    start();
    cfg.telescope = 'b';
    auto* win = new TNocterisWindow;
    auto* frame = new TNocterisFrame(win);
    frame->resize(800, 600);
    frame->show();
    ui.on_command = [win](int id) { win->dispatch(id); };

    int guiders = 0, cameras = 0;
    DialogWatch watch;
    watch.on_guider = [&](TGQVDialog* d) {
        ++guiders;
        EXPECT_EQ(d->windowTitle(), "Auto Guider Camera Control");
        press(d, guiders == 1 ? 140 : 2); // to the main camera, then close
    };
    watch.on_camera = [&](TQVDialog* d) {
        ++cameras;
        press(d, 16);
    };
    // Ctrl+G is the window's accelerator for command 27.
    auto* accel = frame->findChild<QShortcut*>("accel27");
    ASSERT_NE(accel, nullptr);
    EXPECT_EQ(accel->key(), QKeySequence(Qt::CTRL | Qt::Key_G));
    emit accel->activated();
    EXPECT_EQ(guiders, 1);
    // The camera dialog the guider handed over to comes once the command has
    // returned; its own hand-over brings the guider back.
    QElapsedTimer t;
    t.start();
    while (guiders < 2 && t.elapsed() < 20000) QTest::qWait(10);
    EXPECT_EQ(guiders, 2);
    EXPECT_EQ(cameras, 1);
    EXPECT_EQ(autoguide.got_guidercam, 1);
    delete frame;
}

namespace {

// The simulated guider's brightest unsaturated star, picked as a click would.
void pick_guider_star() {
    ASSERT_TRUE(QV_guider_camera_read());
    int bx = 0, by = 0;
    unsigned short best = 0;
    for (int y = 30; y < 260; ++y)
        for (int x = 30; x < 470; ++x) {
            const unsigned short v = guider_imageptr[y * 500 + x];
            if (v > best && v < 60000) best = v, bx = x, by = y;
        }
    ASSERT_EQ(guider_find_centre(bx, by, guider_imageptr, cfg.star_mask), 0);
    guide.guider_pick_xcent = guide.guider_xcent;
    guide.guider_pick_ycent = guide.guider_ycent;
    guide.guider_picked_star = 1;
}

// The main window's state, the simulator with the LX200 on the camera's
// port, 1 s guider frames and a guider star picked.
void GuiderDialogTest::start_guider_on_the_simulated_mount() {
    prepare_main_window_state();
    start();
    cfg.telescope = 'l';
    cfg.AOUnit_comport = 0;
    serial.comfound = 1;
    serial.Port = 0;
    autoguide.exp_guider_range = 's';
    autoguide.exp_guider_value = 1;
    pick_guider_star();
}

} // namespace

TEST_F(GuiderDialogTest, TrainingChoosesTheModelAndStandaloneGuidingRunsUntilStop) {
    start_guider_on_the_simulated_mount();
    {
        TGQVDialog d;
        d.show();
        EXPECT_TRUE(enabled(&d, 157));
        EXPECT_EQ(control<QPushButton>(&d, 158)->text(), "Use Defaults");
        press(&d, 157); // Train
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text.rfind("slew RA =", 0), 0u) << ui.boxes[0].text;
        EXPECT_EQ(d.windowTitle(), "Auto Guider Camera Control");
        EXPECT_EQ(autoguide.guider_use_trained, 1);
        press(&d, 158); // back to the typed parameters
        EXPECT_EQ(autoguide.guider_use_trained, 0);
        EXPECT_EQ(control<QPushButton>(&d, 158)->text(), "Use Trained");
        press(&d, 158);
        EXPECT_EQ(autoguide.guider_use_trained, 1);

        ui.boxes.clear();
        press(&d, 175); // Train AO, on the guider frames
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text.rfind("slew RA =", 0), 0u) << ui.boxes[0].text;
        EXPECT_EQ(text(&d, 174), "Using Trained Vals");
        EXPECT_EQ(d.windowTitle(), "Auto Guider Camera Control");
    }

    auto* win = new TNocterisWindow;
    ui.on_command = [win](int id) { win->dispatch(id); };
    int frames = 0;
    ui.on_pump = [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* info = qobject_cast<TGInfoDialog*>(w); info && info->isVisible()) {
                frames = info->graph()->frames();
                if (frames == 25) {
                    EXPECT_TRUE(enabled(info, 108));
                    grab(info, "guider_guiding.png");
                    press(info, 108); // Stop
                }
            }
        return 0;
    };
    win->dispatch(CM_GUIDER_GUIDE);
    EXPECT_EQ(frames, 25);
    EXPECT_EQ(guide.guider_guiding_standalone, 0);
    EXPECT_EQ(autoguide.guider_guiding_failed, 0);
    delete win;
}

TEST_F(GuiderDialogTest, AnExposureTakenWhileTheGuiderGuidesOnItsOwnRefreshesItsWindow) {
    start_guider_on_the_simulated_mount();
    auto* win = new TNocterisWindow;
    install_window_guider_host(win);
    install_guiding_hooks();
    ui.on_command = [win](int id) { win->dispatch(id); };
    struct TakePhoto : SequenceHost {
        bool run_dialog() override { return true; }
    };
    bool exposed = false, done = false;
    int before = 0, after = 0;
    ui.on_pump = [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* info = qobject_cast<TGInfoDialog*>(w); info && info->isVisible()) {
                const int frames = info->graph()->frames();
                if (frames == 3 && !exposed) {
                    // The camera window's Take Photo, as the user would.
                    exposed = true;
                    before = frames;
                    cfg.exp_range = 's';
                    cfg.exp_value = 120;
                    cfg.continuous = 0;
                    seq.no_images = 1;
                    TakePhoto host;
                    run_exposure_sequence(host);
                    after = info->graph()->frames();
                    done = true;
                }
                if (done && frames >= after + 2) press(info, 108); // Stop
            }
        return 0;
    };
    win->dispatch(CM_GUIDER_GUIDE);
    EXPECT_TRUE(exposed);
    EXPECT_GT(after - before, 60) << "the exposure's guider cycles showed in the same window";
    EXPECT_EQ(guide.guider_guiding_standalone, 0);
    install_guider_hooks(nullptr);
    delete win;
}
