#pragma once
#include "sim/catalogue.h"
#include "sim/motion.h"

#include <string>

// The mount's side of the LX200 command set: one command at a time (the text
// between ':' and '#'), answered as a mount answers.
namespace sim {

class Lx200 {
  public:
    explicit Lx200(World& world);

    // Executes a command such as "Me", "LM 0031" or "Sr 05:07.0" at time t
    // (seconds); returns the reply ("" when the mount says nothing) and a
    // short description of what happened in *what.
    std::string command(const std::string& cmd, double t, std::string* what = nullptr);

    bool has_target() const { return has_target_; }
    double target_ra() const { return target_ra_; }
    double target_dec() const { return target_dec_; }
    const std::string& object_name() const { return object_.name; }

  private:
    std::string info() const;

    World& world_;
    SkyObject object_;
    bool has_object_ = false; // the target came from a catalogue
    bool has_target_ = false;
    double target_ra_ = 0, target_dec_ = 0;
    bool focus_fast_ = true;
};

// "HH:MM.T" and "sDD*MM" as the mount prints them.
std::string format_ra(double hours);
std::string format_dec(double degrees);

} // namespace sim
