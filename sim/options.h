#pragma once
#include "sim/server.h"
#include "sim/simulator.h"

#include <string>
#include <vector>

// nocteris-sim's command line.
namespace sim {

// A person's sky drifts a little, as on a mount that is not quite polar
// aligned, so that guiding has something to do; the library's default stays
// still for the tests.
constexpr double DEFAULT_DRIFT_RA = 0.03; // arcsec a second east
constexpr double DEFAULT_DRIFT_DEC = 0.02;

inline Config person_config() {
    Config c;
    c.mount.drift_ra = DEFAULT_DRIFT_RA;
    c.mount.drift_dec = DEFAULT_DRIFT_DEC;
    return c;
}

struct Options {
    Config sim = person_config();
    ServerOptions server;
    bool help = false;
    bool verbose = false;
    bool quiet = false;
};

// Fills opt from the arguments (without the program name). On a mistake
// returns false with a one-line explanation in *error.
bool parse_options(const std::vector<std::string>& args, Options* opt, std::string* error);
std::string usage();

} // namespace sim
