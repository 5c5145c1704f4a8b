#include "sim/usb_provider.h"

#include "platform/clock.h"
#include "platform/usb_ids.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <strings.h>

namespace sim {

namespace {

std::uint16_t hex16(const std::string& s) {
    try {
        return static_cast<std::uint16_t>(std::stoul(s, nullptr, 16));
    } catch (...) {
        return 0;
    }
}

// Milliseconds left before a deadline on the program's wrapping clock.
std::int64_t left(std::uint32_t start, std::uint32_t timeout_ms) {
    const std::uint32_t spent = platform::now_ms() - start;
    return static_cast<std::int64_t>(timeout_ms) - static_cast<std::int64_t>(spent);
}

class CameraDevice : public platform::usb::Device {
  public:
    explicit CameraDevice(Simulator& sim) : sim_(sim) {}

    long write(const std::uint8_t* data, std::size_t n) override {
        if (dead_ || sim_.camera_link_down()) {
            dead_ = true;
            err_ = ECONNRESET;
            return -1;
        }
        err_ = 0;
        sim_.camera_write(data, n);
        return static_cast<long>(n);
    }

    long read(std::uint8_t* data, std::size_t n, std::uint32_t timeout_ms) override {
        err_ = 0;
        if (dead_) {
            err_ = ECONNRESET;
            return -1;
        }
        const std::uint32_t start = platform::now_ms();
        std::size_t got = 0;
        for (;;) {
            bool end = false;
            got += sim_.camera_read(data + got, n - got, &end);
            if (sim_.camera_link_down()) {
                // Whatever came before the link dropped is delivered; then it is gone.
                dead_ = true;
                err_ = ECONNRESET;
                return got ? static_cast<long>(got) : -1;
            }
            if (got == n || (end && got > 0))
                return static_cast<long>(got); // full or short transfer
            const std::int64_t remaining = left(start, timeout_ms);
            if (remaining <= 0) {
                err_ = ETIMEDOUT;
                return got ? static_cast<long>(got) : -1;
            }
            const double next = sim_.camera_next_ready();
            std::int64_t wait = remaining;
            if (next != std::numeric_limits<double>::infinity()) {
                const double until = std::ceil((next - sim_.now()) * 1000.0 - 1e-6);
                wait = std::clamp<std::int64_t>(static_cast<std::int64_t>(until), 1, remaining);
            }
            platform::sleep_ms(static_cast<std::uint32_t>(wait));
        }
    }

    void discard_input() override { sim_.camera_discard_ready(); }
    int last_error() const override { return err_; }
    std::uint16_t vendor_id() const override { return usb_ids::VENDOR_ID_NUM; }
    std::uint16_t product_id() const override { return hex16(sim_.config().camera.pid); }
    std::string manufacturer() const override { return "Nocteris"; }
    std::string product() const override {
        return "Nocteris camera model " + std::to_string(sim_.camera().model().code) +
               " (simulator)";
    }

  private:
    Simulator& sim_;
    bool dead_ = false;
    int err_ = 0;
};

class WheelDevice : public platform::usb::Device {
  public:
    explicit WheelDevice(Simulator& sim) : sim_(sim) {}

    long write(const std::uint8_t* data, std::size_t n) override {
        sim_.wheel_write(data, n);
        return static_cast<long>(n);
    }

    long read(std::uint8_t* data, std::size_t n, std::uint32_t timeout_ms) override {
        const std::size_t got = sim_.wheel_read(data, n);
        err_ = 0;
        // The wheel answers every report at once; no answer means none is coming.
        if (got == 0) {
            if (timeout_ms > 0) platform::sleep_ms(timeout_ms);
            err_ = ETIMEDOUT;
            return -1;
        }
        return static_cast<long>(got);
    }

    void discard_input() override {
        std::uint8_t sink[64];
        while (sim_.wheel_read(sink, sizeof sink) > 0) {
        }
    }
    int last_error() const override { return err_; }

    std::uint16_t vendor_id() const override { return usb_ids::VENDOR_ID_NUM; }
    std::uint16_t product_id() const override { return hex16(usb_ids::FILTER_WHEEL_PID); }
    std::string manufacturer() const override { return "Nocteris"; }
    std::string product() const override { return "Nocteris filter wheel (simulator)"; }

  private:
    Simulator& sim_;
    int err_ = 0;
};

} // namespace

std::string camera_device_path(const std::string& pid, const std::string& serial) {
    return std::string("\\\\?\\usb#vid_") + usb_ids::VENDOR_ID + "&pid_" + pid + "#" + serial +
           "#" + usb_ids::BLOCK_DRIVER_CLASS;
}

std::string wheel_device_path(const std::string& serial) {
    return std::string("\\\\?\\hid#vid_") + usb_ids::VENDOR_ID + "&pid_" +
           usb_ids::FILTER_WHEEL_PID + "#" + serial + "#" + HID_CLASS;
}

UsbProvider::UsbProvider(Simulator& sim, std::string serial)
    : sim_(sim), serial_(std::move(serial)) {}

std::vector<std::string> UsbProvider::enumerate(platform::usb::InterfaceClass cls) {
    if (cls == platform::usb::InterfaceClass::BlockDriver)
        return {camera_device_path(sim_.config().camera.pid, serial_)};
    if (sim_.config().wheel.usb) return {wheel_device_path(serial_)};
    return {};
}

std::unique_ptr<platform::usb::Device> UsbProvider::open(const std::string& path) {
    if (strcasecmp(path.c_str(), camera_device_path(sim_.config().camera.pid, serial_).c_str()) ==
        0) {
        sim_.camera_reset_link(); // plugged in afresh
        return std::make_unique<CameraDevice>(sim_);
    }
    if (sim_.config().wheel.usb &&
        strcasecmp(path.c_str(), wheel_device_path(serial_).c_str()) == 0)
        return std::make_unique<WheelDevice>(sim_);
    return nullptr;
}

} // namespace sim
