#include "devices/serial_link.h"
#include "platform/host_path.h"
#include "protocol_fake_camera.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "support/test_env.h"

#include <cstring>
#include <filesystem>

namespace {

// The mount on the camera's serial ports (AOUnit_comport below 3).
class CameraRouteTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        cfg.AOUnit_comport = 0;
        cam_log = attach_fake_camera();
    }
    void TearDown() override {
        attach_camera(nullptr);
        NocterisTest::TearDown();
    }

    std::shared_ptr<FakeCameraLog> cam_log;
};

std::string serial_write(int port, const std::string& data) {
    return bytes({0x40, 10, 0, 0, port, 0, static_cast<int>(data.size()), 0}) + data;
}

std::string serial_read(int port, int count) {
    return bytes({0x40, 11, 0, 0, port, 0, count, 0});
}

TEST_F(CameraRouteTest, WritesCarryTheTextInsideTheBlock) {
    WriteSerial(1, "#:Mn#", 5);
    WriteSerial(0, "#:Sr 05:07.0#", 12); // the next command's '#' completes it
    WriteSerial(0, "AB", 4);             // a count past the text goes out as zeros
    const std::string long_text(200, 'x');
    WriteSerial(0, long_text.c_str(), 200);
    serial.Kelvo500command = 8;
    Kelvo500Write();

    ASSERT_EQ(cam_log->writes.size(), 5u);
    EXPECT_EQ(cam_log->block(0), serial_write(1, "#:Mn#"));
    EXPECT_EQ(cam_log->block(1), serial_write(0, "#:Sr 05:07.0"));
    EXPECT_EQ(cam_log->block(2), serial_write(0, bytes({'A', 'B', 0, 0})));
    EXPECT_EQ(cam_log->block(3), serial_write(0, std::string(CAMERA_SERIAL_MAX, 'x')));
    EXPECT_EQ(cam_log->block(4), bytes({0x40, 9, 8, 0, 0, 0, 0, 0}));
    EXPECT_EQ(cam_log->bytes_read, 0u);
}

TEST_F(CameraRouteTest, ReadOf33FillsMoveErrorUpToTheHash) {
    struct Case {
        const char* name;
        std::string reply;
        std::string text;
    };
    const Case cases[] = {
        {"hash after 20", "M31 EX GAL MAG 3.5 S#Z178.0'xxxxxxxxxx", "M31 EX GAL MAG 3.5 S"},
        {"no hash", std::string(40, 'A'), std::string(33, 'A')},
        {"NUL inside", bytes({'M', '4', '2', 0, 'x', '#'}), "M42"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cam_log->writes.clear();
        cam_log->script.clear();
        std::memset(camdata, 0xEE, sizeof camdata);
        cam_log->reply(c.reply + std::string(40, '#'));
        ReadSerial(1, 33);
        EXPECT_EQ(cam_log->block(0), serial_read(1, 33));
        for (int i = 8; i < CAMDATA_BYTES; ++i) EXPECT_EQ(camdata[i], 0) << "byte " << i;
        EXPECT_EQ(std::string(serial.move_error), c.text);
    }
    // Other lengths only read.
    cam_log->script.clear();
    cam_log->reply("12:34:56#");
    ReadSerial(0, 9);
    EXPECT_EQ(cam_log->block(1), serial_read(0, 9));
    EXPECT_EQ(std::memcmp(ReportBuffer, "12:34:56#", 9), 0);
    EXPECT_STREQ(serial.move_error, "M42");
}

TEST_F(CameraRouteTest, SlewStatusFillsScopeError) {
    std::strcpy(serial.scope_error, "old refusal");
    cam_log->reply("0");
    CheckSerialReturn(1);
    EXPECT_EQ(cam_log->writes.size(), 1u);
    EXPECT_STREQ(serial.scope_error, "");

    // A refusal: the text is read and kept with its status digit.
    cam_log->reply("11Object Below Horizon#" + std::string(11, ' '));
    CheckSerialReturn(0);
    ASSERT_EQ(cam_log->writes.size(), 3u);
    EXPECT_EQ(cam_log->block(1), serial_read(0, 1));
    EXPECT_EQ(cam_log->block(2), serial_read(0, 33));
    EXPECT_STREQ(serial.scope_error, "1Object Below Horizon");

    cam_log->reply("2" + std::string(80, 'z'));
    CheckSerialReturn(0);
    EXPECT_EQ(std::string(serial.scope_error), std::string(33, 'z'));
}

TEST_F(CameraRouteTest, PortFollowsSlewcom) {
    for (auto [slewcom, port] : {std::pair{'1', 0}, {'2', 1}, {'x', 1}}) {
        cfg.slewcom = slewcom;
        serial.Port = -1;
        EXPECT_EQ(drive_check(), 1);
        EXPECT_EQ(serial.Port, port);
        serial.Port = -1;
        EXPECT_EQ(interface_check(), 1);
        EXPECT_EQ(serial.Port, port);
    }
}

TEST_F(CameraRouteTest, CommCheckReadsTheSettingsOnce) {
    // No settings file: the check complains, writes one and goes on.
    std::filesystem::create_directories(autosave);
    cfg.telescope = 'l';
    comm_check();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Unable to load INI file, please delete and try again");
    EXPECT_TRUE(std::filesystem::exists(platform::host_path(cfg.ini_file)));
    EXPECT_EQ(serial.comfound, 1);

    // The port comes from the file; once found, later checks do nothing.
    reset_serial_link_state();
    cfg.slewcom = '2';
    ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
    cfg.slewcom = '1';
    comm_check();
    EXPECT_EQ(serial.Port, 1);
    cfg.slewcom = '1';
    comm_check();
    EXPECT_EQ(serial.Port, 1);
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(cam_log->writes.empty());
}

} // namespace
