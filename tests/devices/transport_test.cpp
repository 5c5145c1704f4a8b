#include "transport_fakes.h"

#include <chrono>
#include <cstring>
#include <future>
#include <numeric>

namespace usb = platform::usb;
using fake::Bytes;
using fake::TransportTest;

namespace {

const char* WRITE_FAILED = "Could not write ZIRED Output - try rebooting USB device";

std::string read_error(int code) {
    return "Error " + std::to_string(code) + " trying to read ZIRED data from USB\n";
}

Bytes pattern(std::size_t n, unsigned seed = 0) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t((i * 7 + seed + i / 251) & 0xFF);
    return b;
}

bool report_starts_with(const Bytes& b) {
    return std::memcmp(ReportBuffer, b.data(), b.size()) == 0;
}

bool report_filled(std::size_t from, std::size_t to, std::uint8_t v) {
    for (std::size_t i = from; i < to; ++i)
        if (ReportBuffer[i] != v) return false;
    return true;
}

std::shared_ptr<fake::DeviceLog> attach_fake_camera() {
    fake::FakeDeviceDesc desc;
    attach_camera(std::make_unique<fake::Device>(desc));
    return desc.log;
}

std::shared_ptr<fake::DeviceLog> attach_fake_wheel() {
    fake::FakeDeviceDesc desc;
    desc.pid = 0x0700;
    attach_filter_wheel(std::make_unique<fake::Device>(desc));
    return desc.log;
}

} // namespace

TEST_F(TransportTest, SendBlockWritesByteCountBytesOfTheBlockAndNeverMore) {
    auto cam = attach_fake_camera();
    std::iota(camdata, camdata + CAMDATA_BYTES, 0);

    usbt.ByteCount = 22;
    SendBlock();
    usbt.ByteCount = 500; // longer than the block: cut at its end
    SendBlock();
    usbt.ByteCount = -3;
    SendBlock();

    ASSERT_EQ(cam->written.size(), 3u);
    EXPECT_EQ(cam->written[0], Bytes(camdata, camdata + 22));
    EXPECT_EQ(cam->written[1], Bytes(camdata, camdata + CAMDATA_BYTES));
    EXPECT_TRUE(cam->written[2].empty());
    EXPECT_EQ(usbt.BytesWritten, 0u);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(TransportTest, EachReadWaitsThirtySecondsBeyondTheExposureItWaitsFor) {
    auto cam = attach_fake_camera();
    for (int i = 0; i < 3; ++i) cam->replies.push_back({Bytes(4, 1)});
    usbt.ByteCount = 4;

    usbt.read_wait_ms = 100000;
    ReceiveBlock();
    EXPECT_EQ(usbt.read_wait_ms, 0u); // the exposure's wait is for that read alone
    ReceiveBlock();
    usbt.read_wait_ms = 0xFFFFFFF0u;
    ReceiveBlock();

    EXPECT_EQ(cam->read_timeouts, (std::vector<std::uint32_t>{130000, 30000, 0xFFFFFFFFu}));
}

TEST_F(TransportTest, ReadsLandInReportBufferAndNeverPastIt) {
    auto cam = attach_fake_camera();
    Bytes frame = pattern(2456 * 2064 * 2);
    cam->replies.push_back({frame});
    cam->replies.push_back({Bytes(10, 0x11)});
    std::memset(ReportBuffer, 0xAA, 100);

    usbt.ByteCount = int(frame.size());
    ReceiveBlock();
    EXPECT_TRUE(report_starts_with(frame));
    EXPECT_EQ(usbt.BytesReturned, frame.size());

    usbt.ByteCount = 20000000; // a caller asking for more than the buffer holds
    ReceiveBlock();
    EXPECT_EQ(cam->read_sizes.back(), std::size_t(REPORT_BUFFER_BYTES));
    // A short transfer is what the device sent: no failure, the rest stays.
    EXPECT_EQ(usbt.BytesReturned, 10u);
    EXPECT_TRUE(report_filled(0, 10, 0x11));
    EXPECT_EQ(ReportBuffer[10], frame[10]);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(TransportTest, FailedReadIsReportedAndKeepsWhatArrived) {
    auto cam = attach_fake_camera();
    Bytes part = pattern(1000, 3);
    cam->replies.push_back({part, ETIMEDOUT});
    cam->replies.push_back({Bytes(4, 0x22)});
    std::memset(ReportBuffer, 0xAA, 4000);

    usbt.ByteCount = 4000;
    ReceiveBlock();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, read_error(ETIMEDOUT));
    EXPECT_EQ(ui.boxes[0].caption, "Nocteris");
    EXPECT_TRUE(report_starts_with(part));
    EXPECT_TRUE(report_filled(1000, 4000, 0xAA));

    // Whatever is left of the abandoned reply is dropped before the next
    // command, once.
    usbt.ByteCount = 8;
    SendBlock();
    EXPECT_EQ(cam->discards, 1);
    usbt.ByteCount = 4;
    ReceiveBlock();
    SendBlock();
    EXPECT_EQ(cam->discards, 1);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(TransportTest, FilterWheelBlocksUseTheirOwnChannelAndMessages) {
    auto cam = attach_fake_camera();
    auto wheel = attach_fake_wheel();
    wheel->replies.push_back({{0, 0x83, 0}});
    camdata[0] = 0;
    camdata[1] = 0x83;
    camdata[2] = 0;
    usbt.read_wait_ms = 5000; // belongs to the camera's next read

    usbt.ByteCount = 3;
    SendUSBFilterBlock();
    ReceiveUSBFilterBlock();
    ReceiveUSBFilterBlock(); // no reply this time
    wheel->fail_writes = true;
    SendUSBFilterBlock();

    EXPECT_EQ(wheel->written, (std::vector<Bytes>{{0, 0x83, 0}}));
    EXPECT_TRUE(cam->written.empty());
    EXPECT_EQ(wheel->read_timeouts, (std::vector<std::uint32_t>{30000, 30000}));
    EXPECT_EQ(usbt.read_wait_ms, 5000u);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, "Error " + std::to_string(ETIMEDOUT) +
                                    " trying to read ZIRED data from USB Filterwheel\n");
    EXPECT_EQ(ui.boxes[1].text, WRITE_FAILED);
}

TEST_F(TransportTest, AfterCloseUSBdeviceTransfersFailWithTheirMessages) {
    auto cam = attach_fake_camera();
    auto wheel = attach_fake_wheel();
    EXPECT_GT(camera_handle(), 0);
    EXPECT_NE(camera_handle(), filter_wheel_handle());
    usbt.got_qv = usbt.OpenUSBinterfaces = usbt.USB_filterwheel = 1;

    CloseUSBdevice();
    EXPECT_TRUE(cam->closed);
    EXPECT_TRUE(wheel->closed);
    EXPECT_EQ(camera_handle(), 0);
    EXPECT_EQ(usbt.got_qv + usbt.OpenUSBinterfaces + usbt.USB_filterwheel, 0);

    usbt.ByteCount = 8;
    SendBlock();
    ReceiveBlock();
    SendUSBFilterBlock();
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[0].text, WRITE_FAILED);
    EXPECT_EQ(ui.boxes[1].text, read_error(EBADF));
    EXPECT_EQ(ui.boxes[2].text, WRITE_FAILED);
}

