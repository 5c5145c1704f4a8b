#include "devices/serial_link.h"
#include "platform/sio.h"
#include "protocol_fake_camera.h"
#include "settings/settings.h"
#include "support/pty.h"
#include "support/test_env.h"

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The program's reads never wait; the test waits (real time, with a deadline)
// until the mount's reply has reached the port.
void await_reply(int bytes) {
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (platform::SioRxQue(0) < bytes && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GE(platform::SioRxQue(0), bytes);
}

class PcRouteTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        cam_log = attach_fake_camera();
        std::filesystem::create_directories(autosave);
        ASSERT_FALSE(pty.slave.empty());
        cfg.AOUnit_comport = 3;
        cfg.PC_port = 0;
        link_com(1, pty.slave);
    }
    void TearDown() override {
        reset_serial_link_state();
        attach_camera(nullptr);
        NocterisTest::TearDown();
    }

    void link_com(int com, const std::string& target) {
        const std::string name = autosave + "/com" + std::to_string(com);
        std::filesystem::remove(name);
        std::filesystem::create_symlink(target, name);
    }

    std::shared_ptr<FakeCameraLog> cam_log;
    Pty pty;
};

TEST_F(PcRouteTest, MountCommandForPortZeroGoesOutAt9600EightNoneOne) {
    WriteSerial(0, "#:Mn#", 5);
    WriteSerial(1, "#:Sd -03*04#", 11);
    EXPECT_EQ(pty.take(16), "#:Mn##:Sd -03*04");
    EXPECT_TRUE(cam_log->writes.empty());
    EXPECT_GE(clock.peek(), 2u * 61u); // 1 + 10 + 50 ms after each write
    EXPECT_TRUE(ui.boxes.empty());

    // The master reports the slave's line settings.
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.master, &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), B9600);
    EXPECT_EQ(::cfgetispeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);

    // The guide output stays on the camera.
    serial.Kelvo500command = 4;
    Kelvo500Write();
    EXPECT_EQ(cam_log->writes.size(), 1u);
}

TEST_F(PcRouteTest, GotoRoundTrip) {
    WriteSerial(0, "#:LM 0031#", 10);
    WriteSerial(0, "#:LI#", 5);
    ASSERT_EQ(pty.take(15), "#:LM 0031##:LI#");
    pty.say("M31 EX GAL MAG 3.5 SZ178.0'#");
    await_reply(28);
    ReadSerial(0, 33);
    EXPECT_STREQ(serial.move_error, "M31 EX GAL MAG 3.5 SZ178.0'");

    WriteSerial(0, "#:MS#", 5);
    ASSERT_EQ(pty.take(5), "#:MS#");
    pty.say("1Object Below Horizon #");
    await_reply(23);
    CheckSerialReturn(0);
    EXPECT_STREQ(serial.scope_error, "1Object Below Horizon ");

    pty.say("0");
    await_reply(1);
    CheckSerialReturn(0);
    EXPECT_STREQ(serial.scope_error, "");
    EXPECT_TRUE(cam_log->writes.empty());
}

TEST_F(PcRouteTest, BadRepliesGiveBoundedTexts) {
    ASSERT_TRUE(PCSerial_ready());
    // Longer than any buffer and without '#': 33 characters, the rest dropped.
    pty.say(std::string(300, 'G'));
    await_reply(300);
    ReadSerial(0, 33);
    EXPECT_EQ(std::string(serial.move_error), std::string(33, 'G'));
    EXPECT_EQ(serial.pc_received, PC_READ_BYTES);
    EXPECT_EQ(platform::SioRxQue(0), 0);

    pty.say(std::string("AB\0CD#", 6));
    await_reply(6);
    ReadSerial(0, 33);
    EXPECT_STREQ(serial.move_error, "AB");

    // A short reply keeps what arrived, not what an earlier one left behind.
    pty.say("XY");
    await_reply(2);
    ReadSerial(0, 33);
    EXPECT_STREQ(serial.move_error, "XY");

    // No reply at all: empty texts.
    ReadSerial(0, 33);
    EXPECT_STREQ(serial.move_error, "");
    std::strcpy(serial.scope_error, "old");
    CheckSerialReturn(0);
    EXPECT_STREQ(serial.scope_error, "");

    // An oversized command is cut to the command buffer.
    const std::string huge(500, 'k');
    WriteSerial(0, huge.c_str(), 500);
    EXPECT_EQ(pty.take(1000, 50), std::string(COMMAND_TEXT - 1, 'k'));
}

TEST_F(PcRouteTest, FailedOpenReportsSendsNothingAndRetries) {
    link_com(1, home + "/no-such-device");
    WriteSerial(0, "#:Mn#", 5);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, "ERROR " + std::to_string(platform::SIO_NO_DEVICE) + " ");
    EXPECT_EQ(ui.boxes[1].text, "Open Communications Failed");
    EXPECT_EQ(serial.PC_Serial_check, 0);

    link_com(1, pty.slave);
    WriteSerial(0, "#:Qn#", 5);
    EXPECT_EQ(serial.PC_Serial_check, 1);
    EXPECT_EQ(pty.take(5), "#:Qn#");
    EXPECT_EQ(ui.boxes.size(), 2u);
}

TEST_F(PcRouteTest, ChangedComPortReopens) {
    Pty second;
    link_com(3, second.slave);
    WriteSerial(0, "#:Mn#", 5);
    EXPECT_EQ(pty.take(5), "#:Mn#");
    cfg.PC_port = 2; // COM3
    WriteSerial(0, "#:Qn#", 5);
    EXPECT_EQ(second.take(5), "#:Qn#");
    EXPECT_EQ(pty.drain(), "");
}

} // namespace
