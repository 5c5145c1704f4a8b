#pragma once
#include "display/geometry.h"

// The sensor of the camera model in use: the values the image geometry is
// derived from. The devices' model table sets them at each camera set-up.
struct SensorState {
    int cam_width1 = 1312;
    int cam_height1 = 1024;
    double cam_Pixwidth = 0.0104;
    double cam_Pixheight = 0.0104;
    int cam_divisor = 16;
    char cam_BMPname_main[40] = "c:\\Autosave\\Nocteris.bmp";
    char cam_BMPname_focus[40] = "c:\\Autosave\\Nocterisf.bmp";
    char cam_BMPname_guide[40] = "c:\\Autosave\\Nocterisg.bmp";
};

extern SensorState sensor;

void reset_sensor_state();

// The cam_ values as the image store's sensor description.
SensorGeometry camera_sensor();
