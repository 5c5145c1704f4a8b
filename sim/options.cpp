#include "sim/options.h"

#include "sim/render.h"

#include <cmath>
#include <cstdlib>

namespace sim {

namespace {

bool to_double(const std::string& s, double* v) {
    if (s.empty()) return false;
    char* end = nullptr;
    const double d = std::strtod(s.c_str(), &end);
    if (*end != '\0' || !std::isfinite(d)) return false;
    *v = d;
    return true;
}

bool to_int(const std::string& s, long* v) {
    if (s.empty()) return false;
    char* end = nullptr;
    const long l = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0') return false;
    *v = l;
    return true;
}

// "a,b" -> two numbers; "a" alone leaves b as it was when b_optional.
bool pair(const std::string& s, double* a, double* b, bool b_optional) {
    const auto comma = s.find(',');
    if (comma == std::string::npos) return b_optional && to_double(s, a);
    return to_double(s.substr(0, comma), a) && to_double(s.substr(comma + 1), b);
}

// "HH:MM" / "HH:MM:SS" / decimal -> hours or degrees.
bool sexagesimal(const std::string& s, double* v) {
    if (to_double(s, v)) return true;
    double parts[3] = {0, 0, 0};
    int n = 0;
    std::size_t start = 0;
    const bool negative = !s.empty() && s[0] == '-';
    const std::string body = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? s.substr(1) : s;
    while (n < 3) {
        const auto colon = body.find(':', start);
        const std::string piece =
            body.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!to_double(piece, &parts[n++])) return false;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (n < 2) return false;
    *v = (parts[0] + parts[1] / 60 + parts[2] / 3600) * (negative ? -1 : 1);
    return true;
}

} // namespace

std::string usage() {
    return R"(Usage: nocteris-sim [options]

Simulates a Nocteris camera (main and autoguider CCD), an LX200 mount, the AO
unit, the USB filter wheel and the serial filter box, all looking at one sky.
The program finds the camera through a socket in ~/autosave/usb, the same way
it finds a real one; the PC serial port is a pseudo-terminal linked as
~/autosave/com<n>. Stop with Ctrl-C; SIGUSR1 prints the true pointing.

Camera:
  --model N             camera model code 1-8 (default 2)
  --pid XXXX            USB product id instead of a model (e.g. an unlisted 0200)
  --guider 500|376      autoguider CCD width (default 500)
  --readout-rate PIX    pixels read a second, 0 for instant (default 1000000)
  --firmware MAJ.MIN    firmware version reported (default 2.12)
Sky and optics:
  --stars D             stars per square arcminute (default 0.4)
  --seeing ARCSEC       seeing, full width at half maximum (default 2.5)
  --focal-length MM     telescope focal length, 200 or more (default 1000)
  --angle DEG           camera angle between sensor axes and RA/Dec (default 0)
Mount:
  --ra HH:MM --dec DD:MM  where the telescope points at start (default M13)
  --latitude DEG        site latitude (default 51.5)
  --drift RA,DEC        drift of the pointing, arcsec a second east,north
                        (default 0.03,0.02; 0,0 for a perfectly aligned mount)
  --pe AMP[,PERIOD]     periodic error, arcsec and seconds (default 4,480)
  --backlash RA,DEC     gear backlash, arcsec (default 0,4)
  --guide-rate X        guide rate, multiples of sidereal (default 0.5)
  --socket-device mount|ao  what is plugged into the guide socket (default mount)
Accessories:
  --filters N           positions of the USB filter wheel, 0 for no USB wheel (default 5)
  --com N               PC serial port: link com<N> to the pseudo-terminal, 0 for none (default 3)
Faults:
  --fault disconnect:N  the camera link drops half-way through frame N (0 = the first)
  --fault short:P       frames arrive cut short with chance P
  --fault stall:P       camera replies never arrive with chance P
  --fault garbage:P     mount replies come out as noise with chance P
  --fault noreply:P     mount replies never come with chance P
Other:
  --seed N              random seed for the sky and the noise (default 1)
  --serial NAME         device serial in the socket names (default sim0)
  --verbose             report every command block
  --quiet               report only the start and errors
  -h, --help            this text
)";
}

