// The mount on the PC serial port: every write there costs 61 ms of the
// clock, which the pulse timing has to absorb.
#include "devices/serial_link.h"
#include "settings/settings.h"
#include "support/pty.h"
#include "support/test_env.h"
#include "telescope/mount_protocol.h"
#include "telescope/telescope_state.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

class MountPcRouteTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        ASSERT_FALSE(pty.slave.empty());
        std::filesystem::create_directories(autosave);
        const std::string link = autosave + "/com1";
        std::filesystem::create_symlink(pty.slave, link);
        cfg.AOUnit_comport = 3;
        cfg.PC_port = 0;
        cfg.telescope = 'l';
        ASSERT_TRUE(PCSerial_ready());
    }
    void TearDown() override {
        reset_serial_link_state();
        NocterisTest::TearDown();
    }
    Pty pty;
};

TEST_F(MountPcRouteTest, PulseStillLastsSlewTimeWhenTheWritesAreSlow) {
    tele.slewdir = 's';
    tele.slew_time = 150;
    clock.set(0);
    drive_slew();
    EXPECT_EQ(pty.take(15), "#:RG##:Ms##:Qs#");
    // Rate 0..61 (settled past 20), move 61..122, stop at 61 + 150, its
    // write 61 ms, then the trailing 4.
    EXPECT_EQ(clock.peek(), 211u + 61u + 4u);

    // A pulse shorter than a write's settling: its stop still goes out on
    // time, the move's settling cut short.
    tele.slew_time = 30;
    clock.set(0);
    drive_slew();
    EXPECT_EQ(pty.take(15), "#:RG##:Ms##:Qs#");
    EXPECT_EQ(clock.peek(), 61u + 30u + 61u + 4u);
}

} // namespace
