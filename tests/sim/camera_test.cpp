// The simulated camera through the in-process USB devices, on the virtual
// clock: command blocks in, replies and frames out, as the program sees them.
#include "sim/usb_provider.h"
#include "sim_test_util.h"
#include "support/test_env.h"

#include "platform/usb_ids.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <map>

using namespace sim;
using namespace simtest;
using platform::usb::InterfaceClass;

namespace {

class SimCamera : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        cfg.camera.readout_rate = 0;
    }
    void open() {
        simulator = std::make_unique<Simulator>(cfg);
        provider = std::make_unique<UsbProvider>(*simulator);
        camera = provider->open(provider->enumerate(InterfaceClass::BlockDriver).at(0));
        ASSERT_TRUE(camera);
    }
    void send(const Bytes& b) {
        ASSERT_EQ(camera->write(b.data(), b.size()), static_cast<long>(b.size()));
    }
    Bytes receive(std::size_t n, std::uint32_t timeout_ms = 30000) {
        Bytes b(n);
        const long got = camera->read(b.data(), n, timeout_ms);
        b.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        last_read = got;
        return b;
    }
    std::vector<std::uint16_t> frame(const Bytes& block, std::size_t pixels) {
        send(block);
        return pixels16(receive(pixels * 2, 200000));
    }
    Config cfg;
    std::unique_ptr<Simulator> simulator;
    std::unique_ptr<UsbProvider> provider;
    std::unique_ptr<platform::usb::Device> camera;
    long last_read = 0;
};

} // namespace

TEST_F(SimCamera, OffersCameraAndWheelWithTheirPaths) {
    open();
    const auto cams = provider->enumerate(InterfaceClass::BlockDriver);
    ASSERT_EQ(cams.size(), 1u);
    EXPECT_EQ(cams[0],
              std::string("\\\\?\\usb#vid_f0ca&pid_0122#sim0#") + usb_ids::BLOCK_DRIVER_CLASS);
    const auto hid = provider->enumerate(InterfaceClass::Hid);
    ASSERT_EQ(hid.size(), 1u);
    EXPECT_EQ(hid[0], "\\\\?\\hid#vid_f0ca&pid_0700#sim0#{4d1e55b2-f16f-11cf-88cb-001111000030}");
    EXPECT_EQ(camera->vendor_id(), 0xF0CA);
    EXPECT_EQ(camera->product_id(), 0x0122);
    EXPECT_FALSE(provider->open("\\\\?\\usb#vid_f0ca&pid_0999#sim0#x"));

    cfg.wheel.usb = false;
    open();
    EXPECT_TRUE(provider->enumerate(InterfaceClass::Hid).empty());
}

TEST_F(SimCamera, AnswersEchoFirmwareAndShutter) {
    cfg.camera.firmware_minor = 10;
    open();
    send(block(0, 0, 0, 1, {0}));
    EXPECT_EQ(receive(1), Bytes{0});
    send(block(255));
    EXPECT_EQ(receive(4), (Bytes{10, 0, 2, 0}));
    send(block(255, 0, 0, 0, {}, 0xC0)); // asked as a device-to-host request
    EXPECT_EQ(receive(4).size(), 4u);
    send(block(32, 0x4000));
    EXPECT_EQ(receive(2).size(), 2u);
    // Blocks may arrive in pieces and several at once.
    Bytes two = block(0, 0, 0, 1, {7});
    const Bytes fw = block(255);
    two.insert(two.end(), fw.begin(), fw.end());
    camera->write(two.data(), 5);
    camera->write(two.data() + 5, two.size() - 5);
    EXPECT_EQ(receive(1), Bytes{7});
    EXPECT_EQ(receive(4).size(), 4u);
}

TEST_F(SimCamera, FramesHaveTheGeometryOfEveryModel) {
    std::map<std::string, std::pair<int, int>> sizes;
    for (const auto& row : usb_ids::MODEL_TABLE) {
        cfg.camera.pid = row.pid;
        open();
        const ModelSpec m = simulator->camera().model();
        EXPECT_EQ(m.code, row.cam_type);
        sizes[row.pid] = {m.width, m.height};
        const auto px = frame(readout(2, 0, 0, m.width, m.height, 1, 1, 10),
                              static_cast<std::size_t>(m.width) * m.height);
        EXPECT_EQ(last_read, static_cast<long>(m.width) * m.height * 2) << row.pid;
    }
    EXPECT_EQ(sizes["0121"], std::make_pair(1312, 1024));
    EXPECT_EQ(sizes["0122"], std::make_pair(1392, 1040));
    EXPECT_EQ(sizes["0132"], std::make_pair(1392, 1040));
    EXPECT_EQ(sizes["0124"], std::make_pair(1312, 1024));
    EXPECT_EQ(sizes["0127"], std::make_pair(1392, 1040));
    EXPECT_EQ(sizes["0128"], std::make_pair(2456, 2064));
}

