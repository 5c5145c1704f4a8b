#include "platform/clock.h"

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
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void install_virtual_clock(VirtualClock* clock) {
    g_virtual = clock;
}
VirtualClock* virtual_clock() {
    return g_virtual;
}

} // namespace platform
