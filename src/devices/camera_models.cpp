#include "devices/camera_models.h"

#include <cstring>

CameraModelState cam;

void reset_camera_model_state() {
    cam = CameraModelState{};
    // The start-up model's sensor goes with it.
    reset_sensor_state();
}

namespace {

constexpr CameraModel MODELS[] = {
    {1, 1312, 1024, 0.00645, 8, " - takes 1 second", " - takes < 1 second", " - takes 1-2 seconds"},
    {2, 1392, 1040, 0.00645, 8, " - takes 1 second", " - takes <1 seconds", " - takes 1-2 seconds"},
    {8, 2456, 2064, 0.00345, 16, " - takes 3-4 seconds", " - takes 2-3 seconds",
     " - takes 6-7 seconds"},
};

constexpr short FALLBACK_ROW = 2;

void copy_text(char (&dst)[32], const char* src) {
    std::strncpy(dst, src, sizeof dst - 1);
}

} // namespace

std::span<const CameraModel> camera_models() {
    return MODELS;
}

const CameraModel* camera_model(int code) {
    if (code == FALLBACK_MODEL) code = FALLBACK_ROW;
    for (const CameraModel& m : MODELS)
        if (m.code == code) return &m;
    return nullptr;
}

void set_camera_model_geometry() {
    const CameraModel* m = camera_model(cam.cam_type);
    if (!m) return; // codes 3-6 keep what the previous set-up left
    sensor.cam_width1 = m->width;
    sensor.cam_height1 = m->height;
    sensor.cam_Pixwidth = m->pixel_mm;
    sensor.cam_Pixheight = m->pixel_mm;
    sensor.cam_divisor = m->divisor;
    copy_text(cam.cam_download_2x2, m->download_2x2);
    copy_text(cam.cam_download_bin, m->download_bin);
    copy_text(cam.cam_download_full, m->download_full);
}
