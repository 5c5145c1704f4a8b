// The exposure sequence end to end against the simulated camera, on the
// virtual clock.
#include "acq_sim.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/sequence.h"
#include "display/image_store.h"
#include "files/file_state.h"
#include "files/fits.h"
#include "files/native_file.h"
#include "platform/host_path.h"
#include "processing/stacking.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

using namespace acqtest;

namespace {

struct Host : SequenceHost {
    int shows = 0;
    std::vector<std::uint32_t> show_times;
    std::vector<std::string> saved;
    std::function<void()> on_show;
    int dialogs = 0;
    bool take_photo = true;
    std::function<bool()> stop;
    bool stop_requested() override { return stop && stop(); }

    bool run_dialog() override {
        ++dialogs;
        return take_photo;
    }
    void show_image() override {
        ++shows;
        show_times.push_back(platform::now_ms());
        if (on_show) on_show();
    }
    void image_shown(const std::string& s) override { saved.push_back(s); }
};

std::uint32_t u32(const Bytes& b, std::size_t at) {
    return acqtest::u16(b, at) | (acqtest::u16(b, at + 2) << 16);
}

unsigned short median_of(const unsigned short* img, int x0, int x1, int y0, int y1) {
    std::vector<unsigned short> v;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) v.push_back(img[static_cast<long>(y) * disp.width1 + x]);
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Flux above the background within r of (x, y).
double flux_within(const unsigned short* img, int x, int y, int r, double background) {
    double sum = 0;
    for (int yy = y - r; yy <= y + r; ++yy)
        for (int xx = x - r; xx <= x + r; ++xx)
            if ((xx - x) * (xx - x) + (yy - y) * (yy - y) <= r * r)
                sum += img[static_cast<long>(yy) * disp.width1 + xx] - background;
    return sum;
}

// The brightest pixel within `r` of `c`.
platform::Point brightest_near(const unsigned short* img, platform::Point c, int r) {
    platform::Point best = c;
    unsigned short v = 0;
    for (int y = c.y - r; y <= c.y + r; ++y)
        for (int x = c.x - r; x <= c.x + r; ++x)
            if (img[static_cast<long>(y) * disp.width1 + x] > v) {
                v = img[static_cast<long>(y) * disp.width1 + x];
                best = {x, y};
            }
    return best;
}

// The brightest pixel away from the edges.
platform::Point brightest(const unsigned short* img) {
    return brightest_near(img, {disp.width1 / 2, disp.height1 / 2},
                          std::min(disp.width1, disp.height1) / 2 - 40);
}

class Sequence : public AcqSim {
  protected:
    // A simulator, discovery and the camera start up to the dialog.
    void begin(sim::Config c = {}) {
        start(c, false);
        ASSERT_TRUE(camera_start_prepare());
        blocks.clear();
        block_times.clear();
    }

    std::string native_frame(const char* name, const std::function<unsigned short(int, int)>& f) {
        for (int y = 0; y < disp.height1; ++y)
            for (int x = 0; x < disp.width1; ++x)
                image[static_cast<long>(y) * disp.width1 + x] = f(x, y);
        const std::string path = home + "/" + name;
        EXPECT_EQ(SaveQVFile(path.c_str()), 0);
        return path;
    }

    std::vector<std::string> box_texts() const {
        std::vector<std::string> t;
        for (const auto& b : ui.boxes) t.push_back(b.text);
        return t;
    }

    Host host;
};

} // namespace

TEST_F(Sequence, SingleSecondShowsTheSimulatedStars) {
    begin();
    run_exposure_sequence(host);

    EXPECT_EQ(host.shows, 1);
    const auto reads = blocks_with(CMD_EXPOSE_AND_READ);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(u32(reads[0], 18), 1000u);
    const unsigned short bg = median_of(image, 0, disp.width1, 0, disp.height1);
    const platform::Point star = brightest(image);
    EXPECT_GT(image[star.y * disp.width1 + star.x], bg + 400);
    EXPECT_STREQ(disp.image_name, "Nocteris Camera Image");
    EXPECT_DOUBLE_EQ(fits.FITS_Exptime, 1.0);
    EXPECT_NE(std::find(ui.progress_captions.begin(), ui.progress_captions.end(),
                        "READING ZW CAMERA - takes 1-2 seconds"),
              ui.progress_captions.end());
    EXPECT_EQ(ui.progress_captions.front(), "EXPOSURE UNDERWAY");
    EXPECT_FALSE(ui.progress_shown);
    EXPECT_EQ(guide.focus_x, 312); // the end of a sequence resets the focus frame
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
}

