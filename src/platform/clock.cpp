#include "platform/clock.h"

#include "platform/ui.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace platform {

namespace {
VirtualClock* g_virtual = nullptr;
}

std::uint32_t now_ms() {
    if (g_virtual) return g_virtual->read();
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

void sleep_ms(std::uint32_t ms) {
    if (g_virtual) {
        g_virtual->advance(ms);
        while_waiting();
        return;
    }
    // In slices, so that a long wait keeps the window painted.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) break;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            end - now, std::chrono::milliseconds(WAIT_SERVICE_MS)));
        while_waiting();
    }
}

namespace {

std::int64_t steady_ns() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

// The stretch before the end waited without servicing, and the part of it
// spun rather than slept (a sleep may overrun by a scheduler tick).
constexpr std::int64_t QUIET_NS = 25'000'000;
constexpr std::int64_t SPIN_NS = 2'000'000;

} // namespace

Interval::Interval(std::uint32_t ms) : ms_(ms) {
    if (g_virtual)
        start_ms_ = g_virtual->peek();
    else
        end_ns_ = steady_ns() + static_cast<std::int64_t>(ms) * 1'000'000;
}

std::uint32_t Interval::left_ms() const {
    if (g_virtual) {
        const auto gone = static_cast<std::int32_t>(g_virtual->peek() - start_ms_);
        return gone >= static_cast<std::int32_t>(ms_) ? 0 : ms_ - static_cast<std::uint32_t>(gone);
    }
    const std::int64_t left = end_ns_ - steady_ns();
    return left > 0 ? static_cast<std::uint32_t>((left + 999'999) / 1'000'000) : 0;
}

void Interval::wait() const {
    if (g_virtual) {
        sleep_ms(left_ms());
        return;
    }
    for (;;) {
        const std::int64_t left = end_ns_ - steady_ns();
        if (left <= 0) return;
        if (left > QUIET_NS) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(
                std::min<std::int64_t>(left - QUIET_NS, WAIT_SERVICE_MS * 1'000'000LL)));
            while_waiting();
        } else if (left > SPIN_NS) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(left - SPIN_NS));
        }
        // else spin
    }
}

void install_virtual_clock(VirtualClock* clock) {
    g_virtual = clock;
}
VirtualClock* virtual_clock() {
    return g_virtual;
}

} // namespace platform
