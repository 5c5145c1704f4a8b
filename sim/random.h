#pragma once
#include <cstdint>

// Deterministic random numbers for the simulator: the same seed gives the same
// sky and the same noise, so tests can compare frames.
namespace sim {

// Mixes a value into a well-spread 64-bit hash (splitmix64's finaliser).
std::uint64_t mix(std::uint64_t x);
std::uint64_t hash_combine(std::uint64_t a, std::uint64_t b);

class Rng {
  public:
    explicit Rng(std::uint64_t seed = 1);
    std::uint64_t next();
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Standard normal (exact enough for physics: Box-Muller).
    double normal();
    // Poisson-distributed count with the given mean.
    int poisson(double mean);

  private:
    std::uint64_t s_[4];
    bool have_spare_ = false;
    double spare_ = 0;
};

// Cheap standard normal deviates for per-pixel noise: a table of quantiles
// indexed by random bits, fed by a xorshift generator.
class FastNormal {
  public:
    explicit FastNormal(std::uint64_t seed);
    float next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return table()[state_ >> 48];
    }

  private:
    static const float* table();
    std::uint64_t state_;
};

} // namespace sim
