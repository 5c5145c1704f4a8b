#include "devices/camera_models.h"
#include "support/test_env.h"

#include <string>

namespace {

class ModelTest : public NocterisTest {};

struct Sensor {
    int width, height;
    double pixel;
    int divisor;
    std::string t2x2, tbin, tfull;
};

void expect_sensor(const Sensor& want) {
    EXPECT_EQ(sensor.cam_width1, want.width);
    EXPECT_EQ(sensor.cam_height1, want.height);
    EXPECT_DOUBLE_EQ(sensor.cam_Pixwidth, want.pixel);
    EXPECT_DOUBLE_EQ(sensor.cam_Pixheight, want.pixel);
    EXPECT_EQ(sensor.cam_divisor, want.divisor);
    EXPECT_EQ(std::string(cam.cam_download_2x2), want.t2x2);
    EXPECT_EQ(std::string(cam.cam_download_bin), want.tbin);
    EXPECT_EQ(std::string(cam.cam_download_full), want.tfull);
}

const Sensor model1{
    1312, 1024, 0.00645, 8, " - takes 1 second", " - takes < 1 second", " - takes 1-2 seconds"};
const Sensor model2{
    1392, 1040, 0.00645, 8, " - takes 1 second", " - takes <1 seconds", " - takes 1-2 seconds"};
const Sensor model8{2456,
                    2064,
                    0.00345,
                    16,
                    " - takes 3-4 seconds",
                    " - takes 2-3 seconds",
                    " - takes 6-7 seconds"};
const Sensor fresh{
    1312, 1024, 0.0104, 16, " - takes 2-3 seconds", " - takes 1-2 seconds", " - takes 4-5 seconds"};

TEST_F(ModelTest, EachModelSelectsItsSensor) {
    const std::pair<short, const Sensor*> rows[] = {
        {1, &model1}, {2, &model2}, {7, &model2}, {8, &model8}};
    for (auto [model, sensor] : rows) {
        SCOPED_TRACE(model);
        reset_camera_model_state();
        cam.cam_type = model;
        set_camera_model_geometry();
        expect_sensor(*sensor);
    }
}

TEST_F(ModelTest, Models3To6AndUnknownCodesKeepThePreviousSetUp) {
    for (short model : {3, 4, 5, 6, 0, 9}) {
        SCOPED_TRACE(model);
        reset_camera_model_state();
        cam.cam_type = model;
        set_camera_model_geometry();
        expect_sensor(fresh);

        cam.cam_type = 8;
        set_camera_model_geometry();
        cam.cam_type = model;
        set_camera_model_geometry();
        expect_sensor(model8);
    }
}

} // namespace
