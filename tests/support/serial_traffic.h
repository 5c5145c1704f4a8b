#pragma once
// What the program sends to the camera's serial ports and relays, recorded
// block by block with the virtual time, and replayed replies.
#include "platform/clock.h"
#include "platform/usb.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// What reached the camera, each block with the virtual time it was written.
struct Traffic {
    struct Block {
        std::uint32_t at;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Block> blocks;
    std::deque<std::uint8_t> replies;
};

class TimedCamera : public platform::usb::Device {
  public:
    TimedCamera(std::shared_ptr<Traffic> log, platform::VirtualClock& clock)
        : log_(std::move(log)), clock_(clock) {}
    long write(const std::uint8_t* data, std::size_t n) override {
        log_->blocks.push_back({clock_.peek(), {data, data + n}});
        return static_cast<long>(n);
    }
    long read(std::uint8_t* data, std::size_t n, std::uint32_t) override {
        for (std::size_t i = 0; i < n; ++i) {
            data[i] = log_->replies.empty() ? 0 : log_->replies.front();
            if (!log_->replies.empty()) log_->replies.pop_front();
        }
        return static_cast<long>(n);
    }
    std::uint16_t vendor_id() const override { return 0xF0CA; }
    std::uint16_t product_id() const override { return 122; }

  private:
    std::shared_ptr<Traffic> log_;
    platform::VirtualClock& clock_;
};

// One block as "<ms> <what>": "W<port> <data>" for a serial write (request
// 10, the count in the header equal to the data sent), "K<bits>" for the
// relays (request 9), "R<port> <count>" for a serial read (request 11).
// Any other byte in a header shows up as "bad block".
inline std::string describe(const Traffic::Block& b, std::uint32_t t0) {
    const auto& v = b.bytes;
    const std::string at = std::to_string(b.at - t0) + " ";
    if (v.size() < 8 || v[0] != 0x40) return at + "bad block";
    const int value = v[2] | v[3] << 8;
    const int index = v[4] | v[5] << 8;
    const int length = v[6] | v[7] << 8;
    const std::string data(v.begin() + 8, v.end());
    if (v[1] == 10 && value == 0 && static_cast<std::size_t>(length) == data.size())
        return at + "W" + std::to_string(index) + " " + data;
    if (v[1] == 9 && v.size() == 8 && v[3] == 0 && index == 0 && length == 0)
        return at + "K" + std::to_string(v[2]);
    if (v[1] == 11 && v.size() == 8 && value == 0)
        return at + "R" + std::to_string(index) + " " + std::to_string(length);
    return at + "bad block";
}
