#pragma once
#include "sim/motion.h"

#include <string>

// The AO unit's serial commands: "G" + direction + 5 digits moves the
// tip-tilt element that many steps, "M" + direction + 5 digits pulses the
// mount through the unit's own output, "K" returns to the centre. Directions
// are N, S, T (east) and W. The unit never answers.
namespace sim {

class AoUnit {
  public:
    explicit AoUnit(World& world) : world_(world) {}
    // True when text (7 characters, or "K") is a command the unit acts on.
    bool command(const std::string& text, double t, std::string* what = nullptr);

  private:
    World& world_;
};

// The guide socket when the AO unit is plugged into it: one code byte.
// Returns a description of the code.
std::string ao_parallel_code(World& world, unsigned code, double t);

} // namespace sim
