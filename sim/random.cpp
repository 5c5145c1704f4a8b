#include "sim/random.h"

#include <cmath>
#include <vector>

namespace sim {

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::uint64_t hash_combine(std::uint64_t a, std::uint64_t b) {
    return mix(a ^ mix(b + 0x632BE59BD9B4E019ull));
}

Rng::Rng(std::uint64_t seed) {
    std::uint64_t x = seed;
    for (auto& s : s_) {
        x = mix(x);
        s = x;
    }
}

static std::uint64_t rotl(std::uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

std::uint64_t Rng::next() {
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
}

double Rng::normal() {
    if (have_spare_) {
        have_spare_ = false;
        return spare_;
    }
    double u1 = uniform();
    while (u1 <= 0) u1 = uniform();
    const double u2 = uniform();
    const double r = std::sqrt(-2.0 * std::log(u1));
    spare_ = r * std::sin(2 * M_PI * u2);
    have_spare_ = true;
    return r * std::cos(2 * M_PI * u2);
}

int Rng::poisson(double mean) {
    if (mean <= 0) return 0;
    if (mean > 50) {
        const double v = std::round(mean + std::sqrt(mean) * normal());
        return v < 0 ? 0 : static_cast<int>(v);
    }
    const double limit = std::exp(-mean);
    int k = 0;
    double p = uniform();
    while (p > limit) {
        ++k;
        p *= uniform();
    }
    return k;
}

namespace {

// Inverse of the standard normal distribution (Acklam's rational
// approximation, relative error below 1.2e-9).
double inverse_normal(double p) {
    static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,
                               -2.759285104469687e+02, 1.383577518672690e+02,
                               -3.066479806614716e+01, 2.506628277459239e+00};
    static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02,
                               -1.556989798598866e+02, 6.680131188771972e+01,
                               -1.328068155288572e+01};
    static const double c[] = {-7.784894002430293e-03, -3.223964580411365e-01,
                               -2.400758277161838e+00, -2.549732539343734e+00,
                               4.374664141464968e+00,  2.938163982698783e+00};
    static const double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                               3.754408661907416e+00};
    const double plow = 0.02425;
    if (p < plow) {
        const double q = std::sqrt(-2 * std::log(p));
        return (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
               ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    }
    if (p > 1 - plow) return -inverse_normal(1 - p);
    const double q = p - 0.5, r = q * q;
    return (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
           (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
}

} // namespace

FastNormal::FastNormal(std::uint64_t seed) : state_(mix(seed) | 1) {}

const float* FastNormal::table() {
    static const std::vector<float> t = [] {
        std::vector<float> v(65536);
        for (int i = 0; i < 65536; ++i)
            v[i] = static_cast<float>(inverse_normal((i + 0.5) / 65536.0));
        return v;
    }();
    return t.data();
}

} // namespace sim
