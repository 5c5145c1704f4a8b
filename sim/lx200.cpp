#include "sim/lx200.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace sim {

namespace {

std::string trim(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

// Reads digits from s at i into *v; false when there are none.
bool number(const std::string& s, std::size_t& i, int* v, std::size_t max_digits = 4) {
    std::size_t start = i;
    int n = 0;
    while (i < s.size() && i - start < max_digits && std::isdigit(static_cast<unsigned char>(s[i])))
        n = n * 10 + (s[i++] - '0');
    *v = n;
    return i > start;
}

// "HH:MM.T" or "HH:MM:SS".
bool parse_ra(const std::string& text, double* hours) {
    const std::string s = trim(text);
    std::size_t i = 0;
    int h, m, f = 0;
    if (!number(s, i, &h, 2) || i >= s.size() || s[i] != ':') return false;
    ++i;
    if (!number(s, i, &m, 2)) return false;
    double minutes = m;
    if (i < s.size() && s[i] == '.') {
        ++i;
        if (!number(s, i, &f, 1)) return false;
        minutes += f / 10.0;
    } else if (i < s.size() && s[i] == ':') {
        ++i;
        if (!number(s, i, &f, 2) || f > 59) return false;
        minutes += f / 60.0;
    }
    if (i != s.size() || h > 23 || m > 59) return false;
    *hours = h + minutes / 60.0;
    return true;
}

// "sDD*MM" or "sDD*MM:SS"; the degree sign may also be 0xDF or ':'.
bool parse_dec(const std::string& text, double* degrees) {
    const std::string s = trim(text);
    std::size_t i = 0;
    int sign = 1;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) sign = s[i++] == '-' ? -1 : 1;
    int d, m, sec = 0;
    if (!number(s, i, &d, 2) || i >= s.size()) return false;
    const unsigned char sep = static_cast<unsigned char>(s[i]);
    if (sep != '*' && sep != 0xDF && sep != ':') return false;
    ++i;
    if (!number(s, i, &m, 2)) return false;
    if (i < s.size() && (s[i] == ':' || s[i] == '\'')) {
        ++i;
        if (!number(s, i, &sec, 2) || sec > 59) return false;
    }
    if (i != s.size() || d > 90 || m > 59 || (d == 90 && (m > 0 || sec > 0))) return false;
    *degrees = sign * (d + m / 60.0 + sec / 3600.0);
    return true;
}

// "sDDD*MM" or "sDDD:MM:SS": a longitude, any sign, up to 360 degrees.
bool parse_longitude(const std::string& text, double* degrees) {
    const std::string s = trim(text);
    std::size_t i = 0;
    int sign = 1;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) sign = s[i++] == '-' ? -1 : 1;
    int d, m, sec = 0;
    if (!number(s, i, &d, 3) || i >= s.size()) return false;
    const unsigned char sep = static_cast<unsigned char>(s[i]);
    if (sep != '*' && sep != 0xDF && sep != ':') return false;
    ++i;
    if (!number(s, i, &m, 2)) return false;
    if (i < s.size() && (s[i] == ':' || s[i] == '\'')) {
        ++i;
        if (!number(s, i, &sec, 2) || sec > 59) return false;
    }
    if (i != s.size() || d > 360 || m > 59) return false;
    *degrees = sign * (d + m / 60.0 + sec / 3600.0);
    return true;
}

// "HH:MM:SS" into seconds of the day.
bool parse_time(const std::string& text, int* seconds) {
    const std::string s = trim(text);
    std::size_t i = 0;
    int h, m, sec;
    if (!number(s, i, &h, 2) || i >= s.size() || s[i++] != ':' || !number(s, i, &m, 2) ||
        i >= s.size() || s[i++] != ':' || !number(s, i, &sec, 2) || i != s.size())
        return false;
    if (h > 23 || m > 59 || sec > 59) return false;
    *seconds = h * 3600 + m * 60 + sec;
    return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
long days_from_civil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civil_from_days(long z, int* y, int* m, int* d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

// "MM/DD/YY" into days since 1970; two-digit years 92..99 are the 1990s.
bool parse_date(const std::string& text, long* days) {
    const std::string s = trim(text);
    std::size_t i = 0;
    int mo, d, y;
    if (!number(s, i, &mo, 2) || i >= s.size() || s[i++] != '/' || !number(s, i, &d, 2) ||
        i >= s.size() || s[i++] != '/' || !number(s, i, &y, 2) || i != s.size())
        return false;
    if (mo < 1 || mo > 12 || d < 1) return false;
    const int year = y >= 92 ? 1900 + y : 2000 + y;
    const long day = days_from_civil(year, mo, d);
    int cy, cm, cd;
    civil_from_days(day, &cy, &cm, &cd);
    if (cm != mo || cd != d) return false; // 02/30 and the like
    *days = day;
    return true;
}

// A signed number of hours or a frequency: "+03", "-05.5", "60.1".
bool parse_number(const std::string& text, double lo, double hi, double* v) {
    const std::string s = trim(text);
    if (s.empty()) return false;
    char* end = nullptr;
    const double x = std::strtod(s.c_str(), &end);
    if (*end != '\0' || !std::isfinite(x) || x < lo || x > hi) return false;
    *v = x;
    return true;
}

double wrap_hours(double h) {
    h = std::fmod(h, 24.0);
    return h < 0 ? h + 24 : h;
}

Dir dir_of(char c, bool* ok) {
    *ok = true;
    switch (c) {
    case 'e':
        return EAST;
    case 'w':
        return WEST;
    case 'n':
        return NORTH;
    case 's':
        return SOUTH;
    default:
        *ok = false;
        return EAST;
    }
}

const char* dir_name(Dir d) {
    static const char* names[] = {"east", "west", "north", "south"};
    return names[d];
}

} // namespace

std::string format_ra(double hours) {
    hours = std::fmod(hours, 24.0);
    if (hours < 0) hours += 24;
    const long tenths = std::lround(hours * 600.0) % (24 * 600);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02ld:%02ld.%ld", tenths / 600, (tenths / 10) % 60,
                  tenths % 10);
    return buf;
}

