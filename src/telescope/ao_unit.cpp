#include "telescope/ao_unit.h"

#include "devices/serial_link.h"
#include "platform/clock.h"
#include "settings/settings.h"
#include "telescope/ao_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int COMMAND_CHARS = 7;
constexpr std::uint32_t SERIAL_SETTLE_MS = 50;
constexpr std::uint32_t PARALLEL_START_MS = 10;
constexpr std::uint32_t PARALLEL_AFTER_MS = 300;
constexpr std::uint32_t RESET_AFTER_MS = 300;
constexpr std::uint32_t OFFLOAD_AFTER_MS = 100;
constexpr std::uint32_t CENTRE_HOLD_MS = 100;
constexpr int OFFLOAD_BASE = 400;

// "G"/"M", a direction letter and the count in five digits; the field holds
// no more, and a negative count would spill past it.
void command(char kind, char letter, int count) {
    count = std::clamp(count, 0, 99999);
    std::snprintf(serial.AOUnitcommand, sizeof serial.AOUnitcommand, "%c%c%.5d", kind, letter,
                  count);
}

void send_code(unsigned char code) {
    std::memset(serial.AOUnitcommand, 0, sizeof serial.AOUnitcommand);
    serial.AOUnitcommand[0] = static_cast<char>(code);
    AOUnitWrite(1);
}

unsigned char parallel_code(char dir) {
    switch (dir) {
    case 'e':
        return AO_CODE_EAST;
    case 'n':
        return AO_CODE_NORTH;
    case 's':
        return AO_CODE_SOUTH;
    case 'w':
        return AO_CODE_WEST;
    default:
        return AO_CODE_IDLE;
    }
}

char serial_letter(char dir) {
    switch (dir) {
    case 'n':
        return 'N';
    case 's':
        return 'S';
    case 'e':
        return 'T';
    case 'w':
        return 'W';
    default:
        return 0;
    }
}

// A timed hold of one direction code, then idle.
void parallel_slew() {
    const unsigned char code = parallel_code(ao.AOUnitslewdir);
    if (code == AO_CODE_IDLE) return;
    platform::sleep_ms(PARALLEL_START_MS);
    send_code(code);
    platform::sleep_ms(static_cast<std::uint32_t>(std::max(ao.AOUnitslew_time, 0)));
    send_code(AO_CODE_IDLE);
    platform::sleep_ms(PARALLEL_AFTER_MS);
}

bool outside(int v, int limit) {
    return v < -limit || v > limit;
}

// Mount rates divide the offload; a rate of 0 must not stop the program.
int offload_count(int rate) {
    int count = OFFLOAD_BASE / std::max(rate, 1);
    if (cfg.AOUnit_halfrate) count /= 2;
    return count;
}

void offload() {
    if (!outside(ao.AO_ns, AO_OFFLOAD_FROM) && !outside(ao.AO_ew, AO_OFFLOAD_FROM)) return;
    const std::uint32_t now = platform::now_ms();
    if (now - ao.AOUnit_lastsent <= AO_OFFLOAD_EVERY_MS) return;
    ao.AOUnit_lastsent = now;
    if (std::abs(ao.AO_ns) > AO_OFFLOAD_FROM) {
        const char letter = ao.AO_ns > AO_OFFLOAD_FROM ? cfg.Mn : cfg.Ms;
        ao.AOUnit_sendtomount[0] = letter;
        command('M', letter, offload_count(cfg.slewx));
        AOUnitWrite(COMMAND_CHARS);
        platform::sleep_ms(OFFLOAD_AFTER_MS);
    }
    if (std::abs(ao.AO_ew) > AO_OFFLOAD_FROM) {
        ao.AOUnit_lastsent = platform::now_ms();
        const char letter = ao.AO_ew > AO_OFFLOAD_FROM ? cfg.Mt : cfg.Mw;
        ao.AOUnit_sendtomount[0] = letter;
        command('M', letter, offload_count(cfg.slewy));
        AOUnitWrite(COMMAND_CHARS);
    }
}

std::int16_t moved(int pos, int by) {
    return static_cast<std::int16_t>(std::clamp(pos + by, -32768, 32767));
}

} // namespace

