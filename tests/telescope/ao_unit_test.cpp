// The AO unit's commands, byte for byte, with their waits on the virtual
// clock: the camera's serial port, the guide socket and the PC port.
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "settings/settings.h"
#include "support/pty.h"
#include "support/serial_traffic.h"
#include "support/test_env.h"
#include "telescope/ao_state.h"
#include "telescope/ao_unit.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Trace = std::vector<std::string>;

class AOUnitTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        cfg.AOUnit_comport = 0;
        cfg.AOUnitModeParallel = 0;
        cfg.slewx = 2;
        cfg.slewy = 4;
        log = std::make_shared<Traffic>();
        attach_camera(std::make_unique<TimedCamera>(log, clock));
        start(1000);
    }
    void TearDown() override {
        attach_camera(nullptr);
        NocterisTest::TearDown();
    }
    void start(std::uint32_t t) {
        clock.set(t);
        t0 = t;
        log->blocks.clear();
    }
    Trace trace() const {
        Trace out;
        for (const auto& b : log->blocks) out.push_back(describe(b, t0));
        return out;
    }
    std::uint32_t elapsed() const { return clock.peek() - t0; }
    void slew(char dir, int count) {
        ao.AOUnitslewdir = dir;
        ao.AOUnitslew_time = count;
        AOUnit_slew();
    }

    std::shared_ptr<Traffic> log;
    std::uint32_t t0 = 0;
};

TEST_F(AOUnitTest, SerialStepsTrackThePositionAndWait50ms) {
    ao.AOUnit_lastsent = 1000; // no offload in this test
    const struct {
        char dir;
        int count;
        const char* sent;
        int ns, ew;
    } steps[] = {{'n', 25, "GN00025", 25, 0},
                 {'e', 7, "GT00007", 25, 7},
                 {'s', 30, "GS00030", -5, 7},
                 {'w', 12, "GW00012", -5, -5}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.dir);
        start(clock.peek());
        slew(s.dir, s.count);
        EXPECT_EQ(trace(), (Trace{std::string("0 W0 ") + s.sent}));
        EXPECT_EQ(elapsed(), 50u);
        EXPECT_EQ(ao.AO_ns, s.ns);
        EXPECT_EQ(ao.AO_ew, s.ew);
        EXPECT_EQ(ao.AOUnit_failed, 0);
    }

    // The second camera port, and a direction that is none: nothing at all.
    cfg.AOUnit_comport = 1;
    start(clock.peek());
    slew('n', 3);
    EXPECT_EQ(trace(), (Trace{"0 W1 GN00003"}));
    start(clock.peek());
    slew('x', 3);
    EXPECT_TRUE(trace().empty());
    EXPECT_EQ(elapsed(), 0u);
}

TEST_F(AOUnitTest, NearTheEndStopsTheStepIsSentUntrackedAndTheMountTakesOver) {
    ao.AO_ns = 60;
    slew('n', 25); // 85 would pass the stops: not tracked, but 60 is inside the travel
    EXPECT_EQ(ao.AO_ns, 60);
    EXPECT_EQ(ao.AOUnit_failed, 0);
    // 400 / slewx = 200, halved at half rate; 100 ms after the offload.
    EXPECT_EQ(trace(), (Trace{"0 W0 GN00025", "50 W0 MN00100"}));
    EXPECT_EQ(elapsed(), 200u);
    EXPECT_STREQ(ao.AOUnit_sendtomount, "N");
    EXPECT_EQ(ao.AOUnit_lastsent, 1050u);

    // Within 700 ms of that offload: the step alone.
    start(1700);
    slew('s', 2);
    EXPECT_EQ(trace(), (Trace{"0 W0 GS00002"}));
    EXPECT_EQ(ao.AO_ns, 58);

    // Later, at full rate and with the mount's N/S letters swapped; the
    // east-west offload is sized by slewy.
    cfg.AOUnit_halfrate = 0;
    cfg.Mn = 'S';
    cfg.Ms = 'N';
    ao.AO_ew = -70;
    start(1751);
    slew('n', 1);
    EXPECT_EQ(trace(), (Trace{"0 W0 GN00001", "50 W0 MS00200", "200 W0 MW00100"}));
    EXPECT_EQ(elapsed(), 250u);
    EXPECT_STREQ(ao.AOUnit_sendtomount, "W");
    EXPECT_EQ(ao.AOUnit_lastsent, 1951u);

    // A mount rate of 0 sizes the offload as 1, not as a crash.
    cfg.slewx = 0;
    start(5000);
    slew('n', 0);
    EXPECT_EQ(trace(), (Trace{"0 W0 GN00000", "50 W0 MS00400", "200 W0 MW00100"}));
}

