// nocteris-cli capture: its command line, and whole runs against the
// in-process simulator on the virtual clock.
#include "cli/capture.h"
#include "cli/cli.h"

#include "acquisition/acquisition_state.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "display/image_store.h"
#include "files/fits.h"
#include "guiding/guiding_state.h"
#include "platform/sio.h"
#include "platform/usb.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "star/star_state.h"
#include "support/test_env.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <vector>

#if __has_include("sim/usb_provider.h")
#include "sim/usb_provider.h"
#define HAVE_SIM 1
#endif

namespace fs = std::filesystem;

namespace {

class CaptureTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        platform::usb::use_builtin_providers(false);
        out_dir = home + "/out";
    }
    void TearDown() override {
        reset_serial_link_state();
        reset_transport_state();
        platform::sio_close_all();
#ifdef HAVE_SIM
        if (provider) platform::usb::remove_provider(provider.get());
#endif
        platform::usb::use_builtin_providers(true);
        NocterisTest::TearDown();
    }
    int capture(std::vector<std::string> args) {
        args.insert(args.begin(), {"nocteris-cli", "capture"});
        std::vector<const char*> argv;
        for (auto& a : args) argv.push_back(a.c_str());
        out.str({});
        err.str({});
        return run_cli(static_cast<int>(argv.size()), argv.data(), out, err);
    }
    std::string saved(int n) const {
        return out_dir + "/IMG" + std::to_string(n) + ".FIT";
    }
    // The median of a FITS image this program wrote, now in `image`; -1 when
    // it does not load.
    int median_of(const std::string& path) {
        if (LoadFITSFile(path.c_str(), 0, image) != 0) return -1;
        std::vector<unsigned short> px(image, image + disp.intlength);
        std::nth_element(px.begin(), px.begin() + px.size() / 2, px.end());
        return px[px.size() / 2];
    }
    // Star cores in `image`, the brightest first: pixels well above the sky
    // whose four neighbours are above it too (a hot pixel stands alone).
    std::vector<std::pair<int, int>> stars(int median) const {
        std::vector<std::pair<int, int>> found;
        const int w = disp.width1;
        auto at = [&](int x, int y) { return image[y * w + x]; };
        for (int y = 1; y + 1 < disp.height1; ++y)
            for (int x = 1; x + 1 < w; ++x)
                if (at(x, y) > median + 500 && std::min({at(x - 1, y), at(x + 1, y), at(x, y - 1),
                                                         at(x, y + 1)}) > median + 100)
                    found.emplace_back(x, y);
        std::sort(found.begin(), found.end(),
                  [&](auto a, auto b) { return at(a.first, a.second) > at(b.first, b.second); });
        return found;
    }

#ifdef HAVE_SIM
    void start_sim(sim::Config c = {}) {
        c.camera.readout_rate = 0;
        simulator = std::make_unique<sim::Simulator>(c);
        provider = std::make_unique<sim::UsbProvider>(*simulator);
        platform::usb::add_provider(provider.get());
    }
    // Ctrl+C while the camera sends full frame `n` (1 = the first).
    void interrupt_during_frame(int n) {
        simulator->set_log([this, n](const std::string& s) {
            if (s.rfind("camera ", 0) == 0 && s.find(" bytes") != std::string::npos &&
                ++frames == n)
                capture_interrupt();
        });
    }
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::UsbProvider> provider;
    int frames = 0;
#endif

    std::string out_dir;
    std::ostringstream out, err;
};

} // namespace

