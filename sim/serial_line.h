#pragma once
#include "sim/ao_unit.h"
#include "sim/filter_wheel.h"
#include "sim/lx200.h"
#include "sim/random.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One serial line (a camera serial port or the PC's port) with the devices
// hanging on it. Bytes from the host are sorted out by their form: LX200
// commands run from ':' to '#', AO commands start with G, M or K, filter box
// commands with 0xA5. What the devices answer collects in received().
namespace sim {

struct LineDevices {
    bool mount = true, ao = true, filter_box = true;
};

struct SerialFaults {
    double garbage = 0; // chance that a mount reply comes out as noise
    double missing = 0; // chance that a mount reply never comes
};

class SerialLine {
  public:
    SerialLine(std::string name, Lx200& mount, AoUnit& ao, FilterWheel& wheel,
               const SerialFaults& faults, Rng& rng, LineDevices devices = {});

    void feed(const std::uint8_t* data, std::size_t n, double t);
    std::vector<std::uint8_t>& received() { return rx_; }
    const std::string& name() const { return name_; }

    std::function<void(const std::string&)> log;
    // Told each whole LX200 command (the text between ':' and '#') as it
    // arrives, before the mount acts on it.
    std::function<void(const std::string&)> on_command;

  private:
    void lx200(double t);
    void reply(const std::string& text);
    void note(const std::string& text) {
        if (log && !text.empty()) log(name_ + ": " + text);
    }

    std::string name_;
    Lx200& mount_;
    AoUnit& ao_;
    FilterWheel& wheel_;
    const SerialFaults& faults_;
    Rng& rng_;
    LineDevices devices_;
    std::vector<std::uint8_t> rx_;

    enum class State { Idle, Lx200, Ao, Box } state_ = State::Idle;
    std::string cmd_;
    std::uint8_t box_[4] = {};
    int box_n_ = 0;
};

} // namespace sim
