// The mount, AO unit and filter box as the program meets them on a serial
// line: LX200 commands with their replies, AO command texts, filter box bytes.
#include "sim/catalogue.h"
#include "sim/simulator.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace sim;

namespace {

class MountProtocol : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        cfg.mount.pe_amplitude = 0;
        cfg.mount.backlash_dec = 0;
        cfg.mount.latitude = 50;
        cfg.mount.ra_hours = 5;
        cfg.mount.dec_deg = 10;
        make();
    }
    void make() { simulator = std::make_unique<Simulator>(cfg); }
    // Writes text to the PC port as the program would; returns what came back.
    std::string say(const std::string& text) {
        simulator->pc_write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        const auto r = simulator->pc_take();
        return std::string(r.begin(), r.end());
    }
    Config cfg;
    std::unique_ptr<Simulator> simulator;
};

} // namespace

TEST_F(MountProtocol, TimedGuidePulseMovesByGuideRateTimesDuration) {
    const double before = simulator->world().view(simulator->now()).xi;
    EXPECT_EQ(say("#:RG#"), "");
    clock.advance(20);
    say("#:Me#");
    clock.advance(1500);
    say("#:Qe#");
    clock.advance(4);
    const double moved = simulator->world().view(simulator->now()).xi - before;
    EXPECT_NEAR(moved, 1.5 * 0.5 * SIDEREAL_RATE * std::cos(10 * M_PI / 180), 0.05);
}

TEST_F(MountProtocol, StopMoveSendsAllFourStops) {
    say("#:RC#");
    say("#:Mn#");
    say("#:Mw#");
    clock.advance(1000);
    say("#:Qn#");
    say("#:Qs#");
    say("#:Qe#");
    say("#:Qw#");
    const View a = simulator->world().view(simulator->now());
    clock.advance(5000);
    const View b = simulator->world().view(simulator->now());
    EXPECT_NEAR(a.eta, 8 * SIDEREAL_RATE, 0.01);
    EXPECT_LT(a.xi, 0);
    EXPECT_DOUBLE_EQ(a.eta, b.eta);
    EXPECT_DOUBLE_EQ(a.xi, b.xi);
}

TEST_F(MountProtocol, CatalogueGoToWithObjectInformation) {
    EXPECT_EQ(say("#:LM 0042#"), "");
    EXPECT_EQ(say("#:LI#"), "M42 DN 05:35.4 -05*27#");
    EXPECT_EQ(say("#:MS#"), "0");
    EXPECT_TRUE(simulator->world().slewing(simulator->now()));
    clock.advance(60000);
    double ra, dec;
    simulator->world().pointing(simulator->now(), &ra, &dec);
    EXPECT_NEAR(ra, 5 + 35.4 / 60, 0.01);
    EXPECT_NEAR(dec, -(5 + 27 / 60.0), 0.01);

    say("#:LS 0905#");
    EXPECT_EQ(say("#:LI#").substr(0, 8), "JUPITER ");
    say("#:LC 7000#");
    EXPECT_EQ(say("#:LI#"), "NGC7000 DN 20:59.3 +44*31#");
    // A number the catalogue lacks leaves the selection alone.
    say("#:LM 0000#");
    say("#:LM 0111#");
    EXPECT_EQ(say("#:LI#"), "NGC7000 DN 20:59.3 +44*31#");
}

TEST_F(MountProtocol, SlewBelowTheHorizonIsRefusedWithText) {
    // Dec -80 never rises at latitude 50.
    say("#:LS 0002#"); // Canopus, -52 degrees: below the horizon here
    const std::string r = say("#:MS#");
    EXPECT_EQ(r, "1Object Below Horizon#");
    EXPECT_FALSE(simulator->world().slewing(simulator->now()));
}

TEST_F(MountProtocol, CoordinateGoToAsTheProgramSendsIt) {
    // Each coordinate command is one byte short; the next command's '#' ends it.
    std::string replies;
    replies += say("#:Sr 05:07.0");
    replies += say("#:Sd -03*04");
    replies += say("#:LI#");
    EXPECT_EQ(replies, "11COORD 05:07.0 -03*04#");
    EXPECT_EQ(say("#:MS#"), "0");
    EXPECT_NEAR(simulator->mount().target_ra(), 5 + 7 / 60.0, 1e-9);
    EXPECT_NEAR(simulator->mount().target_dec(), -(3 + 4 / 60.0), 1e-9);
    clock.advance(30000);
    EXPECT_EQ(say("#:GR#"), "05:07.0#");
    EXPECT_EQ(say("#:GD#"), "-03*04#");
    // Nonsense coordinates are refused with '0' and change nothing.
    EXPECT_EQ(say("#:Sr 25:61.0#"), "0");
    EXPECT_EQ(say("#:Sd +95*00#"), "0");
    EXPECT_NEAR(simulator->mount().target_ra(), 5 + 7 / 60.0, 1e-9);
}

