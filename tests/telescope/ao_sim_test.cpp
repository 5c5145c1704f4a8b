// The AO unit against the simulated one: tip-tilt steps shift the star on
// the sensor by the unit's step size, and an offload moves the mount.
#include "sim/simulator.h"
#include "sim/usb_provider.h"
#include "support/test_env.h"

#include "devices/transport.h"
#include "settings/settings.h"
#include "telescope/ao_state.h"
#include "telescope/ao_unit.h"

namespace {

using AOSimTest = NocterisTest;

TEST_F(AOSimTest, StepsShiftTheStarAndTheOffloadMovesTheMount) {
    sim::Config c;
    c.mount.pe_amplitude = 0;
    c.mount.backlash_dec = 0;
    sim::Simulator simulator(c);
    sim::UsbProvider provider(simulator);
    attach_camera(
        provider.open(provider.enumerate(platform::usb::InterfaceClass::BlockDriver).at(0)));
    cfg.AOUnit_comport = 0;
    const auto star = [&](double* x, double* y) {
        simulator.camera().main_sensor().project(simulator.world().view(simulator.now()), 0, 0, x,
                                                 y);
    };
    const double px = c.ao.step_arcsec / simulator.camera().main_sensor().sensor().scale;
    double x0, y0, x1, y1;
    star(&x0, &y0);
    ao.AOUnitslewdir = 'w';
    ao.AOUnitslew_time = 40;
    AOUnit_slew();
    ao.AOUnitslewdir = 'n';
    ao.AOUnitslew_time = 30;
    AOUnit_slew();
    star(&x1, &y1);
    EXPECT_NEAR(x1 - x0, 40 * px, 1e-6);  // west to the right
    EXPECT_NEAR(y1 - y0, -30 * px, 1e-6); // north up
    AOUnit_reset();
    EXPECT_DOUBLE_EQ(simulator.world().ao_ns(simulator.now()), 0);
    EXPECT_DOUBLE_EQ(simulator.world().ao_ew(simulator.now()), 0);

    // 100 counts of the unit's mount output at the guide rate.
    clock.set(5000);
    ao.AO_ns = 60;
    const double eta0 = simulator.world().view(simulator.now()).eta;
    AOUnit_slew();
    clock.advance(2000);
    EXPECT_NEAR(simulator.world().view(simulator.now()).eta - eta0,
                100 * c.ao.mount_output_ms / 1000 * 0.5 * sim::SIDEREAL_RATE, 0.05);
    reset_transport_state(); // before the simulator goes
}

} // namespace