TEST_F(SimCamera, CameraTimedExposureTakesItsTimeOnTheVirtualClock) {
    open();
    const std::uint32_t t0 = clock.peek();
    send(readout(2, 0, 0, 128, 128, 1, 1, 100000));
    // A read with a deadline before the end of the exposure gets nothing.
    EXPECT_TRUE(receive(128 * 128 * 2, 1000).empty());
    EXPECT_EQ(clock.peek() - t0, 1000u);
    receive(128 * 128 * 2, 130000);
    EXPECT_EQ(last_read, 128 * 128 * 2);
    EXPECT_EQ(clock.peek() - t0, 100000u);
}

TEST_F(SimCamera, ReadoutTimeFollowsThePixelRate) {
    cfg.camera.readout_rate = 1e6;
    open();
    const std::uint32_t t0 = clock.peek();
    frame(readout(3, 0, 0, 1392, 1040), 1392 * 1040);
    EXPECT_NEAR(clock.peek() - t0, 1448, 2);
    const std::uint32_t t1 = clock.peek();
    frame(readout(3, 0, 0, 1392, 1040, 4, 4), 348 * 260); // the flush read: a sixteenth
    EXPECT_NEAR(clock.peek() - t1, 91, 2);
    EXPECT_EQ(last_read, 348 * 260 * 2);
}

TEST_F(SimCamera, HostTimedExposureIntegratesFromTheWipe) {
    cfg.sky.density = 0; // background only
    open();
    auto level = [&](std::uint32_t ms) {
        send(block(1, 8));
        send(block(1, 0)); // wipe
        clock.advance(ms);
        send(block(1, 8)); // clearing the vertical registers keeps the exposure
        return median(frame(readout(3, 0, 0, 256, 256), 256 * 256));
    };
    const double l10 = level(10000), l40 = level(40000);
    const double bias = level(0);
    EXPECT_NEAR((l40 - bias) / (l10 - bias), 4.0, 0.4);
    EXPECT_GT(l10 - bias, 15);
}

TEST_F(SimCamera, FrameShowsTheStarsOfTheSky) {
    cfg.sky.seeing = 2.5;
    cfg.mount.pe_amplitude = 0;
    open();
    const auto px = frame(readout(2, 0, 0, 1392, 1040, 1, 1, 5000), 1392 * 1040);
    const auto peaks = find_stars(px, 1392, 1040);
    // Where the sky says bright stars are, the frame shows them.
    std::vector<Star> stars;
    Renderer& sensor = simulator->camera().main_sensor();
    const View v = simulator->world().view(simulator->now());
    double x0, y0, x1, y1;
    sensor.unproject(v, 20, 20, &x0, &y0);
    sensor.unproject(v, 1372, 1020, &x1, &y1);
    simulator->sky().stars_in(simulator->world().field(v.field).seed, std::min(x0, x1),
                              std::min(y0, y1), std::max(x0, x1), std::max(y0, y1), stars);
    int bright = 0, found = 0;
    for (const Star& s : stars) {
        if (s.flux < 1000) continue;
        ++bright;
        double px_, py_;
        sensor.project(v, s.x, s.y, &px_, &py_);
        for (const Peak& p : peaks)
            if (std::abs(p.x + 0.5 - px_) < 2 && std::abs(p.y + 0.5 - py_) < 2) {
                ++found;
                break;
            }
    }
    EXPECT_GT(bright, 5);
    EXPECT_GE(found, bright * 9 / 10);
    EXPECT_GT(peaks.size(), 20u);
}

TEST_F(SimCamera, DarkFrameHasNoStarsButTheSameHotPixels) {
    cfg.camera.pid = "0124"; // model 4: the shutter stays shut for a dark
    open();
    const auto light = frame(readout(2, 0, 0, 1312, 1024, 1, 1, 30000), 1312 * 1024);
    const auto dark = frame(readout(2, 0, 0, 1312, 1024, 1, 1, 30000, 0x8003), 1312 * 1024);
    const auto dark2 = frame(readout(2, 0, 0, 1312, 1024, 1, 1, 30000, 0x8003), 1312 * 1024);
    EXPECT_GT(find_stars(light, 1312, 1024).size(), 20u);
    EXPECT_TRUE(find_stars(dark, 1312, 1024).empty());
    EXPECT_LT(median(dark), median(light));
    // Hot pixels stand out in the same places frame after frame.
    int same = 0, hot = 0;
    const double m = median(dark);
    for (std::size_t i = 0; i < dark.size(); ++i)
        if (dark[i] > m + 300) {
            ++hot;
            if (dark2[i] > m + 150) ++same;
        }
    EXPECT_GT(hot, 10);
    EXPECT_GE(same, hot * 9 / 10);
}