void AOUnitWrite(int length) {
    length = std::clamp(length, 0, COMMAND_TEXT - 1);
    if (cfg.AOUnitModeParallel) {
        serial.Kelvo500command = static_cast<unsigned char>(serial.AOUnitcommand[0]);
        Kelvo500Write();
        return;
    }
    if (cfg.AOUnit_comport < 3) {
        WriteSerial(cfg.AOUnit_comport, serial.AOUnitcommand, length);
    } else if (ao.pc_port_failed) {
        return;
    } else if (PCSerial_ready()) {
        PCSerial_Write(length);
    } else {
        ao.pc_port_failed = 1;
        return;
    }
    platform::sleep_ms(SERIAL_SETTLE_MS);
}

void AOUnit_slew() {
    if (cfg.AOUnitModeParallel) {
        parallel_slew();
        return;
    }
    const char letter = serial_letter(ao.AOUnitslewdir);
    if (!letter) return;
    const int count = std::clamp(ao.AOUnitslew_time, 0, 99999);
    const std::int16_t ns = ao.AO_ns, ew = ao.AO_ew;
    // A step that would reach the end stops is not tracked.
    switch (ao.AOUnitslewdir) {
    case 'n':
        if (ao.AO_ns + count < AO_STEP_LIMIT) ao.AO_ns = moved(ao.AO_ns, count);
        break;
    case 's':
        if (ao.AO_ns - count > -AO_STEP_LIMIT) ao.AO_ns = moved(ao.AO_ns, -count);
        break;
    case 'e':
        if (ao.AO_ew + count < AO_STEP_LIMIT) ao.AO_ew = moved(ao.AO_ew, count);
        break;
    default:
        if (ao.AO_ew - count > -AO_STEP_LIMIT) ao.AO_ew = moved(ao.AO_ew, -count);
        break;
    }
    command('G', letter, count);
    if (outside(ao.AO_ns, AO_TRAVEL) || outside(ao.AO_ew, AO_TRAVEL)) {
        // Not sent, so the unit has not moved.
        ao.AO_ns = ns;
        ao.AO_ew = ew;
        ao.AOUnit_failed = 1;
    } else {
        AOUnitWrite(COMMAND_CHARS);
        ao.AOUnit_failed = 0;
    }
    offload();
}

void AOUnit_move() {
    if (cfg.AOUnitModeParallel) {
        parallel_slew();
        return;
    }
    const char letter = serial_letter(ao.AOUnitslewdir);
    if (!letter) return;
    const int count = std::clamp(ao.AOUnitslew_time, 0, 99999);
    switch (ao.AOUnitslewdir) {
    case 'n':
        ao.AO_ns = moved(ao.AO_ns, count);
        break;
    case 's':
        ao.AO_ns = moved(ao.AO_ns, -count);
        break;
    case 'e':
        ao.AO_ew = moved(ao.AO_ew, count);
        break;
    default:
        ao.AO_ew = moved(ao.AO_ew, -count);
        break;
    }
    command('M', letter, count);
    AOUnitWrite(COMMAND_CHARS);
}

void AOUnit_reset() {
    if (cfg.AOUnitModeParallel) {
        send_code(AO_CODE_RESET);
        return;
    }
    if (ao.AO_ns != 0) {
        command('G', ao.AO_ns > 0 ? 'S' : 'N', std::abs(ao.AO_ns));
        AOUnitWrite(COMMAND_CHARS);
        platform::sleep_ms(RESET_AFTER_MS);
    }
    if (ao.AO_ew != 0) {
        command('G', ao.AO_ew > 0 ? 'W' : 'T', std::abs(ao.AO_ew));
        AOUnitWrite(COMMAND_CHARS);
        platform::sleep_ms(RESET_AFTER_MS);
    }
}

void AOUnit_retry_port() {
    ao.pc_port_failed = 0;
}

void CentraliseAOUnit() {
    AOUnit_retry_port();
    if (cfg.AOUnitModeParallel) {
        send_code(AO_CODE_IDLE);
        platform::sleep_ms(CENTRE_HOLD_MS);
        send_code(AO_CODE_RESET);
    } else {
        std::memset(serial.AOUnitcommand, 0, sizeof serial.AOUnitcommand);
        serial.AOUnitcommand[0] = 'K';
        AOUnitWrite(1);
    }
    ao.AO_ns = 0;
    ao.AO_ew = 0;
}
