#include "telescope/mount_protocol.h"

#include "devices/serial_link.h"
#include "platform/clock.h"
#include "platform/ui.h"
#include "settings/settings.h"
#include "telescope/telescope_state.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int LX200_COMMAND_BYTES = 5;
constexpr int SELECT_BYTES = 10; // "#:LM 0031#"
constexpr int RA_BYTES = 12;     // "#:Sr 05:07.0": the next '#' ends it
constexpr int DEC_BYTES = 11;    // "#:Sd -03*04"
constexpr std::uint32_t GUIDE_RATE_SETTLE_MS = 20;
constexpr std::uint32_t LX200_AFTER_PULSE_MS = 4;
constexpr std::uint32_t RELAY_LEAD_MS = 10;
constexpr std::uint32_t RELAY_AFTER_PULSE_MS = 300;
constexpr std::uint32_t INFO_REPLY_MS = 200;
constexpr std::uint32_t SLEW_REPLY_MS = 500;

std::uint32_t now() {
    return platform::now_ms();
}

// Differences, not comparisons: the clock wraps at 32 bits.
void wait_until(std::uint32_t t) {
    const auto left = static_cast<std::int32_t>(t - now());
    if (left > 0) platform::sleep_ms(static_cast<std::uint32_t>(left));
}

std::uint32_t pulse_ms() {
    return tele.slew_time > 0 ? static_cast<std::uint32_t>(tele.slew_time) : 0;
}

void send(const char* text, int length = LX200_COMMAND_BYTES,
          std::uint32_t wait_limit_ms = UINT32_MAX) {
    WriteSerial(serial.Port, text, length, wait_limit_ms);
}

void relays(unsigned char bits) {
    serial.Kelvo500command = bits;
    Kelvo500Write();
}

// One LX200 pulse: guide rate, settle until `t`, move for `slew_time`, stop.
void lx200_pulse(char dir, std::uint32_t& t) {
    char move[] = "#:Me#";
    char halt[] = "#:Qe#";
    move[3] = halt[3] = dir;
    send("#:RG#");
    wait_until(t);
    // The pulse is timed from just before the move goes out; the write's own
    // settling must not hold back the stop.
    const platform::Interval pulse(pulse_ms());
    send(move, LX200_COMMAND_BYTES, pulse_ms());
    pulse.wait();
    send(halt);
    t = now();
}

void relay_pulse(unsigned char bit, std::uint32_t& t) {
    wait_until(t);
    const platform::Interval pulse(pulse_ms());
    relays(bit);
    pulse.wait();
    relays(0);
    t = now();
}

int relay_bit(char dir) {
    switch (dir) {
    case 'w':
        return RELAY_WEST;
    case 'e':
        return RELAY_EAST;
    case 's':
        return RELAY_SOUTH;
    case 'n':
        return RELAY_NORTH;
    default:
        return -1;
    }
}

void set_text(char (&dst)[MOUNT_COMMAND_TEXT], const char* text) {
    std::memcpy(dst, text, MOUNT_COMMAND_TEXT);
}

void slew_and_check(std::uint32_t settle_ms) {
    platform::ui().beep();
    send("#:MS#");
    platform::sleep_ms(settle_ms);
    CheckSerialReturn(serial.Port);
}

} // namespace

void drive_slew() {
    if (cfg.telescope == 'b') {
        interface_slew();
        return;
    }
    std::uint32_t t = now() + GUIDE_RATE_SETTLE_MS;
    for (char dir : {'e', 'w', 'n', 's'})
        if (tele.slewdir == dir) lx200_pulse(dir, t);
    platform::sleep_ms(LX200_AFTER_PULSE_MS);
}

void interface_slew() {
    std::uint32_t t = now() + RELAY_LEAD_MS;
    for (char dir : {'n', 'e', 'w', 's'})
        if (tele.slewdir == dir) relay_pulse(static_cast<unsigned char>(relay_bit(dir)), t);
    platform::sleep_ms(RELAY_AFTER_PULSE_MS);
}

void start_move() {
    send(tele.tele_speed);
    send(tele.move_direction);
    tele.tele_moving = 1;
}

