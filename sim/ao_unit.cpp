#include "sim/ao_unit.h"

#include <cctype>

namespace sim {

bool AoUnit::command(const std::string& text, double t, std::string* what) {
    std::string dummy;
    std::string& w = what ? *what : dummy;
    if (text == "K") {
        world_.ao_centre(t);
        w = "AO centre";
        return true;
    }
    if (text.size() != 7 || (text[0] != 'G' && text[0] != 'M')) return false;
    Dir d;
    switch (text[1]) {
    case 'N':
        d = NORTH;
        break;
    case 'S':
        d = SOUTH;
        break;
    case 'T':
        d = EAST;
        break;
    case 'W':
        d = WEST;
        break;
    default:
        return false;
    }
    int count = 0;
    for (int i = 2; i < 7; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        count = count * 10 + (text[i] - '0');
    }
    if (text[0] == 'G') {
        world_.ao_step(d, count, t);
        w = "AO " + text + ": ns " + std::to_string(static_cast<int>(world_.ao_ns(t))) + " ew " +
            std::to_string(static_cast<int>(world_.ao_ew(t)));
    } else {
        // The mount output names east and west as the tilt does: its 'T'
        // moves the image the way a 'T' step does, which is the mount's west.
        if (d == EAST || d == WEST) d = d == EAST ? WEST : EAST;
        world_.pulse(d, count * world_.ao().mount_output_ms / 1000.0, t);
        w = "AO " + text + ": mount pulse " +
            std::to_string(static_cast<int>(count * world_.ao().mount_output_ms)) + " ms";
    }
    return true;
}

std::string ao_parallel_code(World& world, unsigned code, double t) {
    world.ao_parallel(code, t);
    switch (code & 15) {
    case 0:
        return "AO reset";
    case 15:
        return "AO idle";
    case 7:
        return "AO east";
    case 11:
        return "AO north";
    case 13:
        return "AO south";
    case 14:
        return "AO west";
    default:
        return "AO code " + std::to_string(code & 15);
    }
}

} // namespace sim
