// The program's serial link against the simulated mount on both routes: the
// PC port through a real pseudo-terminal (our Sio over termios, 9600 8N1),
// and the camera's serial port through command blocks.
#include "sim/server.h"
#include "sim/usb_provider.h"
#include "support/test_env.h"

#include "devices/serial_link.h"
#include "devices/transport.h"
#include "platform/clock.h"
#include "platform/sio.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

class SimSerialRoute : public NocterisTest {
  protected:
    void SetUp() override { NocterisTest::SetUp(); }
    void TearDown() override {
        reset_serial_link_state();
        reset_transport_state();
        platform::sio_close_all();
        stop = true;
        if (serving.joinable()) serving.join();
        if (server) server->stop();
        NocterisTest::TearDown();
    }
    // nocteris-sim with its PC port linked as com3, served on a thread in real time.
    void serve() {
        platform::install_virtual_clock(nullptr);
        simulator = std::make_unique<sim::Simulator>(config);
        server = std::make_unique<sim::Server>(*simulator, sim::ServerOptions{});
        std::string error;
        ASSERT_TRUE(server->start(&error)) << error;
        serving = std::thread([this] { server->run([this] { return stop.load(); }); });
    }
    sim::Config config;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::Server> server;
    std::atomic<bool> stop{false};
    std::thread serving;
};

// Collects what arrives on a PC port until a '#' or a real-time deadline.
std::string gets_until_hash(int port, int timeout_ms = 3000) {
    std::string got;
    const std::uint32_t start = platform::now_ms();
    while (got.find('#') == std::string::npos &&
           platform::now_ms() - start < std::uint32_t(timeout_ms)) {
        std::uint8_t buf[64];
        const int n = platform::SioGets(port, buf, sizeof buf);
        if (n > 0) got.append(reinterpret_cast<char*>(buf), n);
        platform::sleep_ms(2);
    }
    return got;
}

} // namespace

TEST_F(SimSerialRoute, SioTalksLx200ThroughThePseudoTerminal) {
    serve();
    const int port = 2; // COM3
    ASSERT_GE(platform::SioReset(port, 1024, 1024), 0);
    ASSERT_GE(platform::SioBaud(port, platform::Baud9600), 0);
    ASSERT_GE(platform::SioDTR(port, 'S'), 0);
    ASSERT_GE(platform::SioRTS(port, 'S'), 0);
    ASSERT_GE(platform::SioParms(port, 0, 0, 8), 0);
    const std::string select = "#:LS 0004#", info = "#:LI#";
    platform::SioPuts(port, reinterpret_cast<const std::uint8_t*>(select.data()),
                      int(select.size()));
    platform::SioPuts(port, reinterpret_cast<const std::uint8_t*>(info.data()), int(info.size()));
    EXPECT_EQ(gets_until_hash(port), "VEGA STAR 18:36.9 +38*47#");
    const std::string where = "#:GD#";
    platform::SioPuts(port, reinterpret_cast<const std::uint8_t*>(where.data()), int(where.size()));
    EXPECT_EQ(gets_until_hash(port), "+36*28#");
}

TEST_F(SimSerialRoute, PcRouteFillsMoveErrorAndScopeError) {
    serve();
    cfg.AOUnit_comport = 3;
    cfg.PC_port = 2;
    WriteSerial(0, "#:LM 0031#", 10); // a mount command for port 0 goes to the PC port
    WriteSerial(0, "#:LI#", 5);
    platform::sleep_ms(200);
    ReadSerial(0, 33);
    EXPECT_STREQ(serial.move_error, "M31 GAL 00:42.7 +41*16");
    WriteSerial(0, "#:MS#", 5);
    platform::sleep_ms(500);
    CheckSerialReturn(0);
    EXPECT_STREQ(serial.scope_error, "");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SimSerialRoute, CameraRouteKeepsTheStatusDigitOfARefusal) {
    sim::Simulator s;
    sim::UsbProvider provider(s);
    attach_camera(
        provider.open(provider.enumerate(platform::usb::InterfaceClass::BlockDriver).at(0)));
    cfg.AOUnit_comport = 0;
    WriteSerial(0, "#:LM 0013#", 10);
    WriteSerial(0, "#:LI#", 5);
    ReadSerial(0, 33);
    EXPECT_STREQ(serial.move_error, "M13 GC 16:41.7 +36*28");
    WriteSerial(0, "#:LS 0002#", 10); // Canopus never rises at latitude 51.5
    WriteSerial(0, "#:MS#", 5);
    CheckSerialReturn(0);
    EXPECT_STREQ(serial.scope_error, "1Object Below Horizon");
    WriteSerial(0, "#:LM 0013#", 10);
    WriteSerial(0, "#:MS#", 5);
    CheckSerialReturn(0);
    EXPECT_STREQ(serial.scope_error, "");
    EXPECT_TRUE(ui.boxes.empty());
    reset_transport_state(); // before the simulator goes
}
