#pragma once
#include "display/sensor_state.h"

#include <span>

// The camera model in use: its code and the download times the progress
// captions show. Its sensor goes to the image store (`sensor`).
struct CameraModelState {
    short cam_type = 2;
    char cam_download_2x2[32] = " - takes 2-3 seconds";
    char cam_download_bin[32] = " - takes 1-2 seconds";
    char cam_download_full[32] = " - takes 4-5 seconds";
};

extern CameraModelState cam;

// Back to the start-up model, its sensor included.
void reset_camera_model_state();

// The code an attached camera of the family gets when the model table does
// not know it; it is set up as model 2.
constexpr short FALLBACK_MODEL = 7;

// The camera model rows: what each model code selects. Codes 3 to 6 keep the
// values of the previous set-up (the initial ones in a fresh run).
void set_camera_model_geometry();

// One model's sensor and its download times as the camera dialog shows them.
struct CameraModel {
    short code;
    int width, height; // pixels
    double pixel_mm;   // square pixels
    int divisor;       // display chunking
    const char* download_2x2;
    const char* download_bin;
    const char* download_full;
};

// The models with a sensor of their own, in code order.
std::span<const CameraModel> camera_models();

// The row model `code` uses, or null for the codes that keep the previous
// set-up. Code 7 (an attached camera the table does not know) uses model 2's.
const CameraModel* camera_model(int code);
