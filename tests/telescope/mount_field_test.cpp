// The mount seen through the camera: after a GoTo the next image shows the
// new field, and a guide pulse moves the stars by the guide rate times its
// length.
#include "../acquisition/acq_sim.h"
#include "../sim/sim_test_util.h"

#include "acquisition/readout.h"
#include "devices/serial_link.h"
#include "display/image_store.h"
#include "telescope/mount_controls.h"
#include "telescope/mount_protocol.h"
#include "telescope/telescope_state.h"

#include <cmath>

using namespace acqtest;

namespace {

class MountFieldTest : public AcqSim {
  protected:
    void SetUp() override {
        AcqSim::SetUp();
        sim::Config c;
        c.mount.pe_amplitude = 0;
        c.mount.backlash_dec = 0;
        c.mount.backlash_ra = 0;
        start(c, false);
        cfg.AOUnit_comport = 0;
        cfg.telescope = 'l';
        serial.Port = 0;
        acq.exposure = 1000;
    }
    std::vector<std::uint16_t> exposure() {
        EXPECT_TRUE(QV_full_read());
        return {image, image + disp.intlength};
    }
    // Brightness-weighted centre of the brightest star of the frame.
    static void brightest(const std::vector<std::uint16_t>& px, double* cx, double* cy) {
        const auto stars = simtest::find_stars(px, disp.width1, disp.height1);
        ASSERT_FALSE(stars.empty());
        simtest::Peak best = stars[0];
        for (const auto& s : stars)
            if (s.value > best.value && s.x > 10 && s.y > 10 && s.x < disp.width1 - 10 &&
                s.y < disp.height1 - 10)
                best = s;
        const double bg = simtest::median(px);
        double sw = 0, sx = 0, sy = 0;
        for (int y = best.y - 5; y <= best.y + 5; ++y)
            for (int x = best.x - 5; x <= best.x + 5; ++x) {
                const double v = px[static_cast<std::size_t>(y) * disp.width1 + x] - bg;
                if (v <= 0) continue;
                sw += v;
                sx += v * x;
                sy += v * y;
            }
        *cx = sx / sw;
        *cy = sy / sw;
    }
    // Where the field centre falls on the sensor now, in image pixels.
    void centre_on_sensor(double* x, double* y) {
        simulator->camera().main_sensor().project(simulator->world().view(simulator->now()), 0, 0,
                                                  x, y);
    }
};

TEST_F(MountFieldTest, GoToShowsTheNewField) {
    const auto before = exposure();
    const auto stars_before = simtest::find_stars(before, disp.width1, disp.height1);
    ASSERT_TRUE(goto_coordinates(18, 36, 38, 47)); // Vega's neighbourhood
    EXPECT_STREQ(serial.scope_error, "");
    clock.advance(60000); // the slew and its settling
    double ra = 0, dec = 0;
    simulator->world().pointing(simulator->now(), &ra, &dec);
    EXPECT_NEAR(ra, 18.6, 0.01);
    EXPECT_NEAR(dec, 38 + 47 / 60.0, 0.01);
    const auto after = exposure();
    const auto stars_after = simtest::find_stars(after, disp.width1, disp.height1);
    ASSERT_GT(stars_after.size(), 5u);
    // Another star field: few stars stand where stars stood before.
    int same = 0;
    for (const auto& a : stars_after)
        for (const auto& b : stars_before)
            if (std::abs(a.x - b.x) <= 2 && std::abs(a.y - b.y) <= 2) ++same;
    EXPECT_LT(same, static_cast<int>(stars_after.size()) / 4);
}

TEST_F(MountFieldTest, HalfSecondGuidePulseMovesTheStarByTheGuideRate) {
    double x0, y0, cx0, cy0;
    brightest(exposure(), &x0, &y0);
    centre_on_sensor(&cx0, &cy0);
    tele.slewdir = 'n';
    tele.slew_time = 500;
    drive_slew();
    tele.slewdir = 'e';
    drive_slew();
    double x1, y1, cx1, cy1;
    brightest(exposure(), &x1, &y1);
    centre_on_sensor(&cx1, &cy1);
    // Guide rate 0.5 x sidereal for 0.5 s, in each axis.
    const double scale = simulator->camera().main_sensor().sensor().scale;
    const double moved = std::hypot(cx1 - cx0, cy1 - cy0) * scale;
    const double dec = 36.46 * M_PI / 180;
    EXPECT_NEAR(moved,
                std::hypot(0.25 * sim::SIDEREAL_RATE, 0.25 * sim::SIDEREAL_RATE * std::cos(dec)),
                0.2);
    // The star in the image follows within a pixel.
    EXPECT_NEAR(x1 - x0, cx1 - cx0, 1.0);
    EXPECT_NEAR(y1 - y0, cy1 - cy0, 1.0);
    EXPECT_GT(std::hypot(x1 - x0, y1 - y0), 2.0);
}

} // namespace
