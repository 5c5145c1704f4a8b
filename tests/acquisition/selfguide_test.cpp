// The camera dialog's self-guiding switches and guiding start, and the
// sequence's correction hook after each image.
#include "acq_sim.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/camera_controls.h"
#include "acquisition/guide_hook.h"
#include "acquisition/selfguide_controls.h"
#include "acquisition/sequence.h"
#include "platform/command_ids.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <gtest/gtest.h>

#include <functional>

using namespace acqtest;

namespace {

class SelfGuide : public NocterisTest {};

TEST_F(SelfGuide, TheTwelveSecondRuleHoldsForEachRange) {
    const struct {
        char range;
        int longest;
    } ranges[] = {{'q', 11999}, {'h', 1199}, {'t', 119}, {'s', 11}};
    for (const auto& r : ranges) {
        EXPECT_TRUE(selfguiding_exposure_ok(r.range, r.longest)) << r.range;
        EXPECT_FALSE(selfguiding_exposure_ok(r.range, r.longest + 1)) << r.range;
        EXPECT_FALSE(selfguiding_exposure_ok(r.range, 0)) << r.range;
    }
    EXPECT_FALSE(selfguiding_exposure_ok('m', 1));
}

TEST_F(SelfGuide, SwitchingOnTakesAShortExposureElseTheRememberedOne) {
    cfg.gotcontrolbox = 1;
    cfg.exp_range = 't';
    cfg.exp_value = 50;
    EXPECT_EQ(set_self_guiding(), SelfGuideResult::On);
    EXPECT_EQ(guide.selfguiding, 1);
    EXPECT_EQ(acq.selfguiding_exp_range, 't');
    EXPECT_EQ(acq.selfguiding_exp_value, 50);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(set_self_guiding(), SelfGuideResult::Off);
    EXPECT_EQ(guide.selfguiding, 0);

    // A long exposure now: the remembered 5 s serve, and stay remembered.
    cfg.exp_range = 's';
    cfg.exp_value = 30;
    EXPECT_EQ(set_self_guiding(), SelfGuideResult::On);
    EXPECT_EQ(acq.selfguiding_exp_value, 50);
    EXPECT_EQ(selfguiding_exposure_ms(), 5000u);
    guide.selfguiding = 0;

    // Nothing short enough: a beep and it stays off.
    reset_acquisition_state();
    ui.beeps = 0;
    EXPECT_EQ(set_self_guiding(), SelfGuideResult::TooLong);
    EXPECT_EQ(guide.selfguiding, 0);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SelfGuide, TheDarkFrameVariantSetsTheFrameSwitchFlagsOfTheReadoutMode) {
    cfg.gotcontrolbox = 1;
    acq.selfguidingframes = 4;
    cfg.binned21 = 1;
    EXPECT_EQ(set_self_guiding_darkframe(), SelfGuideResult::On);
    EXPECT_EQ(guide.selfguiding, 1);
    EXPECT_EQ(acq.darkframes, 4);
    EXPECT_EQ(acq.selfguidinghigh, 1);
    EXPECT_EQ(acq.selfguiding21, 1);
    EXPECT_EQ(seq.switch_frame, 1);
    EXPECT_EQ(selfguiding_exposure_ms(), 100u);
    EXPECT_EQ(set_self_guiding_darkframe(), SelfGuideResult::Off);
    EXPECT_EQ(guide.selfguiding, 0);

    cfg.binned21 = 0;
    cfg.highres_nonintl = 1;
    set_self_guiding_darkframe();
    EXPECT_EQ(acq.selfguidinghigh, 1);
    EXPECT_EQ(acq.selfguiding21, 0);
    EXPECT_EQ(seq.switch_frame, 1);
    set_self_guiding_darkframe();

    cfg.highres_nonintl = 0;
    set_self_guiding_darkframe();
    EXPECT_EQ(acq.selfguidinghigh + acq.selfguiding21 + seq.switch_frame, 0);
}

TEST_F(SelfGuide, BothSwitchesAreRefusedWhileTheGuiderCameraGuidesAlone) {
    guide.guider_guiding_standalone = 1;
    cfg.exp_range = 'h';
    cfg.exp_value = 5;
    EXPECT_EQ(set_self_guiding(), SelfGuideResult::Refused);
    EXPECT_EQ(set_self_guiding_darkframe(), SelfGuideResult::Refused);
    EXPECT_EQ(guide.selfguiding + guide.selfguiding_darkframe, 0);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, "Sorry, already guiding with external camera");
}

