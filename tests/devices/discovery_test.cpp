#include "devices/camera_models.h"
#include "devices/usb_discovery.h"
#include "settings/settings.h"
#include "transport_fakes.h"

#include <chrono>
#include <cstring>

namespace usb = platform::usb;
using Cls = usb::InterfaceClass;
using fake::Bytes;
using fake::FakeDeviceDesc;

namespace {

FakeDeviceDesc with_pid(std::uint16_t pid) {
    FakeDeviceDesc s;
    s.pid = pid;
    return s;
}

FakeDeviceDesc wheel_replying(int positions) {
    FakeDeviceDesc s = with_pid(0x0700);
    s.log->replies.push_back({{0, 0, std::uint8_t(positions)}});
    return s;
}

class DiscoveryTest : public fake::TransportTest {
  protected:
    void SetUp() override {
        TransportTest::SetUp();
        // The main window's answer to 16102: the geometry of the model found.
        ui.on_command = [](int id) {
            if (id == 16102) set_camera_model_geometry();
        };
    }
    USBHid hid;
};

} // namespace

TEST_F(DiscoveryTest, NoDeviceLeavesTheCameraClosedWithOneMessage) {
    EXPECT_EQ(hid.CollectingUSBHidInfo(), 0);
    EXPECT_EQ(usbt.got_qv, 0);
    EXPECT_EQ(usbt.OpenUSBinterfaces, 0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "USB ZIRED device not found");
    EXPECT_EQ(ui.boxes[0].caption, "Nocteris");
    EXPECT_TRUE(ui.commands.empty());
}

TEST_F(DiscoveryTest, DefaultCameraIsOpenedAndDescribed) {
    FakeDeviceDesc desc = with_pid(0x0122);
    desc.product = "ZIRED camera";
    auto log = provider.add(Cls::BlockDriver, desc);

    EXPECT_EQ(hid.CollectingUSBHidInfo(), 1);
    EXPECT_EQ(usbt.got_qv, 1);
    EXPECT_EQ(usbt.OpenUSBinterfaces, 1);
    EXPECT_EQ(usbt.Win98, 0);
    EXPECT_EQ(cam.cam_type, 2);
    EXPECT_EQ(sensor.cam_width1, 1392);
    EXPECT_EQ(ui.commands, std::vector<int>{16102});
    EXPECT_STREQ(usbt.qv_vid, "f0ca");
    EXPECT_STREQ(usbt.qv_pid, "0122");
    EXPECT_EQ(hid.HidDeviceData[0].VID, 0xF0CA);
    EXPECT_EQ(hid.HidDeviceData[0].PID, 0x0122);
    EXPECT_STREQ(hid.HidDeviceData[0].VendorName, "- not present -");
    EXPECT_STREQ(hid.HidDeviceData[0].ProductName, "ZIRED camera");
    EXPECT_TRUE(ui.boxes.empty());

    usbt.ByteCount = 8;
    SendBlock();
    EXPECT_EQ(log->written.size(), 1u);
}

TEST_F(DiscoveryTest, ProductIdsOutsideTheCameraRangeAreSkippedSilently) {
    cfg.ignore_pid = 1;
    provider.add(Cls::Hid, with_pid(0x0700));         // the filter wheel: 700
    provider.add(Cls::BlockDriver, with_pid(0x0117)); // 117
    provider.add(Cls::BlockDriver, with_pid(0x0681)); // 681

    hid.CollectingUSBHidInfo();
    EXPECT_EQ(usbt.got_qv, 0);
    EXPECT_TRUE(ui.commands.empty());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "USB ZIRED device not found");
}

TEST_F(DiscoveryTest, UnlistedCameraIsOpenedAsTheFallbackModel) {
    cfg.ignore_pid = 1;
    sensor.cam_width1 = 1;
    provider.add(Cls::BlockDriver, with_pid(0x0680));

    hid.CollectingUSBHidInfo();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Attached Camera is not supported");
    EXPECT_EQ(usbt.camera_unsupported, 1); // the command line fails the run on it
    EXPECT_EQ(cam.cam_type, 7);
    EXPECT_EQ(sensor.cam_width1, 1392); // 16102 came after the model was chosen
    EXPECT_EQ(usbt.got_qv, 1);
    EXPECT_STREQ(usbt.qv_cam_pid, "0122");
}

