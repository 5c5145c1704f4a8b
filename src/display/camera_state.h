#pragma once
#include "display/geometry.h"

// The sensor of the camera model in use: the values the image geometry is
// derived from. The model table that sets them lives with the devices.
struct CameraModelState {
    short cam_type = 2;
    int cam_width1 = 1312;
    int cam_height1 = 1024;
    double cam_Pixwidth = 0.0104;
    double cam_Pixheight = 0.0104;
    int cam_divisor = 16;
    char cam_download_2x2[32] = " - takes 2-3 seconds";
    char cam_download_bin[32] = " - takes 1-2 seconds";
    char cam_download_full[32] = " - takes 4-5 seconds";
    char cam_BMPname_main[40] = "c:\\Autosave\\Nocteris.bmp";
    char cam_BMPname_focus[40] = "c:\\Autosave\\Nocterisf.bmp";
    char cam_BMPname_guide[40] = "c:\\Autosave\\Nocterisg.bmp";
};

extern CameraModelState cam;

void reset_camera_model_state();

// The cam_ values as the image store's sensor description.
SensorGeometry camera_sensor();
