#pragma once
#include <string>

// What the simulated mount knows about the objects it can be sent to: the
// Messier catalogue, a list of bright stars with the planets at 901-909, and
// the NGC catalogue (a few famous entries; other numbers get a stand-in
// galaxy at a fixed made-up place, so every number can be tried).
namespace sim {

struct SkyObject {
    std::string name; // "M31", "NGC7000", "VEGA", "JUPITER"
    std::string type; // "GAL", "GC", "OC", "PN", "DN", "SNR", "STAR", "PLNT", ...
    double ra_hours = 0, dec_deg = 0;
};

// kind 'M' Messier, 'S' star catalogue, 'C' NGC. false for numbers the
// catalogue does not have.
bool lookup_object(char kind, int number, SkyObject* out);

} // namespace sim