std::string format_dec(double degrees) {
    const char sign = degrees < 0 ? '-' : '+';
    const long minutes = std::lround(std::min(std::abs(degrees), 90.0) * 60.0);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%c%02ld*%02ld", sign, minutes / 60, minutes % 60);
    return buf;
}

std::string format_ra_long(double hours) {
    const long s = std::lround(wrap_hours(hours) * 3600.0) % (24 * 3600);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
    return buf;
}

std::string format_dec_long(double degrees) {
    const char sign = degrees < 0 ? '-' : '+';
    const long s = std::lround(std::min(std::abs(degrees), 90.0) * 3600.0);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%c%02ld*%02ld:%02ld", sign, s / 3600, (s / 60) % 60, s % 60);
    return buf;
}

Lx200::Lx200(World& world) : world_(world) {
    target_ra_ = world.mount().ra_hours;
    target_dec_ = world.mount().dec_deg;
    // The hand box clock starts at the host's local time and zone.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    clock_offset_ = static_cast<double>(now) + static_cast<double>(local.tm_gmtoff);
    utc_offset_ = -static_cast<double>(local.tm_gmtoff) / 3600.0;
}

std::string Lx200::ra_text(double hours) const {
    return high_precision_ ? format_ra_long(hours) : format_ra(hours);
}

std::string Lx200::dec_text(double degrees) const {
    return high_precision_ ? format_dec_long(degrees) : format_dec(degrees);
}

void Lx200::reported(double t, double* ra_hours, double* dec_deg) const {
    double ra, dec;
    world_.pointing(t, &ra, &dec);
    *ra_hours = wrap_hours(ra + sync_ra_);
    *dec_deg = std::clamp(dec + sync_dec_, -90.0, 90.0);
}

std::string Lx200::info() const {
    std::string text;
    if (has_object_)
        text = object_.name + " " + object_.type + " " + format_ra(object_.ra_hours) + " " +
               format_dec(object_.dec_deg);
    else if (has_target_)
        text = "COORD " + format_ra(target_ra_) + " " + format_dec(target_dec_);
    else
        text = "NO OBJECT";
    if (text.size() > 32) text.resize(32); // the reply, '#' included, fits 33 bytes
    return text + "#";
}

