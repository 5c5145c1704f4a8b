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

namespace {

using Trace = std::vector<std::string>;

class AOUnitTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        cfg.AOUnit_comport = 0;
        cfg.slewx = 2;
        cfg.slewy = 4;
        log = std::make_shared<Traffic>();
        attach_camera(std::make_unique<TimedCamera>(log, clock));
        start(1000);
    }
    void TearDown() override {
        attach_camera(nullptr);
        reset_serial_link_state();
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
    void slew(char dir, int count) {
        ao.AOUnitslewdir = dir;
        ao.AOUnitslew_time = count;
        AOUnit_slew();
    }
    std::shared_ptr<Traffic> log;
    std::uint32_t t0 = 0;
};

TEST_F(AOUnitTest, NearTheStopsTheStepGoesOutUntrackedAndTheMountTakesOver) {
    slew('e', 7);
    EXPECT_EQ(trace(), (Trace{"0 W0 GT00007"}));
    EXPECT_EQ(ao.AO_ew, 7);

    ao.AO_ns = 60;
    start(2000);
    slew('n', 25); // 85 would pass the stops: not tracked, but 60 is inside the travel
    EXPECT_EQ(ao.AO_ns, 60);
    // 400 / slewx, halved at half rate; 100 ms after the offload.
    EXPECT_EQ(trace(), (Trace{"0 W0 GN00025", "50 W0 MN00100"}));
    EXPECT_EQ(clock.peek() - t0, 200u);
    EXPECT_STREQ(ao.AOUnit_sendtomount, "N");

    start(2700); // within 700 ms of that offload: the step alone
    slew('s', 2);
    EXPECT_EQ(trace(), (Trace{"0 W0 GS00002"}));

    // Later, at full rate: east-west sized by slewy; a mount rate of 0 is taken as 1.
    cfg.AOUnit_halfrate = 0;
    cfg.slewx = 0;
    ao.AO_ew = -70;
    start(3000);
    slew('n', 1);
    EXPECT_EQ(trace(), (Trace{"0 W0 GN00001", "50 W0 MN00400", "200 W0 MW00100"}));
    EXPECT_STREQ(ao.AOUnit_sendtomount, "W");
}

TEST_F(AOUnitTest, OutsideTheTravelOnlyAStepBackInsideIsSent) {
    ao.AO_ew = -81;
    ao.AOUnit_lastsent = 1000; // no offload
    for (char dir : {'n', 's', 'w'}) {
        slew(dir, 1);
        EXPECT_EQ(ao.AOUnit_failed, 1) << dir;
    }
    EXPECT_TRUE(trace().empty());
    EXPECT_EQ(ao.AO_ns, 0); // a step not sent does not count
    slew('e', 1);
    EXPECT_EQ(trace(), (Trace{"0 W0 GT00001"}));
    EXPECT_EQ(ao.AOUnit_failed, 0);
}

TEST_F(AOUnitTest, ResetAndCentringInBothModes) {
    ao.AO_ns = 30;
    ao.AO_ew = -12;
    AOUnit_reset();
    EXPECT_EQ(trace(), (Trace{"0 W0 GS00030", "350 W0 GT00012"}));
    EXPECT_EQ(ao.AO_ns, 30); // kept until the unit is centred
    start(2000);
    CentraliseAOUnit();
    EXPECT_EQ(trace(), (Trace{"0 W0 K"}));
    EXPECT_EQ(ao.AO_ew, 0);

    // Parallel: one code held for the count, then idle.
    cfg.AOUnitModeParallel = 1;
    start(3000);
    slew('n', 40);
    EXPECT_EQ(trace(), (Trace{"10 K11", "50 K15"}));
    EXPECT_EQ(clock.peek() - t0, 350u);
    start(4000);
    AOUnit_reset();
    CentraliseAOUnit();
    EXPECT_EQ(trace(), (Trace{"0 K0", "0 K15", "100 K0"}));
}

TEST_F(AOUnitTest, ThePcRouteTakesTheCommandsStraight) {
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    std::filesystem::create_directories(autosave);
    std::filesystem::create_symlink(pty.slave, autosave + "/com1");
    cfg.AOUnit_comport = 3;
    cfg.PC_port = 0;
    slew('e', 12);
    EXPECT_EQ(pty.take(7), "GT00012");
    EXPECT_EQ(clock.peek() - t0, 61u); // the write's 11 ms, then the unit's 50
    CentraliseAOUnit();
    EXPECT_EQ(pty.take(1), "K");
    EXPECT_TRUE(trace().empty());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AOUnitTest, APcPortThatWillNotOpenIsSaidOnceARun) {
    std::filesystem::create_directories(autosave);
    std::filesystem::create_symlink(home + "/no-such-port", autosave + "/com1");
    cfg.AOUnit_comport = 3;
    cfg.PC_port = 0;
    for (int i = 0; i < 5; ++i) slew(i % 2 ? 'e' : 'n', 10);
    ASSERT_EQ(ui.boxes.size(), 2u); // the error and "Open Communications Failed"
    EXPECT_EQ(ui.boxes[1].text, "Open Communications Failed");
    EXPECT_EQ(clock.peek() - t0, 0u) << "nothing to wait for";

    // The next run tries again, and once the port is there the steps go out.
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    std::filesystem::remove(autosave + "/com1");
    std::filesystem::create_symlink(pty.slave, autosave + "/com1");
    slew('e', 12);
    EXPECT_EQ(pty.take(7, 50), "");
    AOUnit_retry_port();
    slew('e', 12);
    EXPECT_EQ(pty.take(7), "GT00012");
    EXPECT_EQ(ui.boxes.size(), 2u);
}

} // namespace
