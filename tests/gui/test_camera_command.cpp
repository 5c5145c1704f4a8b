// The camera command from the window against the in-process simulator: the
// camera is found, the dialog's "Take Photo" starts the sequence, and the
// image ends up shown in the window.
#include "acquisition/acquisition_state.h"
#include "acquisition/camera_dialog.h"
#include "analysis/analysis_state.h"
#include "app/app_logic.h"
#include "app/main_window.h"
#include "app/nocteris_app.h"
#include "devices/transport.h"
#include "display/image_store.h"
#include "platform/qt_progress.h"
#include "platform/qt_ui.h"
#include "settings/settings.h"
#include "sim/usb_provider.h"
#include "support/gui_test.h"
#include "support/test_env.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

namespace {

class CameraCommandTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        prepare_main_window_state();
        startup_pattern();
        platform::usb::use_builtin_providers(false);
        cfg.ignore_pid = 1;
        sim::Config c;
        c.camera.readout_rate = 0;
        simulator = std::make_unique<sim::Simulator>(c);
        provider = std::make_unique<sim::UsbProvider>(*simulator);
        platform::usb::add_provider(provider.get());
        win = new TNocterisWindow;
        frame = new TNocterisFrame(win);
        frame->resize(800, 600);
        frame->show();
        ui.on_command = [this](int id) { win->dispatch(id); };
    }
    void TearDown() override {
        delete frame;
        reset_transport_state();
        platform::usb::remove_provider(provider.get());
        platform::usb::use_builtin_providers(true);
        NocterisTest::TearDown();
    }

    // Runs `act` on the camera dialog once it is up (the camera search
    // before it pumps events too).
    static QTimer* when_dialog_up(std::function<void(TQVDialog*)> act) {
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [timer, act] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<TQVDialog*>(w); d && d->isVisible()) {
                    timer->stop();
                    timer->deleteLater();
                    act(d);
                    return;
                }
        });
        timer->start(10);
        return timer;
    }
    static void press_in_dialog(int id) {
        when_dialog_up([id](TQVDialog* d) { guitest::press(d, id); });
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::UsbProvider> provider;
    TNocterisWindow* win = nullptr;
    TNocterisFrame* frame = nullptr;
};

} // namespace

TEST_F(CameraCommandTest, TakePhotoShowsTheCameraImageInTheWindow) {
    ASSERT_TRUE(win->isEnabled(12));
    press_in_dialog(1);
    win->dispatch(12);

    EXPECT_EQ(usbt.got_qv, 1);
    EXPECT_EQ(frame->windowTitle(), "Nocteris - Nocteris Camera Image");
    EXPECT_EQ(win->PixelWidth(), disp.width1);
    EXPECT_EQ(win->PixelHeight(), disp.height1);
    EXPECT_EQ(disp.width1, 1392); // the simulated model's sensor
    EXPECT_FALSE(ui.progress_shown);
    for (const auto& b : ui.boxes) ADD_FAILURE() << b.text;
}

TEST_F(CameraCommandTest, SeriesWithAutoSaveFromTheDialog) {
    const std::string night = home + "/night";
    when_dialog_up([night](TQVDialog* d) {
        // As the dialog's controls leave them (the camera search has just
        // read the settings file).
        cfg.continuous = 1;
        seq.no_images = 2;
        cfg.auto_save_fits = 1;
        std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "%s", night.c_str());
        guitest::press(d, 1);
    });
    win->dispatch(12);
    EXPECT_TRUE(std::filesystem::exists(home + "/night/IMG1.FIT"));
    EXPECT_TRUE(std::filesystem::exists(home + "/night/IMG2.FIT"));
    for (const auto& b : ui.boxes) ADD_FAILURE() << b.text;
}

