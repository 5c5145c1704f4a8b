#pragma once
// Plain, slow versions of the filters, written straight from their
// definitions, to check the fast ones against. Also used by the benchmark.
#include "processing/enhance.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace reference {

using Pixels = std::vector<std::uint16_t>;

inline int clamp_result(int q) {
    if (q > 65280) return 65535;
    if (q < 0) return 0;
    return q;
}

inline void convolve(const Pixels& src, Pixels& dst, int w, int h, int top, int r, int kernel,
                     int divisor) {
    dst = src;
    const int k = 2 * r + 1;
    for (int y = top + r; y <= h - r - 1; ++y)
        for (int x = r; x <= w - r - 1; ++x) {
            int s = 0;
            for (int ky = 0; ky < k; ++ky)
                for (int kx = 0; kx < k; ++kx)
                    s += mask[kernel][ky * k + kx] * src[(y - r + ky) * w + (x - r + kx)];
            dst[y * w + x] = static_cast<std::uint16_t>(clamp_result(s / divisor));
        }
}

inline void unsharp(const Pixels& src, Pixels& dst, int w, int h, int top, int r, int power) {
    dst = src;
    const int k = 2 * r + 1;
    if (w < k) return;
    for (int y = top + r; y <= h - r - 1; ++y) {
        long s = 0;
        for (int yy = y - r; yy <= y + r; ++yy)
            for (int xx = 0; xx < k; ++xx) s += src[yy * w + xx];
        for (int x = r; x < w - 1 - r; ++x) {
            const int v = src[y * w + x];
            const int mean = static_cast<int>(s / (k * k));
            dst[y * w + x] = static_cast<std::uint16_t>(clamp_result(v + (v - mean) * power));
            for (int yy = y - r; yy <= y + r; ++yy)
                s += src[yy * w + x + r + 1] - src[yy * w + x - r];
        }
    }
}

// The conditional median by partial selection: N / 2 + 1 times take the
// largest remaining value and remove it.
inline void median(const Pixels& src, Pixels& dst, int w, int h, int top, int r, int power) {
    dst = src;
    const int k = 2 * r + 1, n = k * k;
    const double t = power * 0.1;
    std::vector<int> win(static_cast<std::size_t>(n));
    for (int y = top + r; y <= h - r - 1; ++y)
        for (int x = r; x <= w - r - 1; ++x) {
            int minimum = 65000;
            for (int ky = 0; ky < k; ++ky)
                for (int kx = 0; kx < k; ++kx) {
                    const int v = src[(y - r + ky) * w + (x - r + kx)];
                    win[static_cast<std::size_t>(ky * k + kx)] = v;
                    if (v < minimum) minimum = v;
                }
            int remaining = n, maximum = 0, med = 0;
            for (int step = 0; step < n / 2 + 1; ++step) {
                int at = 0;
                for (int i = 1; i < remaining; ++i)
                    if (win[static_cast<std::size_t>(i)] >= win[static_cast<std::size_t>(at)])
                        at = i;
                med = win[static_cast<std::size_t>(at)];
                if (step == 0) maximum = med;
                win[static_cast<std::size_t>(at)] = win[static_cast<std::size_t>(--remaining)];
            }
            const int v = src[y * w + x];
            if (static_cast<int>((maximum - minimum) * t) < std::abs(med - v))
                dst[y * w + x] = static_cast<std::uint16_t>(med);
        }
}

} // namespace reference
