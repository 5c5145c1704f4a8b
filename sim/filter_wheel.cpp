#include "sim/filter_wheel.h"

#include <algorithm>
#include <cstdlib>

namespace sim {

FilterWheel::FilterWheel(const WheelConfig& cfg) : cfg_(cfg) {
    cfg_.positions = std::clamp(cfg_.positions, 1, 127);
}

bool FilterWheel::move_to(int position, double t) {
    if (position < 1 || position > cfg_.positions) return false;
    const int now = FilterWheel::position(t);
    from_ = now ? now : target_;
    // The wheel turns one way only, slot by slot.
    const int slots = (position - from_ + cfg_.positions) % cfg_.positions;
    target_ = position;
    start_ = t;
    end_ = t + slots * cfg_.seconds_per_slot;
    return true;
}

int FilterWheel::position(double t) const {
    return t >= end_ ? target_ : 0;
}

double FilterWheel::transmission(double t) const {
    static const double pass[] = {1.0, 0.85, 0.7, 0.55, 0.4, 0.3, 0.2, 0.1};
    const int p = position(t);
    if (p == 0) return 0.5;
    return pass[(p - 1) % 8];
}

std::array<std::uint8_t, 3> FilterWheel::usb_report(const std::uint8_t in[3], double t) {
    if (in[1] & 0x80) move_to(in[1] & 0x7F, t);
    return {0, static_cast<std::uint8_t>(position(t)), static_cast<std::uint8_t>(cfg_.positions)};
}

int FilterWheel::box_position(const std::uint8_t cmd[4]) {
    if (cmd[0] != 0xA5 || cmd[1] != 0x01) return 0;
    if (static_cast<std::uint8_t>(cmd[0] + cmd[1] + cmd[2]) != cmd[3]) return 0;
    return cmd[2];
}

} // namespace sim