TEST_F(CaptureTest, CommandLineMistakesAreRefusedBeforeTheCameraIsTouched) {
    const std::string long_dir = "/tmp/" + std::string(120, 'd');
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"--count", "100"}, "--count takes"},
        {{"--value", "0"}, "--value takes"},
        {{"--value", "2147484", "--range", "s"}, "from 1 to 2147483"},
        {{"--range", "x"}, "--range takes"},
        {{"--stack", "profile"}, "--count 2 or more"},
        {{"--stack", "track", "--count", "3"}, "needs --star"},
        {{"--star", "10,10"}, "--star goes with"},
        {{"--average", "--count", "3"}, "--average goes with --stack"},
        {{"--continuous", "--count", "3"}, "--count N alone"},
        {{"--pause", "5"}, "between the images"},
        {{"--count", "3", "--pause", "21", "--pause-unit", "m"}, "0 to 20"},
        {{"--continuous", "--pause", "1201"}, "0 to 1200"},
        {{"--auto", "weak,sparkle"}, "unknown step 'sparkle'"},
        {{"--auto", "background"}, "goes with a stretch"},
        {{"--dark", "missing.raw"}, "not a readable file"},
        {{"--out", long_dir}, "too long"},
        {{"--frobnicate"}, "unknown option"},
        {{"stray"}, "no file names"},
        {{"--guide", "self"}, "--guide takes guider"},
        {{"--via", "ao"}, "go with --guide guider"},
        {{"--guide", "guider", "--value", "100"}, "over 100 s"},
        {{"--guide", "guider", "--range", "m", "--value", "2", "--guide-range", "q"},
         "--guide-range takes h, t or s"},
        {{"--guide", "guider", "--range", "m", "--value", "2", "--guide-value", "11"},
         "from 1 to 10"},
        {{"--guide", "guider", "--range", "m", "--value", "2", "--ao-parallel"},
         "go with --via ao"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(capture(c.args), 2) << c.args[0];
        EXPECT_NE(err.str().find(c.says), std::string::npos) << c.args[0] << ": " << err.str();
    }
    EXPECT_FALSE(fs::exists(autosave)) << "no settings file read or written";

    EXPECT_EQ(capture({"--help"}), 0);
    EXPECT_NE(out.str().find("--pause-unit s|m"), std::string::npos);
    std::vector<const char*> help = {"nocteris-cli", "--help"};
    ASSERT_EQ(run_cli(2, help.data(), out, err), 0);
    EXPECT_NE(out.str().find("capture [OPTIONS]"), std::string::npos);
}

TEST_F(CaptureTest, WithoutACameraNothingIsTakenAndTheRunFails) {
    EXPECT_EQ(capture({"--count", "3", "--out", out_dir}), 1);
    EXPECT_NE(err.str().find("Sorry, No camera found on USB"), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(saved(1)));
    EXPECT_FALSE(camera_attached());
}

#ifdef HAVE_SIM

TEST_F(CaptureTest, ASeriesSavesEveryImageWithItsStars) {
    start_sim();
    ASSERT_EQ(capture({"--count", "3", "--value", "10", "--delay", "15", "--out", out_dir}), 0)
        << err.str();
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        const int median = median_of(saved(n));
        ASSERT_GT(median, 0);
        EXPECT_EQ(disp.width1, 1392);
        EXPECT_GE(stars(median).size(), 5u);
    }
    EXPECT_FALSE(fs::exists(saved(4)));

    // One line for each new caption and each file, in the order they came.
    const std::string log = out.str();
    const auto first = log.find("EXPOSURE UNDERWAY (Left - 3)");
    const auto read = log.find("READING ZW CAMERA (Left - 3)");
    const auto file = log.find("saved " + saved(1));
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_LT(first, read);
    EXPECT_LT(read, file);
    EXPECT_NE(log.find("saved " + saved(3)), std::string::npos);
    EXPECT_NE(log.find("done: 3 images saved"), std::string::npos);
    EXPECT_NE(log.find("EXPOSURE DELAY (Left - 1)\n"), std::string::npos);
    EXPECT_LE(std::count(log.begin(), log.end(), '\n'), 18) << log;
    EXPECT_FALSE(camera_attached()) << "the camera is closed after the run";
}

TEST_F(CaptureTest, CtrlCStopsOnceTheCurrentImageIsSaved) {
    start_sim();
    interrupt_during_frame(2);
    ASSERT_EQ(capture({"--count", "3", "--out", out_dir}), 130) << err.str(); // as a shell says it
    EXPECT_TRUE(fs::exists(saved(1)));
    EXPECT_GT(median_of(saved(2)), 0) << "the interrupted image is still read and saved";
    EXPECT_FALSE(fs::exists(saved(3)));
    EXPECT_NE(out.str().find("stopped: 2 images saved"), std::string::npos) << out.str();

    // Continuous imaging runs until it, with the pause between images.
    frames = 0;
    interrupt_during_frame(3);
    ASSERT_EQ(capture({"--continuous", "--pause", "1", "--pause-unit", "m", "--out", out_dir}), 130)
        << err.str();
    EXPECT_TRUE(fs::exists(saved(5)));
    EXPECT_FALSE(fs::exists(saved(6)));
    EXPECT_NE(out.str().find("Pause between exposures"), std::string::npos);
}