TEST_F(Sequence, ExposuresBeyondAHundredSecondsAreTimedByTheHostWithVerticalClears) {
    begin();
    cfg.exp_value = 100;
    run_exposure_sequence(host);
    ASSERT_EQ(blocks_with(CMD_EXPOSE_AND_READ).size(), 1u);
    EXPECT_EQ(u32(blocks_with(CMD_EXPOSE_AND_READ)[0], 18), 100000u);
    EXPECT_TRUE(blocks_with(CMD_READ_NOW).empty());
    EXPECT_EQ(ui.pumps, 1); // the camera timed it: no input until the readout

    blocks.clear();
    block_times.clear();
    seq.no_images = 1;
    seq.end_loop = 0;
    cfg.exp_value = 101;
    run_exposure_sequence(host);
    EXPECT_TRUE(blocks_with(CMD_EXPOSE_AND_READ).empty());
    ASSERT_EQ(blocks_with(CMD_READ_NOW).size(), 1u);
    std::vector<std::uint32_t> clears;
    std::uint32_t read_at = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i][1] == CMD_CLEAR && u16(blocks[i], 2) == CLEARVERT_VALUE)
            clears.push_back(block_times[i]);
        if (blocks[i][1] == CMD_READ_NOW) read_at = block_times[i];
    }
    ASSERT_EQ(clears.size(), 2u); // the one before every exposure, and one due at 99 s
    EXPECT_NEAR(static_cast<double>(clears[1] - clears[0]), 99000.0, 20.0);
    EXPECT_GE(read_at - clears[0], 101000u);
    EXPECT_LT(read_at - clears[0], 101100u);
    EXPECT_GT(ui.pumps, 100); // the host-timed wait takes input
}

TEST_F(Sequence, MinutesAdvanceTheBarEverySixteenthOfTheExposure) {
    begin();
    cfg.exp_range = 'm';
    cfg.exp_value = 2;
    run_exposure_sequence(host);
    ASSERT_EQ(blocks_with(CMD_READ_NOW).size(), 1u);
    const std::uint32_t opened = ui.progress_times.front();
    std::vector<std::uint32_t> steps;
    for (std::size_t i = 1; i < ui.progress_values.size(); ++i)
        if (ui.progress_values[i] == static_cast<int>(16 * (steps.size() + 1)))
            steps.push_back(ui.progress_times[i] - opened);
    ASSERT_EQ(steps.size(), 15u);
    for (std::size_t k = 0; k < steps.size(); ++k)
        EXPECT_NEAR(static_cast<double>(steps[k]), 7500.0 * static_cast<double>(k + 1), 20.0);
    EXPECT_DOUBLE_EQ(fits.FITS_Exptime, 120.0);
}

TEST_F(Sequence, APressDuringASeriesStopsAfterTheCurrentImageWhichIsStillCalibratedAndShown) {
    begin();
    const std::string dark = native_frame("dark.raw", [](int, int) { return 100; });
    std::strcpy(files.DarkFileName, dark.c_str());
    cfg.darkframe_remove = 1;
    cfg.continuous = 1;
    seq.no_images = 3;
    ui.presses = {1}; // the first pump comes after the first readout

    run_exposure_sequence(host);

    EXPECT_EQ(blocks_with(CMD_EXPOSE_AND_READ).size(), 1u);
    EXPECT_EQ(host.shows, 1);
    EXPECT_STREQ(disp.process_info[0], "Dark Frame Subtracted");
    EXPECT_EQ(seq.end_loop, 1);
    EXPECT_EQ(seq.cont_work, 0);
    EXPECT_GE(ui.beeps, 1);
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
}

TEST_F(Sequence, APressDuringAHostTimedWaitEndsWithoutAReadout) {
    begin();
    cfg.exp_value = 150;
    ui.on_pump = [&] { return clock.peek() > 30000 ? 1 : 0; };
    run_exposure_sequence(host);
    EXPECT_TRUE(blocks_with(CMD_READ_NOW).empty());
    EXPECT_EQ(host.shows, 0);
    EXPECT_LT(clock.peek(), 31000u);
}

