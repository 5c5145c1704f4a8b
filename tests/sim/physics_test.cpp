// The simulator's physics on its own: star images, the mount's motions,
// backlash, periodic error, drift, the camera angle and the AO unit's travel.
#include "sim/motion.h"
#include "sim/psf.h"
#include "sim/render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

using namespace sim;

namespace {

double total(const std::vector<float>& v) {
    return std::accumulate(v.begin(), v.end(), 0.0);
}

// Centroid and second moment of a star image.
void moments(const std::vector<float>& img, int w, double* cx, double* cy) {
    double s = 0, sx = 0, sy = 0;
    for (std::size_t i = 0; i < img.size(); ++i) {
        const int x = static_cast<int>(i % w), y = static_cast<int>(i / w);
        s += img[i];
        sx += img[i] * (x + 0.5);
        sy += img[i] * (y + 0.5);
    }
    *cx = sx / s;
    *cy = sy / s;
}

MountConfig still_mount() {
    MountConfig m;
    m.pe_amplitude = 0;
    m.backlash_dec = 0;
    m.dec_deg = 0; // on the equator RA arcsec are sky arcsec
    return m;
}

} // namespace

TEST(StarImage, ConservesFluxUnbinnedAndBinned) {
    for (double fwhm : {1.2, 2.5, 6.0}) {
        const double alpha = moffat_alpha(fwhm);
        for (double flux : {40.0, 5e3, 3e5}) {
            std::vector<float> a(200 * 200, 0.0f), b(100 * 100, 0.0f);
            const double in1 = add_star(a.data(), 200, 200, 100.3, 99.7, flux, alpha, 1, 1);
            const double in2 = add_star(b.data(), 100, 100, 50.15, 49.85, flux, alpha, 2, 2);
            // Only the wing beyond the cut is missing, and that is under half an electron.
            EXPECT_NEAR(total(a), flux, 0.5 + 1e-4 * flux) << fwhm << " " << flux;
            EXPECT_NEAR(total(b), total(a), 1e-4 * flux);
            EXPECT_NEAR(in1, total(a), 1e-3 * flux);
            EXPECT_NEAR(in2, total(b), 1e-3 * flux);
        }
    }
}

TEST(StarImage, StarOverTheEdgeLosesWhatFallsOutside) {
    std::vector<float> a(64 * 64, 0.0f);
    const double in = add_star(a.data(), 64, 64, 0.0, 32.0, 1e4, moffat_alpha(3.0), 1, 1);
    EXPECT_NEAR(in, 5e3, 150); // half the star is left of the frame
    EXPECT_EQ(add_star(a.data(), 64, 64, -500, 32, 1e4, moffat_alpha(3.0), 1, 1), 0.0);
}

TEST(StarImage, HasTheAskedWidthAndSitsWhereAsked) {
    const double fwhm = 4.0;
    std::vector<float> a(81 * 81, 0.0f);
    add_star(a.data(), 81, 81, 40.5, 40.5, 1e5, moffat_alpha(fwhm), 1, 1);
    // Width at half maximum along the middle row, interpolated.
    const float* row = &a[40 * 81];
    const double half = row[40] / 2;
    int i = 40;
    while (row[i] > half) ++i;
    const double right = i - 1 + (row[i - 1] - half) / (row[i - 1] - row[i]);
    EXPECT_NEAR(2 * (right + 0.5 - 40.5), fwhm, 0.3);

    std::vector<float> b(60 * 50, 0.0f);
    add_star(b.data(), 60, 50, 21.37, 30.81, 1e4, moffat_alpha(2.5), 1, 1);
    double cx, cy;
    moments(b, 60, &cx, &cy);
    EXPECT_NEAR(cx, 21.37, 0.02);
    EXPECT_NEAR(cy, 30.81, 0.02);
    // Binned 3 x 2: positions are in output pixels, the star keeps its place.
    std::vector<float> c(20 * 25, 0.0f);
    add_star(c.data(), 20, 25, 21.37 / 3, 30.81 / 2, 1e4, moffat_alpha(2.5), 3, 2);
    moments(c, 20, &cx, &cy);
    EXPECT_NEAR(cx * 3, 21.37, 0.1);
    EXPECT_NEAR(cy * 2, 30.81, 0.1);
}

TEST(Mount, DriftsAtTheGivenRates) {
    MountConfig m = still_mount();
    m.drift_ra = 0.5;
    m.drift_dec = -0.25;
    World w(m, {}, 1);
    w.advance_to(100);
    const View v = w.view(100);
    EXPECT_NEAR(v.xi, 50, 1e-6);
    EXPECT_NEAR(v.eta, -25, 1e-6);
    EXPECT_NEAR(w.view(40).xi, 20, 1e-6); // history stays answerable
}