// The simulator's side of the camera socket, for the faults it injects.
class SocketTransportTest : public TransportTest {
  protected:
    void SetUp() override {
        TransportTest::SetUp();
        usb::use_builtin_providers(true);
        usb::use_hardware_providers(false);
    }
    void attach_socket_camera(const std::string& name) {
        auto dev = usb::open(fake::camera_socket_path(name));
        ASSERT_TRUE(dev);
        attach_camera(std::move(dev));
    }
};

TEST_F(SocketTransportTest, SocketsAreListedByClassAndOnlyWhileTheirSimulatorRuns) {
    fake::SocketPeer camera("vid_f0ca&pid_0122#sim0", [](int) {});
    fake::SocketPeer wheel("vid_f0ca&pid_0700#sim0", [](int) {});
    fake::make_stale_socket("vid_f0ca&pid_0128#crashed");
    write_file(usb::socket_folder() + "/vid_f0ca&pid_0124#notasocket", "x");
    fake::SocketPeer odd("VID_F0CA&PID_0122#upper", [](int) {});

    EXPECT_EQ(usb::enumerate(usb::InterfaceClass::BlockDriver),
              std::vector<std::string>{fake::camera_socket_path("vid_f0ca&pid_0122#sim0")});
    EXPECT_EQ(usb::enumerate(usb::InterfaceClass::Hid),
              std::vector<std::string>{
                  "\\\\?\\hid#vid_f0ca&pid_0700#sim0#{4d1e55b2-f16f-11cf-88cb-001111000030}"});

    usb::use_builtin_providers(false);
    EXPECT_TRUE(usb::enumerate(usb::InterfaceClass::BlockDriver).empty());
    EXPECT_FALSE(usb::open(fake::camera_socket_path("vid_f0ca&pid_0122#sim0")));
}

