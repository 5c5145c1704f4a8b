#include "telescope/mount_controls.h"

#include "telescope/mount_protocol.h"
#include "telescope/telescope_state.h"

#include "devices/serial_link.h"
#include "devices/transport.h"

#include <cctype>
#include <cstring>

const Planet planets[PLANET_COUNT] = {
    {"mercury", PLANET_MERCURY}, {"venus", PLANET_VENUS},   {"mars", PLANET_MARS},
    {"jupiter", PLANET_JUPITER}, {"saturn", PLANET_SATURN}, {"uranus", PLANET_URANUS},
    {"neptune", PLANET_NEPTUNE}, {"pluto", PLANET_PLUTO},
};

bool choose_catalogue_object(int messier, int cngc, char* kind, int* number) {
    if (messier >= 1 && messier <= MESSIER_LAST) {
        *kind = 'm';
        *number = messier;
        return true;
    }
    if (cngc >= 1 && cngc <= CNGC_LAST) {
        *kind = 'c';
        *number = cngc;
        return true;
    }
    return false;
}

bool coordinates_valid(int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes) {
    return ra_hours >= 0 && ra_hours <= 23 && ra_minutes >= 0 && ra_minutes <= 59 &&
           dec_degrees >= -89 && dec_degrees <= 89 && dec_minutes >= 0 && dec_minutes <= 59;
}

namespace {

// On the PC port nothing reads the co-ordinate commands' acknowledgements
// ("1" each) and the information reply before the slew, so the status read
// begins with them. The slew's own status follows them in what was read.
std::string pc_coordinate_status() {
    const int n = serial.pc_received < PC_READ_BYTES ? serial.pc_received : PC_READ_BYTES;
    if (n < 2 || ReportBuffer[0] != '1' || ReportBuffer[1] != '1') return serial.scope_error;
    int i = 2;
    while (i < n && ReportBuffer[i] != '#') ++i;
    if (i >= n) return serial.scope_error; // not that pattern
    std::string status;
    for (++i; i < n && ReportBuffer[i] != '#' && ReportBuffer[i] != '\0'; ++i)
        status += static_cast<char>(ReportBuffer[i]);
    return !status.empty() && status[0] == '0' ? std::string() : status.substr(0, REPLY_CHARS);
}

} // namespace

std::string slew_status(bool coordinates) {
    return coordinates && pc_serial_route() ? pc_coordinate_status()
                                            : std::string(serial.scope_error);
}

std::string slew_refusal(bool coordinates) {
    const std::string status = slew_status(coordinates);
    if (status.empty()) return status;
    const bool coded = status[0] == '1' || status[0] == '2';
    return printable_reply((coded ? status.substr(1) : status).c_str());
}

bool goto_object(int messier, int cngc) {
    char kind;
    int number;
    if (!choose_catalogue_object(messier, cngc, &kind, &number)) return false;
    move_telescope(kind, number);
    return true;
}

bool goto_coordinates(int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes) {
    if (!coordinates_valid(ra_hours, ra_minutes, dec_degrees, dec_minutes)) return false;
    move_to_coord(ra_hours, ra_minutes, dec_degrees, dec_minutes);
    return true;
}

int planet_number(const char* name) {
    for (const Planet& p : planets) {
        const char* a = p.name;
        const char* b = name;
        while (*a && *b && *a == std::tolower(static_cast<unsigned char>(*b))) ++a, ++b;
        if (!*a && !*b) return p.number;
    }
    return 0;
}

bool pad_press(char which) {
    if (tele.tele_moving) return false;
    if (set_move_direction(which) != MOUNT_OK) return false;
    start_move();
    return true;
}

bool pad_release() {
    if (!tele.tele_moving) return false;
    stop_move();
    return true;
}

bool socket_pad_press(char which) {
    if (tele.tele_moving) return false;
    tele.slewdir = direction_letter(which);
    return CB_start_move() == MOUNT_OK;
}

bool socket_pad_release() {
    if (!tele.tele_moving) return false;
    CB_stop_move();
    return true;
}

bool focus_press(char direction) {
    if (tele.tele_focussing) return false;
    if (set_focus_direction(direction) != MOUNT_OK) return false;
    start_focus();
    return true;
}

bool focus_release() {
    if (!tele.tele_focussing) return false;
    stop_focus();
    return true;
}

char shown_tele_speed() {
    const char c = tele.tele_speed[3];
    return c == 'S' || c == 'M' || c == 'C' ? c : 'G';
}

char shown_focus_speed() {
    return tele.focus_speed[3] == 'F' ? 'F' : 'S';
}

std::string printable_reply(const char* reply) {
    std::string out(reply, strnlen(reply, REPLY_TEXT - 1));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
    return out;
}