TEST_F(SelfGuide, CameraModeAndTheStartRefusalWithoutAStar) {
    guide.selfguiding = 1;
    EXPECT_STREQ(camera_mode_text(), "Selfguide Next Image");
    EXPECT_STREQ(take_photo_refusal(), SELFGUIDE_NEEDS_STAR);
    guide.picked_star = 1;
    EXPECT_EQ(take_photo_refusal(), nullptr);
}

TEST_F(SelfGuide, StartGuidingNeedsAStarAndAnExposure) {
    EXPECT_FALSE(start_auto_guide("2"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "You must first take an image and pick a star");
    guide.picked_star = 1;
    EXPECT_FALSE(start_auto_guide("0"));
    EXPECT_FALSE(start_auto_guide("x"));
    EXPECT_EQ(acq.startguiding, 0);

    cfg.exp_range = 'h';
    cfg.highres_intl = 1;
    EXPECT_TRUE(start_auto_guide("20")); // 200 ms: too short to interlace
    EXPECT_EQ(cfg.exp_value, 20);
    EXPECT_EQ(acq.startguiding, 1);
    EXPECT_EQ(cfg.highres_intl, 0);
    EXPECT_EQ(cfg.highres_nonintl, 1);
}

struct Host : SequenceHost {
    std::function<bool()> dialog;
    int shows = 0;
    bool run_dialog() override { return dialog(); }
    void show_image() override { ++shows; }
};

struct Corrections : SequenceGuiding {
    int calls = 0;
    int shows_at_call = -1;
    Host* host = nullptr;
    void correct(const unsigned short*) override {
        ++calls;
        shows_at_call = host->shows;
    }
};

class SelfGuideSequence : public AcqSim {
  protected:
    void TearDown() override {
        install_sequence_guiding(nullptr);
        AcqSim::TearDown();
    }
};

TEST_F(SelfGuideSequence, StartGuidingHandsTheMainWindowItsCommand) {
    start({}, false);
    guide.picked_star = 1;
    Host host;
    host.dialog = [] { return start_auto_guide("1"); };
    ui.commands.clear();
    QV_Control(host);
    EXPECT_EQ(ui.commands, std::vector<int>{CM_START_GUIDE});
    EXPECT_EQ(acq.startguiding, 0);
    EXPECT_EQ(host.shows, 0); // the main window guides; the sequence takes nothing
}

TEST_F(SelfGuideSequence, EachShownImageOfASelfGuidedSeriesGetsOneCorrection) {
    start({}, false);
    Host host;
    Corrections corr;
    corr.host = &host;
    install_sequence_guiding(&corr);
    host.dialog = [] { return true; };
    cfg.exp_range = 't';
    cfg.exp_value = 5;
    cfg.continuous = 1;
    guide.picked_star = 1;
    cfg.gotcontrolbox = 1;
    ASSERT_EQ(set_self_guiding(), SelfGuideResult::On);
    // The third image's display wait is interrupted by a click, which ends
    // continuous mode; that image is still corrected after it is shown.
    ui.on_pump = [&] { return host.shows >= 3 ? 1 : 0; };
    QV_Control(host);
    EXPECT_EQ(host.shows, 3);
    EXPECT_EQ(corr.calls, 3);
    EXPECT_EQ(corr.shows_at_call, 3);
    EXPECT_EQ(acq.selfguiding_exposure, 500);

    // Not while training, nor without self-guiding.
    corr.calls = 0;
    for (int training : {1, 0}) {
        guide.selfguiding = training;
        guide.training = training;
        cfg.continuous = 0;
        ui.on_pump = nullptr;
        QV_Control(host);
    }
    EXPECT_EQ(corr.calls, 0);
}

} // namespace
