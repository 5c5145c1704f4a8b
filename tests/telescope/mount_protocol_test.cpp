#include "devices/serial_link.h"
#include "devices/transport.h"
#include "platform/usb.h"
#include "settings/settings.h"
#include "support/serial_traffic.h"
#include "support/test_env.h"
#include "telescope/mount_protocol.h"
#include "telescope/telescope_state.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

class MountTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        cfg.AOUnit_comport = 0; // the camera's serial ports
        cfg.telescope = 'l';
        serial.Port = 1;
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
    std::vector<std::string> trace() const {
        std::vector<std::string> out;
        for (const auto& b : log->blocks) out.push_back(describe(b, t0));
        return out;
    }
    std::uint32_t elapsed() const { return clock.peek() - t0; }
    void reply(const std::string& s) {
        log->replies.insert(log->replies.end(), s.begin(), s.end());
    }

    std::shared_ptr<Traffic> log;
    std::uint32_t t0 = 0;
};

using Trace = std::vector<std::string>;

TEST_F(MountTest, GuidePulseLastsSlewTimeAfterTheGuideRateSettles) {
    // The whole block of one command, byte for byte.
    tele.slewdir = 'n';
    tele.slew_time = 0;
    drive_slew();
    ASSERT_EQ(log->blocks.size(), 3u);
    const std::string first(log->blocks[0].bytes.begin(), log->blocks[0].bytes.end());
    EXPECT_EQ(first, std::string("\x40\x0a\0\0\x01\0\x05\0#:RG#", 13));

    for (char dir : {'e', 'w', 'n', 's'}) {
        SCOPED_TRACE(dir);
        start(1000);
        tele.slewdir = dir;
        tele.slew_time = 150;
        drive_slew();
        const std::string d(1, dir);
        EXPECT_EQ(trace(), (Trace{"0 W1 #:RG#", "20 W1 #:M" + d + "#", "170 W1 #:Q" + d + "#"}));
        EXPECT_EQ(elapsed(), 174u);
    }
}

TEST_F(MountTest, GuidePulseEdges) {
    // Zero length: move and stop back to back.
    tele.slewdir = 'e';
    tele.slew_time = 0;
    drive_slew();
    EXPECT_EQ(trace(), (Trace{"0 W1 #:RG#", "20 W1 #:Me#", "20 W1 #:Qe#"}));
    EXPECT_EQ(elapsed(), 24u);

    // Across the 32-bit wrap of the clock.
    start(0xFFFFFFF0u);
    tele.slew_time = 100;
    drive_slew();
    EXPECT_EQ(trace(), (Trace{"0 W1 #:RG#", "20 W1 #:Me#", "120 W1 #:Qe#"}));
    EXPECT_EQ(elapsed(), 124u);

    // A negative length is no length, not four billion milliseconds.
    start(1000);
    tele.slew_time = -5;
    drive_slew();
    EXPECT_EQ(trace(), (Trace{"0 W1 #:RG#", "20 W1 #:Me#", "20 W1 #:Qe#"}));

    // No direction: nothing but the trailing wait.
    start(1000);
    tele.slewdir = 'x';
    drive_slew();
    EXPECT_TRUE(trace().empty());
    EXPECT_EQ(elapsed(), 4u);
}

TEST_F(MountTest, SwappedEastWestReversesTheGuidePulse) {
    cfg.e = 'w';
    cfg.w = 'e';
    tele.slewdir = cfg.e; // the guiding loop's "east"
    tele.slew_time = 30;
    drive_slew();
    EXPECT_EQ(trace(), (Trace{"0 W1 #:RG#", "20 W1 #:Mw#", "50 W1 #:Qw#"}));
}

