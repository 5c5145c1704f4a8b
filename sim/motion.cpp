#include "sim/motion.h"

#include "sim/random.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double DEG = M_PI / 180.0;

// Position of the mechanism behind a gear with play 2h: it stays where it is
// until the motor position m pushes it from either side. free_pos is where it
// would be without the motor (the RA axis is dragged back by tracking).
double behind_play(double free_pos, double m, double h) {
    return std::clamp(free_pos, m - h, m + h);
}

} // namespace

World::World(const MountConfig& mount, const AoConfig& ao, std::uint64_t sky_seed)
    : mc_(mount), ao_(ao), sky_seed_(sky_seed) {
    Segment s;
    s.field = field_for(mc_.ra_hours, mc_.dec_deg);
    s.ra_p = -mc_.backlash_ra / 2; // tracking keeps the RA gear pressed
    s.focus = std::clamp(mc_.focus_start, 0.0, mc_.focus_range);
    hist_.push_back(s);
}

int World::field_for(double ra_hours, double dec_deg) {
    const auto ra_key = static_cast<std::int64_t>(std::llround(ra_hours * 36000.0));
    const auto dec_key = static_cast<std::int64_t>(std::llround(dec_deg * 36000.0));
    const std::uint64_t seed =
        hash_combine(hash_combine(sky_seed_, static_cast<std::uint64_t>(ra_key)),
                     static_cast<std::uint64_t>(dec_key));
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].seed == seed) return static_cast<int>(i);
    fields_.push_back({ra_hours, dec_deg, seed});
    return static_cast<int>(fields_.size() - 1);
}

double World::pe(double t) const {
    if (mc_.pe_period <= 0) return 0;
    return mc_.pe_amplitude * std::sin(2 * M_PI * t / mc_.pe_period);
}

World::Segment World::evaluate(const Segment& s, double t) const {
    Segment r = s;
    const double dt = std::max(0.0, t - s.t);
    r.t = t;
    r.ra_m = s.ra_m + s.ra_v * dt;
    r.ra_p = behind_play(s.ra_p - SIDEREAL_RATE * dt, r.ra_m, mc_.backlash_ra / 2);
    r.dec_m = s.dec_m + s.dec_v * dt;
    r.dec_p = behind_play(s.dec_p, r.dec_m, mc_.backlash_dec / 2);
    r.ao_ns = std::clamp(s.ao_ns + s.ao_vns * dt, -double(ao_.travel), double(ao_.travel));
    r.ao_ew = std::clamp(s.ao_ew + s.ao_vew * dt, -double(ao_.travel), double(ao_.travel));
    r.focus = std::clamp(s.focus + s.focus_v * dt, 0.0, mc_.focus_range);
    return r;
}

World::Segment World::at(double t) const {
    // The last segment that starts at or before t.
    auto it = std::upper_bound(hist_.begin(), hist_.end(), t,
                               [](double v, const Segment& s) { return v < s.t; });
    if (it != hist_.begin()) --it;
    return evaluate(*it, t);
}

void World::recompute(Segment& s) const {
    double rate = mc_.slew_rate;
    switch (rate_) {
    case 'G':
        rate = mc_.guide_rate;
        break;
    case 'C':
        rate = mc_.centre_rate;
        break;
    case 'M':
        rate = mc_.find_rate;
        break;
    default:
        break;
    }
    rate *= SIDEREAL_RATE;
    const double guide = mc_.guide_rate * SIDEREAL_RATE;
    double ew = 0, ns = 0; // eastward and northward axis speeds
    if (moving_[EAST]) ew += rate;
    if (moving_[WEST]) ew -= rate;
    if (moving_[NORTH]) ns += rate;
    if (moving_[SOUTH]) ns -= rate;
    if (relays_ & 8) ew += guide;
    if (relays_ & 1) ew -= guide;
    if (relays_ & 4) ns += guide;
    if (relays_ & 2) ns -= guide;
    for (const auto& p : pulses_) {
        if (p.dir == EAST) ew += guide;
        if (p.dir == WEST) ew -= guide;
        if (p.dir == NORTH) ns += guide;
        if (p.dir == SOUTH) ns -= guide;
    }
    s.ra_v = -ew; // the RA axis coordinate runs westward, with tracking
    s.dec_v = ns;

    // AO parallel codes: a cleared bit drives that direction (8 east, 4 north,
    // 2 south, 1 west); 15 holds still.
    const unsigned c = ao_code_ & 15;
    s.ao_vew = s.ao_vns = 0;
    if (c != 0) {
        if (!(c & 8)) s.ao_vew += ao_.parallel_rate;
        if (!(c & 1)) s.ao_vew -= ao_.parallel_rate;
        if (!(c & 4)) s.ao_vns += ao_.parallel_rate;
        if (!(c & 2)) s.ao_vns -= ao_.parallel_rate;
    }
    s.focus_v = focus_dir_ * (focus_fast_ ? mc_.focus_fast : mc_.focus_slow);
}

