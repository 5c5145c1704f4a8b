#include "platform/sio.h"
#include "support/test_env.h"

#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace platform;

class SioTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        std::filesystem::create_directories(autosave);
    }
    void TearDown() override {
        sio_close_all();
        NocterisTest::TearDown();
    }
};

TEST_F(SioTest, DevicePathPrefersTheLinkInTheWorkingFolder) {
    EXPECT_EQ(sio_device_path(4), "/dev/ttyS4");
    // Found whatever its case; a dangling link still wins, so a missing
    // simulator is an error rather than some other port.
    std::filesystem::create_symlink("/dev/null", autosave + "/COM5");
    std::filesystem::create_symlink(home + "/gone", autosave + "/com2");
    EXPECT_EQ(sio_device_path(4), autosave + "/COM5");
    EXPECT_EQ(sio_device_path(1), autosave + "/com2");
    EXPECT_EQ(SioReset(1, 1024, 1024), SIO_NO_DEVICE);
    EXPECT_EQ(SioReset(4, 1024, 1024), SIO_NO_DEVICE); // not a terminal
}

TEST_F(SioTest, RefusalsAreNegative) {
    std::uint8_t buf[4];
    EXPECT_EQ(SioReset(-1, 1024, 1024), SIO_BAD_PORT);
    EXPECT_EQ(SioBaud(SIO_MAX_PORTS, Baud9600), SIO_BAD_PORT);
    EXPECT_EQ(SioPuts(3, buf, 1), SIO_NOT_OPEN);
    EXPECT_EQ(SioGets(3, buf, 4), SIO_NOT_OPEN);
    EXPECT_EQ(SioDone(3), SIO_NOT_OPEN);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
    std::filesystem::create_symlink(::ptsname(master), autosave + "/com1");
    ASSERT_EQ(SioReset(0, 1024, 4), 0);
    EXPECT_EQ(SioBaud(0, 42), SIO_BAD_PARAM);
    EXPECT_EQ(SioParms(0, 3, 0, 8), SIO_BAD_PARAM);
    EXPECT_EQ(SioParms(0, 0, 0, 9), SIO_BAD_PARAM);
    EXPECT_EQ(SioDTR(0, 'X'), SIO_BAD_COMMAND);
    EXPECT_EQ(SioPuts(0, nullptr, 5), SIO_BAD_PARAM);
    // A pseudo-terminal has no modem lines: raising them is no error.
    EXPECT_GE(SioDTR(0, 'S'), 0);
    EXPECT_GE(SioRTS(0, 'S'), 0);
    // The line takes the speed and stop bits it is given; one call moves at
    // most a transmit queue.
    ASSERT_EQ(SioBaud(0, Baud19200), 0);
    ASSERT_EQ(SioParms(0, 0, 1, 8), 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(master, &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), B19200);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_EQ(SioPuts(0, reinterpret_cast<const std::uint8_t*>("abcdefgh"), 8), 4);
    EXPECT_EQ(SioDone(0), 0);
    ::close(master);
}

} // namespace