TEST_F(MountTest, SocketPulseSwitchesOneRelay) {
    const std::pair<char, int> bits[] = {{'n', 4}, {'e', 8}, {'w', 1}, {'s', 2}};
    for (auto [dir, bit] : bits) {
        SCOPED_TRACE(dir);
        start(1000);
        tele.slewdir = dir;
        tele.slew_time = 250;
        interface_slew();
        EXPECT_EQ(trace(), (Trace{"10 K" + std::to_string(bit), "260 K0"}));
        EXPECT_EQ(elapsed(), 560u);
    }
    // drive_slew goes to the socket when the mount is driven through it.
    start(1000);
    cfg.telescope = 'b';
    tele.slewdir = 'e';
    tele.slew_time = 0;
    drive_slew();
    EXPECT_EQ(trace(), (Trace{"10 K8", "10 K0"}));
    EXPECT_EQ(elapsed(), 310u);
    EXPECT_EQ(serial.Kelvo500command, 0);
}

TEST_F(MountTest, ManualMoveRunsUntilStopped) {
    ASSERT_EQ(set_tele_speed('C'), MOUNT_OK);
    ASSERT_EQ(set_move_direction('n'), MOUNT_OK);
    start_move();
    EXPECT_EQ(tele.tele_moving, 1);
    stop_move();
    EXPECT_EQ(tele.tele_moving, 0);
    EXPECT_EQ(trace(), (Trace{"0 W1 #:RC#", "0 W1 #:Mn#", "0 W1 #:Qn#", "0 W1 #:Qs#", "0 W1 #:Qe#",
                              "0 W1 #:Qw#"}));

    // The letter sent follows the swap; a bad choice leaves the old one.
    cfg.n = 's';
    cfg.s = 'n';
    ASSERT_EQ(set_move_direction('n'), MOUNT_OK);
    EXPECT_STREQ(tele.move_direction, "#:Ms#");
    EXPECT_EQ(set_move_direction('x'), MOUNT_BAD_ARGUMENT);
    EXPECT_EQ(set_tele_speed('X'), MOUNT_BAD_ARGUMENT);
    EXPECT_STREQ(tele.move_direction, "#:Ms#");
    EXPECT_STREQ(tele.tele_speed, "#:RC#");
}

TEST_F(MountTest, SocketMoveHoldsItsRelay) {
    tele.slewdir = 's';
    ASSERT_EQ(CB_start_move(), MOUNT_OK);
    EXPECT_EQ(trace(), Trace{"1 K2"});
    EXPECT_EQ(tele.tele_moving, 1);
    clock.advance(5000);
    CB_stop_move();
    EXPECT_EQ(trace(), (Trace{"1 K2", "5001 K0"}));
    EXPECT_EQ(tele.tele_moving, 0);

    start(1000);
    tele.slewdir = 'q';
    EXPECT_EQ(CB_start_move(), MOUNT_BAD_ARGUMENT);
    EXPECT_TRUE(trace().empty());
}

TEST_F(MountTest, FocuserMove) {
    ASSERT_EQ(set_focus_speed('S'), MOUNT_OK);
    ASSERT_EQ(set_focus_direction('-'), MOUNT_OK);
    EXPECT_EQ(set_focus_speed('x'), MOUNT_BAD_ARGUMENT);
    EXPECT_EQ(set_focus_direction('x'), MOUNT_BAD_ARGUMENT);
    tele.tele_moving = 1; // a manual move stays recorded
    start_focus();
    EXPECT_EQ(tele.tele_focussing, 1);
    stop_focus();
    EXPECT_EQ(tele.tele_focussing, 0);
    EXPECT_EQ(tele.tele_moving, 1);
    EXPECT_EQ(trace(), (Trace{"0 W1 #:FS#", "0 W1 #:F-#", "0 W1 #:FQ#"}));
}

