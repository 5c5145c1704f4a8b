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
    bool high_precision() const { return high_precision_; }

    // Where the mount believes it points: the true pointing moved by what
    // syncs taught it.
    void reported(double t, double* ra_hours, double* dec_deg) const;

    // The hand box clock: local time as seconds since 1970-01-01 00:00 of
    // the site's own calendar. Starts from the host's clock.
    double local_seconds(double t) const { return clock_offset_ + t; }

  private:
    std::string info() const;
    std::string query(const std::string& cmd, double t, std::string& w);
    std::string set(const std::string& cmd, double t, std::string& w);
    std::string ra_text(double hours) const;
    std::string dec_text(double degrees) const;

    World& world_;
    SkyObject object_;
    bool has_object_ = false; // the target came from a catalogue
    bool has_target_ = false;
    double target_ra_ = 0, target_dec_ = 0;
    bool focus_fast_ = true;
    bool high_precision_ = false;       // :U# toggles
    double sync_ra_ = 0, sync_dec_ = 0; // reported minus true pointing
    double clock_offset_ = 0;
    double utc_offset_ = 0;    // hours added to local time to give UTC, as the mount keeps it
    double longitude_ = 0;     // degrees, west positive
    double track_rate_ = 60.1; // Hz of the drive
    std::string site_names_[4] = {"Home", "Site2", "Site3", "Site4"};
};

// "HH:MM.T" and "sDD*MM" as the mount prints them (low precision), and
// "HH:MM:SS" and "sDD*MM:SS" (high precision).
std::string format_ra(double hours);
std::string format_dec(double degrees);
std::string format_ra_long(double hours);
std::string format_dec_long(double degrees);

} // namespace sim
