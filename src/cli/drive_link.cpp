#include "cli/drive_link.h"

#include "acquisition/camera_controls.h"
#include "acquisition/sequence.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "telescope/mount_protocol.h"

namespace {

constexpr int NO_CONNECTION = 36;
// The link check does no traffic: a position query finds out whether a
// mount is there. The wait is the one the object information gets.
constexpr std::uint32_t PROBE_REPLY_MS = 200;
constexpr int PROBE_BYTES = 9; // "HH:MM:SS#"

void say(std::ostream& err, const std::string& what) {
    err << "nocteris-cli: " << what << "\n";
}

// Whether something on the mount's serial route answers a position query.
bool mount_answers() {
    const bool pc = pc_serial_route();
    if (pc && !PCSerial_ready()) return false;
    WriteSerial(serial.Port, "#:GR#", 5);
    platform::sleep_ms(PROBE_REPLY_MS);
    ReadSerial(serial.Port, PROBE_BYTES);
    const int got = pc ? serial.pc_received : PROBE_BYTES;
    for (int i = 0; i < got && i < REPORT_BUFFER_BYTES; ++i)
        if (ReportBuffer[i]) return true;
    return false;
}

} // namespace

bool parse_com_port(const std::string& text, int& com) {
    long n = 0;
    if (text.size() < 4 || text.compare(0, 3, "com") != 0 ||
        !parse_whole_number(text.c_str() + 3, n) || n < 1 || n > COM_MAX)
        return false;
    com = static_cast<int>(n);
    return true;
}

bool connect_drive(const DriveChoice& choice, std::ostream& err) {
    if (choice.com) {
        // The settings file still gives the direction letters.
        LoadINIFile(cfg.ini_file);
        cfg.telescope = 'l';
        cfg.AOUnit_comport = 3; // every serial command to the PC port
        cfg.PC_port = static_cast<short>(choice.com - 1);
        drive_check();
        serial.comfound = 1;
    } else {
        const bool loaded = LoadINIFile(cfg.ini_file) == 0;
        if (choice.telescope) cfg.telescope = choice.telescope;
        if (cfg.telescope != 'l' && cfg.telescope != 'b') {
            messages(NO_CONNECTION);
            say(err, loaded ? "the settings choose no telescope; use --port comN for an LX200 "
                              "mount on a PC serial port"
                            : "no settings file; use --port comN for an LX200 mount on a PC "
                              "serial port");
            return false;
        }
        // The camera's serial ports and relays: without it there is no link.
        if ((cfg.telescope == 'b' || !pc_serial_route()) && !find_camera()) {
            messages(NO_CONNECTION);
            return false;
        }
        comm_check();
        if (cfg.telescope == 'n') return false; // it has said so
        // The check reads the settings file again.
        if (choice.telescope) cfg.telescope = choice.telescope;
    }
    // The relays cannot answer; the camera's presence is their check.
    if (cfg.telescope == 'l' && !mount_answers()) {
        messages(NO_CONNECTION);
        return false;
    }
    return true;
}
