#pragma once
#include "display/camera_state.h"
#include "display/geometry.h"
#include "display/image_store.h"

// A small camera keeps each run cheap: a whole FITS file of it is two header
// records and one data record.
constexpr int FUZZ_WIDTH = 24;
constexpr int FUZZ_HEIGHT = 10;

inline void fuzz_camera() {
    bind_buffers();
    cam.cam_width1 = FUZZ_WIDTH;
    cam.cam_height1 = FUZZ_HEIGHT;
    cam.cam_divisor = 2;
    nocteris_binned();
}
