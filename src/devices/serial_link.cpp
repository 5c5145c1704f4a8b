#include "devices/serial_link.h"

#include "devices/camera_protocol.h"
#include "devices/transport.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/sio.h"
#include "settings/ini_file.h"
#include "settings/settings.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

SerialLinkState serial;

namespace {

// A mount reply as text: up to the '#' that ends it, at most 33 characters
// and never past what arrived. A NUL in the reply ends the text too.
void copy_reply(char (&dst)[REPLY_TEXT], int available) {
    const int n = available < REPLY_CHARS ? available : REPLY_CHARS;
    int i = 0;
    for (; i < n; ++i) {
        const char c = static_cast<char>(ReportBuffer[i]);
        if (c == '#' || c == '\0') break;
        dst[i] = c;
    }
    dst[i] = '\0';
}

void camera_serial_read(int port, int length) {
    clear_block(ZERO_ALL);
    put_header(CMD_SERIAL_READ, 0, static_cast<std::uint16_t>(port),
               static_cast<std::uint16_t>(length));
    usbt.read_wait_ms = 0;
    exchange_block(BLOCK_HEADER_BYTES, length);
}

} // namespace

void reset_serial_link_state() {
    if (serial.pc_open_port >= 0) platform::SioDone(serial.pc_open_port);
    serial.pc_open_port = -1;
    serial = SerialLinkState{};
}

bool pc_serial_route() {
    return cfg.AOUnit_comport >= 3;
}

int PCSerial_ErrorCheck(int code) {
    if (code >= 0) return code;
    char text[32];
    std::snprintf(text, sizeof text, "ERROR %d ", code);
    messages(MSG_OWN_TEXT, text);
    platform::SioDone(cfg.PC_port);
    serial.pc_open_port = -1;
    serial.PC_Serial_check = 0;
    return -1;
}

int PCSerial_check() {
    using namespace platform;
    const int port = cfg.PC_port;
    serial.Baud = Baud9600;
    serial.Parity = 0;
    serial.StopBits = 0;
    serial.DataBits = 8;
    // Stop at the first refusal: the calls after it would only fail on the
    // closed port and stack up more boxes.
    int code = PCSerial_ErrorCheck(SioReset(port, PC_QUEUE_BYTES, PC_QUEUE_BYTES));
    if (code >= 0) code = PCSerial_ErrorCheck(SioBaud(port, serial.Baud));
    if (code >= 0) code = PCSerial_ErrorCheck(SioDTR(port, 'S'));
    if (code >= 0) code = PCSerial_ErrorCheck(SioRTS(port, 'S'));
    if (code >= 0)
        code = PCSerial_ErrorCheck(SioParms(port, serial.Parity, serial.StopBits, serial.DataBits));
    if (code < 0) {
        messages(MSG_OWN_TEXT, "Open Communications Failed");
        return 0;
    }
    serial.pc_open_port = port;
    return 1;
}

bool PCSerial_ready() {
    if (serial.PC_Serial_check && serial.pc_open_port != cfg.PC_port) {
        // The settings moved the link to another COM port.
        if (serial.pc_open_port >= 0) platform::SioDone(serial.pc_open_port);
        serial.pc_open_port = -1;
        serial.PC_Serial_check = 0;
    }
    if (!serial.PC_Serial_check) serial.PC_Serial_check = PCSerial_check();
    return serial.PC_Serial_check != 0;
}

namespace {

// The waits of one write, held to a limit counted from its start.
class WaitBudget {
  public:
    explicit WaitBudget(std::uint32_t limit) : start_(platform::now_ms()), limit_(limit) {}
    void wait(std::uint32_t ms) const {
        const std::uint32_t spent = platform::now_ms() - start_;
        if (spent < limit_) platform::sleep_ms(std::min(ms, limit_ - spent));
    }
    std::uint32_t start() const { return start_; }

  private:
    std::uint32_t start_, limit_;
};

// The PC write and its settling: until 1 ms after the start, then 10 more.
void pc_write(int length, const WaitBudget& budget) {
    if (length < 0) length = 0;
    if (length > COMMAND_TEXT) length = COMMAND_TEXT;
    platform::SioPuts(cfg.PC_port, reinterpret_cast<const std::uint8_t*>(serial.AOUnitcommand),
                      length);
    const auto past = static_cast<std::int32_t>(platform::now_ms() - budget.start());
    if (past < 1) budget.wait(static_cast<std::uint32_t>(1 - past));
    budget.wait(10);
}

} // namespace

