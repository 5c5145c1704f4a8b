#pragma once
#include <array>
#include <cstdint>

// The filter wheel, turned over USB (3-byte HID reports) or by the serial
// filter box (4-byte commands). One wheel: whichever is used turns it.
namespace sim {

struct WheelConfig {
    int positions = 5;             // reported to the query and accepted as targets
    double seconds_per_slot = 0.3; // turning time
    bool usb = true;               // the wheel has its USB interface
};

class FilterWheel {
  public:
    explicit FilterWheel(const WheelConfig& cfg);
    const WheelConfig& config() const { return cfg_; }

    // False for positions outside 1..positions.
    bool move_to(int position, double t);
    // The position in the beam; 0 while the wheel turns.
    int position(double t) const;
    int target() const { return target_; }
    // Light let through at time t (each filter passes less; half while turning).
    double transmission(double t) const;

    // One USB report: [report id, command, argument] in, [0, position, positions]
    // out. Command 0 is the query, 0x80 + n moves to position n.
    std::array<std::uint8_t, 3> usb_report(const std::uint8_t in[3], double t);
    // A filter box command 0xA5, 0x01, position, checksum (8-bit sum of the
    // first three). Returns the position, or 0 when the bytes are not one.
    static int box_position(const std::uint8_t cmd[4]);

  private:
    WheelConfig cfg_;
    int from_ = 1, target_ = 1;
    double start_ = 0, end_ = 0;
};

} // namespace sim