TEST(Mount, PeriodicErrorHasItsPeriodAndAmplitude) {
    MountConfig m = still_mount();
    m.pe_amplitude = 6;
    m.pe_period = 400;
    m.dec_deg = 60; // RA error on the sky shrinks with cos(dec)
    World w(m, {}, 1);
    w.advance_to(2000);
    double lo = 1e9, hi = -1e9;
    for (double t = 0; t < 400; t += 1) {
        lo = std::min(lo, w.view(t).xi);
        hi = std::max(hi, w.view(t).xi);
    }
    EXPECT_NEAR(hi - lo, 2 * 6 * 0.5, 0.01);
    for (double t : {13.0, 170.0, 333.0}) EXPECT_NEAR(w.view(t).xi, w.view(t + 400).xi, 1e-9);
    EXPECT_GT(std::abs(w.view(100).xi - w.view(300).xi), 5.9); // half a period apart: opposite
    EXPECT_NEAR(w.view(400).eta, 0, 1e-12);                    // and nothing in Dec
}

TEST(Mount, GuideMovesShiftThePointingByRateTimesDuration) {
    World w(still_mount(), {}, 1);
    const double g = 0.5 * SIDEREAL_RATE;
    w.set_rate('G', 0);
    w.set_move(EAST, true, 1);
    w.set_move(EAST, false, 3);
    w.set_relays(4, 5); // north relay
    w.set_relays(0, 6.5);
    w.pulse(WEST, 0.5, 8); // ends on its own
    w.advance_to(20);
    EXPECT_NEAR(w.view(3).xi, 2 * g, 1e-6);
    EXPECT_NEAR(w.view(20).xi, 2 * g - 0.5 * g, 1e-6);
    EXPECT_NEAR(w.view(20).eta, 1.5 * g, 1e-6);
    EXPECT_NEAR(w.view(2).xi, g, 1e-6); // half-way through the move
}

TEST(Mount, ManualRatesDiffer) {
    World w(still_mount(), {}, 1);
    w.set_rate('C', 0);
    w.set_move(NORTH, true, 0);
    w.set_move(NORTH, false, 1);
    EXPECT_NEAR(w.view(1).eta, 8 * SIDEREAL_RATE, 1e-6);
    w.set_rate('S', 2);
    w.set_move(SOUTH, true, 2);
    w.stop_all_moves(3);
    EXPECT_NEAR(w.view(3).eta, 8 * SIDEREAL_RATE - 480 * SIDEREAL_RATE, 1e-6);
}

TEST(Mount, DecBacklashSwallowsTheReversal) {
    MountConfig m = still_mount();
    m.backlash_dec = 4;
    World w(m, {}, 1);
    const double g = 0.5 * SIDEREAL_RATE;
    w.set_rate('G', 0);
    w.set_move(NORTH, true, 0);
    w.set_move(NORTH, false, 2);
    EXPECT_NEAR(w.view(2).eta, 2 * g - 2, 1e-6); // half the play taken up first
    w.set_move(SOUTH, true, 3);
    EXPECT_NEAR(w.view(3.2).eta, 2 * g - 2, 1e-6); // 1.5 arcsec of motor travel: still in the gap
    w.set_move(SOUTH, false, 5);
    EXPECT_NEAR(w.view(5).eta, 2, 1e-6); // came back the travel less the whole play
    w.set_move(SOUTH, true, 6);          // same way again: no play
    w.set_move(SOUTH, false, 7);
    EXPECT_NEAR(w.view(7).eta, 2 - g, 1e-6);
}

TEST(Mount, RaBacklashShowsOnlyWhenTheAxisReverses) {
    MountConfig m = still_mount();
    m.backlash_ra = 10;
    World w(m, {}, 1);
    const double g = 0.5 * SIDEREAL_RATE;
    // Guide rate below sidereal: the axis only slows down, the gear stays pressed.
    w.set_rate('G', 0);
    w.set_move(EAST, true, 0);
    w.set_move(EAST, false, 1);
    EXPECT_NEAR(w.view(1).xi, g, 1e-6);
    // At the centre rate east the axis turns back: the play is crossed first.
    w.set_rate('C', 2);
    w.set_move(EAST, true, 2);
    w.set_move(EAST, false, 3);
    const double c = 8 * SIDEREAL_RATE;
    EXPECT_NEAR(w.view(3).xi - w.view(2).xi, c - 10, 1e-6);
}

