// The AO unit against the simulated one: tip-tilt steps shift the star on
// the sensor by the unit's step size, and an offload moves the mount.
#include "sim/simulator.h"
#include "sim/usb_provider.h"
#include "support/test_env.h"

#include "devices/transport.h"
#include "settings/settings.h"
#include "telescope/ao_state.h"
#include "telescope/ao_unit.h"

#include <cmath>
#include <functional>

namespace {

using AOSimTest = NocterisTest;

TEST_F(AOSimTest, StepsShiftTheStarAndTheOffloadMovesTheMount) {
    sim::Config c;
    c.mount.pe_amplitude = 0;
    c.mount.backlash_dec = 0;
    c.mount.backlash_ra = 0;
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
    // How the mount's own moves shift the star and the pointing, for the
    // unit to agree with.
    struct Shift {
        double x, y, xi, eta;
    };
    const auto shift = [&](const std::function<void()>& move) {
        double x0, y0, x1, y1;
        star(&x0, &y0);
        const sim::View v0 = simulator.world().view(simulator.now());
        move();
        clock.advance(3000);
        star(&x1, &y1);
        const sim::View v1 = simulator.world().view(simulator.now());
        return Shift{x1 - x0, y1 - y0, v1.xi - v0.xi, v1.eta - v0.eta};
    };
    const Shift east = shift([&] { simulator.world().pulse(sim::EAST, 1.0, simulator.now()); });
    const Shift north = shift([&] { simulator.world().pulse(sim::NORTH, 1.0, simulator.now()); });
    ASSERT_GT(std::abs(east.x), 1.0);
    ASSERT_GT(std::abs(north.y), 1.0);

    // With the default letters the program's 'w' step corrects what a mount
    // east pulse corrects, and 'n' what north does.
    const Shift steps = shift([&] {
        ao.AOUnitslewdir = 'w';
        ao.AOUnitslew_time = 40;
        AOUnit_slew();
        ao.AOUnitslewdir = 'n';
        ao.AOUnitslew_time = 30;
        AOUnit_slew();
    });
    EXPECT_NEAR(steps.x, std::copysign(40 * px, east.x), 1e-6);
    EXPECT_NEAR(steps.y, std::copysign(30 * px, north.y), 1e-6);
    AOUnit_reset();
    EXPECT_DOUBLE_EQ(simulator.world().ao_ns(simulator.now()), 0);
    EXPECT_DOUBLE_EQ(simulator.world().ao_ew(simulator.now()), 0);

    // An offload moves the mount the way the unit has been stepping, so
    // that the unit can come back: north after many 'n' steps (100 counts
    // of the mount output at half the guide rate), west after many 'e'.
    clock.advance(5000);
    ao.AO_ns = 60;
    ao.AOUnitslew_time = 1;
    const Shift ns = shift([&] { AOUnit_slew(); });
    EXPECT_NEAR(std::abs(ns.eta), 100 * c.ao.mount_output_ms / 1000 * 0.5 * sim::SIDEREAL_RATE,
                0.05);
    EXPECT_GT(ns.eta * north.eta, 0);
    ao.AO_ns = 0;
    ao.AO_ew = 60;
    ao.AOUnitslewdir = 'e';
    const Shift ew = shift([&] { AOUnit_slew(); });
    EXPECT_GT(std::abs(ew.xi), 1.0);
    EXPECT_LT(ew.xi * east.xi, 0);
    reset_transport_state(); // before the simulator goes
}

} // namespace
