#pragma once
#include "sim/server.h"
#include "sim/simulator.h"

#include <string>
#include <vector>

// nocteris-sim's command line.
namespace sim {

struct Options {
    Config sim;
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
