#pragma once
#include "display/geometry.h"
#include "display/image_store.h"
#include "display/sensor_state.h"

#include <cstddef>
#include <cstring>

// A small camera keeps each run cheap: a whole FITS file of it is two header
// records and one data record.
constexpr int FUZZ_WIDTH = 24;
constexpr int FUZZ_HEIGHT = 16;

inline void fuzz_camera() {
    bind_buffers();
    sensor.cam_width1 = FUZZ_WIDTH;
    sensor.cam_height1 = FUZZ_HEIGHT;
    sensor.cam_divisor = 2;
    nocteris_binned();
}

// A broken promise is a crash the fuzzer keeps.
inline void check(bool ok) {
    if (!ok) __builtin_trap();
}

// A text read from a file stays terminated inside its array.
template <std::size_t N> void check_text(const char (&field)[N]) {
    check(strnlen(field, N) < N);
}
