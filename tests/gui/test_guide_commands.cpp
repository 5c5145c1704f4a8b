// Training and guiding from the window against the in-process simulator:
// the frames show in the window, "Guiding Info" graphs them, and its Stop
// ends the run with the image and the focus window put back.
#include "acquisition/acquisition_state.h"
#include "acquisition/info_dialog.h"
#include "acquisition/readout.h"
#include "app/app_logic.h"
#include "app/main_window.h"
#include "app/nocteris_app.h"
#include "devices/camera_models.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "devices/usb_discovery.h"
#include "dialogs/guide_graph.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "platform/command_ids.h"
#include "settings/settings.h"
#include "sim/usb_provider.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "support/gui_test.h"
#include "support/test_env.h"

#include <QApplication>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace {

class GuideCommandTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        std::filesystem::create_directories(autosave);
        prepare_main_window_state();
        startup_pattern();
        platform::usb::use_builtin_providers(false);
        cfg.ignore_pid = 1;
        sim::Config c;
        c.camera.readout_rate = 0;
        c.mount.pe_amplitude = 0;
        c.mount.drift_ra = 0.05;
        c.mount.drift_dec = 0.1;
        simulator = std::make_unique<sim::Simulator>(c);
        provider = std::make_unique<sim::UsbProvider>(*simulator);
        platform::usb::add_provider(provider.get());
        USBHid().CollectingUSBHidInfo();
        set_camera_model_geometry();
        nocteris_binned();
        win = new TNocterisWindow;
        frame = new TNocterisFrame(win);
        frame->resize(800, 600);
        frame->show();
        ui.on_command = [this](int id) { win->dispatch(id); };
        cfg.telescope = 'l';
        cfg.AOUnit_comport = 0;
        cfg.slewcom = '1';
        cfg.exp_range = 's';
        cfg.exp_value = 1;
        serial.comfound = 1;
        serial.Port = 0;
    }
    void TearDown() override {
        delete frame;
        reset_transport_state();
        platform::usb::remove_provider(provider.get());
        platform::usb::use_builtin_providers(true);
        NocterisTest::TearDown();
    }
    // An image with the brightest fitting star picked, as a click does.
    void pick() {
        acq.exposure = 1000;
        image = image_int;
        ASSERT_TRUE(QV_full_read());
        int bx = 0, by = 0;
        unsigned short best = 0;
        for (int y = 100; y < disp.height1 - 100; ++y)
            for (int x = 100; x < disp.width1 - 100; ++x) {
                const unsigned short v = image[y * disp.width1 + x];
                if (v > best && v < 40000) best = v, bx = x, by = y;
            }
        ASSERT_EQ(find_centre(bx, by, image, cfg.star_mask), 0);
        guide.pick_xcent = guide.xcent;
        guide.pick_ycent = guide.ycent;
        guide.picked_star = 1;
        std::copy(image, image + disp.intlength, kept_.begin());
    }
    static TInfoDialog* info_window() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<TInfoDialog*>(w); d && d->isVisible()) return d;
        return nullptr;
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::UsbProvider> provider;
    TNocterisWindow* win = nullptr;
    TNocterisFrame* frame = nullptr;
    std::vector<unsigned short> kept_ = std::vector<unsigned short>(MAIN_BUFFER_PIXELS);
};

} // namespace

TEST_F(GuideCommandTest, GuidingGraphsEachFrameAndStopPutsEverythingBack) {
    pick();
    cfg.slewx = 4; // as a training on this sky leaves them
    cfg.slewy = 5;
    ASSERT_TRUE(win->isEnabled(CM_START_GUIDE));
    int frames_seen = 0;
    double rms = -1;
    ui.on_pump = [&] {
        TInfoDialog* info = info_window();
        if (!info) return 0;
        EXPECT_EQ(info->windowTitle(), "Guiding Info");
        frames_seen = info->graph()->frames();
        if (frames_seen == 40) {
            rms = info->graph()->rms_total();
            guitest::grab(info, "guiding_info.png");
            guitest::press(info, 108); // Stop
        }
        return 0;
    };
    win->dispatch(CM_START_GUIDE);
    EXPECT_EQ(frames_seen, 40);
    EXPECT_GE(rms, 0);
    EXPECT_LT(rms, 1.0); // drift held within a pixel
    EXPECT_EQ(info_window(), nullptr);
    EXPECT_EQ(guide.guiding, 0);
    EXPECT_EQ(guide.focus_x, 312);
    EXPECT_EQ(guide.focus_y, 65);
    EXPECT_EQ(guide.picked_star, 1);
    EXPECT_TRUE(std::equal(kept_.begin(), kept_.begin() + disp.intlength, image_int));
    for (const auto& b : ui.boxes) ADD_FAILURE() << b.text;
}

TEST_F(GuideCommandTest, TrainingReportsItsRatesAndWantsANewPick) {
    pick();
    cfg.slewdefault = 1;
    win->dispatch(CM_TRAIN_GUIDE);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("slewx = ", 0), 0u) << ui.boxes[0].text;
    EXPECT_GE(cfg.slewx, 4);
    EXPECT_GE(cfg.slewy, 4);
    EXPECT_EQ(guide.picked_star, 0);
    // Without a star, guiding refuses.
    win->dispatch(CM_START_GUIDE);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text, "You must first take an image and pick a star");
}