TEST_F(Sequence, ContinuousModePausesAMinuteAndAClickInTheDisplayWaitEndsIt) {
    begin();
    cfg.continuous = 1;
    cfg.continuous_delay = 1;
    acq.minutes_delay = 1;
    ui.on_pump = [&] { return host.shows >= 2 ? 1 : 0; };

    run_exposure_sequence(host);

    ASSERT_EQ(host.shows, 2);
    EXPECT_EQ(blocks_with(CMD_EXPOSE_AND_READ).size(), 2u);
    const std::uint32_t gap = host.show_times[1] - host.show_times[0];
    EXPECT_GE(gap, 63000u); // 2 s shown, 60 s pause, 1 s exposure
    EXPECT_LT(gap, 64000u);
    EXPECT_EQ(std::count(ui.progress_captions.begin(), ui.progress_captions.end(),
                         "Pause between exposures"),
              1);
    EXPECT_EQ(seq.cont_work, 0);
}

TEST_F(Sequence, SeriesWithAutoSaveWritesNumberedFitsFiles) {
    begin();
    const std::string out = home + "/night";
    std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "%s", out.c_str());
    cfg.auto_save_fits = 1;
    cfg.auto_save_num = 6;
    cfg.continuous = 1;
    seq.no_images = 3;

    run_exposure_sequence(host);

    ASSERT_EQ(host.saved.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const std::string path = out + "/IMG" + std::to_string(7 + i) + ".FIT";
        EXPECT_EQ(host.saved[static_cast<std::size_t>(i)], path);
        ASSERT_TRUE(std::filesystem::exists(path));
        EXPECT_EQ(LoadTempFITSFile(path.c_str(), trial), 0);
    }
    EXPECT_EQ(cfg.auto_save_num, 9);
    EXPECT_EQ(blocks_with(CMD_EXPOSE_AND_READ).size(), 3u);
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
}

TEST_F(Sequence, FilesSayWhatEachFrameIsAndTheFilterItWasTakenThrough) {
    start({}, true); // the camera and its USB filter wheel
    ASSERT_EQ(usbt.USB_filterwheel, 1);
    ASSERT_TRUE(camera_start_prepare());
    const std::string names[] = {"Red", "Green", "Blue"};
    for (int i = 0; i < 3; ++i)
        std::snprintf(cfg.Filterbox_Filter_Name[i], sizeof cfg.Filterbox_Filter_Name[i], "%s",
                      names[i].c_str());
    acq.Filterbox_Filter = 1;
    acq.auto_advance = 1; // the wheel turns during each readout
    cfg.auto_save_fits = 1;
    std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "%s", (home + "/out").c_str());
    cfg.continuous = 1;
    seq.no_images = 3;
    auto card = [](const std::string& file, int n) { return file.substr((n - 1) * 80, 80); };
    auto padded = [](std::string text) { return text.resize(80, ' '), text; };

    run_exposure_sequence(host);

    ASSERT_EQ(host.saved.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const std::string f = read_file(host.saved[static_cast<std::size_t>(i)]);
        EXPECT_EQ(card(f, 44), padded("FILTER  = '" + names[i] + "'"));
        EXPECT_EQ(card(f, 45), padded("IMAGETYP= 'Light'"));
    }
    EXPECT_EQ(acq.Filterbox_Filter, 4);

    // Without a wheel the filter is the user's text; a dark frame says so.
    usbt.USB_filterwheel = 0;
    cfg.filter_wheel = 0;
    acq.auto_advance = 0;
    std::strcpy(cfg.FITS_Filter, "Ha 7nm");
    acq.take_darkframe = 1;
    cfg.continuous = 0;
    seq.no_images = 1;
    host.saved.clear();
    run_exposure_sequence(host);
    ASSERT_EQ(host.saved.size(), 1u);
    const std::string dark = read_file(host.saved[0]);
    EXPECT_EQ(card(dark, 44), padded("FILTER  = 'Ha 7nm'"));
    EXPECT_EQ(card(dark, 45), padded("IMAGETYP= 'Dark'"));
    EXPECT_EQ(fits.image_type, ImageType::Dark);

    acq.take_darkframe = 0;
    host.saved.clear();
    run_exposure_sequence(host);
    ASSERT_EQ(host.saved.size(), 1u);
    EXPECT_EQ(card(read_file(host.saved[0]), 45), padded("IMAGETYP= 'Light'"));
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
}