TEST_F(CaptureTest, TheSettingsFileKeepsTheUsersValuesAndTheNewNumber) {
    cfg.use_saved_values = 1;
    cfg.exp_range = 'm';
    cfg.exp_value = 7;
    cfg.continuous_delay = 3;
    cfg.auto_save_fits = 0;
    cfg.auto_save_num = 41;
    std::snprintf(cfg.auto_save_subdir, sizeof cfg.auto_save_subdir, "c:\\mine");
    ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
    const Settings user = cfg;
    reset_settings();

    start_sim();
    ASSERT_EQ(
        capture({"--count", "2", "--range", "q", "--value", "5", "--pause", "2", "--out", out_dir}),
        0)
        << err.str();
    EXPECT_TRUE(fs::exists(saved(42)));
    EXPECT_TRUE(fs::exists(saved(43)));

    reset_settings();
    ::cfg.continuous = 1;
    ASSERT_EQ(LoadINIFile(user.ini_file), 0);
    EXPECT_EQ(cfg.auto_save_num, 43);
    EXPECT_EQ(cfg.exp_range, 'm');
    EXPECT_EQ(cfg.exp_value, 7);
    EXPECT_EQ(cfg.continuous_delay, 3);
    EXPECT_EQ(cfg.auto_save_fits, 0);
    EXPECT_EQ(::cfg.continuous, 0) << "a series runs as continuous imaging, not kept";
    EXPECT_STREQ(cfg.auto_save_subdir, "c:\\mine");
}

namespace {

// The brightest star's centroid in `image`, from the pixels around its core.
std::pair<double, double> star_centre(const std::pair<int, int>& core, int median) {
    double sx = 0, sy = 0, sum = 0;
    for (int y = core.second - 6; y <= core.second + 6; ++y)
        for (int x = core.first - 6; x <= core.first + 6; ++x) {
            const double v = std::max(0, image[y * disp.width1 + x] - median);
            sx += v * x;
            sy += v * y;
            sum += v;
        }
    return {sx / sum, sy / sum};
}

} // namespace

TEST_F(CaptureTest, TheGuiderCameraHoldsTheStarsOfASeriesOfLongExposures) {
    sim::Config c;
    c.camera.readout_rate = 0;
    c.mount.drift_ra = 0.05;
    c.mount.drift_dec = 0.1;
    c.mount.pe_amplitude = 0;
    start_sim(c);
    cfg.telescope = 'l';
    cfg.AOUnit_comport = 0;
    cfg.slewcom = '1';
    ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
    reset_settings();
    ASSERT_EQ(
        capture({"--count", "2", "--range", "s", "--value", "150", "--guide", "guider",
                 "--guide-train", "--guide-range", "t", "--guide-value", "5", "--out", out_dir}),
        0)
        << err.str();
    const std::string text = out.str();
    EXPECT_NE(text.find("guider star at "), std::string::npos) << text;
    EXPECT_NE(text.find("trained: RA "), std::string::npos) << text;
    std::smatch m;
    ASSERT_TRUE(
        std::regex_search(text, m, std::regex(R"(guided ([0-9]+) frames: RMS ([0-9.]+) px)")))
        << text;
    EXPECT_GT(std::stoi(m[1]), 300) << "the guider ran through both exposures";
    EXPECT_LT(std::stod(m[2]), 1.0);
    EXPECT_NE(text.find("done: 2 images saved"), std::string::npos) << text;
    // Unguided the sky moves 15" between the two exposures' middles: several
    // pixels. Guided, the stars stay put.
    int median = median_of(saved(1));
    const auto first = star_centre(stars(median).at(0), median);
    // The same star in the second: the core nearest the first's.
    median = median_of(saved(2));
    const auto cores = stars(median);
    ASSERT_FALSE(cores.empty());
    const auto nearest = *std::min_element(cores.begin(), cores.end(), [&](auto a, auto b) {
        return std::hypot(a.first - first.first, a.second - first.second) <
               std::hypot(b.first - first.first, b.second - first.second);
    });
    const auto second = star_centre(nearest, median);
    EXPECT_LT(std::hypot(second.first - first.first, second.second - first.second), 1.0)
        << first.first << "," << first.second << " then " << second.first << "," << second.second;
    EXPECT_EQ(guide.guider_guiding, 0);
}

