#include "devices/camera_models.h"

#include <cstring>

CameraModelState cam;

void reset_camera_model_state() {
    cam = CameraModelState{};
    // The start-up model's sensor goes with it.
    reset_sensor_state();
}

namespace {

void set_texts(const char* t2x2, const char* tbin, const char* tfull) {
    std::strncpy(cam.cam_download_2x2, t2x2, sizeof cam.cam_download_2x2 - 1);
    std::strncpy(cam.cam_download_bin, tbin, sizeof cam.cam_download_bin - 1);
    std::strncpy(cam.cam_download_full, tfull, sizeof cam.cam_download_full - 1);
}

void set_sensor(int w, int h, double pix, int divisor) {
    sensor.cam_width1 = w;
    sensor.cam_height1 = h;
    sensor.cam_Pixwidth = pix;
    sensor.cam_Pixheight = pix;
    sensor.cam_divisor = divisor;
}

} // namespace

void set_camera_model_geometry() {
    switch (cam.cam_type) {
    case 1:
        set_sensor(1312, 1024, 0.00645, 8);
        set_texts(" - takes 1 second", " - takes < 1 second", " - takes 1-2 seconds");
        break;
    case 2:
    case 7:
        set_sensor(1392, 1040, 0.00645, 8);
        set_texts(" - takes 1 second", " - takes <1 seconds", " - takes 1-2 seconds");
        break;
    case 8:
        set_sensor(2456, 2064, 0.00345, 16);
        set_texts(" - takes 3-4 seconds", " - takes 2-3 seconds", " - takes 6-7 seconds");
        break;
    default:
        break; // codes 3-6 keep what the previous set-up left
    }
}
