#include "sim/lx200.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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
    if (i < s.size() && s[i] == ':') {
        ++i;
        if (!number(s, i, &sec, 2) || sec > 59) return false;
    }
    if (i != s.size() || d > 90 || m > 59 || (d == 90 && (m > 0 || sec > 0))) return false;
    *degrees = sign * (d + m / 60.0 + sec / 3600.0);
    return true;
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

Lx200::Lx200(World& world) : world_(world) {
    target_ra_ = world.mount().ra_hours;
    target_dec_ = world.mount().dec_deg;
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
        if (world_.go_to(target_ra_, target_dec_, t, &alt)) {
            w = "GoTo " + format_ra(target_ra_) + " " + format_dec(target_dec_);
            return "0";
        }
        char buf[64];
        std::snprintf(buf, sizeof buf, "GoTo refused, altitude %.1f", alt);
        w = buf;
        return alt < world_.mount().horizon ? "1Object Below Horizon#"
                                            : "2Object Above Upper Limit#";
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
    if (c0 == 'S' && (c1 == 'r' || c1 == 'd')) {
        double v;
        const bool good = c1 == 'r' ? parse_ra(cmd.substr(2), &v) : parse_dec(cmd.substr(2), &v);
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
    if (c0 == 'G' && (c1 == 'R' || c1 == 'D') && cmd.size() == 2) {
        double ra, dec;
        world_.pointing(t, &ra, &dec);
        return (c1 == 'R' ? format_ra(ra) : format_dec(dec)) + "#";
    }
    return ""; // a mount ignores what it does not know
}

} // namespace sim
