// nocteris-sim's command line.
#include "sim/options.h"

#include <gtest/gtest.h>

using namespace sim;

namespace {
bool parse(std::vector<std::string> args, Options* o, std::string* e) {
    return parse_options(args, o, e);
}
} // namespace

TEST(SimOptions, ModelsFaultsAndSky) {
    Options o;
    std::string e;
    ASSERT_TRUE(parse({"--model",
                       "8",
                       "--stars",
                       "1.5",
                       "--seeing",
                       "3",
                       "--drift",
                       "0.2,-0.1",
                       "--pe",
                       "7",
                       "--angle",
                       "12.5",
                       "--fault",
                       "disconnect:3",
                       "--fault",
                       "short:0.25",
                       "--fault",
                       "noreply",
                       "--com",
                       "5",
                       "--filters",
                       "0",
                       "--ra",
                       "05:35.4",
                       "--dec",
                       "-05:27",
                       "--socket-device",
                       "ao"},
                      &o, &e))
        << e;
    EXPECT_EQ(o.sim.camera.pid, "0128");
    EXPECT_EQ(o.sim.sky.density, 1.5);
    EXPECT_EQ(o.sim.sky.seeing, 3);
    EXPECT_EQ(o.sim.mount.drift_ra, 0.2);
    EXPECT_EQ(o.sim.mount.drift_dec, -0.1);
    EXPECT_EQ(o.sim.mount.pe_amplitude, 7);
    EXPECT_EQ(o.sim.mount.pe_period, 480); // unchanged when not given
    EXPECT_EQ(o.sim.camera.angle_deg, 12.5);
    EXPECT_EQ(o.sim.faults.camera.disconnect_frame, 3);
    EXPECT_EQ(o.sim.faults.camera.short_read, 0.25);
    EXPECT_EQ(o.sim.faults.serial.missing, 1);
    EXPECT_EQ(o.server.com_port, 5);
    EXPECT_FALSE(o.sim.wheel.usb);
    EXPECT_NEAR(o.sim.mount.ra_hours, 5.59, 1e-9);
    EXPECT_NEAR(o.sim.mount.dec_deg, -5.45, 1e-9);
    EXPECT_EQ(o.sim.camera.socket, SocketDevice::AoUnit);
}

TEST(SimOptions, MistakesAreNamed) {
    const std::vector<std::vector<std::string>> bad = {
        {"--model", "9"},    {"--model"},         {"--pid", "12x4"},
        {"--stars", "lots"}, {"--fault", "boom"}, {"--fault", "short:2"},
        {"--drift", "0.1"},  {"--dec", "+95:00"}, {"--guider", "400"},
        {"--serial", "a/b"}, {"--frobnicate"}};
    for (const auto& args : bad) {
        Options o;
        std::string e;
        EXPECT_FALSE(parse(args, &o, &e)) << args[0];
        EXPECT_FALSE(e.empty());
    }
    Options o;
    std::string e;
    ASSERT_TRUE(parse({"--help"}, &o, &e));
    EXPECT_TRUE(o.help);
    EXPECT_NE(usage().find("--fault"), std::string::npos);
}

TEST(SimOptions, APersonsSkyDriftsUnlessTold) {
    Options o;
    std::string e;
    ASSERT_TRUE(parse({}, &o, &e));
    EXPECT_GT(o.sim.mount.drift_ra, 0);
    EXPECT_GT(o.sim.mount.drift_dec, 0);
    EXPECT_EQ(Config{}.mount.drift_ra, 0) << "the in-process sky stays still for the tests";
    ASSERT_TRUE(parse({"--drift", "0,0"}, &o, &e));
    EXPECT_EQ(o.sim.mount.drift_ra, 0);
    EXPECT_EQ(o.sim.mount.drift_dec, 0);
}
