// nocteris-cli guide against the in-process simulator on the virtual clock:
// its command line, the refusals, and whole runs with the training.
#include "cli_sim_test.h"

#include "cli/guide_host.h"

#include <algorithm>
#include <csignal>
#include <regex>

namespace {

class GuideVerbTest : public CliSimTest {
  protected:
    int guide(std::vector<std::string> args) { return run_verb("guide", std::move(args)); }
    // The settings file the verb reads: the mount on camera serial port 1,
    // a second's guide exposure.
    void save_settings(char telescope) {
        cfg.telescope = telescope;
        cfg.AOUnit_comport = 0;
        cfg.slewcom = '1';
        cfg.exp_range = 's';
        cfg.exp_value = 1;
        cfg.use_saved_values = 1; // the file's exposure is the run's default
        ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
        reset_settings();
    }
    // The per-frame lines and the closing line's frame count.
    static int frame_lines(const std::string& text) {
        static const std::regex frame(
            R"(^ *[0-9.]+ s  dx +[-+][0-9.]+ px  dy +[-+][0-9.]+ px  .+$)");
        std::istringstream lines(text);
        std::string line;
        int n = 0;
        while (std::getline(lines, line)) n += std::regex_match(line, frame);
        return n;
    }
    static int summary_frames(const std::string& text, double* rms = nullptr) {
        static const std::regex summary(
            R"(guided ([0-9]+) frames: RMS ([0-9.]+) px \(x ([0-9.]+) px, y ([0-9.]+) px\)\n$)");
        std::smatch m;
        if (!std::regex_search(text, m, summary)) return -1;
        if (rms) *rms = std::stod(m[2]);
        return std::stoi(m[1]);
    }

#ifdef HAVE_SIM
    void start_sim(sim::Config c = {}) {
        start_simulator(c);
    }
#endif
};

} // namespace

TEST_F(GuideVerbTest, WrongCommandLinesExitTwoWithNothingOpened) {
#ifdef HAVE_SIM
    start_sim();
#endif
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"--range", "m"}, "--range takes q, h, t or s"},
        {{"--value", "0"}, "from 1 to 999"},
        {{"--value", "1000"}, "from 1 to 999"},
        {{"--seconds", "-1"}, "--seconds takes"},
        {{"--star", "120"}, "--star takes X,Y"},
        {{"--star", "12,x"}, "--star takes X,Y"},
        {{"--drive", "ao"}, "--drive takes lx200 or socket"},
        {{"--port", "com33"}, "--port takes comN"},
        {{"--drive", "socket", "--port", "com3"}, "--port is for an LX200 mount"},
        {{"--log"}, "--log takes a file name"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"--camera", "finder"}, "--camera takes main or guider"},
        {{"--via", "relays"}, "--via takes mount or ao"},
        {{"--via", "ao", "--ao-port", "com2"}, "--ao-port takes camera0, camera1 or pc"},
        {{"--ao-port", "pc"}, "go with --via ao"},
        {{"--via", "ao", "--ao-port", "pc", "--ao-parallel"}, "--ao-parallel uses the guide"},
        {{"--camera", "guider", "--range", "q"}, "the guider camera has no thousandths"},
        {{"--camera", "guider", "--range", "h", "--value", "501"}, "from 1 to 500"},
        {{"--camera", "guider", "--value", "11"}, "from 1 to 10"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(guide(c.args), 2) << c.args[0];
        EXPECT_NE(err.str().find(c.says), std::string::npos) << c.args[0] << ": " << err.str();
    }
#ifdef HAVE_SIM
    EXPECT_EQ(log, "") << "the camera is not even opened";
#endif
    EXPECT_EQ(guide({"--help"}), 0);
    EXPECT_NE(out.str().find("--train"), std::string::npos);
    EXPECT_NE(out.str().find("130 stopped by Ctrl+C"), std::string::npos);
}

TEST(BrightestStar, TakesAnUndersampledStarOverAHotPixelAndKeepsOffTheEdge) {
    constexpr int W = 120, H = 80;
    std::vector<unsigned short> frame(W * H);
    for (int i = 0; i < W * H; ++i) frame[i] = static_cast<unsigned short>(1536 + (i * 7919) % 256);
    auto put = [&](int x, int y, int v) { frame[y * W + x] = static_cast<unsigned short>(v); };
    put(30, 30, 60000); // a hot pixel: brighter, but alone
    // A star on the guider's large pixels: its core and two neighbours lit.
    put(70, 40, 32768);
    put(71, 40, 12000);
    put(70, 41, 9000);
    put(110, 40, 50000); // a brighter star too near the edge
    put(111, 40, 30000);
    put(110, 41, 30000);
    int x = 0, y = 0;
    ASSERT_TRUE(brightest_star(frame.data(), W, H, 20, &x, &y));
    EXPECT_EQ(x, 70);
    EXPECT_EQ(y, 40);
    put(71, 40, 1536); // one neighbour only: a hot pixel's kind
    EXPECT_FALSE(brightest_star(frame.data(), W, H, 20, &x, &y));
}