void stop_move() {
    tele.tele_moving = 0;
    for (const char* halt : {"#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"}) send(halt);
}

int CB_start_move() {
    const int bit = relay_bit(tele.slewdir);
    if (bit < 0) return MOUNT_BAD_ARGUMENT;
    platform::sleep_ms(1);
    relays(static_cast<unsigned char>(bit));
    tele.tele_moving = 1;
    return MOUNT_OK;
}

void CB_stop_move() {
    relays(0);
    tele.tele_moving = 0;
}

void start_focus() {
    send(tele.focus_speed);
    send(tele.focus_direction);
    tele.tele_focussing = 1;
}

void stop_focus() {
    // The focuser's own flag: clearing `tele_moving` here would let a second
    // manual move start over a running one.
    tele.tele_focussing = 0;
    send("#:FQ#");
}

char direction_letter(char which) {
    switch (which) {
    case 'e':
        return cfg.e;
    case 'w':
        return cfg.w;
    case 'n':
        return cfg.n;
    case 's':
        return cfg.s;
    default:
        return 0;
    }
}

int set_move_direction(char which) {
    const char letter = direction_letter(which);
    if (!letter) return MOUNT_BAD_ARGUMENT;
    char text[] = "#:Me#";
    text[3] = letter;
    set_text(tele.move_direction, text);
    return MOUNT_OK;
}

int set_tele_speed(char rate) {
    if (rate != 'S' && rate != 'M' && rate != 'C' && rate != 'G') return MOUNT_BAD_ARGUMENT;
    char text[] = "#:RS#";
    text[3] = rate;
    set_text(tele.tele_speed, text);
    return MOUNT_OK;
}

int set_focus_speed(char speed) {
    if (speed != 'F' && speed != 'S') return MOUNT_BAD_ARGUMENT;
    set_text(tele.focus_speed, speed == 'F' ? "#:FF#" : "#:FS#");
    return MOUNT_OK;
}

int set_focus_direction(char direction) {
    if (direction != '+' && direction != '-') return MOUNT_BAD_ARGUMENT;
    set_text(tele.focus_direction, direction == '+' ? "#:F+#" : "#:F-#");
    return MOUNT_OK;
}

void GetInfo() {
    serial.move_error[0] = '\0';
    send("#:LI#");
    platform::sleep_ms(INFO_REPLY_MS);
    ReadSerial(serial.Port, REPLY_CHARS);
}

int move_telescope(char kind, int number) {
    // Five digits or a sign would push the closing '#' out of the 10 bytes.
    if (number < 0 || number > 9999) return MOUNT_BAD_ARGUMENT;
    serial.move_error[0] = '\0';
    const char catalogue = kind == 'm' ? 'M' : kind == 's' ? 'S' : 'C';
    char text[16];
    std::snprintf(text, sizeof text, "#:L%c %04d#", catalogue, number);
    send(text, SELECT_BYTES);
    GetInfo();
    slew_and_check(SLEW_REPLY_MS);
    return MOUNT_OK;
}

int move_to_coord(int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes) {
    // Anything wider than two digits would shift the fields of the command.
    if (ra_hours < 0 || ra_hours > 23 || ra_minutes < 0 || ra_minutes > 59 || dec_degrees < -90 ||
        dec_degrees > 90 || dec_minutes < 0 || dec_minutes > 59)
        return MOUNT_BAD_ARGUMENT;
    serial.move_error[0] = '\0';
    const std::uint32_t t = now() + 1;
    char ra[16];
    char dec[16];
    std::snprintf(ra, sizeof ra, "#:Sr %02d:%02d.0#", ra_hours, ra_minutes);
    std::snprintf(dec, sizeof dec, "#:Sd %c%02d*%02d#", dec_degrees < 0 ? '-' : '+',
                  std::abs(dec_degrees), dec_minutes);
    send(ra, RA_BYTES);
    send(dec, DEC_BYTES);
    send("#:LI#");
    wait_until(t);
    slew_and_check(1);
    return MOUNT_OK;
}