TEST_F(Sequence, DarkFrameAndFlatFieldAreAppliedToEveryImage) {
    begin();
    const int half = disp.width1 / 2;
    const std::string dark = native_frame("dark.raw", [](int, int) { return 100; });
    const std::string flat =
        native_frame("flat.raw", [half](int x, int) { return x < half ? 2000 : 4000; });
    std::strcpy(files.DarkFileName, dark.c_str());
    std::strcpy(files.FlatFileName, flat.c_str());
    cfg.darkframe_remove = cfg.flatfield_remove = 1;
    cfg.continuous = 1;
    seq.no_images = 2;
    std::vector<double> ratios;
    host.on_show = [&] {
        ratios.push_back(static_cast<double>(median_of(image, 20, half - 20, 20, 200)) /
                         median_of(image, half + 20, disp.width1 - 20, 20, 200));
    };

    run_exposure_sequence(host);

    ASSERT_EQ(ratios.size(), 2u);
    for (double r : ratios) EXPECT_NEAR(r, 2.0, 0.1);
    EXPECT_STREQ(disp.process_info[0], "Dark Frame Subtracted");
    EXPECT_STREQ(disp.process_info[1], "Flatfield Applied");
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
}

TEST_F(Sequence, CalibrationFilesThatFailAreReportedOncePerImageAndTheSeriesGoesOn) {
    begin();
    const std::string wrong = home + "/wrong.raw";
    write_file(wrong, std::string(1000, '\1'));
    std::strcpy(files.DarkFileName, "d:\\dark.raw"); // no such drive: cannot be opened
    std::strcpy(files.FlatFileName, wrong.c_str());
    cfg.darkframe_remove = cfg.flatfield_remove = 1;
    cfg.continuous = 1;
    seq.no_images = 2;

    run_exposure_sequence(host);

    EXPECT_EQ(host.shows, 2);
    const std::vector<std::string> expected = {
        "Failed to Open Darkframe Nocteris File", "Sorry, chosen Flatfield is not a Nocteris File",
        "Failed to Open Darkframe Nocteris File", "Sorry, chosen Flatfield is not a Nocteris File"};
    EXPECT_EQ(box_texts(), expected);
    EXPECT_EQ(disp.process_info[0][0], '\0');
}

TEST_F(Sequence, TheCameraGoingAwayMidSeriesEndsItKeepingWhatWasSaved) {
    sim::Config c;
    c.faults.camera.disconnect_frame = 1;
    begin(c);
    cfg.auto_save_fits = 1;
    std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "%s", (home + "/out").c_str());
    cfg.continuous = 1;
    seq.no_images = 3;

    run_exposure_sequence(host);

    EXPECT_EQ(blocks_with(CMD_EXPOSE_AND_READ).size(), 2u); // no third try
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_NE(ui.boxes[0].text.find("trying to read ZIRED data from USB"), std::string::npos);
    ASSERT_GE(host.saved.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(host.saved[0]));
    EXPECT_FALSE(ui.progress_shown);
}

TEST_F(Sequence, ADamagedFrameSaysSoInItsFileAndCaption) {
    sim::Config c;
    c.faults.camera.disconnect_frame = 1;
    begin(c);
    cfg.auto_save_fits = 1;
    std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "%s", (home + "/out").c_str());
    cfg.continuous = 1;
    seq.no_images = 3;
    std::vector<std::string> captions;
    host.on_show = [&] { captions.emplace_back(disp.image_name); };

    run_exposure_sequence(host);

    ASSERT_EQ(host.saved.size(), 2u);
    const std::string sound = read_file(host.saved[0]);
    const std::string damaged = read_file(host.saved[1]);
    EXPECT_EQ(sound.find("Incomplete readout"), std::string::npos);
    const long wanted = 2L * disp.width1 * disp.height1;
    ASSERT_TRUE(seq.frame_incomplete);
    EXPECT_EQ(seq.frame_bytes_wanted, wanted);
    EXPECT_LT(seq.frame_bytes_got, wanted);
    const std::string card =
        "HISTORY = 'Incomplete readout: " + std::to_string(seq.frame_bytes_got) + " of " +
        std::to_string(wanted) + " bytes'";
    const auto at = damaged.find(card);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(at % 80, 0u);                           // a card of its own
    EXPECT_EQ(damaged.compare(at + 80, 3, "END"), 0); // just before END
    EXPECT_EQ(damaged.size(), sound.size());          // the length is the program's own
    ASSERT_EQ(captions.size(), 2u);
    EXPECT_EQ(captions[0], "Nocteris Camera Image");
    EXPECT_EQ(captions[1], "Nocteris Camera Image (incomplete)");

    // The note comes back with the file, and a sound one clears it.
    ASSERT_EQ(LoadFITSFile(host.saved[1].c_str(), 2, image), 0);
    EXPECT_EQ(std::string("HISTORY = '") + disp.damage_note + "'", card.substr(0, card.size()));
    ASSERT_EQ(LoadFITSFile(host.saved[0].c_str(), 2, image), 0);
    EXPECT_STREQ(disp.damage_note, "");
}