TEST_F(MountProtocol, FocuserMovesWhileCommanded) {
    say("#:FF#");
    say("#:F+#");
    clock.advance(500);
    say("#:FQ#");
    EXPECT_NEAR(simulator->world().view(simulator->now()).defocus, 100, 0.5);
    say("#:FS#");
    say("#:F-#");
    clock.advance(1000);
    say("#:FQ#");
    EXPECT_NEAR(simulator->world().view(simulator->now()).defocus, 80, 0.5);
}

TEST_F(MountProtocol, CommandsSplitAcrossWritesAndNoiseBetween) {
    EXPECT_EQ(say("\x01zz#:L"), "");
    EXPECT_EQ(say("M 00"), "");
    EXPECT_EQ(say("31#"), "");
    EXPECT_EQ(say(std::string(200, 'x') + "#:LI#"), "M31 GAL 00:42.7 +41*16#");
    EXPECT_EQ(say(std::string(1, '\x06')), "P");
}

TEST_F(MountProtocol, FaultsGarbleOrDropReplies) {
    cfg.faults.serial.garbage = 1;
    make();
    const std::string g = say("#:LI#");
    EXPECT_FALSE(g.empty());
    EXPECT_NE(g, "NO OBJECT#");
    cfg.faults.serial.garbage = 0;
    cfg.faults.serial.missing = 1;
    make();
    EXPECT_EQ(say("#:LI#"), "");
    EXPECT_EQ(say("#:Sr 05:07.0#"), "");
}

TEST_F(MountProtocol, AoSerialCommandsAndTheirLimits) {
    say("GN00025");
    say("GT00010");
    World& w = simulator->world();
    const double t = simulator->now();
    EXPECT_EQ(w.ao_ns(t), 25);
    EXPECT_EQ(w.ao_ew(t), 10);
    say("GS00500"); // beyond the travel: stops at the end
    EXPECT_EQ(w.ao_ns(simulator->now()), -cfg.ao.travel);
    say("GX00010"); // not a direction
    say("G12");     // cut short, then an LX200 command
    EXPECT_EQ(say("#:LI#"), "NO OBJECT#");
    EXPECT_EQ(w.ao_ew(simulator->now()), 10);
    say("K");
    EXPECT_EQ(w.ao_ns(simulator->now()), 0);
    EXPECT_EQ(w.ao_ew(simulator->now()), 0);

    // The unit's mount output: count x 10 ms at the guide rate.
    const double before = w.view(simulator->now()).eta;
    say("MN00100");
    clock.advance(3000);
    EXPECT_NEAR(w.view(simulator->now()).eta - before, 1.0 * 0.5 * SIDEREAL_RATE, 1e-6);
}

TEST_F(MountProtocol, FilterBoxCommandsTurnTheWheel) {
    const std::uint8_t pos3[] = {0xA5, 0x01, 0x03, 0xA9};
    simulator->pc_write(pos3, 4);
    clock.advance(5000);
    EXPECT_EQ(simulator->wheel().position(simulator->now()), 3);
    const std::uint8_t bad[] = {0xA5, 0x01, 0x04, 0xA9}; // wrong checksum
    simulator->pc_write(bad, 4);
    const std::uint8_t beyond[] = {0xA5, 0x01, 0x07, 0xAD}; // a 5-position wheel has no 7
    simulator->pc_write(beyond, 4);
    clock.advance(5000);
    EXPECT_EQ(simulator->wheel().position(simulator->now()), 3);
    EXPECT_TRUE(simulator->pc_take().empty()); // the box never answers
}

TEST(Catalogue, KnowsEveryMessierObjectAndTheNgcRange) {
    SkyObject o;
    for (int m = 1; m <= 110; ++m) {
        ASSERT_TRUE(lookup_object('M', m, &o)) << m;
        EXPECT_EQ(o.name, "M" + std::to_string(m));
        EXPECT_GE(o.ra_hours, 0);
        EXPECT_LT(o.ra_hours, 24);
        EXPECT_LE(std::abs(o.dec_deg), 90);
    }
    EXPECT_FALSE(lookup_object('M', 111, &o));
    EXPECT_TRUE(lookup_object('C', 1, &o));
    EXPECT_TRUE(lookup_object('C', 7840, &o));
    EXPECT_FALSE(lookup_object('C', 7841, &o));
    SkyObject a, b;
    lookup_object('C', 4000, &a);
    lookup_object('C', 4000, &b);
    EXPECT_EQ(a.ra_hours, b.ra_hours);
    EXPECT_TRUE(lookup_object('S', 901, &o));
    EXPECT_FALSE(lookup_object('S', 903, &o)); // the Earth
}
