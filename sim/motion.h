#pragma once
#include <cstdint>
#include <deque>
#include <vector>

// Where the telescope points, moment by moment: the mount's two axes with
// backlash, periodic error and drift, guide pulses from the LX200 link, the
// relay socket and the AO unit's mount output, GoTo slews, the focuser and the
// AO unit's tip-tilt. Times are seconds of the simulator's clock; every
// change is recorded so that an exposure can be integrated over its whole
// duration afterwards.
namespace sim {

constexpr double SIDEREAL_RATE = 15.041; // arcsec of RA axis per second

enum Dir { EAST = 0, WEST = 1, NORTH = 2, SOUTH = 3 };

struct MountConfig {
    double ra_hours = 16.695; // initial pointing (M13)
    double dec_deg = 36.46;
    double latitude = 51.5;  // site, degrees north
    double lst_hours = -1;   // local sidereal time at start; negative: the initial RA
    double guide_rate = 0.5; // multiples of sidereal, rate G
    double centre_rate = 8;  // rate C
    double find_rate = 64;   // rate M
    double slew_rate = 480;  // rate S (2 degrees a second)
    double backlash_ra = 0;  // arcsec of axis
    double backlash_dec = 4; // arcsec of axis
    double drift_ra = 0;     // arcsec/s on the sky the pointing drifts east
    double drift_dec = 0;    // arcsec/s on the sky the pointing drifts north
    double pe_amplitude = 4; // arcsec of RA axis (half peak to peak)
    double pe_period = 480;  // seconds (one worm turn)
    double goto_speed = 4;   // degrees a second
    double goto_settle = 1;  // seconds after arriving
    double horizon = 0;      // lowest altitude a GoTo accepts, degrees
    double upper_limit = 90; // highest altitude a GoTo accepts, degrees
    double focus_fast = 200; // focuser steps a second
    double focus_slow = 20;
    double focus_range = 10000; // steps; best focus in the middle
    double focus_start = 5000;
    double defocus_blur = 0.01; // arcsec of extra FWHM per step from best focus
};

struct AoConfig {
    double step_arcsec = 0.15;   // image shift of one step
    int travel = 100;            // steps either side of centre
    double parallel_rate = 1000; // steps a second while a parallel code is held
    double mount_output_ms = 10; // mount-output pulse per count, ms
};

// A GoTo target or the start pointing: the field of stars around it.
struct Field {
    double ra_hours, dec_deg;
    std::uint64_t seed;
};

// The pointing at one moment, as the camera sees it.
struct View {
    int field = 0;
    bool slewing = false;
    double xi = 0, eta = 0; // pointing offset from the field centre on the sky, arcsec east / north
    double ao_x = 0, ao_y = 0; // image shift by the AO unit along the sensor's x and y, arcsec
    double defocus = 0;        // focuser steps from best focus
};

class World {
  public:
    World(const MountConfig& mount, const AoConfig& ao, std::uint64_t sky_seed);

    const MountConfig& mount() const { return mc_; }
    const AoConfig& ao() const { return ao_; }
    const Field& field(int i) const { return fields_[i]; }

    // Applies what was scheduled up to t (pulse ends, GoTo arrival). Every
    // command below calls it first; times never go backwards.
    void advance_to(double t);

    // LX200 drive. rate is 'G', 'C', 'M' or 'S'.
    void set_rate(char rate, double t);
    void set_move(Dir d, bool on, double t);
    void stop_all_moves(double t);
    // Relay socket bits: 1 west, 2 south, 4 north, 8 east.
    void set_relays(unsigned bits, double t);
    // A timed move at guide rate (the AO unit's mount output).
    void pulse(Dir d, double seconds, double t);
    // Starts a GoTo; false (and no movement) when the target is below the
    // horizon or above the upper limit. altitude receives the target's.
    bool go_to(double ra_hours, double dec_deg, double t, double* altitude = nullptr);
    double altitude(double ra_hours, double dec_deg, double t) const;
    double sidereal_time(double t) const; // local, hours
    bool slewing(double t) const;
    // Stops a GoTo under way where the telescope has got to (:Q#).
    void abort_slew(double t);
    // The site latitude as the mount was told it (horizon checks follow it).
    void set_latitude(double degrees) { mc_.latitude = degrees; }

    // Focuser: dir +1 in (F+), -1 out (F-), 0 stop.
    void focus(int dir, bool fast, double t);

    // AO unit: serial steps (clamped at the travel), centring, parallel codes.
    void ao_step(Dir d, int count, double t);
    void ao_centre(double t);
    void ao_parallel(unsigned code, double t);
    double ao_ns(double t) const;
    double ao_ew(double t) const;

    View view(double t) const;
    // Current pointing (RA hours, Dec degrees), for the mount's queries.
    void pointing(double t, double* ra_hours, double* dec_deg) const;
    // Pointing relative to the field centre in arcsec, the mount axes only.
    double ra_axis(double t) const;  // westward position of the RA axis
    double dec_axis(double t) const; // northward position of the Dec axis

    // Forgets history older than t (keeps what an exposure still needs).
    void forget_before(double t);
    std::size_t history_size() const { return hist_.size(); }

  private:
    struct Segment {
        double t = 0;
        double ra_m = 0, ra_p = 0, dec_m = 0, dec_p = 0;
        double ra_v = 0, dec_v = 0;
        double ao_ns = 0, ao_ew = 0, ao_vns = 0, ao_vew = 0;
        double focus = 0, focus_v = 0;
        int field = 0;
        double field_t = 0; // when the field was reached
        bool slewing = false;
    };
    struct Pulse {
        Dir dir;
        double end;
    };

    Segment at(double t) const;
    Segment evaluate(const Segment& s, double t) const;
    void commit(const Segment& s);
    void recompute(Segment& s) const;
    double pe(double t) const;
    int field_for(double ra_hours, double dec_deg);

    MountConfig mc_;
    AoConfig ao_;
    std::uint64_t sky_seed_;
    std::vector<Field> fields_;
    std::deque<Segment> hist_;
    double now_ = 0;

    // What drives the axes now.
    bool moving_[4] = {false, false, false, false};
    char rate_ = 'S';
    unsigned relays_ = 0;
    std::vector<Pulse> pulses_;
    int focus_dir_ = 0;
    bool focus_fast_ = true;
    unsigned ao_code_ = 15;
    // A GoTo under way.
    double slew_end_ = -1;
    int slew_field_ = 0;
    double slew_start_ = 0, slew_travel_ = 0; // when it set off, seconds under way
    double slew_from_ra_ = 0, slew_from_dec_ = 0, slew_to_ra_ = 0, slew_to_dec_ = 0;
};

} // namespace sim
