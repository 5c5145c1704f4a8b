// The AO training on a drawn star that follows the unit's tracked position,
// and the AO controls of the camera dialog on the settings they edit.
#include "support/serial_traffic.h"
#include "support/test_env.h"

#include "devices/serial_link.h"
#include "devices/transport.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "guiding/ao_params.h"
#include "guiding/ao_training.h"
#include "guiding/guide_loop.h"
#include "guiding/guide_params.h"
#include "platform/host_path.h"
#include "settings/settings.h"
#include "star/star_state.h"
#include "telescope/ao_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Trace = std::vector<std::string>;

// The star moves 4 px for 25 steps: image west for a West step, up for North.
class DrawnStar : public TrainingHost {
  public:
    std::vector<std::string> captions;
    int images = 0, whole_until = 99, refreshes = 0;
    void set_caption(const char* c) override { captions.emplace_back(c); }
    bool take_image() override {
        const double x = 60 - ao.AO_ew * 4.0 / 25, y = 64 - ao.AO_ns * 4.0 / 25;
        for (int j = 0; j < 128; ++j)
            for (int i = 0; i < 128; ++i) {
                const double r2 = (i - x) * (i - x) + (j - y) * (j - y);
                image_int[j * 128 + i] =
                    static_cast<unsigned short>(800 + 30000 * std::exp(-r2 / 4.5));
            }
        return images++ < whole_until;
    }
    void refresh() override { ++refreshes; }
};

class AOTrainingTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        std::filesystem::create_directories(autosave);
        log = std::make_shared<Traffic>();
        attach_camera(std::make_unique<TimedCamera>(log, clock));
        clock.set(1000);
        cfg.AOUnit_comport = 0;
        set_image_size(128, 128);
        disp.binned = 0;
        guide.picked_star = 1;
        guide.pick_xcent = 60;
        guide.pick_ycent = 64;
    }
    void TearDown() override {
        attach_camera(nullptr);
        NocterisTest::TearDown();
    }
    Trace trace() const {
        Trace out;
        for (const auto& b : log->blocks) out.push_back(describe(b, 1000));
        return out;
    }
    bool ini_written() const {
        return std::filesystem::exists(platform::host_path("c:\\autosave\\Nocteris.INI"));
    }
    std::shared_ptr<Traffic> log;
};

TEST_F(AOTrainingTest, MeasuresStepsPerPixelOnBothAxes) {
    DrawnStar host;
    AOTrainingResult r;
    ASSERT_EQ(AOTrain(host, &r), GUIDE_DONE);
    // 25 steps each way, 250 ms after each but the last.
    EXPECT_EQ(trace(),
              (Trace{"0 W0 GW00025", "300 W0 GT00025", "600 W0 GN00025", "900 W0 GS00025"}));
    EXPECT_EQ(r.RA_x, 4);
    EXPECT_EQ(r.RA_y, 0);
    EXPECT_EQ(r.Dec_x, 0);
    EXPECT_EQ(r.Dec_y, -4);
    EXPECT_EQ(cfg.AOUnit_xrate, 6); // trunc(25 / 4)
    EXPECT_EQ(cfg.AOUnit_yrate, 6);
    EXPECT_EQ(cfg.AOUnit_slewx, Settings{}.AOUnit_slewx); // until "Copy Trained"
    EXPECT_EQ(ao.AOUnit_trained, 1);
    EXPECT_EQ(ao.AOUnit_use_trained, 1);
    EXPECT_EQ(guide.training, 0);
    EXPECT_TRUE(ini_written());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("slew RA =     4,    0,     6\n"
                                     "slew Dec =     0,    -4,     6\n"
                                     "pos 1 =    60,    64\npos 2 =    64,    64\n",
                                     0),
              0u)
        << ui.boxes[0].text;

    const std::string p = TRAINING_CAPTION;
    EXPECT_EQ(host.captions,
              (std::vector<std::string>{p + "slewing West", p + "slewing East", p + "slewing North",
                                        p + "slewing South", AO_TRAINING_END_CAPTION}));
}

TEST_F(AOTrainingTest, RatesFromTheFourPositions) {
    AOTrainingResult r;
    r.startx = 10;
    r.starty = 10;
    // No movement at all: one step a pixel rather than a division by zero.
    for (int i = 0; i < 4; ++i) r.posx[i] = 10, r.posy[i] = 10;
    ao_training_rates(r);
    EXPECT_EQ(r.xrate, 1);
    EXPECT_EQ(r.yrate, 1);
    // A move longer than 25 px truncates to 0, which becomes 1; a diagonal
    // counts its length.
    r.posx[0] = 40;
    r.posx[1] = 10;
    r.posx[2] = 13;
    r.posy[2] = 14;
    r.posx[3] = 10;
    r.posy[3] = 10;
    ao_training_rates(r);
    EXPECT_EQ(r.RA_x, 30);
    EXPECT_EQ(r.xrate, 1);
    EXPECT_EQ(r.yrate, 5); // 25 / 5
}