TEST_F(MountTest, CatalogueGoToSelectsAsksAndSlews) {
    reply("M31 EX GAL MAG 3.5 SZ178.0'#" + std::string(5, ' ')); // the 33-byte info
    reply("0");                                                  // slew accepted
    std::strcpy(serial.scope_error, "old");
    ASSERT_EQ(move_telescope('m', 31), MOUNT_OK);
    EXPECT_EQ(trace(),
              (Trace{"0 W1 #:LM 0031#", "0 W1 #:LI#", "200 R1 33", "200 W1 #:MS#", "700 R1 1"}));
    EXPECT_EQ(elapsed(), 700u);
    EXPECT_STREQ(serial.move_error, "M31 EX GAL MAG 3.5 SZ178.0'");
    EXPECT_STREQ(serial.scope_error, "");
    EXPECT_EQ(ui.beeps, 1);

    const std::pair<char, std::string> kinds[] = {
        {'s', "#:LS 0905#"}, {'c', "#:LC 0905#"}, {'x', "#:LC 0905#"}};
    for (const auto& [kind, text] : kinds) {
        start(1000);
        // The info, then a refusal: its status digit, then its text.
        reply(std::string(33, '#') + "1Below Horizon#" + std::string(19, ' '));
        ASSERT_EQ(move_telescope(kind, PLANET_JUPITER), MOUNT_OK);
        ASSERT_GE(trace().size(), 1u);
        EXPECT_EQ(trace()[0], "0 W1 " + text);
        EXPECT_STREQ(serial.move_error, "");
        EXPECT_STREQ(serial.scope_error, "Below Horizon");
    }

    // Numbers that do not fit four digits are refused before anything goes out.
    start(1000);
    std::strcpy(serial.move_error, "kept");
    EXPECT_EQ(move_telescope('c', 10000), MOUNT_BAD_ARGUMENT);
    EXPECT_EQ(move_telescope('m', -1), MOUNT_BAD_ARGUMENT);
    EXPECT_TRUE(trace().empty());
    EXPECT_STREQ(serial.move_error, "kept");
    ASSERT_EQ(move_telescope('c', 9999), MOUNT_OK);
    EXPECT_EQ(trace()[0], "0 W1 #:LC 9999#");
}

TEST_F(MountTest, CoordinateGoToLeavesTheClosingHashToTheNextCommand) {
    std::strcpy(serial.move_error, "old info");
    reply("0");
    ASSERT_EQ(move_to_coord(5, 7, -3, 4), MOUNT_OK);
    EXPECT_EQ(trace(), (Trace{"0 W1 #:Sr 05:07.0", "0 W1 #:Sd -03*04", "0 W1 #:LI#", "1 W1 #:MS#",
                              "2 R1 1"}));
    EXPECT_STREQ(serial.move_error, "");
    EXPECT_EQ(ui.beeps, 1);

    // Degree 0 has no sign of its own.
    start(1000);
    ASSERT_EQ(move_to_coord(23, 59, 0, 30), MOUNT_OK);
    EXPECT_EQ(trace()[0], "0 W1 #:Sr 23:59.0");
    EXPECT_EQ(trace()[1], "0 W1 #:Sd +00*30");
    start(1000);
    ASSERT_EQ(move_to_coord(0, 0, 89, 59), MOUNT_OK);
    EXPECT_EQ(trace()[1], "0 W1 #:Sd +89*59");

    // What is no coordinate is refused and nothing is sent.
    start(1000);
    const int bad[][4] = {{24, 0, 0, 0},  {-1, 0, 0, 0},  {0, 60, 0, 0}, {0, -1, 0, 0},
                          {0, 0, -91, 0}, {0, 0, 100, 0}, {0, 0, 0, 60}, {0, 0, 0, -1}};
    for (const auto& c : bad) EXPECT_EQ(move_to_coord(c[0], c[1], c[2], c[3]), MOUNT_BAD_ARGUMENT);
    EXPECT_TRUE(trace().empty());
}

TEST_F(MountTest, GetInfoReadsTheReplyAfter200Ms) {
    std::strcpy(serial.move_error, "stale");
    reply(std::string(40, 'A'));
    GetInfo();
    EXPECT_EQ(trace(), (Trace{"0 W1 #:LI#", "200 R1 33"}));
    EXPECT_EQ(std::string(serial.move_error), std::string(33, 'A'));
}

} // namespace
