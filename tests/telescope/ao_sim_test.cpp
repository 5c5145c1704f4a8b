// The AO unit's commands against the simulated unit: tip-tilt steps shift
// the star on the sensor, the offload moves the mount, and the parallel
// codes and the PC port reach the unit as well.
#include "sim/simulator.h"
#include "sim/usb_provider.h"
#include "support/pty.h"
#include "support/test_env.h"

#include "devices/serial_link.h"
#include "devices/transport.h"
#include "settings/settings.h"
#include "telescope/ao_state.h"
#include "telescope/ao_unit.h"

#include <cmath>
#include <filesystem>
#include <memory>

namespace {

class AOSimTest : public NocterisTest {
  protected:
    void begin(sim::Config c = {}) {
        c.mount.pe_amplitude = 0;
        c.mount.backlash_dec = 0;
        c.mount.backlash_ra = 0;
        simulator = std::make_unique<sim::Simulator>(c);
        provider = std::make_unique<sim::UsbProvider>(*simulator);
        attach_camera(
            provider->open(provider->enumerate(platform::usb::InterfaceClass::BlockDriver).at(0)));
        cfg.AOUnit_comport = 0;
        cfg.AOUnitModeParallel = 0;
    }
    void TearDown() override {
        reset_transport_state();
        reset_serial_link_state();
        NocterisTest::TearDown();
    }
    // Where the field's origin falls on the main sensor now, px.
    void star(double* x, double* y) {
        simulator->camera().main_sensor().project(simulator->world().view(simulator->now()), 0, 0,
                                                  x, y);
    }
    double scale() { return simulator->camera().main_sensor().sensor().scale; }
    double step() { return simulator->config().ao.step_arcsec; }
    double eta() { return simulator->world().view(simulator->now()).eta; }
    void slew(char dir, int count) {
        ao.AOUnitslewdir = dir;
        ao.AOUnitslew_time = count;
        AOUnit_slew();
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::UsbProvider> provider;
};

TEST_F(AOSimTest, StepsShiftTheStarByTheUnitsStepSize) {
    begin();
    double x0, y0, x1, y1;
    star(&x0, &y0);
    slew('w', 40);
    star(&x1, &y1);
    EXPECT_DOUBLE_EQ(simulator->world().ao_ew(simulator->now()), -40);
    EXPECT_NEAR(x1 - x0, 40 * step() / scale(), 1e-6); // west is to the right
    EXPECT_NEAR(y1 - y0, 0, 1e-6);

    slew('n', 30);
    star(&x0, &y0);
    EXPECT_NEAR(y0 - y1, -30 * step() / scale(), 1e-6); // north is up
    EXPECT_EQ(ao.AO_ns, 30);

    // Back by the tracked position, then centred.
    AOUnit_reset();
    EXPECT_DOUBLE_EQ(simulator->world().ao_ns(simulator->now()), 0);
    EXPECT_DOUBLE_EQ(simulator->world().ao_ew(simulator->now()), 0);
    slew('e', 10);
    CentraliseAOUnit();
    EXPECT_DOUBLE_EQ(simulator->world().ao_ew(simulator->now()), 0);
    EXPECT_EQ(ao.AO_ew, 0);
}

TEST_F(AOSimTest, OffloadPulsesTheMountThroughTheUnit) {
    clock.set(5000); // long past the last offload
    begin();
    cfg.slewx = 2; // 400 / 2, halved: 100 counts
    ao.AO_ns = 60;
    const double e0 = eta();
    slew('n', 25);
    // The unit's mount output: 10 ms a count at the guide rate.
    const double pulse_s = 100 * simulator->config().ao.mount_output_ms / 1000;
    clock.advance(2000);
    EXPECT_NEAR(eta() - e0, pulse_s * 0.5 * sim::SIDEREAL_RATE, 0.05);
    EXPECT_STREQ(ao.AOUnit_sendtomount, "N");
}

TEST_F(AOSimTest, ParallelCodesHoldTheUnitMoving) {
    sim::Config c;
    c.camera.socket = sim::SocketDevice::AoUnit;
    begin(c);
    cfg.AOUnitModeParallel = 1;
    slew('n', 40); // 40 ms at the unit's 1000 steps a second
    EXPECT_NEAR(simulator->world().ao_ns(simulator->now()), 40, 0.5);
    slew('e', 20);
    EXPECT_NEAR(simulator->world().ao_ew(simulator->now()), 20, 0.5);
    AOUnit_reset();
    EXPECT_DOUBLE_EQ(simulator->world().ao_ns(simulator->now()), 0);
    EXPECT_DOUBLE_EQ(simulator->world().ao_ew(simulator->now()), 0);
}

TEST_F(AOSimTest, ThePcPortReachesTheUnitOnThePcLine) {
    begin();
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    std::filesystem::create_directories(autosave);
    std::filesystem::create_symlink(pty.slave, autosave + "/com1");
    cfg.AOUnit_comport = 3;
    cfg.PC_port = 0;
    slew('s', 12);
    const std::string sent = pty.take(7);
    EXPECT_EQ(sent, "GS00012");
    simulator->pc_write(reinterpret_cast<const std::uint8_t*>(sent.data()), sent.size());
    EXPECT_DOUBLE_EQ(simulator->world().ao_ns(simulator->now()), -12);
    // Nothing went to the camera's ports.
    EXPECT_DOUBLE_EQ(simulator->world().ao_ew(simulator->now()), 0);
}

} // namespace
