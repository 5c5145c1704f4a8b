// Guiding measured on the simulated sky: what the training finds against the
// simulator's true mount, the centroid's own scatter, how well guiding holds
// a drifting star, the stop by a press, and the refusals.
#include "guide_sim.h"

#include "guiding/guide_correction.h"
#include "settings/settings.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

using namespace guidetest;

namespace {

constexpr double TEN_MINUTES = 600; // seconds

class GuideClosedLoop : public GuideSim {
  protected:
    // A still sky: no drift, periodic error or backlash.
    static sim::Config still() {
        sim::Config c;
        c.mount.pe_amplitude = 0;
        c.mount.backlash_dec = 0;
        c.mount.backlash_ra = 0;
        return c;
    }
    // The simple training, then a new pick of the same star.
    void train() {
        CountingHost host;
        ASSERT_EQ(CmTrainGuide(host), GUIDE_DONE);
        pick();
    }
    // Guides until `seconds` of the simulator's clock have passed: the RMS of
    // the measured error (from the frames' records) and of the true offset.
    int guide_for(double seconds, Rms* measured, Rms* truth = nullptr) {
        CountingHost host;
        const double t0 = simulator->now();
        host.stop = [&] { return simulator->now() - t0 >= seconds; };
        mark();
        host.each = [&] {
            const GuideFrame& f = host.log.back();
            measured->add(f.dx / 1000.0);
            measured->add(f.dy / 1000.0);
            if (!truth) return;
            double x, y;
            true_offset(&x, &y);
            truth->add(x);
            truth->add(y);
        };
        EXPECT_EQ(CmStartGuide(host), GUIDE_DONE);
        return host.frames;
    }
    void report(const char* key, double value, const char* unit) {
        RecordProperty(key, std::to_string(value));
        std::printf("[ figure   ] %s = %.3f %s\n", key, value, unit);
    }
    // Where the mount points, arcsec east and north of the field centre.
    void pointing(double* xi, double* eta) {
        const sim::View v = simulator->world().view(simulator->now());
        *xi = v.xi;
        *eta = v.eta;
    }
};

TEST_F(GuideClosedLoop, TrainingRecoversTheTrueGuideRateAndDecBacklash) {
    sim::Config c = still();
    c.mount.backlash_dec = 8; // arcsec
    begin(c);
    CountingHost host;
    ASSERT_EQ(CmTrainGuide(host), GUIDE_DONE);
    const double backlash = c.mount.backlash_dec / scale();
    report("ra_rate_true_px_s", ra_rate(), "px/s");
    report("ra_rate_trained_px_s", cfg.slewx, "px/s");
    report("dec_rate_true_px_s", dec_rate(), "px/s");
    report("dec_rate_trained_px_s", cfg.slewy, "px/s");
    report("dec_backlash_true_px", backlash, "px");
    report("dec_backlash_trained_px", cfg.backlashy, "px");
    EXPECT_LT(std::abs(cfg.slewx - ra_rate()) / ra_rate(), 0.15);
    EXPECT_LT(std::abs(cfg.slewy - dec_rate()) / dec_rate(), 0.15);
    EXPECT_LE(std::abs(cfg.backlashy - backlash), 1.0);
    EXPECT_EQ(cfg.backlashx, 0) << "the RA axis has no backlash";
}

TEST_F(GuideClosedLoop, GuidingHoldsADriftingStarNearTheNoiseFloorAndUnguidedItWanders) {
    // The floor: a still sky, so all that moves the measured star is the
    // centroid's noise and the corrections it causes.
    begin(still());
    train();
    Rms floor;
    guide_for(120, &floor);
    report("noise_floor_rms_px", floor.value(), "px");
    EXPECT_GT(floor.value(), 0) << "the frames carry noise";
    EXPECT_LT(floor.value(), 0.3);

    sim::Config c;
    c.mount.drift_ra = 0.05;
    c.mount.drift_dec = 0.1;
    restart(c);
    train();
    Rms measured, truth;
    const int frames = guide_for(TEN_MINUTES, &measured, &truth);
    report("guided_frames", frames, "");
    report("guided_measured_rms_px", measured.value(), "px");
    report("guided_true_rms_px", truth.value(), "px");
    report("guided_true_rms_over_floor", truth.value() / floor.value(), "");
    EXPECT_GT(frames, 200);
    EXPECT_LT(truth.value(), 1.0);

    // The same sky with nothing sent: frames only.
    mark();
    const double t0 = simulator->now();
    double x = 0, y = 0;
    while (simulator->now() - t0 < TEN_MINUTES) {
        image = image_int;
        ASSERT_TRUE(QV_camera_guide());
        true_offset(&x, &y);
    }
    report("unguided_drift_px", std::hypot(x, y), "px");
    EXPECT_GT(std::hypot(x, y), 20.0);
}

TEST_F(GuideClosedLoop, APressStopsGuidingWithinAFrameAndPutsEverythingBack) {
    begin(still());
    train();
    const int pick_x = guide.pick_xcent, pick_y = guide.pick_ycent;
    CountingHost host;
    ui.on_pump = [&] { return host.frames >= 5 ? 1 : 0; };
    ASSERT_EQ(CmStartGuide(host), GUIDE_DONE);
    ui.on_pump = nullptr;
    EXPECT_EQ(host.frames, 5);
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(guide.focus_x, 312);
    EXPECT_EQ(guide.focus_y, 65);
    EXPECT_EQ(guide.xcent, guide.old_xcent);
    EXPECT_EQ(guide.ycent, guide.old_ycent);
    EXPECT_EQ(guide.xcent, pick_x) << "the centre is the picked star's again";
    EXPECT_EQ(guide.picked_star, 1);
    EXPECT_EQ(guide.pick_xcent, pick_x);
    EXPECT_EQ(guide.pick_ycent, pick_y);
    EXPECT_EQ(guide.guiding, 0);
    // Nothing keeps the mount moving: on a still sky the pointing stays.
    double xi0, eta0, xi1, eta1;
    pointing(&xi0, &eta0);
    clock.advance(10000);
    pointing(&xi1, &eta1);
    EXPECT_DOUBLE_EQ(xi1, xi0);
    EXPECT_DOUBLE_EQ(eta1, eta0);
}

TEST_F(GuideClosedLoop, RefusalsAndAStarLostOnTheFirstFrame) {
    begin(still());
    std::filesystem::create_directories(autosave);
    CountingHost host;
    const std::size_t sent = blocks.size();
    guide.picked_star = 0;
    EXPECT_EQ(CmStartGuide(host), GUIDE_REFUSED);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes.back().text, "You must first take an image and pick a star");
    guide.picked_star = 1;
    cfg.telescope = 'n';
    EXPECT_EQ(CmStartGuide(host), GUIDE_REFUSED);
    EXPECT_EQ(CmTrainGuide(host), GUIDE_REFUSED);
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[1].text, "Telescope interface not set or camera not found");
    EXPECT_EQ(ui.boxes[2].text, ui.boxes[0].text) << "the training says 53 for both";
    EXPECT_EQ(blocks.size(), sent) << "nothing reached the camera";

    // A star picked at the frame's edge: the guide window stops at the edge,
    // so the first frame's box leaves it.
    cfg.telescope = 'l';
    guide.picked_star = 1;
    guide.pick_xcent = guide.xcent = 3;
    GuideLog log;
    host.limit = 3; // should it guide after all
    EXPECT_EQ(CmStartGuide(host, &log), GUIDE_STAR_LOST);

    log.close();
    EXPECT_EQ(ui.boxes.back().text, "lost guide star");
    EXPECT_EQ(host.frames, 0);
    EXPECT_EQ(host.opened, 0);
    EXPECT_EQ(guide.focus_x, 312);
    EXPECT_NE(read_file(log.path()).find("lost guide star on the first frame"), std::string::npos);
}

TEST_F(GuideClosedLoop, ATrainingWhoseStarDoesNotMoveStoresRatesOfOne) {
    // The guide socket's relays drive the AO unit's input instead of a mount.
    sim::Config c = still();
    c.camera.socket = sim::SocketDevice::AoUnit;
    begin(c);
    cfg.telescope = 'b';
    std::filesystem::create_directories(autosave);
    CountingHost host;
    GuideLog log;
    ASSERT_EQ(CmTrainGuide(host, &log), GUIDE_DONE);
    log.close();
    EXPECT_EQ(cfg.slewx, 1);
    EXPECT_EQ(cfg.slewy, 1);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_NE(ui.boxes.back().text.find("slewx =     0, slewy =     0"), std::string::npos)
        << ui.boxes.back().text;
    EXPECT_NE(read_file(log.path()).find("the star did not follow the pulses"), std::string::npos)
        << read_file(log.path());
}

} // namespace