TEST_F(SimCamera, ShutterOfModel4DecidesTheLightOfHostTimedExposures) {
    cfg.camera.pid = "0124";
    cfg.sky.density = 0;
    open();
    auto host_timed = [&](bool open_shutter) {
        send(block(1, 0));
        if (open_shutter) {
            send(block(32, 0x4000));
            receive(2);
        }
        clock.advance(20000);
        send(block(32, 0x8000));
        receive(2);
        return median(frame(readout(3, 0, 0, 200, 200), 200 * 200));
    };
    EXPECT_GT(host_timed(true), host_timed(false) + 50);
    EXPECT_FALSE(simulator->camera().shutter_open());
}

TEST_F(SimCamera, GuiderDeliversEightBitFramesOfTheSameSky) {
    open();
    send(readout(3, 0, 0, 500, 1, 1, 1, 0, 3, 1)); // the clear
    EXPECT_EQ(receive(500).size(), 500u);
    clock.advance(5000);
    send(readout(3, 0, 0, 500, 290, 1, 1, 0, 3, 1));
    const Bytes g = receive(500 * 290);
    ASSERT_EQ(g.size(), 500u * 290);
    EXPECT_GT(find_stars(std::vector<int>(g.begin(), g.end()), 500, 290, 6).size(), 3u);
    send(readout(3, 0, 0, 500, 290, 2, 2, 0, 3, 1));
    EXPECT_EQ(receive(250 * 145).size(), 250u * 145);
    // A guider head of 376 columns leaves what lies beyond it black.
    cfg.camera.guider_width = 376;
    open();
    clock.advance(1000);
    send(readout(3, 0, 0, 500, 290, 1, 1, 0, 3, 1));
    const Bytes n = receive(500 * 290);
    ASSERT_EQ(n.size(), 500u * 290);
    EXPECT_EQ(n[100 * 500 + 450], 0);
    EXPECT_GT(n[100 * 500 + 100], 0);
}

TEST_F(SimCamera, GuidePulsesMoveTheStarsBetweenFrames) {
    cfg.mount.pe_amplitude = 0;
    cfg.mount.backlash_dec = 0;
    cfg.sky.seeing = 2.0;
    open();
    auto centroid = [](const std::vector<std::uint16_t>& img, int px, int py, double* cx,
                       double* cy) {
        const double bg = median(img);
        double s = 0, sx = 0, sy = 0;
        for (int y = py - 8; y <= py + 8; ++y)
            for (int x = px - 8; x <= px + 8; ++x) {
                const double v =
                    std::max(0.0, img[static_cast<std::size_t>(y) * 1392 + x] - bg - 30);
                s += v, sx += v * x, sy += v * y;
            }
        *cx = sx / s, *cy = sy / s;
    };
    // The brightest star away from the edges, and the same star in the second frame.
    auto centroid_shift = [&](const std::vector<std::uint16_t>& a,
                              const std::vector<std::uint16_t>& b) {
        const Peak* best = nullptr;
        const auto pa = find_stars(a, 1392, 1040), pb = find_stars(b, 1392, 1040);
        for (const Peak& p : pa)
            if (p.x > 40 && p.y > 40 && p.x < 1350 && p.y < 1000 &&
                (!best || p.value > best->value))
                best = &p;
        const Peak* same = nullptr;
        for (const Peak& p : pb)
            if (std::abs(p.x - best->x) < 20 && std::abs(p.y - best->y) < 20 &&
                (!same || std::abs(p.value - best->value) < std::abs(same->value - best->value)))
                same = &p;
        EXPECT_TRUE(same);
        double ax, ay, bx, by;
        centroid(a, best->x, best->y, &ax, &ay);
        centroid(b, same ? same->x : best->x, same ? same->y : best->y, &bx, &by);
        return std::make_pair(bx - ax, by - ay);
    };
    const auto before = frame(readout(2, 0, 0, 1392, 1040, 1, 1, 1000), 1392 * 1040);
    send(block(9, 4)); // north relay for 2 s
    clock.advance(2000);
    send(block(9, 0));
    const auto after = frame(readout(2, 0, 0, 1392, 1040, 1, 1, 1000), 1392 * 1040);
    const auto [dx, dy] = centroid_shift(before, after);
    const double expect =
        2 * 0.5 * SIDEREAL_RATE / simulator->camera().main_sensor().sensor().scale;
    EXPECT_NEAR(dy, expect, 0.5); // telescope north: stars move down the frame
    EXPECT_NEAR(dx, 0, 0.5);
}

