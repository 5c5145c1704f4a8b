// The camera dialog's self-guiding switches and guiding start, and the
// sequence's correction hook after each image.
#include "acq_sim.h"

#include "acquisition/camera_controls.h"
#include "acquisition/guide_hook.h"
#include "acquisition/selfguide_controls.h"
#include "acquisition/sequence.h"
#include "platform/command_ids.h"

#include <functional>

using namespace acqtest;

namespace {

using SelfGuide = NocterisTest;

TEST_F(SelfGuide, SwitchingOnNeedsAnExposureUnderTwelveSecondsNowOrRemembered) {
    for (auto [range, longest] : {std::pair{'q', 11999}, {'h', 1199}, {'t', 119}, {'s', 11}}) {
        EXPECT_TRUE(selfguiding_exposure_ok(range, longest)) << range;
        EXPECT_FALSE(selfguiding_exposure_ok(range, longest + 1)) << range;
    }
    EXPECT_FALSE(selfguiding_exposure_ok('m', 1));
    EXPECT_FALSE(selfguiding_exposure_ok('q', 0));

    cfg.gotcontrolbox = 1;
    cfg.exp_range = 's';
    cfg.exp_value = 30;
    EXPECT_EQ(set_self_guiding(), SelfGuideResult::TooLong); // nothing remembered yet
    EXPECT_EQ(guide.selfguiding, 0);
    cfg.exp_range = 't';
    cfg.exp_value = 50;
    EXPECT_EQ(set_self_guiding(), SelfGuideResult::On);
    EXPECT_EQ(set_self_guiding(), SelfGuideResult::Off);
    cfg.exp_range = 's';
    cfg.exp_value = 30;
    EXPECT_EQ(set_self_guiding(), SelfGuideResult::On); // the remembered 5 s serve
    EXPECT_EQ(selfguiding_exposure_ms(), 5000u);
    EXPECT_EQ(ui.beeps, 3);

    guide.selfguiding = 0;
    guide.guider_guiding_standalone = 1;
    EXPECT_EQ(set_self_guiding(), SelfGuideResult::Refused);
    EXPECT_EQ(set_self_guiding_darkframe(), SelfGuideResult::Refused);
    EXPECT_EQ(guide.selfguiding, 0);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, "Sorry, already guiding with external camera");
}

TEST_F(SelfGuide, TheDarkFrameVariantSetsTheFrameSwitchFlagsOfTheReadoutMode) {
    cfg.gotcontrolbox = 1;
    acq.selfguidingframes = 4;
    const struct {
        int binned21, nonintl, high, b21;
    } modes[] = {{1, 0, 1, 1}, {0, 1, 1, 0}, {0, 0, 0, 0}};
    for (const auto& m : modes) {
        cfg.binned21 = m.binned21;
        cfg.highres_nonintl = m.nonintl;
        EXPECT_EQ(set_self_guiding_darkframe(), SelfGuideResult::On);
        EXPECT_EQ(guide.selfguiding, 1);
        EXPECT_EQ(acq.darkframes, 4);
        EXPECT_EQ(acq.selfguidinghigh, m.high);
        EXPECT_EQ(acq.selfguiding21, m.b21);
        EXPECT_EQ(seq.switch_frame, m.high);
        EXPECT_EQ(selfguiding_exposure_ms(), 100u);
        EXPECT_EQ(set_self_guiding_darkframe(), SelfGuideResult::Off);
        EXPECT_EQ(guide.selfguiding, 0);
    }
}

TEST_F(SelfGuide, StartGuidingNeedsAStarAndAnExposure) {
    EXPECT_FALSE(start_auto_guide("2"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "You must first take an image and pick a star");
    guide.picked_star = 1;
    EXPECT_FALSE(start_auto_guide("0"));
    EXPECT_EQ(acq.startguiding, 0);
    cfg.exp_range = 'h';
    cfg.highres_intl = 1;
    EXPECT_TRUE(start_auto_guide("20")); // 200 ms: too short to interlace
    EXPECT_EQ(cfg.exp_value, 20);
    EXPECT_EQ(acq.startguiding, 1);
    EXPECT_EQ(cfg.highres_nonintl, 1);

    // Nor may a self-guided series start without its star.
    guide.selfguiding = 1;
    guide.picked_star = 0;
    EXPECT_STREQ(take_photo_refusal(), SELFGUIDE_NEEDS_STAR);
}

struct Host : SequenceHost {
    std::function<bool()> dialog = [] { return true; };
    int shows = 0;
    bool run_dialog() override { return dialog(); }
    void show_image() override { ++shows; }
};

struct Corrections : SequenceGuiding {
    std::vector<int> after_shows; // images shown before each correction
    Host* host = nullptr;
    void correct(const unsigned short*) override { after_shows.push_back(host->shows); }
};

class SelfGuideSequence : public AcqSim {
  protected:
    void TearDown() override {
        install_sequence_guiding(nullptr);
        AcqSim::TearDown();
    }
    Host host;
};

TEST_F(SelfGuideSequence, StartGuidingHandsTheMainWindowItsCommand) {
    start({}, false);
    guide.picked_star = 1;
    host.dialog = [] { return start_auto_guide("1"); };
    ui.commands.clear();
    QV_Control(host);
    EXPECT_EQ(ui.commands, std::vector<int>{CM_START_GUIDE});
    EXPECT_EQ(acq.startguiding, 0);
    EXPECT_EQ(host.shows, 0); // the main window guides; the sequence takes nothing
}

TEST_F(SelfGuideSequence, EachShownImageOfASelfGuidedSeriesGetsOneCorrection) {
    start({}, false);
    Corrections corr;
    corr.host = &host;
    install_sequence_guiding(&corr);
    cfg.exp_range = 't';
    cfg.exp_value = 5;
    cfg.continuous = 1;
    cfg.gotcontrolbox = 1;
    guide.picked_star = 1;
    ASSERT_EQ(set_self_guiding(), SelfGuideResult::On);
    // A click in the third image's display wait ends continuous mode; that
    // image is still corrected.
    ui.on_pump = [&] { return host.shows >= 3 ? 1 : 0; };
    QV_Control(host);
    EXPECT_EQ(corr.after_shows, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(acq.selfguiding_exposure, 500);

    // Not while training, nor without self-guiding.
    corr.after_shows.clear();
    cfg.continuous = 0;
    ui.on_pump = nullptr;
    for (int training : {1, 0}) {
        guide.selfguiding = guide.training = training;
        QV_Control(host);
    }
    EXPECT_TRUE(corr.after_shows.empty());
}

} // namespace