std::string Lx200::command(const std::string& cmd, double t, std::string* what) {
    std::string dummy;
    std::string& w = what ? *what : dummy;
    w.clear();
    if (cmd.empty()) return "";
    const char c0 = cmd[0];
    const char c1 = cmd.size() > 1 ? cmd[1] : '\0';
    bool ok;

    if (c0 == 'R' && cmd.size() == 2 && (c1 == 'G' || c1 == 'C' || c1 == 'M' || c1 == 'S')) {
        world_.set_rate(c1, t);
        w = std::string("rate ") + (c1 == 'G'   ? "guide"
                                    : c1 == 'C' ? "centre"
                                    : c1 == 'M' ? "find"
                                                : "slew");
        return "";
    }
    if (c0 == 'M' && cmd.size() == 2 && c1 == 'S') {
        double alt = 0;
        // The mount drives to where its (synced) reckoning puts the target.
        const double ra = wrap_hours(target_ra_ - sync_ra_);
        const double dec = std::clamp(target_dec_ - sync_dec_, -90.0, 90.0);
        if (world_.go_to(ra, dec, t, &alt)) {
            w = "GoTo " + format_ra(target_ra_) + " " + format_dec(target_dec_);
            return "0";
        }
        char buf[64];
        std::snprintf(buf, sizeof buf, "GoTo refused, altitude %.1f", alt);
        w = buf;
        return alt < world_.mount().horizon ? "1Object Below Horizon#"
                                            : "2Object Above Upper Limit#";
    }
    if (c0 == 'M' && c1 == 'g' && cmd.size() > 3) {
        // Pulse guide: direction and milliseconds at guide rate.
        const Dir d = dir_of(cmd[2], &ok);
        std::size_t i = 3;
        int ms;
        if (!ok || !number(cmd, i, &ms, 5) || i != cmd.size()) return "";
        world_.pulse(d, ms / 1000.0, t);
        w = "guide pulse " + std::string(dir_name(d)) + " " + std::to_string(ms) + " ms";
        return "";
    }
    if (c0 == 'M' && cmd.size() == 2) {
        const Dir d = dir_of(c1, &ok);
        if (!ok) return "";
        world_.set_move(d, true, t);
        w = std::string("moving ") + dir_name(d);
        return "";
    }
    if (c0 == 'Q') {
        if (cmd.size() == 1) {
            world_.stop_all_moves(t);
            world_.abort_slew(t);
            w = "stop";
            return "";
        }
        const Dir d = dir_of(c1, &ok);
        if (!ok || cmd.size() != 2) return "";
        world_.set_move(d, false, t);
        w = std::string("stop ") + dir_name(d);
        return "";
    }
    if (c0 == 'F' && cmd.size() == 2) {
        switch (c1) {
        case 'F':
            focus_fast_ = true;
            w = "focuser fast";
            break;
        case 'S':
            focus_fast_ = false;
            w = "focuser slow";
            break;
        case '+':
            world_.focus(1, focus_fast_, t);
            w = "focuser in";
            break;
        case '-':
            world_.focus(-1, focus_fast_, t);
            w = "focuser out";
            break;
        case 'Q':
            world_.focus(0, focus_fast_, t);
            w = "focuser stop";
            break;
        default:
            break;
        }
        return "";
    }
    if (c0 == 'L' && (c1 == 'M' || c1 == 'S' || c1 == 'C')) {
        std::size_t i = 2;
        while (i < cmd.size() && cmd[i] == ' ') ++i;
        int n;
        SkyObject obj;
        if (!number(cmd, i, &n, 5) || i != cmd.size() || !lookup_object(c1, n, &obj)) {
            w = "no such object: " + cmd.substr(1);
            return "";
        }
        object_ = obj;
        has_object_ = has_target_ = true;
        target_ra_ = obj.ra_hours;
        target_dec_ = obj.dec_deg;
        w = "selected " + obj.name;
        return "";
    }
    if (c0 == 'L' && c1 == 'I' && cmd.size() == 2) {
        w = "object information";
        return info();
    }
    if (c0 == 'U' && cmd.size() == 1) {
        high_precision_ = !high_precision_;
        w = high_precision_ ? "high precision" : "low precision";
        return "";
    }
    if (c0 == 'D' && cmd.size() == 1) // one bar while a GoTo is under way
        return world_.slewing(t) ? "\x7f#" : "#";
    if (c0 == 'C' && c1 == 'M' && cmd.size() == 2) {
        double ra, dec;
        world_.pointing(t, &ra, &dec);
        sync_ra_ = std::remainder(target_ra_ - ra, 24.0);
        sync_dec_ = target_dec_ - dec;
        w = "synced to " + format_ra(target_ra_) + " " + format_dec(target_dec_);
        return info();
    }
    if (c0 == 'W' && cmd.size() == 2 && c1 >= '1' && c1 <= '4') {
        w = "site " + std::string(1, c1); // one site's place serves them all
        return "";
    }
    if (c0 == 'T' && cmd.size() == 2) {
        // Drive frequency: quartz sidereal, or manual steps of a tenth.
        if (c1 == 'Q') track_rate_ = 60.1;
        if (c1 == '+') track_rate_ = std::min(track_rate_ + 0.1, 60.1);
        if (c1 == '-') track_rate_ = std::max(track_rate_ - 0.1, 56.4);
        return "";
    }
    if (c0 == 'S') return set(cmd, t, w);
    if (c0 == 'G') return query(cmd, t, w);
    return ""; // a mount ignores what it does not know
}