TEST_F(GuideVerbTest, WithoutACameraOrADriveTheRunIsRefused) {
    save_settings('l');
    EXPECT_EQ(guide({"--seconds", "5"}), 1);
    EXPECT_NE(err.str().find("Sorry, No camera found on USB"), std::string::npos) << err.str();
#ifdef HAVE_SIM
    start_sim();
    save_settings('n');
    EXPECT_EQ(guide({"--seconds", "5"}), 1);
    EXPECT_NE(err.str().find("Sorry. No Connection to Telescope"), std::string::npos) << err.str();
    EXPECT_EQ(out.str().find("guided"), std::string::npos) << "no guiding began";
#endif
}

#ifdef HAVE_SIM

TEST_F(GuideVerbTest, TrainsThenGuidesADriftingStarAndKeepsOnlyTheTrainingsSettings) {
    sim::Config c;
    c.mount.drift_ra = 0.05;
    c.mount.drift_dec = 0.1;
    start_sim(c);
    save_settings('l');
    const std::string csv = home + "/run.csv";
    ASSERT_EQ(guide({"--train", "--seconds", "120", "--range", "t", "--value", "10", "--log", csv}),
              0)
        << err.str();
    const std::string text = out.str();
    std::smatch m;
    // Picked, then picked again after the training: the second is guided on.
    const auto picked = text.rfind("guide star at ");
    ASSERT_NE(picked, text.find("guide star at ")) << text;
    const std::string rest = text.substr(picked);
    ASSERT_TRUE(std::regex_search(rest, m, std::regex(R"(^guide star at ([0-9]+),([0-9]+)\n)")));
    const int x = std::stoi(m[1]), y = std::stoi(m[2]);
    EXPECT_NE(text.find("log: " + csv + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("trained: RA "), std::string::npos) << text;
    double rms = 0;
    const int frames = summary_frames(text, &rms);
    EXPECT_GT(frames, 40) << text;
    EXPECT_EQ(frame_lines(text), frames);
    EXPECT_LT(rms, 1.0);
    EXPECT_NE(log.find(":Mn#"), std::string::npos) << "the mount was pulsed";

    // One file: the training's steps, then the guiding table.
    const std::string csv_text = read_file(csv);
    EXPECT_NE(csv_text.find("north 1,n,1000,"), std::string::npos) << csv_text;
    EXPECT_NE(csv_text.find("time_s,x,y,dx_px"), std::string::npos);
    // The settings file has the trained rates, not this run's exposure.
    reset_settings();
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_GT(cfg.slewy, 2);
    EXPECT_EQ(cfg.exp_range, 's');
    EXPECT_EQ(cfg.exp_value, 1);

    // The same star again, asked for near it: the pick snaps onto it.
    ASSERT_EQ(
        guide({"--star", std::to_string(x + 2) + "," + std::to_string(y - 1), "--seconds", "10"}),
        0)
        << err.str();
    const std::string again = out.str();
    ASSERT_TRUE(std::regex_search(again, m, std::regex(R"(guide star at ([0-9]+),([0-9]+)\n)")));
    EXPECT_NEAR(std::stoi(m[1]), x, 2);
    EXPECT_NEAR(std::stoi(m[2]), y, 2);
    EXPECT_NE(out.str().find("log: " + autosave + "/guide_"), std::string::npos) << out.str();
    EXPECT_EQ(guide({"--star", "5000,10", "--seconds", "10"}), 2);
    EXPECT_NE(err.str().find("is outside the"), std::string::npos) << err.str();
}

TEST_F(GuideVerbTest, CtrlCStopsAfterTheFrameAndTheRelaysCanDrive) {
    start_sim();
    save_settings('l');
    int frames = 0;
    on_log = [&](const std::string& s) {
        if (s.rfind("camera ", 0) == 0 && s.find("128x128") != std::string::npos && ++frames == 6)
            std::raise(SIGINT);
    };
    EXPECT_EQ(guide({"--drive", "socket"}), 130) << err.str();
    on_log = nullptr;
    const int n = summary_frames(out.str());
    EXPECT_GE(n, 5) << out.str();
    EXPECT_LE(n, 6);
    EXPECT_NE(log.find("guide relays:"), std::string::npos) << "pulses went to the socket";
    struct sigaction now {};
    sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << "the handler is put back";
    reset_settings();
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(cfg.telescope, 'l') << "--drive is for this run only";
}

TEST_F(GuideVerbTest, PortGuidesAnLx200OnThePcSerialPort) {
    start_sim();
    sim::ServerOptions so;
    so.com_port = 3;
    server = std::make_unique<sim::Server>(*simulator, so);
    std::string error;
    ASSERT_TRUE(server->start(&error)) << error;
    platform::WaitActivity serving([this] { server->poll_once(5); });
    save_settings('n'); // --port needs no settings of the mount
    ASSERT_EQ(guide({"--port", "com3", "--seconds", "20"}), 0) << err.str();
    EXPECT_GT(summary_frames(out.str()), 5) << out.str();
    EXPECT_TRUE(std::regex_search(log, std::regex("PC serial[^\n]*:M[nsew]#"))) << log;
    EXPECT_EQ(log.find("camera serial"), std::string::npos) << "nothing on the camera's port";
}

TEST_F(GuideVerbTest, GuiderCameraTrainsThenHoldsADriftingStarWithTheMountOrTheAOUnit) {
    sim::Config c;
    c.mount.drift_ra = 0.05;
    c.mount.drift_dec = 0.1;
    c.mount.backlash_dec = 0;
    start_sim(c);
    save_settings('l');
    const std::string csv = home + "/guider.csv";
    ASSERT_EQ(guide({"--camera", "guider", "--train", "--seconds", "120", "--range", "t", "--value",
                     "5", "--log", csv}),
              0)
        << err.str();
    std::string text = out.str();
    EXPECT_EQ(text.find("guide star at"), std::string::npos) << "the main camera stays out of it";
    const auto first = text.find("guider star at "), again = text.rfind("guider star at ");
    ASSERT_NE(first, again) << "picked again after the training: " << text;
    EXPECT_NE(text.find("trained: RA "), std::string::npos) << text;
    double rms = 0;
    int frames = summary_frames(text, &rms);
    EXPECT_GT(frames, 50) << text;
    EXPECT_EQ(frame_lines(text), frames);
    EXPECT_LT(rms, 1.0);
    EXPECT_NE(log.find(":Mn#"), std::string::npos) << "the mount was pulsed";
    EXPECT_EQ(log.find("AO "), std::string::npos) << "the AO unit stayed still";
    const std::string csv_text = read_file(csv);
    EXPECT_NE(csv_text.find("time_s,x,y,dx_px"), std::string::npos) << csv_text;
    EXPECT_GT(std::count(csv_text.begin(), csv_text.end(), '\n'), frames) << "a row a frame";

    // The AO unit on the camera's first serial port: trained, it holds the
    // star with tip-tilt steps and hands the drift on to the mount.
    ASSERT_EQ(guide({"--camera", "guider", "--via", "ao", "--ao-port", "camera0", "--train",
                     "--seconds", "300", "--range", "t", "--value", "5"}),
              0)
        << err.str();
    text = out.str();
    EXPECT_NE(text.find("AO training\n"), std::string::npos) << text;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(trained: AO ([0-9]+) steps a pixel)")));
    const int rate = std::stoi(m[1]);
    frames = summary_frames(text, &rms);
    EXPECT_GT(frames, 100) << text;
    EXPECT_LT(rms, 1.0);
    EXPECT_NE(text.find(" steps"), std::string::npos) << text;
    EXPECT_TRUE(std::regex_search(log, std::regex("AO GN[0-9]{5}"))) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("AO M[NSTW][0-9]{5}: mount pulse")))
        << "the drift was handed on to the mount";
    // At the end the unit went back by what it was sent.
    EXPECT_NEAR(simulator->world().ao_ns(simulator->now()), 0, 0.5);
    EXPECT_NEAR(simulator->world().ao_ew(simulator->now()), 0, 0.5);
    // The settings keep the trained rate, not the run's route or mode.
    reset_settings();
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(cfg.AOUnit_slewx, rate);
    EXPECT_EQ(cfg.GuiderMode, 'T');
    EXPECT_EQ(cfg.AOUnit_comport, 0);
}

TEST_F(GuideVerbTest, AnAOUnitOnAPcPortThatCannotOpenIsSaidOnce) {
    start_sim();
    save_settings('l'); // the PC port is COM1
    std::filesystem::create_symlink(home + "/no-such-port", autosave + "/com1");
    EXPECT_EQ(guide({"--camera", "guider", "--via", "ao", "--ao-port", "pc", "--seconds", "5"}), 1);
    const std::string e = err.str();
    EXPECT_NE(e.find("the AO unit's PC serial port (COM1) cannot be opened"), std::string::npos)
        << e;
    EXPECT_EQ(e.find("Open Communications Failed"), e.rfind("Open Communications Failed")) << e;
    EXPECT_EQ(summary_frames(out.str()), -1) << "no guiding began";
}

TEST_F(GuideVerbTest, AStarTooNearTheEdgeIsLostOnTheFirstFrame) {
    start_sim();
    save_settings('l');
    // The window cannot be centred on it: the star's box leaves the window.
    EXPECT_EQ(guide({"--star", "700,1032", "--seconds", "30"}), 1);
    EXPECT_NE(err.str().find("lost guide star"), std::string::npos) << err.str() << out.str();
    EXPECT_EQ(summary_frames(out.str()), 0) << out.str();
}

#endif