TEST_F(AOTrainingTest, ALostFrameOrNoStarLeavesTheRates) {
    DrawnStar host;
    host.whole_until = 2;
    cfg.AOUnit_xrate = 9;
    EXPECT_EQ(AOTrain(host, nullptr), GUIDE_STOPPED);
    EXPECT_EQ(cfg.AOUnit_xrate, 9);
    EXPECT_EQ(ao.AOUnit_trained, 0);
    EXPECT_EQ(guide.training, 0);
    EXPECT_EQ(host.captions.back(), AO_TRAINING_END_CAPTION);
    EXPECT_FALSE(ini_written());
    EXPECT_TRUE(ui.boxes.empty());

    // Binned, the picked position is on the full image: halved it finds the star.
    disp.binned = 1;
    guide.pick_xcent = 120;
    guide.pick_ycent = 128;
    host.whole_until = 99;
    host.images = 0;
    AOTrainingResult r;
    EXPECT_EQ(AOTrain(host, &r), GUIDE_DONE);
    EXPECT_EQ(r.startx, 60);
    EXPECT_EQ(r.posx[0], 64);

    guide.picked_star = 0;
    host.captions.clear();
    log->blocks.clear();
    EXPECT_EQ(AOTrain(host, nullptr), GUIDE_REFUSED);
    EXPECT_TRUE(host.captions.empty());
    EXPECT_TRUE(trace().empty());
}

TEST_F(AOTrainingTest, DialogControlsEditAndSaveTheSettings) {
    change_guider_mode();
    EXPECT_EQ(cfg.GuiderMode, 'A');
    EXPECT_STREQ(guiding_mode_text(), "AO Unit");
    EXPECT_TRUE(ini_written());
    change_guider_mode();
    EXPECT_EQ(cfg.GuiderMode, 'T');

    set_ao_values("15", "x");
    EXPECT_EQ(cfg.AOUnit_slewx, 15);
    EXPECT_EQ(cfg.AOUnit_slewy, Settings{}.AOUnit_slewy);
    set_ao_values("0", "-3"); // no step at all would stop guiding dead
    EXPECT_EQ(cfg.AOUnit_slewx, 1);
    EXPECT_EQ(cfg.AOUnit_slewy, 1);
    cfg.AOUnit_xrate = 7;
    cfg.AOUnit_yrate = 8;
    copy_ao_values();
    EXPECT_EQ(cfg.AOUnit_slewx, 7);
    EXPECT_EQ(cfg.AOUnit_slewy, 8);

    set_ao_ns();
    EXPECT_EQ(cfg.AOn, 's');
    EXPECT_EQ(cfg.AOs, 'n');
    EXPECT_TRUE(ao_ns_swapped());
    set_ao_ns();
    EXPECT_FALSE(ao_ns_swapped());
    set_ao_ew();
    EXPECT_EQ(cfg.AOe, 'w');
    EXPECT_EQ(cfg.Mt, 'T'); // the unit's mount letters go with the mount's swaps

    cfg.AOUnit_comport = 0;
    change_ao_mode();
    EXPECT_STREQ(ao_mode_text(), "Parallel");
    EXPECT_EQ(cfg.AOUnit_comport, 0);
    change_ao_mode();
    EXPECT_STREQ(ao_mode_text(), "Serial");
    EXPECT_EQ(cfg.AOUnit_comport, 3);
    set_ao_com1();
    EXPECT_EQ(cfg.AOUnit_comport, 0);
    set_ao_com2();
    EXPECT_EQ(cfg.AOUnit_comport, 1);
    set_ao_pc_port();
    EXPECT_EQ(cfg.AOUnit_comport, 3);
}

TEST_F(AOTrainingTest, DriveArrowsMoveTheUnitWhenItIsChosen) {
    cfg.telescope = 'l';
    cfg.GuiderMode = 'A';
    set_ao_ew(); // the AO swap, not the mount's
    EXPECT_TRUE(drive_test_press('w'));
    EXPECT_FALSE(drive_test_release()); // nothing runs to be stopped
    EXPECT_TRUE(drive_test_press('n'));
    EXPECT_EQ(trace(), (Trace{"0 W0 MT00100", "50 W0 MN00100"}));
    EXPECT_EQ(ao.AO_ew, 100);
    EXPECT_FALSE(drive_test_press('x'));

    cfg.GuiderMode = 'T';
    log->blocks.clear();
    EXPECT_TRUE(drive_test_press('w'));
    EXPECT_EQ(trace().at(1).substr(trace().at(1).find(' ')), " W0 #:Mw#");
    drive_test_release();
}

} // namespace
