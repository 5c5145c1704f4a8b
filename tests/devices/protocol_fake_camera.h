#pragma once
#include "devices/transport.h"
#include "platform/usb.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// A camera that records every block written to it and answers reads from a
// script of reply bytes; once the script runs dry it answers with zeros, so
// no read ever waits.
struct FakeCameraLog {
    std::vector<std::vector<std::uint8_t>> writes;
    std::deque<std::uint8_t> script;
    std::size_t bytes_read = 0;
    int reads = 0;

    void reply(const std::string& bytes) {
        script.insert(script.end(), bytes.begin(), bytes.end());
    }
    std::string block(std::size_t i) const {
        return i < writes.size() ? std::string(writes[i].begin(), writes[i].end()) : std::string();
    }
};

class FakeCamera : public platform::usb::Device {
  public:
    explicit FakeCamera(std::shared_ptr<FakeCameraLog> log) : log_(std::move(log)) {}
    long write(const std::uint8_t* data, std::size_t n) override {
        log_->writes.emplace_back(data, data + n);
        return static_cast<long>(n);
    }
    long read(std::uint8_t* data, std::size_t n, std::uint32_t) override {
        ++log_->reads;
        for (std::size_t i = 0; i < n; ++i) {
            if (log_->script.empty()) {
                std::fill(data + i, data + n, std::uint8_t{0});
                break;
            }
            data[i] = log_->script.front();
            log_->script.pop_front();
        }
        log_->bytes_read += n;
        return static_cast<long>(n);
    }
    std::uint16_t vendor_id() const override { return 0xF0CA; }
    std::uint16_t product_id() const override { return 122; }

  private:
    std::shared_ptr<FakeCameraLog> log_;
};

// Attaches a fresh fake camera and returns its log.
inline std::shared_ptr<FakeCameraLog> attach_fake_camera() {
    auto log = std::make_shared<FakeCameraLog>();
    attach_camera(std::make_unique<FakeCamera>(log));
    return log;
}

// Bytes from a list of small numbers, for expected blocks.
inline std::string bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s += static_cast<char>(b);
    return s;
}