TEST_F(Sequence, ADamagedFrameIsNeverFoldedIntoAStack) {
    sim::Config c;
    c.faults.camera.disconnect_frame = 2;
    c.sky.faintest = 3000;
    begin(c);
    run_exposure_sequence(host); // a frame to pick the star on
    const platform::Point star = brightest(image);
    guide.xcent = star.x;
    guide.ycent = star.y;
    acq.slew_sum_average = 0;
    std::vector<unsigned short> stacked;
    seq.no_images = 3;
    seq.end_loop = 0;
    ui.on_pump = [&] {
        // The sum of the sound frame is in `trial` while the damaged one reads.
        if (stacking.orig_x != 0) stacked.assign(trial, trial + disp.intlength);
        return 0;
    };
    run_exposure_sequence(host);

    EXPECT_EQ(blocks_with(CMD_EXPOSE_AND_READ).size(), 3u); // 1 + the series' two
    EXPECT_EQ(seq.frames_dropped, 1);
    ASSERT_FALSE(stacked.empty());
    EXPECT_TRUE(std::equal(stacked.begin(), stacked.end(), image)) << "the stack so far is shown";
    EXPECT_STREQ(disp.damage_note, "");
}

class Stacking : public Sequence, public ::testing::WithParamInterface<int> {};

TEST_P(Stacking, ASeriesOfADriftingSkyStaysSharp) {
    sim::Config c;
    c.mount.drift_ra = 1.0; // arcsec a second
    c.mount.pe_amplitude = 0;
    c.sky.density = 2; // profile matching needs detail in its window
    c.sky.faintest = 3000;
    begin(c);
    cfg.exp_value = 3;
    // One frame to find a star on, as a user picks one.
    run_exposure_sequence(host);
    const platform::Point star = brightest(image);
    const double bg1 = median_of(image, 0, disp.width1, 0, disp.height1);
    const double single =
        flux_within(image, star.x, star.y, 3, bg1) / flux_within(image, star.x, star.y, 12, bg1);
    guide.xcent = star.x;
    guide.ycent = star.y;

    // Each image waits 5 s after its readout: the sky moves about 5 pixels.
    std::vector<platform::Point> seen; // the star in each new frame
    ui.on_pump = [&] {
        seen.push_back(brightest_near(image, seen.empty() ? star : seen.back(), 10));
        clock.advance(5000);
        return 0;
    };
    acq.slew_sum_alt = GetParam();
    acq.slew_sum_average = 1;
    seq.no_images = 3;
    seq.end_loop = 0;
    run_exposure_sequence(host);

    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_GE(seen[2].x - seen[0].x, 8); // the sky did move
    // Star tracking follows the star to its newest place; profile matching
    // keeps the first frame's.
    const platform::Point found = brightest_near(image, GetParam() ? seen[0] : seen[2], 2);
    const double bg = median_of(image, 0, disp.width1, 0, disp.height1);
    const double stacked =
        flux_within(image, found.x, found.y, 3, bg) / flux_within(image, found.x, found.y, 12, bg);
    EXPECT_GT(stacked, 0.8 * single);
}

INSTANTIATE_TEST_SUITE_P(TrackAndProfile, Stacking, ::testing::Values(0, 1));

