#include "processing/stretch_controls.h"

#include "display/image_store.h"
#include "processing/processing_state.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int BLACK_MAX = 255;
constexpr int WHITE_MAX = 300;
constexpr int POWER_MIN = 1; // tenths
constexpr int POWER_MAX = 30;
constexpr int NONLINEAR_MIN = 2;
constexpr int NONLINEAR_MAX = 50;
constexpr int NONLINEAR_DEFAULT = 25;
constexpr double MAX_STRETCH_MIN = 2.0;
constexpr double MAX_STRETCH_MAX = 50.0;

bool set(unsigned& v, int to) {
    if (static_cast<int>(v) == to) return false;
    v = static_cast<unsigned>(to);
    return true;
}

} // namespace

bool scroll_black(ScrollAction a, int pos) {
    // Signed copies: the rules compare against white - 10, which must not wrap.
    const int b = static_cast<int>(proc.black);
    const int w = static_cast<int>(proc.white);
    switch (a) {
    case ScrollAction::LineLeft:
        return b > 0 && set(proc.black, b - 1);
    case ScrollAction::LineRight:
        return b < BLACK_MAX && b < w - 1 && set(proc.black, b + 1);
    case ScrollAction::PageLeft:
        return b > 9 && set(proc.black, b - 10);
    case ScrollAction::PageRight:
        return b < BLACK_MAX - 9 && b < w - 10 && set(proc.black, b + 10);
    case ScrollAction::Thumb:
        return pos >= 0 && pos <= BLACK_MAX && pos < w && set(proc.black, pos);
    case ScrollAction::Other:
        break;
    }
    return false;
}

bool scroll_white(ScrollAction a, int pos) {
    const int b = static_cast<int>(proc.black);
    const int w = static_cast<int>(proc.white);
    switch (a) {
    case ScrollAction::LineLeft:
        return w > 0 && b + 1 < w && set(proc.white, w - 1);
    case ScrollAction::LineRight:
        return w < WHITE_MAX && set(proc.white, w + 1);
    case ScrollAction::PageLeft:
        return w > 9 && b + 10 < w && set(proc.white, w - 10);
    case ScrollAction::PageRight:
        return w < WHITE_MAX - 9 && set(proc.white, w + 10);
    case ScrollAction::Thumb:
        return pos > b && pos <= WHITE_MAX && set(proc.white, pos);
    case ScrollAction::Other:
        break;
    }
    return false;
}

int power_position() {
    return static_cast<int>(std::lround(proc.power_str * 10.0));
}

bool scroll_power(ScrollAction a) {
    // Counted in whole tenths: adding 0.1 repeatedly drifts, and a drifted
    // "1.0" would no longer be recognised as the identity.
    int tenths = std::clamp(power_position(), POWER_MIN, POWER_MAX);
    if (a == ScrollAction::LineLeft && tenths > POWER_MIN)
        --tenths;
    else if (a == ScrollAction::LineRight && tenths < POWER_MAX)
        ++tenths;
    else
        return false;
    proc.power_str = tenths / 10.0;
    return true;
}

bool scroll_nonlinear(ScrollAction a) {
    const int w = static_cast<int>(proc.white);
    if (a == ScrollAction::LineLeft && w > NONLINEAR_MIN) return set(proc.white, w - 1);
    if (a == ScrollAction::LineRight && w < NONLINEAR_MAX) return set(proc.white, w + 1);
    return false;
}

bool accept_nonlinear(const char* text) {
    long v = 0;
    bool ok = false;
    if (text) {
        while (*text == ' ') ++text;
        char* end = nullptr;
        errno = 0;
        v = std::strtol(text, &end, 10);
        while (end && *end == ' ') ++end;
        ok = end != text && end && *end == '\0' && errno == 0 && v >= 1 && v <= NONLINEAR_MAX;
    }
    proc.white = ok ? static_cast<unsigned>(v) : NONLINEAR_DEFAULT;
    return ok;
}

bool scroll_max_stretch(ScrollAction a, int pos) {
    double& m = disp.max_stretch_mult;
    const double old = m;
    switch (a) {
    case ScrollAction::LineLeft:
        if (m > MAX_STRETCH_MIN) m -= 1.0;
        break;
    case ScrollAction::LineRight:
        if (m < MAX_STRETCH_MAX) m += 1.0;
        break;
    case ScrollAction::PageLeft:
        m = MAX_STRETCH_MIN;
        break;
    case ScrollAction::PageRight:
        m = MAX_STRETCH_MAX;
        break;
    case ScrollAction::Thumb:
        m = std::clamp(static_cast<double>(pos), MAX_STRETCH_MIN, MAX_STRETCH_MAX);
        break;
    case ScrollAction::Other:
        break;
    }
    return m != old;
}
