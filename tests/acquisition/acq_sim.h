#pragma once
// The program's readouts against the in-process simulator: discovery finds
// the simulated camera and wheel; the camera channel is then re-opened
// through a recorder so that tests can see the blocks the program sent.
#include "sim/sim_test_util.h"
#include "sim/usb_provider.h"
#include "support/test_env.h"

#include "acquisition/acquisition_state.h"
#include "devices/camera_models.h"
#include "devices/camera_protocol.h"
#include "devices/transport.h"
#include "devices/usb_discovery.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "platform/clock.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace acqtest {

using Bytes = std::vector<std::uint8_t>;

// Passes everything to the real device and keeps a copy of what was written.
class Recorder : public platform::usb::Device {
  public:
    Recorder(std::unique_ptr<platform::usb::Device> inner, std::vector<Bytes>& writes,
             std::vector<std::uint32_t>* times = nullptr)
        : inner_(std::move(inner)), writes_(writes), times_(times) {}
    long write(const std::uint8_t* data, std::size_t n) override {
        writes_.emplace_back(data, data + n);
        if (times_) times_->push_back(platform::now_ms());
        return inner_ ? inner_->write(data, n) : static_cast<long>(n);
    }
    long read(std::uint8_t* data, std::size_t n, std::uint32_t timeout_ms) override {
        return inner_ ? inner_->read(data, n, timeout_ms) : 0;
    }
    std::uint16_t vendor_id() const override { return inner_ ? inner_->vendor_id() : 0; }
    std::uint16_t product_id() const override { return inner_ ? inner_->product_id() : 0; }
    int last_error() const override { return inner_ ? inner_->last_error() : 0; }
    void discard_input() override {
        if (inner_) inner_->discard_input();
    }

  private:
    std::unique_ptr<platform::usb::Device> inner_;
    std::vector<Bytes>& writes_;
    std::vector<std::uint32_t>* times_;
};

// Picks the brightest unsaturated star well inside `img` (the current
// geometry), as a click on it would. False when there is none.
inline bool pick_brightest_star(const unsigned short* img) {
    std::vector<std::uint16_t> px(img, img + disp.intlength);
    simtest::Peak best{0, 0, 0};
    for (const auto& s : simtest::find_stars(px, disp.width1, disp.height1))
        if (s.value > best.value && s.value < 40000 && s.x > 80 && s.y > 80 &&
            s.x < disp.width1 - 80 && s.y < disp.height1 - 80)
            best = s;
    if (best.value <= 0 || find_centre(best.x, best.y, img, cfg.star_mask) != 0) return false;
    guide.pick_xcent = guide.xcent;
    guide.pick_ycent = guide.ycent;
    guide.picked_star = 1;
    guide.cur_rad = cfg.star_mask;
    return true;
}

inline unsigned u16(const Bytes& b, std::size_t at) {
    return b.size() > at + 1 ? static_cast<unsigned>(b[at] | (b[at + 1] << 8)) : 0u;
}

class AcqSim : public NocterisTest {
  protected:
    void TearDown() override {
        reset_transport_state();
        if (provider) platform::usb::remove_provider(provider.get());
        platform::usb::use_builtin_providers(true);
        NocterisTest::TearDown();
    }

    // Starts a simulator with `c`, runs discovery (camera, and the wheel when
    // `wheel`), sets up the full-frame geometry and records the camera blocks.
    void start(sim::Config c = {}, bool wheel = true) {
        reset_acquisition_state();
        ui.on_command = [](int id) {
            if (id == 16102) set_camera_model_geometry();
        };
        platform::usb::use_builtin_providers(false);
        cfg.ignore_pid = 1;
        c.camera.readout_rate = 0;
        simulator = std::make_unique<sim::Simulator>(c);
        provider = std::make_unique<sim::UsbProvider>(*simulator);
        platform::usb::add_provider(provider.get());
        USBHid hid;
        hid.CollectingUSBHidInfo();
        ASSERT_EQ(usbt.got_qv, 1);
        if (wheel) hid.CollectingHidInfo();
        nocteris_binned();
        attach_camera(std::make_unique<Recorder>(
            provider->open(sim::camera_device_path(c.camera.pid)), blocks, &block_times));
    }

    std::vector<Bytes> blocks_with(unsigned command) const {
        std::vector<Bytes> out;
        for (const auto& b : blocks)
            if (b.size() >= 8 && b[1] == command) out.push_back(b);
        return out;
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::UsbProvider> provider;
    std::vector<Bytes> blocks;
    std::vector<std::uint32_t> block_times; // clock reading at each block
};

} // namespace acqtest
