#pragma once
#include <vector>

// Star images: a Moffat profile (beta 4, close to what seeing gives) rendered
// into pixels with its flux conserved. The profile is cut where its wing
// carries less than half an electron a second; the flux inside the cut is
// exactly what the pixels receive.
namespace sim {

constexpr double MOFFAT_BETA = 4.0;

// Moffat alpha (sensor pixels) for a full width at half maximum.
double moffat_alpha(double fwhm);
// Fraction of a star's flux within radius r.
double moffat_enclosed(double r, double alpha);
// Radius (sensor pixels) at which a star of this flux is cut.
double star_radius(double flux, double alpha);

// Adds a star to acc (w x h output pixels, row-major). (cx, cy) is the star's
// position in output pixel units (0 = the left edge of the first pixel);
// each output pixel spans bx x by sensor pixels; alpha is in sensor pixels.
// Returns the flux that landed inside the frame.
double add_star(float* acc, int w, int h, double cx, double cy, double flux, double alpha, int bx,
                int by);

} // namespace sim
