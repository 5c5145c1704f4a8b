#pragma once
#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

// The stars around a field centre, on the tangent plane in arcsec (x east,
// y north). The sky is cut into square tiles, each filled from its own seed,
// so the same place always shows the same stars whatever part is asked for.
namespace sim {

struct SkyConfig {
    double density = 0.4;   // stars per square arcminute
    double faintest = 25.0; // electrons a second on the main sensor
    double brightest = 3.0e5;
    double slope = 0.8;      // counts brighter than F fall as F^-slope
    double background = 2.0; // sky, electrons a second per square arcsecond
    double seeing = 2.5;     // FWHM, arcsec
};

struct Star {
    double x, y; // arcsec east / north of the field centre
    double flux; // electrons a second
};

class StarField {
  public:
    explicit StarField(const SkyConfig& cfg) : cfg_(cfg) {}
    static constexpr double TILE = 600.0; // arcsec

    // Appends the stars of the field whose seed is given that lie in the
    // rectangle [x0, x1] x [y0, y1].
    void stars_in(std::uint64_t field_seed, double x0, double y0, double x1, double y1,
                  std::vector<Star>& out);

  private:
    const std::vector<Star>& tile(std::uint64_t field_seed, long ix, long iy);

    SkyConfig cfg_;
    std::map<std::tuple<std::uint64_t, long, long>, std::vector<Star>> cache_;
};

} // namespace sim