void PCSerial_Write(int length) {
    pc_write(length, WaitBudget(UINT32_MAX));
}

void PCSerial_Read() {
    serial.pc_status = platform::SioGets(cfg.PC_port, ReportBuffer, PC_READ_BYTES);
    serial.pc_received = serial.pc_status > 0 ? serial.pc_status : 0;
    platform::SioRxClear(cfg.PC_port);
}

void WriteSerial(int port, const char* text, int length, std::uint32_t wait_limit_ms) {
    if (!text) text = "";
    if (length < 0) length = 0;
    if (pc_serial_route()) {
        if (!PCSerial_ready()) return;
        if (length > COMMAND_TEXT - 1) length = COMMAND_TEXT - 1;
        const size_t n = ::strnlen(text, COMMAND_TEXT - 1);
        std::memmove(serial.AOUnitcommand, text, n);
        std::memset(serial.AOUnitcommand + n, 0, sizeof serial.AOUnitcommand - n);
        const WaitBudget budget(wait_limit_ms);
        pc_write(length, budget);
        budget.wait(50); // for the device
        return;
    }
    if (length > CAMERA_SERIAL_MAX) length = CAMERA_SERIAL_MAX;
    clear_block(ZERO_COMMON);
    put_header(CMD_SERIAL_WRITE, 0, static_cast<std::uint16_t>(port),
               static_cast<std::uint16_t>(length));
    // The text up to its NUL; a count beyond it goes out as zeros, not as
    // whatever an earlier block left there.
    const size_t n = ::strnlen(text, static_cast<size_t>(length));
    std::memcpy(camdata + BLOCK_HEADER_BYTES, text, n);
    std::memset(camdata + BLOCK_HEADER_BYTES + n, 0, static_cast<size_t>(length) - n);
    exchange_block(BLOCK_HEADER_BYTES + length, 0);
}

namespace {

// Whatever has arrived on the PC port, up to 50 bytes: the count in ReportBuffer.
int pc_route_read() {
    serial.pc_received = 0;
    if (PCSerial_ready()) PCSerial_Read();
    return serial.pc_received;
}

} // namespace

void ReadSerial(int port, int length) {
    int available = 0;
    if (pc_serial_route()) {
        available = pc_route_read(); // the count asked for is the mount's
    } else {
        if (length < 0) length = 0;
        if (length > 0xFFFF) length = 0xFFFF;
        camera_serial_read(port, length);
        available = length;
    }
    if (length == REPLY_CHARS) copy_reply(serial.move_error, available);
}

void CheckSerialReturn(int port) {
    int available = 0;
    if (pc_serial_route()) {
        available = pc_route_read();
    } else {
        // The status digit first; anything but '0' comes with a text.
        camera_serial_read(port, 1);
        available = 1;
        if (ReportBuffer[0] != '0') {
            camera_serial_read(port, REPLY_CHARS);
            available = REPLY_CHARS;
        }
    }
    if (available > 0 && ReportBuffer[0] == '0')
        serial.scope_error[0] = '\0';
    else
        copy_reply(serial.scope_error, available);
}

void Kelvo500Write() {
    clear_block(ZERO_HEAD);
    put_header(CMD_GUIDE_OUTPUT, serial.Kelvo500command, 0, 0);
    usbt.read_wait_ms = 0;
    exchange_block(BLOCK_HEADER_BYTES, 0);
}

int drive_check() {
    serial.Port = cfg.slewcom == '1' ? 0 : 1;
    return 1;
}

int interface_check() {
    serial.Port = cfg.slewcom == '1' ? 0 : 1;
    return 1;
}

void comm_check() {
    if (serial.comfound) return;
    if (LoadINIFile(cfg.ini_file) != 0) {
        messages(20);
        SaveINIFile(cfg.ini_file);
    }
    const int ok = cfg.telescope == 'b' ? interface_check() : drive_check();
    if (!ok) {
        cfg.telescope = 'n';
        messages(36);
        return;
    }
    serial.comfound = 1;
}