bool parse_options(const std::vector<std::string>& args, Options* opt, std::string* error) {
    Config& c = opt->sim;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) {
                *error = a + " needs a value";
                return false;
            }
            *out = args[++i];
            return true;
        };
        auto bad = [&](const std::string& v) {
            *error = "bad value for " + a + ": " + v;
            return false;
        };
        std::string v;
        double d;
        long l;
        if (a == "-h" || a == "--help") {
            opt->help = true;
        } else if (a == "--verbose") {
            opt->verbose = true;
        } else if (a == "--quiet") {
            opt->quiet = true;
        } else if (a == "--model") {
            if (!value(&v)) return false;
            if (!to_int(v, &l) || l < 1 || l > 8) return bad(v);
            c.camera.pid = pid_for_model(static_cast<int>(l));
        } else if (a == "--pid") {
            if (!value(&v)) return false;
            if (v.size() != 4 || v.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return bad(v);
            c.camera.pid = v;
        } else if (a == "--guider") {
            if (!value(&v)) return false;
            if (v != "500" && v != "376") return bad(v);
            c.camera.guider_width = std::stoi(v);
        } else if (a == "--readout-rate") {
            if (!value(&v)) return false;
            if (!to_double(v, &d) || d < 0) return bad(v);
            c.camera.readout_rate = d;
        } else if (a == "--firmware") {
            if (!value(&v)) return false;
            const auto dot = v.find('.');
            long maj, min;
            if (dot == std::string::npos || !to_int(v.substr(0, dot), &maj) ||
                !to_int(v.substr(dot + 1), &min) || maj < 0 || maj > 65535 || min < 0 ||
                min > 65535)
                return bad(v);
            c.camera.firmware_major = static_cast<int>(maj);
            c.camera.firmware_minor = static_cast<int>(min);
        } else if (a == "--stars") {
            if (!value(&v)) return false;
            if (!to_double(v, &d) || d < 0 || d > 50) return bad(v);
            c.sky.density = d;
        } else if (a == "--seeing") {
            if (!value(&v)) return false;
            if (!to_double(v, &d) || d <= 0 || d > 30) return bad(v);
            c.sky.seeing = d;
        } else if (a == "--focal-length") {
            if (!value(&v)) return false;
            if (!to_double(v, &d) || d < 200 || d > 50000) return bad(v);
            c.camera.focal_length_mm = d;
        } else if (a == "--angle") {
            if (!value(&v)) return false;
            if (!to_double(v, &d)) return bad(v);
            c.camera.angle_deg = d;
        } else if (a == "--ra") {
            if (!value(&v)) return false;
            if (!sexagesimal(v, &d) || d < 0 || d >= 24) return bad(v);
            c.mount.ra_hours = d;
        } else if (a == "--dec") {
            if (!value(&v)) return false;
            if (!sexagesimal(v, &d) || d < -90 || d > 90) return bad(v);
            c.mount.dec_deg = d;
        } else if (a == "--latitude") {
            if (!value(&v)) return false;
            if (!to_double(v, &d) || d < -90 || d > 90) return bad(v);
            c.mount.latitude = d;
        } else if (a == "--drift") {
            if (!value(&v)) return false;
            if (!pair(v, &c.mount.drift_ra, &c.mount.drift_dec, false)) return bad(v);
        } else if (a == "--pe") {
            if (!value(&v)) return false;
            if (!pair(v, &c.mount.pe_amplitude, &c.mount.pe_period, true) || c.mount.pe_period <= 0)
                return bad(v);
        } else if (a == "--backlash") {
            if (!value(&v)) return false;
            if (!pair(v, &c.mount.backlash_ra, &c.mount.backlash_dec, false) ||
                c.mount.backlash_ra < 0 || c.mount.backlash_dec < 0)
                return bad(v);
        } else if (a == "--guide-rate") {
            if (!value(&v)) return false;
            if (!to_double(v, &d) || d <= 0 || d > 10) return bad(v);
            c.mount.guide_rate = d;
        } else if (a == "--socket-device") {
            if (!value(&v)) return false;
            if (v == "mount")
                c.camera.socket = SocketDevice::Mount;
            else if (v == "ao")
                c.camera.socket = SocketDevice::AoUnit;
            else
                return bad(v);
        } else if (a == "--filters") {
            if (!value(&v)) return false;
            if (!to_int(v, &l) || l < 0 || l > 127) return bad(v);
            c.wheel.usb = l > 0;
            if (l > 0) c.wheel.positions = static_cast<int>(l);
        } else if (a == "--com") {
            if (!value(&v)) return false;
            if (!to_int(v, &l) || l < 0 || l > 99) return bad(v);
            opt->server.com_port = static_cast<int>(l);
        } else if (a == "--serial") {
            if (!value(&v)) return false;
            if (v.empty() || v.size() > 16 || v.find_first_of("/#&\\") != std::string::npos)
                return bad(v);
            opt->server.serial = v;
        } else if (a == "--seed") {
            if (!value(&v)) return false;
            if (!to_int(v, &l)) return bad(v);
            c.seed = static_cast<std::uint64_t>(l);
        } else if (a == "--fault") {
            if (!value(&v)) return false;
            const auto colon = v.find(':');
            const std::string kind = v.substr(0, colon);
            const std::string arg = colon == std::string::npos ? "" : v.substr(colon + 1);
            if (kind == "disconnect") {
                if (!to_int(arg.empty() ? "0" : arg, &l) || l < 0) return bad(v);
                c.faults.camera.disconnect_frame = static_cast<int>(l);
            } else {
                if (!to_double(arg.empty() ? "1" : arg, &d) || d < 0 || d > 1) return bad(v);
                if (kind == "short")
                    c.faults.camera.short_read = d;
                else if (kind == "stall")
                    c.faults.camera.stall = d;
                else if (kind == "garbage")
                    c.faults.serial.garbage = d;
                else if (kind == "noreply")
                    c.faults.serial.missing = d;
                else
                    return bad(v);
            }
        } else {
            *error = "unknown option " + a + " (try --help)";
            return false;
        }
    }
    return true;
}

} // namespace sim
