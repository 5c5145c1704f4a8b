#include "display/sensor_state.h"

SensorState sensor;

void reset_sensor_state() {
    sensor = SensorState{};
}

SensorGeometry camera_sensor() {
    SensorGeometry s;
    s.width = sensor.cam_width1;
    s.height = sensor.cam_height1;
    s.pixwidth = sensor.cam_Pixwidth;
    s.pixheight = sensor.cam_Pixheight;
    s.divisor = sensor.cam_divisor;
    s.bmp_main = sensor.cam_BMPname_main;
    s.bmp_focus = sensor.cam_BMPname_focus;
    s.bmp_guide = sensor.cam_BMPname_guide;
    return s;
}
