// nocteris-cli mount against the in-process simulator on the virtual clock:
// on the camera's serial port, on the guide relays and on the PC serial port
// through the simulator's pseudo-terminal.
#include "cli_sim_test.h"

#include "platform/ui.h"

#include <cmath>

namespace {

class MountVerbTest : public CliSimTest {
  protected:
    int mount(std::vector<std::string> args) { return run_verb("mount", std::move(args)); }
    // The settings file the verb reads: the mount on camera serial port 1.
    void save_settings(char telescope) {
        cfg.telescope = telescope;
        cfg.AOUnit_comport = 0;
        cfg.slewcom = '1';
        ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
        reset_settings();
    }

#ifdef HAVE_SIM
    void start_sim(sim::Config c = {}) {
        c.mount.backlash_dec = 0;
        c.mount.backlash_ra = 0;
        start_simulator(c);
    }
    bool sent(const std::string& command) const {
        return log.find(":" + command + "#") != std::string::npos;
    }
    double xi() {
        return simulator->world().view(simulator->now()).xi;
    }
    double eta() {
        return simulator->world().view(simulator->now()).eta;
    }
    void pointing(double* ra, double* dec) {
        simulator->world().pointing(simulator->now(), ra, dec);
    }
#endif
};

// Every byte a reply put on the terminal is printable, and no line runs on.
void expect_printable_lines(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), 200u) << line;
        for (const char c : line)
            EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "byte " << int(static_cast<unsigned char>(c));
    }
}

} // namespace

TEST_F(MountVerbTest, OutOfRangeInputIsRefusedWithNothingSent) {
#ifdef HAVE_SIM
    start_sim();
#endif
    save_settings('l');
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"goto", "--messier", "0"}, "Object out of range - try again"},
        {{"goto", "--messier", "111", "--ngc", "7816"}, "Object out of range - try again"},
        {{"goto", "--ra", "05:35", "--dec", "-90:00"}, "Invalid Co-ordinates set."},
        {{"goto", "--ra", "24:00", "--dec", "+10:00"}, "Invalid Co-ordinates set."},
        {{"goto", "--ra", "05:35", "--dec", "-00:30"}, "cannot be sent"},
        {{"goto", "--messier", "13", "--star", "4"}, "one target"},
        {{"goto", "--star", "10000"}, "from 1 to 9999"},
        {{"goto", "--planet", "vulcan"}, "unknown planet 'vulcan'"},
        {{"move", "up", "--ms", "100"}, "n, s, e or w"},
        {{"pulse", "n", "--ms", "0"}, "from 1 to 60000"},
        {{"pulse", "n", "--ms", "60001"}, "from 1 to 60000"},
        {{"--port", "com0", "info"}, "--port takes comN"},
    };
    for (const auto& c : cases) {
        const std::string& what = c.args.back();
        EXPECT_EQ(mount(c.args), 2) << what;
        EXPECT_NE(err.str().find(c.says), std::string::npos) << what << ": " << err.str();
    }
#ifdef HAVE_SIM
    EXPECT_EQ(log, "") << "the camera is not even opened";
#endif
    EXPECT_EQ(mount({"--help"}), 0);
    EXPECT_NE(out.str().find("1-60000"), std::string::npos);
}