void World::commit(const Segment& s) {
    if (!hist_.empty() && hist_.back().t >= s.t)
        hist_.back() = s;
    else
        hist_.push_back(s);
    // A guard against unbounded growth when nobody asks to forget.
    while (hist_.size() > 200000) hist_.pop_front();
}

void World::advance_to(double t) {
    if (t < now_) t = now_;
    for (;;) {
        // The earliest scheduled change up to t.
        double next = t + 1;
        for (const auto& p : pulses_) next = std::min(next, p.end);
        if (slew_end_ >= 0) next = std::min(next, slew_end_);
        if (next > t) break;
        Segment s = evaluate(hist_.back(), next);
        std::erase_if(pulses_, [next](const Pulse& p) { return p.end <= next; });
        if (slew_end_ >= 0 && slew_end_ <= next) {
            // Arrived: the target is in the middle of the field again.
            s.field = slew_field_;
            s.field_t = next;
            s.slewing = false;
            s.ra_m = 0;
            s.ra_p = -mc_.backlash_ra / 2;
            s.dec_m = s.dec_p = 0;
            slew_end_ = -1;
        }
        recompute(s);
        commit(s);
    }
    now_ = t;
}

void World::set_rate(char rate, double t) {
    advance_to(t);
    Segment s = evaluate(hist_.back(), now_);
    rate_ = rate;
    recompute(s);
    commit(s);
}

void World::set_move(Dir d, bool on, double t) {
    advance_to(t);
    Segment s = evaluate(hist_.back(), now_);
    moving_[d] = on;
    recompute(s);
    commit(s);
}

void World::stop_all_moves(double t) {
    advance_to(t);
    Segment s = evaluate(hist_.back(), now_);
    for (bool& m : moving_) m = false;
    recompute(s);
    commit(s);
}

void World::set_relays(unsigned bits, double t) {
    advance_to(t);
    Segment s = evaluate(hist_.back(), now_);
    relays_ = bits & 15;
    recompute(s);
    commit(s);
}

void World::pulse(Dir d, double seconds, double t) {
    advance_to(t);
    if (seconds <= 0) return;
    Segment s = evaluate(hist_.back(), now_);
    pulses_.push_back({d, now_ + seconds});
    recompute(s);
    commit(s);
}

double World::sidereal_time(double t) const {
    const double lst0 = mc_.lst_hours < 0 ? mc_.ra_hours : mc_.lst_hours;
    const double lst = std::fmod(lst0 + t * 1.0027379 / 3600.0, 24.0);
    return lst < 0 ? lst + 24 : lst;
}

double World::altitude(double ra_hours, double dec_deg, double t) const {
    const double ha = (sidereal_time(t) - ra_hours) * 15.0 * DEG;
    const double lat = mc_.latitude * DEG, dec = dec_deg * DEG;
    const double s = std::sin(lat) * std::sin(dec) + std::cos(lat) * std::cos(dec) * std::cos(ha);
    return std::asin(std::clamp(s, -1.0, 1.0)) / DEG;
}

bool World::go_to(double ra_hours, double dec_deg, double t, double* alt_out) {
    advance_to(t);
    const double alt = altitude(ra_hours, dec_deg, now_);
    if (alt_out) *alt_out = alt;
    if (alt < mc_.horizon || alt > mc_.upper_limit) return false;
    double ra0, dec0;
    pointing(now_, &ra0, &dec0);
    // Great-circle distance decides how long the slew takes.
    const double c =
        std::sin(dec0 * DEG) * std::sin(dec_deg * DEG) +
        std::cos(dec0 * DEG) * std::cos(dec_deg * DEG) * std::cos((ra_hours - ra0) * 15 * DEG);
    const double dist = std::acos(std::clamp(c, -1.0, 1.0)) / DEG;
    Segment s = evaluate(hist_.back(), now_);
    s.slewing = true;
    slew_field_ = field_for(ra_hours, dec_deg);
    slew_start_ = now_;
    slew_travel_ = dist / std::max(mc_.goto_speed, 0.01);
    slew_from_ra_ = ra0;
    slew_from_dec_ = dec0;
    slew_to_ra_ = ra_hours;
    slew_to_dec_ = dec_deg;
    slew_end_ = now_ + slew_travel_ + mc_.goto_settle;
    recompute(s);
    commit(s);
    return true;
}