TEST_F(AOUnitTest, OutsideTheTravelCorrectionsAreRefused) {
    ao.AO_ew = -81;
    ao.AOUnit_lastsent = 1000; // offloads aside
    for (char dir : {'n', 's', 'w'}) {
        SCOPED_TRACE(dir);
        start(1100);
        slew(dir, 1);
        EXPECT_TRUE(trace().empty());
        EXPECT_EQ(ao.AOUnit_failed, 1);
    }
    EXPECT_EQ(ao.AO_ew, -81);
    EXPECT_EQ(ao.AO_ns, 0); // a step not sent does not count

    // The offload still goes out, on its own: 400 / slewy, halved.
    start(1800);
    slew('w', 1);
    EXPECT_EQ(trace(), (Trace{"0 W0 MW00050"}));
    EXPECT_EQ(ao.AOUnit_failed, 1);

    // A step back inside the travel is sent, and the flag clears.
    start(2000);
    slew('e', 1);
    EXPECT_EQ(trace(), (Trace{"0 W0 GT00001"}));
    EXPECT_EQ(ao.AO_ew, -80);
    EXPECT_EQ(ao.AOUnit_failed, 0);
}

TEST_F(AOUnitTest, ParallelModeHoldsOneCodeForTheCount) {
    cfg.AOUnitModeParallel = 1;
    slew('n', 40);
    EXPECT_EQ(trace(), (Trace{"10 K11", "50 K15"}));
    EXPECT_EQ(elapsed(), 350u);
    const std::pair<char, int> codes[] = {{'e', 7}, {'s', 13}, {'w', 14}};
    for (auto [dir, code] : codes) {
        SCOPED_TRACE(dir);
        start(1000);
        slew(dir, 5);
        EXPECT_EQ(trace(), (Trace{"10 K" + std::to_string(code), "15 K15"}));
    }
    // No tracking and no offload in this mode.
    EXPECT_EQ(ao.AO_ns, 0);
    EXPECT_EQ(ao.AO_ew, 0);

    start(1000);
    ao.AOUnitslewdir = 'w';
    ao.AOUnitslew_time = AO_MANUAL_STEPS;
    AOUnit_move();
    EXPECT_EQ(trace(), (Trace{"10 K14", "110 K15"}));
}

TEST_F(AOUnitTest, ResetSendsTheUnitBackAndCentringForgetsThePosition) {
    ao.AO_ns = 30;
    ao.AO_ew = -12;
    AOUnit_reset();
    EXPECT_EQ(trace(), (Trace{"0 W0 GS00030", "350 W0 GT00012"}));
    EXPECT_EQ(elapsed(), 700u);
    EXPECT_EQ(ao.AO_ns, 30); // kept until the unit is centred
    EXPECT_EQ(ao.AO_ew, -12);

    ao.AO_ns = -4;
    ao.AO_ew = 0;
    start(1000);
    AOUnit_reset();
    EXPECT_EQ(trace(), (Trace{"0 W0 GN00004"}));
    ao.AO_ns = 0;
    ao.AO_ew = 9;
    start(1000);
    AOUnit_reset();
    EXPECT_EQ(trace(), (Trace{"0 W0 GW00009"}));

    start(1000);
    CentraliseAOUnit();
    EXPECT_EQ(trace(), (Trace{"0 W0 K"}));
    EXPECT_EQ(elapsed(), 50u);
    EXPECT_EQ(ao.AO_ew, 0);

    cfg.AOUnitModeParallel = 1;
    ao.AO_ns = 20;
    start(1000);
    AOUnit_reset();
    EXPECT_EQ(trace(), (Trace{"0 K0"}));
    start(1000);
    CentraliseAOUnit();
    EXPECT_EQ(trace(), (Trace{"0 K15", "100 K0"}));
    EXPECT_EQ(ao.AO_ns, 0);
}

TEST_F(AOUnitTest, ManualMovesGoThroughTheMountOutputWithoutLimits) {
    ao.AO_ew = -60;
    ao.AOUnitslew_time = AO_MANUAL_STEPS;
    for (char dir : {'w', 'n', 'n'}) {
        ao.AOUnitslewdir = dir;
        AOUnit_move();
    }
    EXPECT_EQ(trace(), (Trace{"0 W0 MW00100", "50 W0 MN00100", "100 W0 MN00100"}));
    EXPECT_EQ(ao.AO_ew, -160);
    EXPECT_EQ(ao.AO_ns, 200);
    // Which leaves the next correction refused.
    slew('e', 1);
    EXPECT_EQ(ao.AOUnit_failed, 1);
}

class AOUnitPcRouteTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        ASSERT_FALSE(pty.slave.empty());
        std::filesystem::create_directories(autosave);
        std::filesystem::create_symlink(pty.slave, autosave + "/com1");
        cfg.AOUnit_comport = 3;
        cfg.PC_port = 0;
    }
    void TearDown() override {
        reset_serial_link_state();
        NocterisTest::TearDown();
    }
    Pty pty;
};

TEST_F(AOUnitPcRouteTest, CommandsGoStraightToThePcPort) {
    clock.set(0);
    ao.AOUnitslewdir = 'e';
    ao.AOUnitslew_time = 12;
    AOUnit_slew(); // opens the port on first use
    EXPECT_EQ(pty.take(7), "GT00012");
    // The write and its settling (11 ms), then the unit's 50.
    EXPECT_EQ(clock.peek(), 61u);
    EXPECT_EQ(ao.AO_ew, 12);

    CentraliseAOUnit();
    EXPECT_EQ(pty.take(1), "K");
    EXPECT_EQ(pty.drain(), "");
    EXPECT_TRUE(ui.boxes.empty());
}

} // namespace