TEST_F(CaptureTest, ALostGuideStarEndsTheExposureSavesItAndStopsTheSeries) {
    start_sim();
    cfg.telescope = 'l';
    cfg.AOUnit_comport = 0;
    cfg.slewcom = '1';
    ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
    reset_settings();
    // After 40 guider frames the reference sits where no box fits the frame:
    // the next frame cannot find the star.
    int guider_frames = 0;
    simulator->set_log([&](const std::string& s) {
        if (s.rfind("guider ", 0) == 0 && s.find("x290") != std::string::npos &&
            ++guider_frames == 40)
            autoguide.x1 = 1;
    });
    EXPECT_EQ(capture({"--count", "3", "--range", "m", "--value", "3", "--guide", "guider", "--via",
                       "ao", "--ao-port", "camera0", "--out", out_dir}),
              1);
    EXPECT_NE(err.str().find("lost guide star"), std::string::npos) << err.str();
    EXPECT_GT(median_of(saved(1)), 0) << "what was exposed is saved";
    EXPECT_FALSE(fs::exists(saved(2)));
    EXPECT_EQ(guide.guider_guiding, 0);
    // The AO unit went back to where it started.
    EXPECT_NEAR(simulator->world().ao_ns(simulator->now()), 0, 0.5);
    EXPECT_NEAR(simulator->world().ao_ew(simulator->now()), 0, 0.5);
}

TEST_F(CaptureTest, AReadoutFailureEndsTheRunWithAnError) {
    sim::Config c;
    c.faults.camera.disconnect_frame = 1;
    start_sim(c);
    EXPECT_EQ(capture({"--count", "3", "--out", out_dir}), 1);
    EXPECT_NE(err.str().find("ZIRED"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("did not complete"), std::string::npos);
    EXPECT_TRUE(fs::exists(saved(1)));
    EXPECT_FALSE(fs::exists(saved(3))) << "no further exposure after the link is gone";
    // The damaged second frame is saved, and said to be incomplete.
    const std::string lines = out.str();
    EXPECT_NE(lines.find("saved " + saved(1) + "\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("saved " + saved(2) + " (incomplete: "), std::string::npos) << lines;
    EXPECT_NE(err.str().find("2 images saved, 1 incomplete"), std::string::npos) << err.str();
}

TEST_F(CaptureTest, CorrectionsStacksAndProcessingShapeTheSavedImage) {
    sim::Config c;
    c.sky.density = 4; // a star in the profile window whatever the seed
    start_sim(c);
    ASSERT_EQ(capture({"--value", "10", "--out", out_dir}), 0) << err.str();
    const int single = median_of(saved(1));
    ASSERT_GT(single, 600);
    const auto star = stars(single);
    ASSERT_FALSE(star.empty());

    // A flat 500 dark takes 500 off the sky.
    const std::string dark = home + "/dark.raw";
    std::string bytes(1392 * 1040 * 2, '\x01');
    for (size_t i = 0; i < bytes.size(); i += 2) bytes[i] = '\xF4';
    write_file(dark, bytes);
    ASSERT_EQ(capture({"--value", "10", "--dark", dark, "--out", out_dir}), 0) << err.str();
    EXPECT_NEAR(median_of(saved(2)), single - 500, 30);

    write_file(home + "/small.raw", std::string(100, '\0'));
    EXPECT_EQ(capture({"--dark", home + "/small.raw", "--out", out_dir}), 2);
    EXPECT_NE(err.str().find("not a native or FITS frame of this camera (1392 x 1040)"),
              std::string::npos)
        << err.str();
    EXPECT_FALSE(fs::exists(saved(3)));

    // Three images summed into one file, or averaged on the star.
    ASSERT_EQ(capture({"--value", "10", "--count", "3", "--stack", "profile", "--out", out_dir}), 0)
        << err.str();
    EXPECT_FALSE(fs::exists(saved(4)));
    EXPECT_NEAR(median_of(saved(3)), 3 * single, 3 * 30);
    const std::string at =
        std::to_string(star.front().first) + "," + std::to_string(star.front().second);
    ASSERT_EQ(capture({"--value", "10", "--count", "3", "--stack", "track", "--star", at,
                       "--average", "--out", out_dir}),
              0)
        << err.str();
    EXPECT_NEAR(median_of(saved(4)), single, 30);
    EXPECT_EQ(capture({"--count", "2", "--stack", "track", "--star", "5000,10", "--out", out_dir}),
              2);
    EXPECT_NE(err.str().find("outside the 1392 x 1040 image"), std::string::npos);

    ASSERT_EQ(capture({"--auto", "background,strong,usm", "--out", out_dir}), 0) << err.str();
    ASSERT_GE(median_of(saved(5)), 0);
    std::string history;
    for (const auto& line : disp.process_info) history += std::string(line) + "|";
    EXPECT_NE(history.find("power 18"), std::string::npos) << history;
}

#endif
