#include "sim/psf.h"

#include <algorithm>
#include <cmath>

namespace sim {

double moffat_alpha(double fwhm) {
    return fwhm / (2.0 * std::sqrt(std::pow(2.0, 1.0 / MOFFAT_BETA) - 1.0));
}

double moffat_enclosed(double r, double alpha) {
    const double q = 1.0 + (r * r) / (alpha * alpha);
    return 1.0 - std::pow(q, 1.0 - MOFFAT_BETA);
}

double star_radius(double flux, double alpha) {
    // Outside radius r the wing holds flux * q^(1 - beta); cut where that is 0.5.
    double r = alpha * 2.0;
    if (flux > 0.5) {
        const double q = std::pow(flux / 0.5, 1.0 / (MOFFAT_BETA - 1.0));
        r = alpha * std::sqrt(std::max(q - 1.0, 0.0));
    }
    return std::clamp(r, 2.0 * alpha, std::min(12.0 * alpha, 80.0));
}

double add_star(float* acc, int w, int h, double cx, double cy, double flux, double alpha, int bx,
                int by) {
    if (flux <= 0 || alpha <= 0 || bx < 1 || by < 1) return 0;
    const double r = star_radius(flux, alpha);
    const double rx = r / bx, ry = r / by;
    const int i0 = static_cast<int>(std::floor(cx - rx)),
              i1 = static_cast<int>(std::floor(cx + rx));
    const int j0 = static_cast<int>(std::floor(cy - ry)),
              j1 = static_cast<int>(std::floor(cy + ry));
    if (i1 < 0 || j1 < 0 || i0 >= w || j0 >= h) return 0;
    const int sw = i1 - i0 + 1, sh = j1 - j0 + 1;

    // Sub-samples per output pixel: enough that a sharp star keeps its shape.
    const int per = alpha < 1.5 ? 4 : (alpha < 3 ? 3 : 2);
    const int nx = per * bx, ny = per * by;
    thread_local std::vector<float> stamp;
    stamp.assign(static_cast<std::size_t>(sw) * sh, 0.0f);
    const double inv_a2 = 1.0 / (alpha * alpha), r2 = r * r;
    double total = 0;
    for (int j = 0; j < sh; ++j) {
        for (int i = 0; i < sw; ++i) {
            double sum = 0;
            for (int sy = 0; sy < ny; ++sy) {
                // Offsets from the star in sensor pixels.
                const double dy = ((j0 + j) + (sy + 0.5) / ny - cy) * by;
                for (int sx = 0; sx < nx; ++sx) {
                    const double dx = ((i0 + i) + (sx + 0.5) / nx - cx) * bx;
                    const double d2 = dx * dx + dy * dy;
                    if (d2 > r2) continue;
                    const double inv = 1.0 / (1.0 + d2 * inv_a2);
                    const double inv2 = inv * inv;
                    sum += inv2 * inv2;
                }
            }
            stamp[static_cast<std::size_t>(j) * sw + i] = static_cast<float>(sum);
            total += sum;
        }
    }
    if (total <= 0) return 0;
    const double scale = flux * moffat_enclosed(r, alpha) / total;
    double landed = 0;
    for (int j = std::max(0, -j0); j < sh && j0 + j < h; ++j) {
        float* row = acc + static_cast<std::size_t>(j0 + j) * w;
        for (int i = std::max(0, -i0); i < sw && i0 + i < w; ++i) {
            const double v = stamp[static_cast<std::size_t>(j) * sw + i] * scale;
            row[i0 + i] += static_cast<float>(v);
            landed += v;
        }
    }
    return landed;
}

} // namespace sim
