#include "cli/mount_verb.h"
#include "cli/drive_link.h"

#include "acquisition/camera_controls.h"
#include "acquisition/sequence.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "telescope/mount_controls.h"
#include "telescope/mount_protocol.h"
#include "telescope/telescope_state.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr long MS_MIN = 1;
constexpr long MS_MAX = 60000; // a minute: longer is a slew, not a move

const char* const usage_mount =
    "usage: nocteris-cli mount [--port comN] ACTION [OPTIONS]\n"
    "\n"
    "Drives the mount as the telescope dialog does: through the settings file's\n"
    "telescope link (the camera's serial port, the PC serial port or the guide\n"
    "socket's relays), or with --port comN an LX200 mount on PC serial port N\n"
    "(1-32).\n"
    "\n"
    "Actions:\n"
    "  goto --ra HH:MM --dec sDD:MM   co-ordinates: R.A. 00:00-23:59,\n"
    "                                 Dec -89:00 to +89:59\n"
    "  goto --messier N               Messier 1-110\n"
    "  goto --ngc N                   CNGC 1-7815\n"
    "  goto --star N                  the mount's star catalogue, 1-9999\n"
    "  goto --planet NAME             mercury, venus, mars, jupiter, saturn,\n"
    "                                 uranus, neptune or pluto\n"
    "  move n|s|e|w --ms N [--rate guide|centre|find|slew]\n"
    "                                 a manual move of N ms (default rate slew)\n"
    "  pulse n|s|e|w --ms N           a guide pulse of N ms at guide rate\n"
    "  focus in|out --ms N [--slow]   run the focuser for N ms (fast unless --slow)\n"
    "  info                           the mount's current object information\n"
    "\n"
    "N of --ms is 1-60000. Exit status: 0 done, 1 no connection to the mount or\n"
    "the mount refused, 2 a wrong command line (nothing is sent).\n";

struct MountOptions {
    DriveChoice drive;
    std::string action;
    // goto
    bool coordinates = false;
    int ra_h = 0, ra_m = 0, dec_d = 0, dec_m = 0;
    char kind = 0; // 'm', 'c' or 's'
    int number = 0;
    // move, pulse, focus
    char which = 0; // 'n', 's', 'e', 'w'; '+' or '-' for the focuser
    long ms = 0;
    char rate = 0; // 'G', 'C', 'M', 'S'; 0 keeps the default
    bool slow = false;
    bool help = false;
};

bool say(std::ostream& err, const std::string& what) {
    err << "nocteris-cli: " << what << "\n";
    return false;
}

// The dialog's own refusal, shown as it shows it (the box becomes a line).
bool dialog_says(const char* text) {
    platform::ui().message_box(text, MOUNT_CAPTION);
    return false;
}

bool digits(const std::string& s, std::size_t from, std::size_t to, int& v) {
    if (from >= to || to - from > 3) return false;
    v = 0;
    for (std::size_t i = from; i < to; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        v = v * 10 + (s[i] - '0');
    }
    return true;
}

// "A:B" with an optional sign; false when it is not of that form.
bool two_fields(const std::string& s, bool signed_ok, int& a, int& b, bool& negative) {
    std::size_t i = 0;
    negative = false;
    if (signed_ok && !s.empty() && (s[0] == '+' || s[0] == '-')) negative = s[i++] == '-';
    const auto colon = s.find(':', i);
    if (colon == std::string::npos || s.size() - colon - 1 != 2) return false;
    return digits(s, i, colon, a) && digits(s, colon + 1, s.size(), b);
}

bool direction(const std::string& word, char& which) {
    if (word.size() != 1 || std::string("nsew").find(word[0]) == std::string::npos) return false;
    which = word[0];
    return true;
}

bool whole(const std::string& text, long& v) {
    return parse_whole_number(text.c_str(), v);
}

