// The mount routines against the simulated mount on the camera's serial
// port: what a real LX200 makes of the texts, the cut coordinate commands
// included.
#include "sim/simulator.h"
#include "sim/usb_provider.h"
#include "support/test_env.h"

#include "devices/serial_link.h"
#include "devices/transport.h"
#include "settings/settings.h"
#include "telescope/mount_protocol.h"
#include "telescope/telescope_state.h"

#include <cmath>
#include <memory>

namespace {

class MountSimTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        sim::Config c;
        c.mount.pe_amplitude = 0;
        c.mount.backlash_dec = 0;
        c.mount.backlash_ra = 0;
        simulator = std::make_unique<sim::Simulator>(c);
        provider = std::make_unique<sim::UsbProvider>(*simulator);
        attach_camera(
            provider->open(provider->enumerate(platform::usb::InterfaceClass::BlockDriver).at(0)));
        cfg.AOUnit_comport = 0;
        cfg.telescope = 'l';
        serial.Port = 0;
    }
    void TearDown() override {
        reset_transport_state(); // before the simulator goes
        NocterisTest::TearDown();
    }
    double xi() { return simulator->world().view(simulator->now()).xi; }
    double eta() { return simulator->world().view(simulator->now()).eta; }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::UsbProvider> provider;
};

TEST_F(MountSimTest, GuidePulsesMoveByGuideRateTimesSlewTime) {
    const double dec = 36.46 * M_PI / 180; // the start pointing
    const double x0 = xi(), y0 = eta();
    tele.slewdir = 'e';
    tele.slew_time = 2000;
    drive_slew();
    EXPECT_NEAR(xi() - x0, 2.0 * 0.5 * sim::SIDEREAL_RATE * std::cos(dec), 0.05);
    EXPECT_NEAR(eta() - y0, 0, 0.05);

    tele.slewdir = 'n';
    tele.slew_time = 1000;
    drive_slew();
    EXPECT_NEAR(eta() - y0, 1.0 * 0.5 * sim::SIDEREAL_RATE, 0.05);

    // The same pulse on the guide socket's relays.
    cfg.telescope = 'b';
    const double y1 = eta();
    tele.slewdir = 's';
    drive_slew();
    EXPECT_NEAR(eta() - y1, -1.0 * 0.5 * sim::SIDEREAL_RATE, 0.05);
}

TEST_F(MountSimTest, GoToFillsTheReplyTexts) {
    ASSERT_EQ(move_telescope('m', 13), MOUNT_OK);
    EXPECT_STREQ(serial.move_error, "M13 GC 16:41.7 +36*28");
    EXPECT_STREQ(serial.scope_error, "");

    ASSERT_EQ(move_telescope('s', 2), MOUNT_OK); // Canopus stays below the horizon
    EXPECT_STREQ(serial.scope_error, "1Object Below Horizon");
}

TEST_F(MountSimTest, CoordinateGoToArrives) {
    ASSERT_EQ(move_to_coord(17, 30, -3, 30), MOUNT_OK);
    EXPECT_STREQ(serial.scope_error, "");
    clock.advance(120000);
    double ra = 0, dec = 0;
    simulator->world().pointing(simulator->now(), &ra, &dec);
    EXPECT_NEAR(ra, 17.5, 0.01);
    EXPECT_NEAR(dec, -3.5, 0.01);
}

} // namespace