bool World::slewing(double t) const {
    return at(t).slewing;
}

void World::abort_slew(double t) {
    advance_to(t);
    if (slew_end_ < 0) return;
    // Part of the way along, near enough a straight line in RA and Dec.
    const double f = slew_travel_ > 0 ? std::min(1.0, (now_ - slew_start_) / slew_travel_) : 1.0;
    const double dra = std::remainder(slew_to_ra_ - slew_from_ra_, 24.0);
    double ra = std::fmod(slew_from_ra_ + f * dra, 24.0);
    if (ra < 0) ra += 24;
    const double dec = slew_from_dec_ + f * (slew_to_dec_ - slew_from_dec_);
    Segment s = evaluate(hist_.back(), now_);
    s.field = field_for(ra, dec);
    s.field_t = now_;
    s.slewing = false;
    s.ra_m = 0;
    s.ra_p = -mc_.backlash_ra / 2;
    s.dec_m = s.dec_p = 0;
    slew_end_ = -1;
    recompute(s);
    commit(s);
}

void World::focus(int dir, bool fast, double t) {
    advance_to(t);
    Segment s = evaluate(hist_.back(), now_);
    focus_dir_ = dir > 0 ? 1 : (dir < 0 ? -1 : 0);
    focus_fast_ = fast;
    recompute(s);
    commit(s);
}

void World::ao_step(Dir d, int count, double t) {
    advance_to(t);
    Segment s = evaluate(hist_.back(), now_);
    const double lim = ao_.travel;
    switch (d) {
    case NORTH:
        s.ao_ns = std::min(s.ao_ns + count, lim);
        break;
    case SOUTH:
        s.ao_ns = std::max(s.ao_ns - count, -lim);
        break;
    case EAST:
        s.ao_ew = std::min(s.ao_ew + count, lim);
        break;
    case WEST:
        s.ao_ew = std::max(s.ao_ew - count, -lim);
        break;
    }
    recompute(s);
    commit(s);
}

void World::ao_centre(double t) {
    advance_to(t);
    Segment s = evaluate(hist_.back(), now_);
    s.ao_ns = s.ao_ew = 0;
    recompute(s);
    commit(s);
}

void World::ao_parallel(unsigned code, double t) {
    advance_to(t);
    Segment s = evaluate(hist_.back(), now_);
    ao_code_ = code & 15;
    if (ao_code_ == 0) {
        // Reset: back to the centre and hold.
        s.ao_ns = s.ao_ew = 0;
        ao_code_ = 15;
    }
    recompute(s);
    commit(s);
}

double World::ao_ns(double t) const {
    return at(t).ao_ns;
}
double World::ao_ew(double t) const {
    return at(t).ao_ew;
}

double World::ra_axis(double t) const {
    return at(t).ra_p + pe(t);
}
double World::dec_axis(double t) const {
    return at(t).dec_p;
}

View World::view(double t) const {
    const Segment s = at(t);
    View v;
    v.field = s.field;
    v.slewing = s.slewing;
    const double cosd = std::cos(fields_[s.field].dec_deg * DEG);
    const double since = t - s.field_t;
    const double ra_err = s.ra_p + pe(t) - pe(s.field_t) + mc_.backlash_ra / 2;
    v.xi = -ra_err * cosd + mc_.drift_ra * since;
    v.eta = s.dec_p + mc_.drift_dec * since;
    // A north step shifts the image as the mount's north does; the unit
    // names east and west mirrored, as seen through the camera.
    v.ao_x = -s.ao_ew * ao_.step_arcsec;
    v.ao_y = s.ao_ns * ao_.step_arcsec;
    v.defocus = s.focus - mc_.focus_range / 2;
    return v;
}

void World::pointing(double t, double* ra_hours, double* dec_deg) const {
    const View v = view(t);
    const Field& f = fields_[v.field];
    const double cosd = std::max(std::cos(f.dec_deg * DEG), 1e-6);
    double ra = f.ra_hours + v.xi / cosd / 3600.0 / 15.0;
    double dec = f.dec_deg + v.eta / 3600.0;
    if (dec > 90) {
        dec = 180 - dec;
        ra += 12;
    } else if (dec < -90) {
        dec = -180 - dec;
        ra += 12;
    }
    ra = std::fmod(ra, 24.0);
    if (ra < 0) ra += 24;
    *ra_hours = ra;
    *dec_deg = dec;
}

void World::forget_before(double t) {
    while (hist_.size() > 1 && hist_[1].t <= t) hist_.pop_front();
}

} // namespace sim