std::string Lx200::query(const std::string& cmd, double t, std::string& w) {
    const std::string q = cmd.substr(1);
    char buf[64];
    if (q == "R" || q == "D") {
        double ra, dec;
        reported(t, &ra, &dec);
        return (q == "R" ? ra_text(ra) : dec_text(dec)) + "#";
    }
    if (q == "r") return ra_text(target_ra_) + "#";
    if (q == "d") return dec_text(target_dec_) + "#";
    if (q == "A") {
        double ra, dec;
        reported(t, &ra, &dec);
        return format_dec(world_.altitude(ra, dec, t)) + "#";
    }
    if (q == "S") return format_ra_long(world_.sidereal_time(t)) + "#";
    if (q == "t") return format_dec(world_.mount().latitude) + "#";
    if (q == "g") {
        const long m = std::lround(std::abs(longitude_) * 60.0);
        std::snprintf(buf, sizeof buf, "%c%03ld*%02ld#", longitude_ < 0 ? '-' : '+', m / 60,
                      m % 60);
        return buf;
    }
    if (q == "G") {
        const double h = utc_offset_;
        if (h == std::round(h))
            std::snprintf(buf, sizeof buf, "%+03d#", static_cast<int>(h));
        else
            std::snprintf(buf, sizeof buf, "%+05.1f#", h);
        return buf;
    }
    if (q == "L" || q == "a") {
        // 24-hour (L) or 12-hour (a) local time.
        const long s = static_cast<long>(std::floor(local_seconds(t))) % 86400;
        long h = s / 3600;
        if (q == "a") h = h % 12 == 0 ? 12 : h % 12;
        std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld#", h, (s / 60) % 60, s % 60);
        return buf;
    }
    if (q == "C") {
        int y, m, d;
        civil_from_days(static_cast<long>(std::floor(local_seconds(t) / 86400.0)), &y, &m, &d);
        std::snprintf(buf, sizeof buf, "%02d/%02d/%02d#", m, d, y % 100);
        return buf;
    }
    if (q == "c") return "24#";
    if (q == "T") {
        std::snprintf(buf, sizeof buf, "%04.1f#", track_rate_);
        return buf;
    }
    if (q.size() == 1 && q[0] >= 'M' && q[0] <= 'P') return site_names_[q[0] - 'M'] + "#";
    if (q == "VP") return "LX200 Sim#";
    if (q == "VN") return "1.0#";
    if (q == "VD") return "Jan 01 2026#";
    if (q == "VT") return "00:00:00#";
    w = "unknown query";
    return "";
}

std::string Lx200::set(const std::string& cmd, double t, std::string& w) {
    const char c1 = cmd.size() > 1 ? cmd[1] : '\0';
    const std::string arg = cmd.size() > 2 ? cmd.substr(2) : std::string();
    double v;
    if (c1 == 'r' || c1 == 'd') {
        const bool good = c1 == 'r' ? parse_ra(arg, &v) : parse_dec(arg, &v);
        if (!good) {
            w = "bad coordinate: " + cmd;
            return "0";
        }
        (c1 == 'r' ? target_ra_ : target_dec_) = v;
        has_target_ = true;
        has_object_ = false;
        w = c1 == 'r' ? "target RA " + format_ra(v) : "target Dec " + format_dec(v);
        return "1";
    }
    if (c1 == 't') {
        if (!parse_dec(arg, &v)) return "0";
        world_.set_latitude(v);
        w = "site latitude " + format_dec(v);
        return "1";
    }
    if (c1 == 'g') {
        if (!parse_longitude(arg, &v)) return "0";
        longitude_ = std::remainder(v, 360.0);
        w = "site longitude " + trim(arg);
        return "1";
    }
    if (c1 == 'G') {
        if (!parse_number(arg, -24, 24, &v)) return "0";
        utc_offset_ = v;
        w = "UTC offset " + trim(arg);
        return "1";
    }
    if (c1 == 'L') {
        int s;
        if (!parse_time(arg, &s)) return "0";
        const double day = std::floor(local_seconds(t) / 86400.0) * 86400.0;
        clock_offset_ = day + s - t;
        w = "local time " + trim(arg);
        return "1";
    }
    if (c1 == 'C') {
        long days;
        if (!parse_date(arg, &days)) return "0";
        const double time_of_day =
            local_seconds(t) - std::floor(local_seconds(t) / 86400.0) * 86400.0;
        clock_offset_ = days * 86400.0 + time_of_day - t;
        w = "date " + trim(arg);
        // As the hand box: the status, then two lines while it recomputes.
        return "1Updating Planetary Data#" + std::string(30, ' ') + "#";
    }
    if (c1 == 'T') {
        if (!parse_number(arg, 55, 65, &v)) return "0";
        track_rate_ = v;
        return "1";
    }
    if (c1 >= 'M' && c1 <= 'P') {
        std::string name = trim(arg);
        if (name.empty()) return "0";
        if (name.size() > 15) name.resize(15);
        site_names_[c1 - 'M'] = name;
        w = "site name " + name;
        return "1";
    }
    w = "unknown setting";
    return "0";
}

} // namespace sim