// Reads and checks the whole command line, the dialog's range rules
// included, before anything is opened or sent.
bool parse_mount(int argc, const char* const* argv, MountOptions& o, std::ostream& err) {
    std::string ra, dec, planet, positional, ms_text;
    bool ra_given = false, dec_given = false, ms_given = false;
    long messier = 0, ngc = 0, star = 0;
    bool messier_given = false, ngc_given = false, star_given = false;
    int targets = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        std::string v;
        auto value = [&] {
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        auto number = [&](long& n, bool& given) {
            ++targets;
            given = true;
            if (!value() || !whole(v, n)) return say(err, a + " takes a whole number");
            return true;
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--port") {
            if (!value() || !parse_com_port(v, o.drive.com))
                return say(err, "--port takes comN, N from 1 to 32");
        } else if (a == "--ra") {
            if (!value()) return say(err, "--ra takes HH:MM");
            ra = v;
            ra_given = true;
        } else if (a == "--dec") {
            if (!value()) return say(err, "--dec takes sDD:MM");
            dec = v;
            dec_given = true;
        } else if (a == "--messier") {
            if (!number(messier, messier_given)) return false;
        } else if (a == "--ngc") {
            if (!number(ngc, ngc_given)) return false;
        } else if (a == "--star") {
            if (!number(star, star_given)) return false;
        } else if (a == "--planet") {
            ++targets;
            if (!value()) return say(err, "--planet takes a planet's name");
            planet = v;
        } else if (a == "--ms") {
            if (!value()) return say(err, "--ms takes a whole number of milliseconds");
            ms_text = v;
            ms_given = true;
        } else if (a == "--rate") {
            if (!value()) return say(err, "--rate takes guide, centre, find or slew");
            o.rate = v == "guide"    ? 'G'
                     : v == "centre" ? 'C'
                     : v == "find"   ? 'M'
                     : v == "slew"   ? 'S'
                                     : 0;
            if (!o.rate) return say(err, "--rate takes guide, centre, find or slew");
        } else if (a == "--slow") {
            o.slow = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return say(err, "unknown option '" + a + "'");
        } else if (o.action.empty()) {
            o.action = a;
        } else if (positional.empty()) {
            positional = a;
        } else {
            return say(err, "unexpected '" + a + "'; see --help");
        }
    }
    if (o.help) return true;

    const std::string& act = o.action;
    if (act != "goto" && act != "move" && act != "pulse" && act != "focus" && act != "info")
        return say(err, act.empty() ? "mount needs an action: goto, move, pulse, focus or info"
                                    : "unknown mount action '" + act + "'");
    const bool timed = act == "move" || act == "pulse" || act == "focus";
    if (act != "goto" && (ra_given || dec_given || targets))
        return say(err, "--ra, --dec, --messier, --ngc, --star and --planet go with goto");
    if (!timed && ms_given) return say(err, "--ms goes with move, pulse and focus");
    if (act != "move" && o.rate) return say(err, "--rate goes with move");
    if (act != "focus" && o.slow) return say(err, "--slow goes with focus");
    if ((act == "goto" || act == "info") && !positional.empty())
        return say(err, "unexpected '" + positional + "'; see --help");

    if (act == "goto") {
        // Messier and CNGC are one choice, as in the dialog: Messier wins.
        const int catalogue = messier_given && ngc_given ? 1 : 0;
        if (targets - catalogue + (ra_given || dec_given ? 1 : 0) != 1)
            return say(err, "goto takes one target: --ra and --dec, --messier, --ngc, --star "
                            "or --planet");
        if (ra_given || dec_given) {
            if (!ra_given || !dec_given) return say(err, "goto needs both --ra and --dec");
            bool negative = false, unused = false;
            if (!two_fields(ra, false, o.ra_h, o.ra_m, unused))
                return say(err, "--ra takes HH:MM, for example 05:35");
            if (!two_fields(dec, true, o.dec_d, o.dec_m, negative))
                return say(err, "--dec takes sDD:MM, for example -05:23");
            if (negative) o.dec_d = -o.dec_d;
            if (!coordinates_valid(o.ra_h, o.ra_m, o.dec_d, o.dec_m))
                return dialog_says(INVALID_COORDINATES);
            // The mount's command carries its sign on the degrees.
            if (negative && o.dec_d == 0 && o.dec_m > 0)
                return say(err, "--dec -00:MM cannot be sent: the mount's command goes out as "
                                "+00:MM for 0 degrees");
            o.coordinates = true;
        } else if (messier_given || ngc_given) {
            if (!choose_catalogue_object(static_cast<int>(messier), static_cast<int>(ngc), &o.kind,
                                         &o.number))
                return dialog_says(OBJECT_OUT_OF_RANGE);
        } else if (star_given) {
            if (star < 1 || star > 9999)
                return say(err, "--star takes a star-catalogue number from 1 to 9999");
            o.kind = 's';
            o.number = static_cast<int>(star);
        } else {
            o.number = planet_number(planet.c_str());
            if (!o.number)
                return say(err, "unknown planet '" + planet +
                                    "' (mercury, venus, mars, jupiter, saturn, uranus, "
                                    "neptune or pluto)");
            o.kind = 's';
        }
        return true;
    }
    if (act == "info") return true;

    if (act == "focus") {
        if (positional != "in" && positional != "out") return say(err, "focus takes in or out");
        o.which = positional == "in" ? '+' : '-';
    } else if (!direction(positional, o.which)) {
        return say(err, act + " takes a direction: n, s, e or w");
    }
    if (!ms_given || !whole(ms_text, o.ms) || o.ms < MS_MIN || o.ms > MS_MAX)
        return say(err, act + " needs --ms N, a whole number of milliseconds from 1 to 60000");
    return true;
}

