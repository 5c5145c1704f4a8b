// The program's own discovery and transport against the simulator: in this
// process through its USB provider (virtual clock), and through the sockets
// of a running server (real clock), as the program finds nocteris-sim.
#include "sim/server.h"
#include "sim/usb_provider.h"
#include "sim_test_util.h"
#include "support/test_env.h"

#include "devices/camera_models.h"
#include "devices/camera_protocol.h"
#include "devices/transport.h"
#include "devices/usb_discovery.h"
#include "platform/usb_ids.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace simtest;

namespace {

class SimDiscovery : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        ui.on_command = [](int id) {
            if (id == 16102) set_camera_model_geometry();
        };
    }
    void TearDown() override {
        reset_transport_state();
        if (provider) platform::usb::remove_provider(provider.get());
        platform::usb::use_builtin_providers(true);
        platform::usb::use_hardware_providers(true);
        NocterisTest::TearDown();
    }
    // A full frame as the program reads it: block out, one read of the frame.
    std::vector<std::uint16_t> full_frame(std::uint32_t exposure_ms) {
        const int bytes = build_full_frame_block(exposure_ms, false);
        SendBlock();
        usbt.ByteCount = bytes;
        ReceiveBlock();
        return pixels16(
            Bytes(ReportBuffer, ReportBuffer + std::min<int>(bytes, usbt.BytesReturned)));
    }
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::UsbProvider> provider;
};

} // namespace

TEST_F(SimDiscovery, InProcessCameraOfEveryModelIsFoundAndShowsStars) {
    platform::usb::use_builtin_providers(false);
    for (const auto& row : usb_ids::MODEL_TABLE) {
        SCOPED_TRACE(row.pid);
        // A fresh run for each camera: models 3-6 keep the geometry of the one before.
        reset_transport_state();
        reset_camera_model_state();
        cfg.ignore_pid = 1;
        if (provider) platform::usb::remove_provider(provider.get());
        sim::Config c;
        c.camera.pid = row.pid;
        simulator = std::make_unique<sim::Simulator>(c);
        provider = std::make_unique<sim::UsbProvider>(*simulator);
        platform::usb::add_provider(provider.get());

        USBHid hid;
        EXPECT_EQ(hid.CollectingUSBHidInfo(), 1);
        ASSERT_EQ(usbt.got_qv, 1);
        EXPECT_EQ(cam.cam_type, row.cam_type);
        const auto& m = simulator->camera().model();
        ASSERT_EQ(sensor.cam_width1, m.width);
        ASSERT_EQ(sensor.cam_height1, m.height);

        const std::uint32_t t0 = clock.peek();
        const auto px = full_frame(10000);
        ASSERT_EQ(px.size(), static_cast<std::size_t>(m.width) * m.height);
        EXPECT_GE(clock.peek() - t0, 10000u); // the camera took the exposure's time
        EXPECT_GT(find_stars(px, m.width, m.height).size(), 10u);
    }
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
}

TEST_F(SimDiscovery, SocketsOfNocterisSimAreFoundOpenedAndRead) {
    platform::install_virtual_clock(nullptr); // the server runs on its own thread, in real time
    platform::usb::use_builtin_providers(true);
    platform::usb::use_hardware_providers(false);
    for (const auto& row : usb_ids::MODEL_TABLE) {
        SCOPED_TRACE(row.pid);
        reset_transport_state();
        reset_camera_model_state();
        cfg.ignore_pid = 1;
        cfg.Max_Filters = 7;
        sim::Config c;
        c.camera.pid = row.pid;
        c.camera.readout_rate = 0;
        sim::Simulator s(c);
        sim::Server server(s, {});
        std::string error;
        ASSERT_TRUE(server.start(&error)) << error;
        std::atomic<bool> stop{false};
        std::thread serving([&] { server.run([&] { return stop.load(); }); });

        USBHid hid;
        hid.CollectingUSBHidInfo();
        EXPECT_EQ(usbt.got_qv, 1);
        EXPECT_EQ(cam.cam_type, row.cam_type);
        hid.CollectingHidInfo();
        EXPECT_EQ(usbt.USB_filterwheel, 1);
        EXPECT_EQ(cfg.Max_Filters, 5); // the simulated wheel has five positions

        GetCameraFirmwareVersion();
        EXPECT_EQ(proto.minor_version, 12);
        const bool look_for_stars = row.cam_type == 2;
        const auto px = full_frame(look_for_stars ? 2000 : 100);
        EXPECT_EQ(px.size(),
                  static_cast<std::size_t>(s.camera().model().width) * s.camera().model().height);
        if (look_for_stars) {
            EXPECT_GT(find_stars(px, sensor.cam_width1, sensor.cam_height1).size(), 10u);
        }

        reset_transport_state(); // the program lets go of the devices
        stop = true;
        serving.join();
        server.stop();
    }
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
}