TEST_F(SocketTransportTest, AWholeFrameComesThroughTheSocketIntact) {
    const Bytes frame = pattern(2456 * 2064 * 2, 5);
    fake::SocketPeer sim("vid_f0ca&pid_0128#sim0", [&](int fd) {
        std::uint8_t block[22];
        if (fake::recv_exact(fd, block, sizeof block))
            fake::send_all(fd, frame.data(), frame.size());
    });
    attach_socket_camera("vid_f0ca&pid_0128#sim0");

    usbt.ByteCount = 22;
    SendBlock();
    usbt.ByteCount = int(frame.size());
    ReceiveBlock();
    EXPECT_EQ(usbt.BytesReturned, frame.size());
    EXPECT_TRUE(report_starts_with(frame));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SocketTransportTest, DisconnectPartWayThroughAFrame) {
    const Bytes frame = pattern(1000000);
    fake::SocketPeer sim("vid_f0ca&pid_0122#sim0", [&](int fd) {
        std::uint8_t block[22];
        if (fake::recv_exact(fd, block, sizeof block)) fake::send_all(fd, frame.data(), 100000);
    });
    attach_socket_camera("vid_f0ca&pid_0122#sim0");
    std::memset(ReportBuffer, 0x5A, frame.size());

    usbt.ByteCount = 22;
    SendBlock();
    usbt.ByteCount = int(frame.size());
    ReceiveBlock();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, read_error(ECONNRESET));
    EXPECT_TRUE(std::equal(frame.begin(), frame.begin() + 100000, ReportBuffer));
    EXPECT_TRUE(report_filled(100000, frame.size(), 0x5A));

    // The camera is gone: later transfers fail at once, with their messages.
    usbt.ByteCount = 22;
    SendBlock();
    usbt.ByteCount = 2;
    ReceiveBlock();
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[1].text, WRITE_FAILED);
    EXPECT_EQ(ui.boxes[2].text, read_error(ECONNRESET));
}

TEST_F(SocketTransportTest, StalledReadEndsAtTheExposurePlusThirtySeconds) {
    std::promise<void> release;
    auto released = release.get_future();
    fake::SocketPeer sim("vid_f0ca&pid_0122#sim0", [&](int fd) {
        std::uint8_t block[22];
        fake::recv_exact(fd, block, sizeof block);
        released.wait_for(std::chrono::seconds(10)); // says nothing meanwhile
    });
    attach_socket_camera("vid_f0ca&pid_0122#sim0");
    clock.set_step(5000); // every look at the clock is five seconds later

    usbt.ByteCount = 22;
    SendBlock();
    usbt.ByteCount = 2 * 1392 * 1040;
    usbt.read_wait_ms = 100000;
    std::uint32_t start = clock.peek();
    auto real_start = std::chrono::steady_clock::now();
    ReceiveBlock();
    std::uint32_t waited = clock.peek() - start;
    release.set_value();

    EXPECT_GE(waited, 130000u);
    EXPECT_LE(waited, 140000u);
    EXPECT_LT(std::chrono::steady_clock::now() - real_start, std::chrono::seconds(10));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, read_error(ETIMEDOUT));
}

TEST_F(SocketTransportTest, ShortReadThenLateBytesDoNotBecomeTheNextReply) {
    const Bytes frame = pattern(4000, 9);
    std::promise<void> timed_out, late_sent;
    auto timed_out_f = timed_out.get_future();
    fake::SocketPeer sim("vid_f0ca&pid_0122#sim0", [&](int fd) {
        std::uint8_t block[8];
        if (!fake::recv_exact(fd, block, 8)) return;
        fake::send_all(fd, frame.data(), 1000);
        timed_out_f.wait_for(std::chrono::seconds(10));
        fake::send_all(fd, frame.data() + 1000, 3000); // the rest, too late
        late_sent.set_value();
        if (fake::recv_exact(fd, block, 8)) fake::send_all(fd, "OK!!", 4);
    });
    auto late_sent_f = late_sent.get_future();
    attach_socket_camera("vid_f0ca&pid_0122#sim0");
    clock.set_step(5000);
    std::memset(ReportBuffer, 0x5A, frame.size());

    usbt.ByteCount = 8;
    SendBlock();
    usbt.ByteCount = int(frame.size());
    ReceiveBlock();
    EXPECT_TRUE(std::equal(frame.begin(), frame.begin() + 1000, ReportBuffer));
    EXPECT_TRUE(report_filled(1000, frame.size(), 0x5A));
    timed_out.set_value();
    ASSERT_EQ(late_sent_f.wait_for(std::chrono::seconds(10)), std::future_status::ready);

    usbt.ByteCount = 8;
    SendBlock();
    usbt.ByteCount = 4;
    ReceiveBlock();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(ReportBuffer), 4), "OK!!");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, read_error(ETIMEDOUT));
}