TEST_F(SimCamera, SerialPortsCarryTheMountAndKeepTheLatestReply) {
    open();
    send(serial_write(0, "#:LM 0013#"));
    send(serial_write(0, "#:LI#"));
    send(serial_read(0, 33));
    const Bytes r = receive(33);
    ASSERT_EQ(r.size(), 33u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data())), "M13 GC 16:41.7 +36*28#");
    // The slew status: one byte, then (not '0') the whole text from its start.
    send(serial_write(0, "#:LS 0002#"));
    send(serial_write(0, "#:MS#"));
    send(serial_read(0, 1));
    EXPECT_EQ(receive(1), Bytes{'1'});
    send(serial_read(0, 33));
    const Bytes t = receive(33);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.data())), "1Object Below Horizon#");
    // A port with nothing to say answers NULs of the asked length.
    send(serial_read(1, 5));
    EXPECT_EQ(receive(5), Bytes(5, 0));
}

TEST_F(SimCamera, ModelOneReferenceColumnsCarryTheColumnLevels) {
    cfg.camera.pid = "0121";
    cfg.sky.density = 0;
    open();
    const auto px = frame(readout(2, 0, 0, 1312, 1024, 1, 1, 1000), 1312 * 1024);
    // The host's correction: p - mean(reference columns of its parity) + 1000.
    // Row by row, the even/odd level difference should vanish with it.
    double before = 0, after = 0;
    for (int y = 0; y < 1024; ++y) {
        const std::uint16_t* row = &px[static_cast<std::size_t>(y) * 1312];
        double a = 0, b = 0, e = 0, o = 0;
        for (int i = 0; i < 16; i += 2) a += row[i], b += row[i + 1];
        a /= 8, b /= 8;
        for (int x = 16; x < 1312; x += 2) e += row[x], o += row[x + 1];
        e /= 648, o /= 648;
        before += (e - o) * (e - o) / 1024;
        after += ((e - a) - (o - b)) * ((e - a) - (o - b)) / 1024;
    }
    EXPECT_GT(std::sqrt(before), 20);
    EXPECT_LT(std::sqrt(after), 8);
}

TEST_F(SimCamera, OddRequestsDoNotHangOrOverflow) {
    open();
    send(readout(3, 0, 0, 65535, 65535));   // far beyond any sensor: refused
    send(readout(3, 0, 0, 100, 100, 0, 0)); // bin 0 reads as 1
    EXPECT_EQ(receive(100 * 100 * 2).size(), 20000u);
    send(readout(3, 1300, 1000, 200, 100)); // partly off the sensor: zeros there
    const auto px = pixels16(receive(200 * 100 * 2));
    ASSERT_EQ(px.size(), 20000u);
    EXPECT_EQ(px[199], 0);
    EXPECT_GT(px[0], 0);
    send(block(77)); // unknown: no reply
    EXPECT_TRUE(receive(1, 500).empty());
    send(readout(2, 0, 0, 10, 10, 1, 1, 0, 3, 5)); // no CCD 5
    EXPECT_TRUE(receive(1, 500).empty());
}

TEST_F(SimCamera, DisconnectPartWayThroughAFrame) {
    cfg.faults.camera.disconnect_frame = 1;
    open();
    frame(readout(2, 0, 0, 100, 100, 1, 1, 10), 100 * 100);
    EXPECT_EQ(last_read, 20000);
    send(readout(2, 0, 0, 100, 100, 1, 1, 10));
    EXPECT_EQ(receive(20000).size(), 10000u); // half came before the link went
    EXPECT_EQ(camera->last_error(), ECONNRESET);
    Bytes b(4);
    EXPECT_EQ(camera->read(b.data(), 4, 1000), -1);
    const Bytes fw = block(255);
    EXPECT_EQ(camera->write(fw.data(), fw.size()), -1);
    // Plugged in again, the camera answers.
    camera = provider->open(provider->enumerate(InterfaceClass::BlockDriver).at(0));
    send(block(255));
    EXPECT_EQ(receive(4).size(), 4u);
}

