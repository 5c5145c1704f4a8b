#include "sim/sky.h"

#include "sim/random.h"

#include <cmath>

namespace sim {

const std::vector<Star>& StarField::tile(std::uint64_t field_seed, long ix, long iy) {
    const auto key = std::make_tuple(field_seed, ix, iy);
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
    if (cache_.size() > 4096) cache_.clear();

    Rng rng(hash_combine(hash_combine(field_seed, static_cast<std::uint64_t>(ix)),
                         static_cast<std::uint64_t>(iy)));
    std::vector<Star> stars;
    const double mean = cfg_.density * (TILE / 60.0) * (TILE / 60.0);
    const int n = rng.poisson(mean);
    stars.reserve(n);
    // Fluxes from a power law between the faintest and the brightest star.
    const double lo = cfg_.faintest, hi = std::max(cfg_.brightest, cfg_.faintest);
    const double umin = std::pow(hi / lo, -cfg_.slope);
    for (int i = 0; i < n; ++i) {
        const double x = (ix + rng.uniform()) * TILE;
        const double y = (iy + rng.uniform()) * TILE;
        const double u = umin + (1.0 - umin) * rng.uniform();
        const double flux = cfg_.slope > 0 ? lo * std::pow(u, -1.0 / cfg_.slope) : lo;
        stars.push_back({x, y, flux});
    }
    return cache_.emplace(key, std::move(stars)).first->second;
}

void StarField::stars_in(std::uint64_t field_seed, double x0, double y0, double x1, double y1,
                         std::vector<Star>& out) {
    if (cfg_.density <= 0) return;
    const long tx0 = static_cast<long>(std::floor(x0 / TILE)),
               tx1 = static_cast<long>(std::floor(x1 / TILE));
    const long ty0 = static_cast<long>(std::floor(y0 / TILE)),
               ty1 = static_cast<long>(std::floor(y1 / TILE));
    // A frame covers a handful of tiles; a silly rectangle must not hang us.
    if ((tx1 - tx0 + 1) * (ty1 - ty0 + 1) > 2500) return;
    for (long ty = ty0; ty <= ty1; ++ty)
        for (long tx = tx0; tx <= tx1; ++tx)
            for (const Star& s : tile(field_seed, tx, ty))
                if (s.x >= x0 && s.x <= x1 && s.y >= y0 && s.y <= y1) out.push_back(s);
}

} // namespace sim
