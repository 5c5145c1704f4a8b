#pragma once
// Helpers for the simulator tests: command blocks built from the command
// tables, and simple frame statistics.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

inline Bytes block(unsigned command, unsigned value = 0, unsigned index = 0, unsigned length = 0,
                   const Bytes& payload = {}, std::uint8_t type = 0x40) {
    Bytes b{type, static_cast<std::uint8_t>(command)};
    put16(b, value);
    put16(b, index);
    put16(b, length);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

// Readout blocks: command 2 (camera-timed, with the exposure) or 3 (now).
inline Bytes readout(int command, int x, int y, int w, int h, int bx = 1, int by = 1,
                     std::uint32_t exposure_ms = 0, unsigned value = 3, unsigned ccd = 0) {
    Bytes p;
    put16(p, x);
    put16(p, y);
    put16(p, w);
    put16(p, h);
    p.push_back(static_cast<std::uint8_t>(bx));
    p.push_back(static_cast<std::uint8_t>(by));
    if (command == 2) {
        put16(p, exposure_ms & 0xFFFF);
        put16(p, exposure_ms >> 16);
    }
    return block(command, value, ccd, static_cast<unsigned>(p.size()), p);
}

inline Bytes serial_write(unsigned port, const std::string& text) {
    return block(10, 0, port, static_cast<unsigned>(text.size()), Bytes(text.begin(), text.end()));
}

inline Bytes serial_read(unsigned port, unsigned count) {
    return block(11, 0, port, count);
}

// 16-bit little-endian pixels.
inline std::vector<std::uint16_t> pixels16(const Bytes& b) {
    std::vector<std::uint16_t> p(b.size() / 2);
    for (std::size_t i = 0; i < p.size(); ++i)
        p[i] = static_cast<std::uint16_t>(b[2 * i] | (b[2 * i + 1] << 8));
    return p;
}

template <class T> double median(std::vector<T> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

struct Peak {
    int x, y;
    double value; // above the background
};

// Local maxima standing well above the background: the stars of a frame.
// Hot pixels (a single bright pixel with dark neighbours) are left out.
template <class T>
std::vector<Peak> find_stars(const std::vector<T>& px, int w, int h, double sigmas = 8) {
    std::vector<T> sample;
    for (std::size_t i = 0; i < px.size(); i += 7) sample.push_back(px[i]);
    const double bg = median(sample);
    std::vector<double> dev;
    for (auto v : sample) dev.push_back(std::abs(v - bg));
    const double sd = std::max(1.0, 1.4826 * median(dev));
    std::vector<Peak> peaks;
    for (int y = 2; y < h - 2; ++y)
        for (int x = 2; x < w - 2; ++x) {
            const double v = px[static_cast<std::size_t>(y) * w + x];
            if (v < bg + sigmas * sd) continue;
            bool top = true;
            int bright_neighbours = 0;
            for (int dy = -1; dy <= 1 && top; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    if (!dx && !dy) continue;
                    const double n = px[static_cast<std::size_t>(y + dy) * w + x + dx];
                    if (n > v || (n == v && (dy < 0 || (dy == 0 && dx < 0)))) top = false;
                    if (n > bg + 3 * sd) ++bright_neighbours;
                }
            if (top && bright_neighbours >= 3) peaks.push_back({x, y, v - bg});
        }
    return peaks;
}

} // namespace simtest