// On the real clock and the desktop's own ui: while the camera times a 30 s
// exposure inside the readout, the window keeps painting and the progress
// window counts down; a key pressed meanwhile waits for the stop rule, which
// ends the series once that image is in.
TEST_F(CameraCommandTest, TheWindowPaintsThroughACameraTimedExposureAndAKeyEndsTheSeries) {
    platform::QtUi desktop;
    platform::install_ui(&desktop);
    platform::install_virtual_clock(nullptr);
    struct Restore {
        platform::Ui* ui;
        platform::VirtualClock* clock;
        ~Restore() {
            platform::install_ui(ui);
            platform::install_virtual_clock(clock);
        }
    } restore{&ui, &clock};

    const std::string night = home + "/night";
    when_dialog_up([night](TQVDialog* d) {
        cfg.continuous = 1;
        seq.no_images = 3;
        cfg.exp_range = 's';
        cfg.exp_value = 30;
        if (auto* typed = qobject_cast<QLineEdit*>(guitest::control(d, 105))) typed->setText("30");
        cfg.auto_save_fits = 1;
        std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "%s", night.c_str());
        guitest::press(d, 1);
    });

    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    win->viewport()->installEventFilter(&counter);
    QElapsedTimer clock;
    clock.start();
    std::vector<std::pair<qint64, int>> paints_at; // ms since start, paints so far
    QStringList captions;
    bool pressed = false;
    QTimer ticker; // stands in for the desktop asking for repaints
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        win->viewport()->update();
        paints_at.emplace_back(clock.elapsed(), counter.paints);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<TProgressDialog*>(w); p && p->isVisible())
                if (captions.isEmpty() || captions.back() != p->caption()) captions << p->caption();
        if (!pressed && captions.filter("10 s left").size() > 0) {
            pressed = true;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<TProgressDialog*>(w) && w->isVisible())
                    guitest::grab(w, "progress_countdown.png");
            guitest::grab(frame, "main_window_during_exposure.png");
            QKeyEvent* key = new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
            QCoreApplication::postEvent(frame, key);
        }
    });
    ticker.start(200);
    win->dispatch(12);
    ticker.stop();

    EXPECT_TRUE(pressed);
    EXPECT_TRUE(std::filesystem::exists(night + "/IMG1.FIT"));
    EXPECT_FALSE(std::filesystem::exists(night + "/IMG2.FIT")) << "the key ends the series";
    // At least one repaint in every second of the exposure.
    ASSERT_FALSE(paints_at.empty());
    for (std::size_t i = 0, j = 0; i < paints_at.size(); ++i) {
        while (paints_at[j].first < paints_at[i].first - 1000) ++j;
        if (paints_at[i].first >= 1000 && paints_at[i].first <= 30000) {
            EXPECT_GT(paints_at[i].second, paints_at[j].second)
                << "no repaint in the second before " << paints_at[i].first << " ms";
        }
    }
    EXPECT_GE(counter.paints, 30);
    EXPECT_TRUE(captions.contains("EXPOSURE UNDERWAY (Left - 3) - 30 s left"))
        << captions.join(" | ").toStdString();
}

TEST_F(CameraCommandTest, TheCameraCommandInsideARunningSequenceStopsItAndStartsNoOther) {
    when_dialog_up([](TQVDialog* d) {
        cfg.exp_value = 150; // timed by the host, which takes input meanwhile
        guitest::press(d, 1);
    });
    int dialogs_inside = 0;
    QTimer* watch = nullptr;
    ui.on_pump = [&] {
        // A second dialog would be closed at once, and counted.
        if (!watch)
            watch = when_dialog_up([&](TQVDialog* d) {
                ++dialogs_inside;
                d->reject();
            });
        win->dispatch(12);
        return 1; // the click on the button
    };
    win->dispatch(12);
    ASSERT_NE(watch, nullptr);
    if (dialogs_inside == 0) delete watch; // still waiting: nothing came up
    EXPECT_EQ(dialogs_inside, 0);
    EXPECT_EQ(seq.end_loop, 1);
    EXPECT_LT(clock.peek(), 10000u); // stopped at once, not after 150 s
}

TEST_F(CameraCommandTest, CloseDialogTakesNoImage) {
    press_in_dialog(2);
    const QString before = frame->windowTitle();
    win->dispatch(12);
    EXPECT_EQ(frame->windowTitle(), before);
}
