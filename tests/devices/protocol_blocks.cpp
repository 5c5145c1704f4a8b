#include "devices/camera_models.h"
#include "devices/camera_protocol.h"
#include "protocol_fake_camera.h"
#include "support/test_env.h"

#include <cstring>

namespace {

class ProtocolTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        cam_log = attach_fake_camera();
    }
    void TearDown() override {
        attach_camera(nullptr);
        NocterisTest::TearDown();
    }

    std::shared_ptr<FakeCameraLog> cam_log;
};

const std::string clearvert = bytes({0x40, 1, 8, 0, 0, 0, 0, 0});
const std::string echo = bytes({0x40, 0, 0, 0, 0, 0, 1, 0, 0});

TEST_F(ProtocolTest, CommandBlocksRepliesAndZeroing) {
    struct Case {
        const char* name;
        void (*send)();
        std::string block;
        std::size_t reply;
        int zeroed; // the head of the block cleared before filling it
    };
    const Case cases[] = {
        {"echo", EchoCCD, echo, 1, 24},
        {"clearvert", QV_clearvert, clearvert, 0, 8},
        {"wiper", QV_wiper, bytes({0x40, 1, 0, 0, 0, 0, 0, 0}), 0, 8},
        {"open shutter", QV_openshutter, bytes({0x40, 32, 0, 0x40, 0, 0, 0, 0}), 2, 8},
        {"close shutter", QV_closeshutter, bytes({0x40, 32, 0, 0x80, 0, 0, 0, 0}), 2, 8},
        {"firmware", GetCameraFirmwareVersion, bytes({0x40, 255, 0, 0, 0, 0, 0, 0}), 4, 24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cam_log->writes.clear();
        cam_log->bytes_read = 0;
        std::memset(camdata, 0xEE, sizeof camdata);
        c.send();
        ASSERT_EQ(cam_log->writes.size(), 1u);
        EXPECT_EQ(cam_log->block(0), c.block);
        EXPECT_EQ(cam_log->bytes_read, c.reply);
        for (int i = static_cast<int>(c.block.size()); i < CAMDATA_BYTES; ++i)
            EXPECT_EQ(camdata[i], i < c.zeroed ? 0 : 0xEE) << "byte " << i;
    }
}

TEST_F(ProtocolTest, FirmwareVersionDecidesCoolerControl) {
    struct Case {
        short model;
        std::string reply;
        unsigned minor, major;
        int temp_control;
    };
    const Case cases[] = {
        {2, bytes({11, 0, 3, 0}), 11, 3, 1},
        {2, bytes({10, 0, 3, 0}), 10, 3, 0},
        {2, bytes({0x2C, 0x01, 0x02, 0x01}), 300, 258, 1},
        {1, bytes({20, 0, 3, 0}), 20, 3, 0}, // model 1 never has it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.minor);
        reset_protocol_state();
        cam.cam_type = c.model;
        cam_log->reply(c.reply);
        GetCameraFirmwareVersion();
        EXPECT_EQ(proto.minor_version, c.minor);
        EXPECT_EQ(proto.major_version, c.major);
        EXPECT_EQ(proto.temp_control, c.temp_control);
    }
}

TEST_F(ProtocolTest, CameraTimesFocusFramesToOneSecondAndFullFramesTo100) {
    struct Case {
        bool focus;
        std::uint32_t exposure;
        int command;
    };
    for (const Case& c : {Case{true, 1000, 2}, Case{true, 1001, 3}, Case{false, 100000, 2},
                          Case{false, 100001, 3}}) {
        SCOPED_TRACE(c.exposure);
        cam_log->writes.clear();
        std::memset(camdata, 0xEE, sizeof camdata);
        const int reply = c.focus ? build_focus_block(300, 200, false, c.exposure)
                                  : build_full_frame_block(c.exposure, false);
        SendBlock();
        const std::string b = cam_log->block(0);
        ASSERT_EQ(b.size(), c.command == 2 ? 22u : 18u);
        EXPECT_EQ(b[1], c.command);
        EXPECT_EQ(b[6], c.command == 2 ? 14 : 10);
        if (c.focus) {
            EXPECT_EQ(b.substr(8, 10), bytes({44, 1, 200, 0, 128, 0, 128, 0, 1, 1}));
            EXPECT_EQ(reply, 32768);
        }
        std::uint32_t exposure = 0;
        std::memcpy(&exposure, camdata + 18, 4); // the exposure field, or the zeroed bytes
        EXPECT_EQ(exposure, c.command == 2 ? c.exposure : 0u);
        // The transport must wait out the exposure the camera times.
        EXPECT_EQ(usbt.read_wait_ms, c.command == 2 ? c.exposure : 0u);
    }
}

TEST_F(ProtocolTest, Model2FullFrameBlockAndReply) {
    cam.cam_type = 2;
    set_camera_model_geometry();
    const int reply = build_full_frame_block(500, false);
    SendBlock();
    usbt.ByteCount = reply;
    ReceiveBlock();
    EXPECT_EQ(cam_log->block(0), bytes({0x40, 2,    3,    0,    0,    0, 14, 0,    0,    0, 0,
                                        0,    0x70, 0x05, 0x10, 0x04, 1, 1,  0xF4, 0x01, 0, 0}));
    EXPECT_EQ(reply, 1392 * 1040 * 2);
    EXPECT_EQ(cam_log->bytes_read, 2895360u);
}

TEST_F(ProtocolTest, ReadoutVariants) {
    // A model-4 dark frame keeps the shutter shut only when the camera times it.
    cam.cam_type = 4;
    build_full_frame_block(100000, true);
    EXPECT_EQ(camdata[3], 0x80);
    build_full_frame_block(100001, true);
    EXPECT_EQ(camdata[3], 0);
    cam.cam_type = 2;
    build_full_frame_block(500, true);
    EXPECT_EQ(camdata[3], 0);

    // The binned focus frame's corner is clamped at column 0.
    EXPECT_EQ(build_focus_block(40, 100, true, 2000), 32768);
    EXPECT_EQ(std::string(camdata + 8, camdata + 18), bytes({0, 0, 36, 0, 0, 1, 0, 1, 2, 2}));

    // The autoguider head (CCD 1) answers one byte a pixel.
    EXPECT_EQ(build_guider_clear_block(), 500);
    EXPECT_EQ(camdata[4], 1);
    EXPECT_EQ(build_guider_read_block(376, true), 188 * 145);

    // No window, however odd, asks for more than the reply buffer holds.
    EXPECT_EQ(build_readout_block({0, 0, 0, 60000, 60000, 1, 1}, false, 0), REPORT_BUFFER_BYTES);
    EXPECT_EQ(build_readout_block({0, 0, 0, 100, 100, 0, 0}, false, 0), 20000);
    EXPECT_EQ(build_readout_block({0, 0, 0, -5, 100, 1, 1}, false, 0), 0);
}

TEST_F(ProtocolTest, DeepFlushEmptiesTheSensorTwice) {
    cam.cam_type = 8;
    set_camera_model_geometry();
    QV_deep_flush();
    const std::string flush =
        bytes({0x40, 3, 3, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0x98, 0x09, 0x10, 0x08, 4, 4});
    ASSERT_EQ(cam_log->writes.size(), 6u);
    EXPECT_EQ(cam_log->block(0), clearvert);
    EXPECT_EQ(cam_log->block(1), bytes({0x40, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(cam_log->block(2), echo);
    EXPECT_EQ(cam_log->block(3), flush);
    EXPECT_EQ(cam_log->block(4), echo);
    EXPECT_EQ(cam_log->block(5), flush);
    EXPECT_EQ(cam_log->bytes_read, 2u + 2u * (2456u * 2064u / 8u));
}

TEST_F(ProtocolTest, ExposureUnits) {
    const std::pair<char, std::uint32_t> units[] = {{'q', 7},    {'h', 70},     {'t', 700},
                                                    {'s', 7000}, {'m', 420000}, {'x', 7000}};
    for (auto [range, ms] : units) EXPECT_EQ(exposure_from_range(range, 7), ms) << range;
    EXPECT_EQ(exposure_from_range('m', -1), 0u);
    EXPECT_EQ(exposure_from_range('m', 2000000000), 2147483647u);
}

} // namespace
