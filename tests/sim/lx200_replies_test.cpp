// The mount as outside LX200 software meets it: precision, site and clock
// queries and settings, pulse guiding, the GoTo progress bar and sync.
#include "sim/simulator.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace sim;

namespace {

class Lx200Replies : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        cfg.mount.pe_amplitude = 0;
        cfg.mount.backlash_ra = cfg.mount.backlash_dec = 0;
        cfg.mount.latitude = 50;
        cfg.mount.ra_hours = 5.5;                            // 05:30:00
        cfg.mount.dec_deg = -(10 + 15 / 60.0 + 30 / 3600.0); // -10*15:30
        simulator = std::make_unique<Simulator>(cfg);
    }
    std::string say(const std::string& text) {
        simulator->pc_write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        const auto r = simulator->pc_take();
        return std::string(r.begin(), r.end());
    }
    void pointing(double* ra, double* dec) { simulator->pointing(ra, dec); }
    Config cfg;
    std::unique_ptr<Simulator> simulator;
};

} // namespace

TEST_F(Lx200Replies, PrecisionToggleChangesEveryCoordinateReply) {
    EXPECT_EQ(say(":GR#:GD#"), "05:30.0#-10*16#");
    say(":Sr 06:07:08#:Sd +20*30:40#");
    EXPECT_EQ(say(":Gr#:Gd#"), "06:07.1#+20*31#");
    EXPECT_EQ(say(":U#"), "");
    EXPECT_EQ(say(":GR#:GD#"), "05:30:00#-10*15:30#");
    EXPECT_EQ(say(":Gr#:Gd#"), "06:07:08#+20*30:40#");
    say(":U#");
    EXPECT_EQ(say(":GR#"), "05:30.0#");
    EXPECT_FALSE(simulator->mount().high_precision());
}

TEST_F(Lx200Replies, TargetCoordinatesInEitherPrecisionAndSpacing) {
    const double ra = 6 + 7 / 60.0 + 8 / 3600.0, dec = -(0 + 30 / 60.0 + 5 / 3600.0);
    EXPECT_EQ(say(":Sr06:07:08#"), "1");
    EXPECT_EQ(say(":Sd-00:30:05#"), "1");
    EXPECT_NEAR(simulator->mount().target_ra(), ra, 1e-9);
    EXPECT_NEAR(simulator->mount().target_dec(), dec, 1e-9);
    EXPECT_EQ(say(":Sd -00*30'05#"), "1");
    EXPECT_NEAR(simulator->mount().target_dec(), dec, 1e-9);
    EXPECT_EQ(say(":Sr 06:07.5#:Sd+45*10#"), "11");
    EXPECT_NEAR(simulator->mount().target_ra(), 6 + 7.5 / 60, 1e-9);
    EXPECT_NEAR(simulator->mount().target_dec(), 45 + 10 / 60.0, 1e-9);
    EXPECT_EQ(say(":Sr 06:07:60#:Sd +90*00:01#:Sr 06-07-08#"), "000");
}

TEST_F(Lx200Replies, IdentityAndDriveQueries) {
    EXPECT_EQ(say(":Gc#"), "24#");
    EXPECT_EQ(say(":GVP#"), "LX200 Sim#");
    EXPECT_EQ(say(":GVN#"), "1.0#");
    EXPECT_EQ(say(":GT#"), "60.1#");
    say(":T-#:T-#");
    EXPECT_EQ(say(":GT#"), "59.9#");
    EXPECT_EQ(say(":ST 57.5#"), "1");
    EXPECT_EQ(say(":GT#"), "57.5#");
    EXPECT_EQ(say(":ST 99.0#"), "0");
    say(":TQ#");
    EXPECT_EQ(say(":GT#"), "60.1#");
    EXPECT_EQ(say(":GM#:GP#"), "Home#Site4#");
    EXPECT_EQ(say(":SN Backyard obs#"), "1");
    EXPECT_EQ(say(":GN#"), "Backyard obs#");
    EXPECT_EQ(say(":Sx 12#"), "0"); // a setting the mount lacks is refused, not ignored
}

TEST_F(Lx200Replies, SiteSettingsReadBack) {
    EXPECT_EQ(say(":Gt#"), "+50*00#");
    EXPECT_EQ(say(":St+48*30#"), "1");
    EXPECT_EQ(say(":Gt#"), "+48*30#");
    EXPECT_EQ(simulator->world().mount().latitude, 48.5);
    EXPECT_EQ(say(":St -33:52:00#"), "1");
    EXPECT_EQ(say(":Gt#"), "-33*52#");
    EXPECT_EQ(say(":St+95*00#"), "0");

    EXPECT_EQ(say(":Sg 011*15#"), "1");
    EXPECT_EQ(say(":Gg#"), "+011*15#");
    EXPECT_EQ(say(":Sg-005:30#"), "1");
    EXPECT_EQ(say(":Gg#"), "-005*30#");
    EXPECT_EQ(say(":Sg 350*00#"), "1"); // 350 west is 10 east
    EXPECT_EQ(say(":Gg#"), "-010*00#");
    EXPECT_EQ(say(":Sg 400*00#"), "0");

    EXPECT_EQ(say(":SG -05#"), "1");
    EXPECT_EQ(say(":GG#"), "-05#");
    EXPECT_EQ(say(":SG+05.5#"), "1");
    EXPECT_EQ(say(":GG#"), "+05.5#");
    EXPECT_EQ(say(":SG +25#"), "0");
}