TEST_F(AcqSim, CameraStartWithoutACameraSaysSoAndRunsNothing) {
    platform::usb::use_builtin_providers(false);
    Host host;
    QV_Control(host);
    EXPECT_EQ(host.dialogs, 0);
    ASSERT_EQ(ui.boxes.size(), 2u); // no settings file yet, then no camera
    EXPECT_EQ(ui.boxes[1].text, "Sorry, No camera found on USB");
}

TEST_F(AcqSim, ClosingTheDialogRunsNoSequence) {
    start({}, false);
    Host host;
    host.take_photo = false;
    blocks.clear();
    QV_Control(host);
    EXPECT_EQ(host.dialogs, 1);
    EXPECT_TRUE(blocks.empty());
    EXPECT_EQ(disp.bin_display_quad, 1);
}

TEST_F(Sequence, StartDelayCountsDownEverySecondBeforeTheExposure) {
    begin();
    cfg.exposure_delay = 1;
    cfg.pause_secs = 3;
    run_exposure_sequence(host);
    const std::vector<std::string> first(ui.progress_captions.begin(),
                                         ui.progress_captions.begin() + 4);
    const std::vector<std::string> expected = {"EXPOSURE DELAY", "EXPOSURE DELAY (Left - 3)",
                                               "EXPOSURE DELAY (Left - 2)",
                                               "EXPOSURE DELAY (Left - 1)"};
    EXPECT_EQ(first, expected);
    EXPECT_EQ(ui.progress_values[3], 3 * (255 / 3));
    EXPECT_GE(ui.beeps, 3);
    ASSERT_FALSE(block_times.empty());
    EXPECT_GE(block_times.front(), 3000u); // nothing went to the camera before
}

TEST_F(Sequence, AStopAskedForDuringTheStartDelayTakesNoPicture) {
    begin();
    cfg.exposure_delay = 1;
    cfg.pause_secs = 3;
    cfg.continuous = 1;
    seq.no_images = 3;
    host.stop = [&] { return ui.beeps > 0; }; // from the first second of the countdown
    run_exposure_sequence(host);
    EXPECT_TRUE(blocks_with(CMD_EXPOSE_AND_READ).empty());
    EXPECT_EQ(host.shows, 0);
    EXPECT_FALSE(ui.progress_shown);
}

TEST_F(Sequence, AutomaticProcessingNotesTheCorrectionsThenItsOwnSteps) {
    begin();
    const std::string dark = native_frame("dark.raw", [](int, int) { return 50; });
    std::strcpy(files.DarkFileName, dark.c_str());
    cfg.darkframe_remove = 1;
    acq.Auto_Processing = 1;
    acq.auto_weak_stretch = 1;
    acq.auto_highlow_filter = 1;
    run_exposure_sequence(host);
    EXPECT_STREQ(disp.process_info[0], "Dark Frame Subtracted");
    EXPECT_STRNE(disp.process_info[1], ""); // the stretch
    bool filtered = false;
    for (const auto& line : disp.process_info)
        filtered |= std::string(line) == "High Pass Low Power Filter";
    EXPECT_TRUE(filtered);
    EXPECT_EQ(host.shows, 1);
}

TEST_F(Sequence, APressDuringTheContinuousPauseEndsWithoutAnotherExposure) {
    begin();
    cfg.continuous = 1;
    cfg.continuous_delay = 1;
    ui.on_pump = [&] { return clock.peek() > 20000 ? 1 : 0; };
    run_exposure_sequence(host);
    EXPECT_EQ(blocks_with(CMD_EXPOSE_AND_READ).size(), 1u);
    EXPECT_EQ(host.shows, 1);
    EXPECT_LT(clock.peek(), 21000u);
}

TEST_F(Sequence, AStalledReadEndsTheSeriesAfterThatImage) {
    begin();
    cfg.auto_save_fits = 1;
    std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "%s", (home + "/out").c_str());
    cfg.continuous = 1;
    seq.no_images = 3;
    host.on_show = [&] { simulator->faults().camera.stall = 1.0; }; // from the second image on

    run_exposure_sequence(host);

    EXPECT_EQ(blocks_with(CMD_EXPOSE_AND_READ).size(), 2u);
    ASSERT_FALSE(ui.boxes.empty());
    for (const auto& b : ui.boxes)
        EXPECT_NE(b.text.find("trying to read ZIRED data from USB"), std::string::npos) << b.text;
    ASSERT_GE(host.saved.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(host.saved[0]));
    EXPECT_EQ(seq.cont_work, 0);
}