// A reply as a line: control bytes and the upper half as \xNN, never longer
// than a reply text keeps.
std::string printable(const char* text) {
    std::string s;
    const std::size_t n = ::strnlen(text, REPLY_CHARS);
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') { // a backslash would read as an escape
            s += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            s += hex;
        }
    }
    return s;
}

int lx200_only(const std::string& action, std::ostream& err) {
    say(err, action + " needs an LX200 mount; the settings choose the guide socket's relays");
    return 1;
}

// What the mount said to the slew: accepted, or its refusal.
int slew_result(bool coordinates, std::ostream& out, std::ostream& err) {
    const std::string refusal = slew_refusal(coordinates);
    if (refusal.empty()) {
        out << "GoTo accepted\n";
        return 0;
    }
    say(err, "the mount refused the GoTo: " + refusal);
    return 1;
}

int do_goto(const MountOptions& o, std::ostream& out, std::ostream& err) {
    if (cfg.telescope == 'b') return lx200_only("goto", err);
    if (o.coordinates) {
        goto_coordinates(o.ra_h, o.ra_m, o.dec_d, o.dec_m);
    } else if (o.kind == 's') {
        move_telescope('s', o.number);
    } else {
        goto_object(o.kind == 'm' ? o.number : 0, o.kind == 'c' ? o.number : 0);
    }
    if (serial.move_error[0]) out << "object: " << printable(serial.move_error) << "\n";
    return slew_result(o.coordinates, out, err);
}

int do_info(std::ostream& out, std::ostream& err) {
    if (cfg.telescope == 'b') return lx200_only("info", err);
    GetInfo();
    if (!serial.move_error[0]) {
        say(err, "the mount sent no object information");
        return 1;
    }
    out << "object: " << printable(serial.move_error) << "\n";
    return 0;
}

const char* rate_name(char rate) {
    switch (rate) {
    case 'S':
        return "slew";
    case 'M':
        return "find";
    case 'C':
        return "centre";
    default:
        return "guide";
    }
}

const char* direction_name(char which) {
    switch (which) {
    case 'n':
        return "north";
    case 's':
        return "south";
    case 'e':
        return "east";
    default:
        return "west";
    }
}

int do_move(const MountOptions& o, std::ostream& out) {
    const auto ms = static_cast<std::uint32_t>(o.ms);
    if (cfg.telescope == 'b') {
        socket_pad_press(o.which);
        platform::sleep_ms(ms);
        socket_pad_release();
        out << "moved " << direction_name(o.which) << " for " << o.ms
            << " ms on the guide relays\n";
        return 0;
    }
    if (o.rate) set_tele_speed(o.rate);
    pad_press(o.which);
    platform::sleep_ms(ms);
    pad_release();
    out << "moved " << direction_name(o.which) << " for " << o.ms << " ms at "
        << rate_name(shown_tele_speed()) << " rate\n";
    return 0;
}

int do_pulse(const MountOptions& o, std::ostream& out) {
    tele.slewdir = direction_letter(o.which);
    tele.slew_time = static_cast<int>(o.ms);
    drive_slew();
    out << "pulsed " << direction_name(o.which) << " for " << o.ms << " ms"
        << (cfg.telescope == 'b' ? " on the guide relays" : " at guide rate") << "\n";
    return 0;
}

int do_focus(const MountOptions& o, std::ostream& out, std::ostream& err) {
    if (cfg.telescope == 'b') return lx200_only("focus", err);
    set_focus_speed(o.slow ? 'S' : 'F');
    focus_press(o.which);
    platform::sleep_ms(static_cast<std::uint32_t>(o.ms));
    focus_release();
    out << "focused " << (o.which == '+' ? "in" : "out") << " for " << o.ms << " ms, "
        << (o.slow ? "slow" : "fast") << "\n";
    return 0;
}

} // namespace

int cmd_mount(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    MountOptions o;
    if (!parse_mount(argc, argv, o, err)) return 2;
    if (o.help) {
        out << usage_mount;
        return 0;
    }
    int status = 1;
    if (connect_drive(o.drive, err)) {
        if (o.action == "goto")
            status = do_goto(o, out, err);
        else if (o.action == "info")
            status = do_info(out, err);
        else if (o.action == "move")
            status = do_move(o, out);
        else if (o.action == "pulse")
            status = do_pulse(o, out);
        else
            status = do_focus(o, out, err);
    }
    reset_serial_link_state(); // closes the PC port
    CloseUSBdevice();
    return status;
}