TEST_F(MountVerbTest, WithoutAMountThereIsNoConnection) {
    save_settings('n');
    EXPECT_EQ(mount({"info"}), 1);
    EXPECT_NE(err.str().find("Sorry. No Connection to Telescope"), std::string::npos) << err.str();

    // The mount hangs on the camera, and there is none.
    save_settings('l');
    EXPECT_EQ(mount({"pulse", "n", "--ms", "100"}), 1);
    EXPECT_NE(err.str().find("No camera found"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("Sorry. No Connection to Telescope"), std::string::npos);

    // A PC port whose device is not there.
    std::filesystem::create_symlink(home + "/nothing", autosave + "/com5");
    EXPECT_EQ(mount({"--port", "com5", "goto", "--messier", "13"}), 1);
    EXPECT_NE(err.str().find("Sorry. No Connection to Telescope"), std::string::npos) << err.str();
}

#ifdef HAVE_SIM

TEST_F(MountVerbTest, CoordinateGoToMovesThePointingWithinTheDialogsRange) {
    start_sim();
    save_settings('l');
    ASSERT_EQ(mount({"goto", "--ra", "17:30", "--dec", "-03:30"}), 0) << err.str();
    EXPECT_NE(out.str().find("GoTo accepted"), std::string::npos);
    clock.advance(120000);
    double ra = 0, dec = 0;
    pointing(&ra, &dec);
    EXPECT_NEAR(ra, 17.5, 0.01);
    EXPECT_NEAR(dec, -3.5, 0.01);

    EXPECT_EQ(mount({"goto", "--ra", "06:00", "--dec", "-90:00"}), 2);
    EXPECT_FALSE(sent("Sd -90*00"));
    // -89 passes the range and goes out; from latitude 51.5 it never rises.
    EXPECT_EQ(mount({"goto", "--ra", "06:00", "--dec", "-89:00"}), 1);
    EXPECT_TRUE(sent("Sd -89*00")) << log;
    EXPECT_NE(err.str().find("the mount refused the GoTo: Object Below Horizon\n"),
              std::string::npos)
        << err.str();
}

TEST_F(MountVerbTest, CatalogueGoToPrintsTheObjectInformation) {
    start_sim();
    save_settings('l');
    ASSERT_EQ(mount({"goto", "--messier", "13"}), 0) << err.str();
    EXPECT_NE(out.str().find("object: M13 GC 16:41.7 +36*28\n"), std::string::npos) << out.str();
    EXPECT_TRUE(sent("LM 0013"));

    ASSERT_EQ(mount({"goto", "--planet", "Pluto"}), 0) << err.str();
    EXPECT_TRUE(sent("LS 0909"));
    EXPECT_NE(out.str().find("PLUTO"), std::string::npos) << out.str();

    ASSERT_EQ(mount({"info"}), 0) << err.str();
    EXPECT_NE(out.str().find("object: PLUTO"), std::string::npos) << out.str();
}

TEST_F(MountVerbTest, TimedMovesLastTheirDurationAtTheirRate) {
    start_sim();
    save_settings('l');
    const double guide = 0.5 * sim::SIDEREAL_RATE;
    const double cos_dec = std::cos(36.46 * M_PI / 180); // the start pointing
    double x0 = xi(), y0 = eta();
    ASSERT_EQ(mount({"pulse", "e", "--ms", "2000"}), 0) << err.str();
    EXPECT_NEAR(xi() - x0, 2.0 * guide * cos_dec, 0.05);
    EXPECT_NEAR(eta() - y0, 0, 0.05);

    y0 = eta();
    ASSERT_EQ(mount({"move", "n", "--ms", "1000", "--rate", "centre"}), 0) << err.str();
    EXPECT_NEAR(eta() - y0, 8 * sim::SIDEREAL_RATE, 1.0);
    EXPECT_NE(out.str().find("at centre rate"), std::string::npos);

    const double d0 = simulator->world().view(simulator->now()).defocus;
    ASSERT_EQ(mount({"focus", "in", "--ms", "1000"}), 0) << err.str();
    const double d1 = simulator->world().view(simulator->now()).defocus;
    EXPECT_NEAR(std::abs(d1 - d0), 200, 5);
    ASSERT_EQ(mount({"focus", "out", "--ms", "1000", "--slow"}), 0) << err.str();
    EXPECT_NEAR(simulator->world().view(simulator->now()).defocus, d1 - (d1 - d0) / 10, 2);

    // The same pulse on the guide socket's relays; they cannot GoTo.
    save_settings('b');
    y0 = eta();
    ASSERT_EQ(mount({"pulse", "s", "--ms", "1000"}), 0) << err.str();
    EXPECT_NEAR(eta() - y0, -guide, 0.05);
    EXPECT_EQ(mount({"goto", "--messier", "13"}), 1);
    EXPECT_NE(err.str().find("needs an LX200 mount"), std::string::npos);
}

TEST_F(MountVerbTest, SilentOrGarbledRepliesEndWithoutHangingOrJunk) {
    sim::Config c;
    c.faults.serial.missing = 1;
    start_sim(c);
    save_settings('l');
    EXPECT_EQ(mount({"goto", "--messier", "13"}), 1);
    EXPECT_NE(err.str().find("Sorry. No Connection to Telescope"), std::string::npos) << err.str();
    EXPECT_FALSE(sent("LM 0013")) << "nothing acted on after the silent probe";

    simulator->faults().serial.missing = 0;
    simulator->faults().serial.garbage = 1;
    for (int i = 0; i < 5; ++i) {
        mount({"goto", "--messier", "13"});
        expect_printable_lines(out.str());
        expect_printable_lines(err.str());
        mount({"info"});
        expect_printable_lines(out.str());
        expect_printable_lines(err.str());
    }
}

TEST_F(MountVerbTest, PortTakesThePcSerialRouteToTheSimulatorsPseudoTerminal) {
    start_sim();
    sim::ServerOptions so;
    so.com_port = 3;
    server = std::make_unique<sim::Server>(*simulator, so);
    std::string error;
    ASSERT_TRUE(server->start(&error)) << error;
    // The simulator answers while the program waits on the virtual clock.
    platform::WaitActivity serving([this] { server->poll_once(5); });

    save_settings('n'); // --port needs no settings of the mount
    ASSERT_EQ(mount({"--port", "com3", "goto", "--messier", "31"}), 0) << err.str();
    EXPECT_NE(out.str().find("object: M31 GAL 00:42.7 +41*16"), std::string::npos) << out.str();
    EXPECT_NE(log.find("PC serial"), std::string::npos) << log;
    EXPECT_EQ(log.find("camera serial"), std::string::npos) << "no camera needed: " << log;

    // The co-ordinate commands' acknowledgements come back before the slew's status.
    ASSERT_EQ(mount({"--port", "com3", "goto", "--ra", "17:30", "--dec", "+30:00"}), 0)
        << err.str();
    EXPECT_EQ(mount({"--port", "com3", "goto", "--ra", "06:00", "--dec", "-89:00"}), 1);
    EXPECT_NE(err.str().find("refused the GoTo: Object Below Horizon\n"), std::string::npos)
        << err.str();
    clock.advance(120000); // the GoTo arrives
    const double x0 = xi();
    ASSERT_EQ(mount({"--port", "com3", "pulse", "w", "--ms", "1000"}), 0) << err.str();
    EXPECT_LT(xi(), x0);
}

#endif
