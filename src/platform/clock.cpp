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

void install_virtual_clock(VirtualClock* clock) {
    g_virtual = clock;
}
VirtualClock* virtual_clock() {
    return g_virtual;
}

} // namespace platform