TEST_F(Lx200Replies, ClockKeepsTheTimeItWasSetToAndRunsOn) {
    EXPECT_EQ(say(":SL 23:59:58#"), "1");
    // The date's status, then the two lines a hand box sends while it works.
    EXPECT_EQ(say(":SC 02/28/24#"), "1Updating Planetary Data#" + std::string(30, ' ') + "#");
    EXPECT_EQ(say(":GL#:GC#"), "23:59:58#02/28/24#");
    clock.advance(3000);
    EXPECT_EQ(say(":GL#:GC#"), "00:00:01#02/29/24#"); // a leap year
    EXPECT_EQ(say(":Ga#"), "12:00:01#");
    EXPECT_EQ(say(":SC 12/31/99#"), "1Updating Planetary Data#" + std::string(30, ' ') + "#");
    EXPECT_EQ(say(":GC#:GL#"), "12/31/99#00:00:01#");
    EXPECT_EQ(say(":SC 02/30/24#"), "0");
    EXPECT_EQ(say(":SC 13/01/24#"), "0");
    EXPECT_EQ(say(":SL 24:00:00#"), "0");
    EXPECT_EQ(say(":GC#"), "12/31/99#");
}

TEST_F(Lx200Replies, PulseGuideMovesByGuideRateTimesDuration) {
    double ra0, dec0, ra, dec;
    pointing(&ra0, &dec0);
    EXPECT_EQ(say(":Mgn1500#"), "");
    clock.advance(1000);
    pointing(&ra, &dec);
    EXPECT_NEAR((dec - dec0) * 3600, 1.0 * 0.5 * SIDEREAL_RATE, 1e-6); // still moving
    clock.advance(2000);
    pointing(&ra, &dec);
    EXPECT_NEAR((dec - dec0) * 3600, 1.5 * 0.5 * SIDEREAL_RATE, 1e-6);

    // East and west at the guide rate whatever the move rate is.
    say(":RS#:Mge0400#");
    clock.advance(1000);
    double ra1, dec1;
    pointing(&ra1, &dec1);
    EXPECT_NEAR((ra1 - ra) * 15 * 3600, 0.4 * 0.5 * SIDEREAL_RATE, 1e-6); // RA axis arcsec
    say(":Mgw0400#");
    clock.advance(1000);
    pointing(&ra, &dec);
    EXPECT_NEAR(ra, ra0, 1e-7);
    say(":Mgx0400#:Mgn#:Mgs12ab#"); // not pulses
    clock.advance(1000);
    pointing(&ra1, &dec1);
    EXPECT_EQ(ra1, ra);
    EXPECT_EQ(dec1, dec);
}

TEST_F(Lx200Replies, SlewProgressBarDuringAGoToOnly) {
    EXPECT_EQ(say(":D#"), "#");
    say(":Sr 06:30:00#:Sd +00*00:00#");
    EXPECT_EQ(say(":MS#"), "0");
    EXPECT_EQ(say(":D#"), "\x7f#");
    clock.advance(2000);
    EXPECT_EQ(say(":D#"), "\x7f#");
    clock.advance(60000);
    EXPECT_EQ(say(":D#"), "#");
    say(":U#");
    EXPECT_EQ(say(":GR#:GD#"), "06:30:00#+00*00:00#");
    // A stopped GoTo ends the bar too, with the telescope part of the way.
    say(":Sr 05:30:00#:MS#"); // 15 degrees: 3.75 s at 4 degrees a second
    clock.advance(1875);
    EXPECT_EQ(say(":D#"), "\x7f#");
    say(":Q#");
    EXPECT_EQ(say(":D#"), "#");
    clock.advance(10000);
    EXPECT_EQ(say(":GR#:GD#"), "06:00:00#+00*00:00#");
}

TEST_F(Lx200Replies, SyncMakesTheMountReportTheTargetWhereItPoints) {
    double ra0, dec0;
    pointing(&ra0, &dec0);
    say(":U#:Sr 05:40:00#:Sd -10*00:00#");
    EXPECT_EQ(say(":CM#"), "COORD 05:40.0 -10*00#");
    EXPECT_EQ(say(":GR#:GD#"), "05:40:00#-10*00:00#");
    double ra, dec;
    pointing(&ra, &dec); // the sky has not moved
    EXPECT_NEAR(ra, ra0, 1e-9);
    EXPECT_NEAR(dec, dec0, 1e-9);

    // GoTos after a sync go by the mount's new reckoning.
    say(":Sr 06:40:00#:Sd -09*00:00#:MS#");
    clock.advance(60000);
    EXPECT_EQ(say(":GR#:GD#"), "06:40:00#-09*00:00#");
    pointing(&ra, &dec);
    EXPECT_NEAR(ra, 6 + 30 / 60.0, 1e-6);
    EXPECT_NEAR(dec, -(9 + 15 / 60.0 + 30 / 3600.0), 1e-6);

    // A catalogue object answers with its name.
    say(":LM 0042#");
    EXPECT_EQ(say(":CM#").substr(0, 4), "M42 ");
}