TEST_F(DiscoveryTest, OtherCamerasNeedIgnorePid) {
    provider.add(Cls::BlockDriver, with_pid(0x0128));
    hid.CollectingUSBHidInfo();
    EXPECT_EQ(usbt.got_qv, 0);

    ui.boxes.clear();
    cfg.ignore_pid = 1;
    hid.CollectingUSBHidInfo();
    EXPECT_EQ(usbt.got_qv, 1);
    EXPECT_EQ(cam.cam_type, 8);
    EXPECT_EQ(sensor.cam_width1, 2456);
    EXPECT_STREQ(usbt.qv_cam_pid, "0128"); // remembered for the rest of the run
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(DiscoveryTest, EveryMatchIsOpenedAndTheLastOneStays) {
    FakeDeviceDesc as_hid = with_pid(0x0122);
    auto hid_log = provider.add(Cls::Hid, as_hid);
    auto first = provider.add(Cls::BlockDriver, with_pid(0x0122), "a");
    auto last = provider.add(Cls::BlockDriver, with_pid(0x0122), "b");

    hid.CollectingUSBHidInfo();
    EXPECT_EQ(ui.commands.size(), 3u);
    EXPECT_TRUE(hid_log->closed);
    EXPECT_TRUE(first->closed);
    EXPECT_FALSE(last->closed);
    EXPECT_STREQ(hid.HidDeviceData[0].ProductName, ""); // block-driver class
}

TEST_F(DiscoveryTest, OnlyTheFirstTwentyInterfacesOfAClassAreExamined) {
    for (int i = 0; i < 20; ++i)
        provider.add(Cls::BlockDriver, with_pid(0x0050), "x" + std::to_string(i));
    provider.add(Cls::BlockDriver, with_pid(0x0122), "late");
    hid.CollectingUSBHidInfo();
    EXPECT_EQ(usbt.got_qv, 0);

    provider.paths[Cls::BlockDriver].erase(provider.paths[Cls::BlockDriver].begin());
    hid.CollectingUSBHidInfo();
    EXPECT_EQ(usbt.got_qv, 1);
}

TEST_F(DiscoveryTest, FailuresToListNameOrOpenStopDiscoveryWithTheirBoxes) {
    provider.fail_enumeration = true;
    EXPECT_EQ(hid.CollectingUSBHidInfo(), 0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Could not attach to PnP node");
    EXPECT_EQ(ui.boxes[0].caption, "Nocteris");

    provider.fail_enumeration = false;
    ui.boxes.clear();
    provider.add_path(Cls::Hid, "\\\\?\\hid#vid_f0ca&pid_0122#" + std::string(300, 'x'), {});
    EXPECT_EQ(hid.CollectingUSBHidInfo(), 0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Could not find the system name for this HID device");
    EXPECT_EQ(ui.boxes[0].caption, "Error");
    EXPECT_EQ(ui.boxes[0].icon, platform::BoxIcon::Stop);

    provider.paths.clear();
    ui.boxes.clear();
    FakeDeviceDesc locked = with_pid(0x0122);
    locked.openable = false;
    provider.add(Cls::BlockDriver, locked);
    EXPECT_EQ(hid.CollectingUSBHidInfo(), 0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Could not open HID device");
    EXPECT_EQ(ui.boxes[0].caption, "Error");
    EXPECT_EQ(usbt.got_qv, 0);
}

TEST_F(DiscoveryTest, InterfaceDetailsShowTheCameraFound) {
    cfg.Show_Interface_Details = 1;
    provider.add(Cls::BlockDriver, with_pid(0x0122));
    hid.CollectingUSBHidInfo();
    ASSERT_EQ(ui.boxes.size(), 1u);
    const std::string& text = ui.boxes[0].text;
    char head[40];
    std::snprintf(head, sizeof head, "Camera Found, \nZIRED = %6d\nO/S = ", camera_handle());
    EXPECT_EQ(text.rfind(head, 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - 11), "\nPID = 0122");
}

TEST_F(DiscoveryTest, FilterWheelLowersMaxFiltersToItsPositionsOnly) {
    // A wheel with fewer positions lowers the count; more, none or a
    // nonsense count leave it.
    for (auto [positions, expected] : {std::pair{5, 5}, {9, 7}, {0, 7}, {-3, 7}}) {
        reset_transport_state();
        cfg.Max_Filters = 7;
        provider.paths.clear();
        auto log = provider.add(Cls::Hid, wheel_replying(positions));
        EXPECT_EQ(hid.CollectingHidInfo(), 1);
        EXPECT_EQ(usbt.USB_filterwheel, 1);
        EXPECT_TRUE(filter_wheel_attached());
        EXPECT_EQ(log->written, (std::vector<Bytes>{Bytes{0, 0, 0}}));
        EXPECT_EQ(cfg.Max_Filters, expected) << positions;
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(DiscoveryTest, OnlyTheMakersWheelIsTaken) {
    FakeDeviceDesc foreign = wheel_replying(5);
    foreign.vid = 0x1234;
    provider.add(Cls::Hid, foreign);
    provider.add(Cls::BlockDriver, wheel_replying(5)); // the wheel is a HID device
    EXPECT_EQ(hid.CollectingHidInfo(), 1);
    EXPECT_EQ(usbt.USB_filterwheel, 0);
    EXPECT_EQ(cfg.Max_Filters, 7);
}

TEST_F(DiscoveryTest, FilterWheelFailuresAreReported) {
    FakeDeviceDesc locked = wheel_replying(5);
    locked.openable = false;
    provider.add(Cls::Hid, locked);
    EXPECT_EQ(hid.CollectingHidInfo(), 0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Could not open HID Filterwheel device");
    EXPECT_EQ(ui.boxes[0].caption, "Error");
    EXPECT_EQ(usbt.USB_filterwheel, 0);

    // A wheel that takes nothing and says nothing: both messages, no change.
    provider.paths.clear();
    ui.boxes.clear();
    FakeDeviceDesc mute = with_pid(0x0700);
    mute.log->fail_writes = true;
    provider.add(Cls::Hid, mute);
    EXPECT_EQ(hid.CollectingHidInfo(), 1);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, "Could not write to USB Filterwheel - try rebooting USB device");
    EXPECT_EQ(ui.boxes[1].text,
              "Error " + std::to_string(ETIMEDOUT) + " trying to read data from USB Filterwheel\n");
    EXPECT_EQ(cfg.Max_Filters, 7);
    EXPECT_EQ(usbt.USB_filterwheel, 1);
}

// The real built-in source of the simulator's sockets, end to end.
class SocketDiscoveryTest : public DiscoveryTest {
  protected:
    void SetUp() override {
        DiscoveryTest::SetUp();
        usb::use_builtin_providers(true);
        usb::use_hardware_providers(false);
    }
};

TEST_F(SocketDiscoveryTest, FindsTheSimulatorsCameraAndWheel) {
    cfg.ignore_pid = 1;
    fake::SocketPeer camera("vid_f0ca&pid_0128#sim0", [](int fd) {
        std::uint8_t block[8];
        if (fake::recv_exact(fd, block, 8)) fake::send_all(fd, "\x0b\x00\x02\x00", 4);
    });
    fake::SocketPeer wheel("vid_f0ca&pid_0700#sim0", [](int fd) {
        std::uint8_t query[3];
        if (fake::recv_exact(fd, query, 3) && query[0] == 0 && query[1] == 0 && query[2] == 0)
            fake::send_all(fd, "\x00\x00\x05", 3);
    });

    EXPECT_EQ(hid.CollectingUSBHidInfo(), 1);
    EXPECT_EQ(usbt.got_qv, 1);
    EXPECT_EQ(cam.cam_type, 8);
    EXPECT_EQ(hid.CollectingHidInfo(), 1);
    EXPECT_EQ(cfg.Max_Filters, 5);

    std::memset(camdata, 0, 8);
    camdata[0] = 0x40;
    camdata[1] = 255;
    usbt.ByteCount = 8;
    SendBlock();
    usbt.ByteCount = 4;
    ReceiveBlock();
    EXPECT_EQ(ReportBuffer[0], 11);
    EXPECT_EQ(ReportBuffer[2], 2);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SocketDiscoveryTest, ASocketLeftByACrashedSimulatorIsNoDevice) {
    fake::make_stale_socket("vid_f0ca&pid_0122#sim0");
    hid.CollectingUSBHidInfo();
    EXPECT_EQ(usbt.got_qv, 0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "USB ZIRED device not found");
}
