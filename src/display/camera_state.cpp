#include "display/camera_state.h"

CameraModelState cam;

void reset_camera_model_state() {
    cam = CameraModelState{};
}

SensorGeometry camera_sensor() {
    SensorGeometry s;
    s.width = cam.cam_width1;
    s.height = cam.cam_height1;
    s.pixwidth = cam.cam_Pixwidth;
    s.pixheight = cam.cam_Pixheight;
    s.divisor = cam.cam_divisor;
    s.bmp_main = cam.cam_BMPname_main;
    s.bmp_focus = cam.cam_BMPname_focus;
    s.bmp_guide = cam.cam_BMPname_guide;
    return s;
}