TEST(Mount, GoToMovesToANewFieldAfterTheSlew) {
    MountConfig m = still_mount();
    m.latitude = 0;
    m.ra_hours = 6;
    m.lst_hours = 6;
    m.drift_ra = 1;
    World w(m, {}, 7);
    const int start_field = w.view(0).field;
    double alt = 0;
    EXPECT_FALSE(w.go_to(18, 0, 10, &alt)); // on the other side of the Earth
    EXPECT_LT(alt, 0);
    ASSERT_TRUE(w.go_to(7, 10, 10));
    EXPECT_TRUE(w.view(11).slewing);
    w.advance_to(100);
    const View v = w.view(100);
    EXPECT_FALSE(v.slewing);
    EXPECT_NE(v.field, start_field);
    EXPECT_NEAR(w.field(v.field).ra_hours, 7, 1e-12);
    // Arrived on target; drift starts over from there.
    double ra, dec;
    w.pointing(100, &ra, &dec);
    EXPECT_LT(std::abs(ra - 7) * 15 * 3600 * std::cos(10 * M_PI / 180), 100.0);
    EXPECT_NEAR(dec, 10, 0.01);
    // Back to the start: the same field (the same stars) again.
    ASSERT_TRUE(w.go_to(6, 0, 200));
    w.advance_to(300);
    EXPECT_EQ(w.view(300).field, start_field);
}

TEST(CameraAngle, RotatesTheSkyOnTheSensor) {
    SensorModel s;
    s.width = 1000, s.height = 800, s.scale = 2.0;
    View v;
    for (double angle : {0.0, 30.0, 90.0}) {
        s.angle_deg = angle;
        Renderer r(s);
        double x0, y0, x1, y1;
        r.project(v, 0, 0, &x0, &y0);
        r.project(v, 20, 0, &x1, &y1); // 20 arcsec east
        const double a = angle * M_PI / 180;
        EXPECT_NEAR(x1 - x0, -10 * std::cos(a), 1e-9) << angle;
        EXPECT_NEAR(y1 - y0, -10 * std::sin(a), 1e-9) << angle;
        double bx, by;
        r.unproject(v, x1, y1, &bx, &by);
        EXPECT_NEAR(bx, 20, 1e-9);
        EXPECT_NEAR(by, 0, 1e-9);
    }
    // North is up at angle 0.
    s.angle_deg = 0;
    Renderer r(s);
    double x, y;
    r.project(v, 0, 10, &x, &y);
    EXPECT_NEAR(y, 400 - 5, 1e-9);
}

TEST(AoUnit, StepsStopAtTheTravelAndShiftTheImage) {
    AoConfig ao;
    ao.travel = 100;
    ao.step_arcsec = 0.2;
    World w(still_mount(), ao, 1);
    w.ao_step(NORTH, 60, 1);
    w.ao_step(NORTH, 60, 2);
    EXPECT_EQ(w.ao_ns(2), 100);
    w.ao_step(WEST, 250, 3);
    EXPECT_EQ(w.ao_ew(3), -100);
    w.ao_step(EAST, 30, 4);
    EXPECT_EQ(w.ao_ew(4), -70);
    EXPECT_NEAR(w.view(4).ao_y, 100 * 0.2, 1e-9);
    EXPECT_NEAR(w.view(4).ao_x, 70 * 0.2, 1e-9);
    w.ao_centre(5);
    EXPECT_EQ(w.ao_ns(5), 0);
    EXPECT_EQ(w.ao_ew(5), 0);
    EXPECT_EQ(w.view(5).xi, 0); // the mount did not move
}

TEST(AoUnit, ParallelCodesMoveWhileHeld) {
    AoConfig ao;
    ao.parallel_rate = 1000;
    World w(still_mount(), ao, 1);
    w.ao_parallel(11, 1.0); // north
    w.ao_parallel(15, 1.040);
    EXPECT_NEAR(w.ao_ns(1.040), 40, 1e-6);
    w.ao_parallel(14, 2.0); // west, held far too long: stops at the end of travel
    w.ao_parallel(15, 3.0);
    EXPECT_EQ(w.ao_ew(3.0), -ao.travel);
    w.ao_parallel(13, 4.0); // south
    w.ao_parallel(15, 4.010);
    EXPECT_NEAR(w.ao_ns(4.010), 30, 1e-6);
    w.ao_parallel(7, 5.0);   // east
    w.ao_parallel(0, 5.005); // reset: centre and hold
    w.advance_to(6);
    EXPECT_EQ(w.ao_ns(6), 0);
    EXPECT_EQ(w.ao_ew(6), 0);
}

TEST(Focuser, MovesAtItsSpeedAndBlursAwayFromFocus) {
    World w(still_mount(), {}, 1);
    EXPECT_EQ(w.view(0).defocus, 0);
    w.focus(1, true, 1);
    w.focus(0, true, 2);
    EXPECT_NEAR(w.view(2).defocus, 200, 1e-6);
    w.focus(-1, false, 3);
    w.focus(0, false, 4);
    EXPECT_NEAR(w.view(4).defocus, 180, 1e-6);
}
