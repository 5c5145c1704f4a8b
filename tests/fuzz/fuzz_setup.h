#pragma once
#include "display/geometry.h"
#include "display/image_store.h"
#include "display/sensor_state.h"

// A small camera keeps each run cheap: a whole FITS file of it is two header
// records and one data record.
constexpr int FUZZ_WIDTH = 24;
constexpr int FUZZ_HEIGHT = 10;

inline void fuzz_camera() {
    bind_buffers();
    sensor.cam_width1 = FUZZ_WIDTH;
    sensor.cam_height1 = FUZZ_HEIGHT;
    sensor.cam_divisor = 2;
    nocteris_binned();
}