TEST_F(SimCamera, ShortReadsAndStallsEndAtTheDeadline) {
    cfg.faults.camera.short_read = 1;
    open();
    const std::uint32_t t0 = clock.peek();
    send(readout(2, 0, 0, 100, 100, 1, 1, 10));
    const Bytes part = receive(20000, 5000);
    EXPECT_GT(part.size(), 0u);
    EXPECT_LT(part.size(), 20000u);
    EXPECT_LT(clock.peek() - t0, 100u); // a short transfer ends at once
    send(block(255));
    EXPECT_EQ(receive(4).size(), 4u); // and the stream is still in step

    cfg.faults.camera.short_read = 0;
    cfg.faults.camera.stall = 1;
    open();
    const std::uint32_t t1 = clock.peek();
    send(block(255));
    EXPECT_TRUE(receive(4, 30000).empty());
    EXPECT_EQ(camera->last_error(), ETIMEDOUT);
    EXPECT_EQ(clock.peek() - t1, 30000u);
}

TEST_F(SimCamera, LeftoverReplyCanBeDiscarded) {
    open();
    send(block(255));
    EXPECT_EQ(receive(2).size(), 2u); // the caller gave up half-way
    EXPECT_EQ(camera->last_error(), 0);
    camera->discard_input();
    send(block(0, 0, 0, 1, {5}));
    EXPECT_EQ(receive(1), Bytes{5});
}

TEST_F(SimCamera, RelaysDriveTheAoUnitWhenItIsOnTheSocket) {
    cfg.camera.socket = SocketDevice::AoUnit;
    open();
    send(block(9, 11)); // north
    clock.advance(40);
    send(block(9, 15));
    EXPECT_NEAR(simulator->world().ao_ns(simulator->now()), 40, 1e-6);
    EXPECT_EQ(simulator->world().view(simulator->now()).eta, 0); // the mount stays
}

TEST_F(SimCamera, UsbFilterWheelReportsAndTurns) {
    cfg.wheel.positions = 5;
    open();
    auto wheel = provider->open(provider->enumerate(InterfaceClass::Hid).at(0));
    ASSERT_TRUE(wheel);
    EXPECT_EQ(wheel->product_id(), 0x0700);
    const std::uint8_t query[3] = {0, 0, 0};
    ASSERT_EQ(wheel->write(query, 3), 3);
    std::uint8_t r[3];
    ASSERT_EQ(wheel->read(r, 3, 1000), 3);
    EXPECT_EQ(r[2], 5);
    const std::uint8_t to3[3] = {0, 0x83, 0};
    wheel->write(to3, 3);
    ASSERT_EQ(wheel->read(r, 3, 1000), 3);
    EXPECT_EQ(r[1], 0); // turning
    clock.advance(2000);
    EXPECT_EQ(simulator->wheel().position(simulator->now()), 3);
    const std::uint32_t t0 = clock.peek();
    EXPECT_EQ(wheel->read(r, 3, 700), -1); // nothing asked, nothing comes
    EXPECT_EQ(wheel->last_error(), ETIMEDOUT);
    EXPECT_EQ(clock.peek() - t0, 700u);
}

TEST_F(SimCamera, SendHandsOverInPlaceWhatReadCopies) {
    // Two cameras given the same blocks at the same times: one read in
    // pieces, one through a sink that takes what it likes. A reply, a frame,
    // a reply, then a frame the link drops half-way through.
    cfg.faults.camera.disconnect_frame = 1;
    Simulator copied(cfg), in_place(cfg);
    Bytes blocks = block(255);
    for (const Bytes& b :
         {readout(2, 0, 0, 100, 100, 1, 1, 10), block(0, 0, 0, 1, {7}), readout(3, 0, 0, 60, 50)})
        blocks.insert(blocks.end(), b.begin(), b.end());
    copied.camera_write(blocks.data(), blocks.size());
    in_place.camera_write(blocks.data(), blocks.size());
    clock.advance(20);

    Bytes want, got;
    std::uint8_t piece[777];
    for (int idle = 0; idle < 3;) {
        const std::size_t k = copied.camera_read(piece, sizeof piece);
        want.insert(want.end(), piece, piece + k);
        idle = k ? 0 : idle + 1;
    }
    int calls = 0;
    const Camera::Sink sink = [&](const std::uint8_t* p, std::size_t n) {
        // Now and then a full socket: fewer bytes, or none.
        const std::size_t k = ++calls % 3 == 0 ? 0 : std::min<std::size_t>(n, 1000 + calls % 7);
        got.insert(got.end(), p, p + k);
        return k;
    };
    for (int round = 0; round < 1000 && !in_place.camera_link_down(); ++round)
        in_place.camera_send(sink);
    EXPECT_EQ(want.size(), 4u + 20000 + 1 + 3000);
    EXPECT_TRUE(want == got);
    EXPECT_TRUE(copied.camera_link_down());
    EXPECT_EQ(in_place.camera_send(sink), 0u); // nothing after the link went
}
