#pragma once
#include <cstdint>

// The serial accessory link: the mount, the AO unit and the filter box on the
// camera's two serial ports (requests 10 and 11 through the camera) or on one
// PC serial port, and the camera's four-relay guide output (request 9).
// When `AOUnit_comport` is 3 or more every serial write and read goes to the
// PC port `PC_port`, whatever port the caller names.

constexpr int REPLY_TEXT = 100;       // `move_error`, `scope_error`
constexpr int REPLY_CHARS = 33;       // the most a mount reply text keeps
constexpr int COMMAND_TEXT = 32;      // `AOUnitcommand`: the longest command sent
constexpr int PC_READ_BYTES = 50;     // what one PC read takes
constexpr int PC_QUEUE_BYTES = 1024;  // receive and transmit queues of the PC port
constexpr int CAMERA_SERIAL_MAX = 56; // data bytes that fit one command block

struct SerialLinkState {
    int Port = 0;     // camera serial port of the mount, from `slewcom`
    int comfound = 0; // the drive link has been checked this run
    int PC_Serial_check = 0;
    // Line parameters of the PC port: 9600 baud (code 5), no parity, one stop bit, 8 bits.
    int Baud = 5;
    int Parity = 0;
    int StopBits = 0;
    int DataBits = 8;
    int pc_status = 0;   // result of the last PC read
    int pc_received = 0; // bytes the last PC read put into ReportBuffer
    char AOUnitcommand[COMMAND_TEXT] = "";
    char move_error[REPLY_TEXT] = "";
    char scope_error[REPLY_TEXT] = "";
    unsigned char Kelvo500command = 0; // guide output: 1 W, 2 S, 4 N, 8 E
    // The port PCSerial_check opened, so that a changed `PC_port` reopens.
    int pc_open_port = -1;
};

extern SerialLinkState serial;

// Start-up state; closes the PC port when it is open.
void reset_serial_link_state();

// True when the serial traffic goes to the PC port.
bool pc_serial_route();

// Sends `length` bytes of `text` (up to its terminating NUL; the rest of the
// count is zeros). On the PC route the waits after the bytes last at most
// `wait_limit_ms`: a timed move's start must not hold back its stop.
void WriteSerial(int port, const char* text, int length, std::uint32_t wait_limit_ms = UINT32_MAX);
// Reads a reply into ReportBuffer; a 33-byte read also fills `move_error`.
void ReadSerial(int port, int length);
// Reads a slew command's status reply and fills `scope_error`.
void CheckSerialReturn(int port);
// Puts `Kelvo500command` on the guide-output relays.
void Kelvo500Write();

// The PC port: open (1 opened, 0 failed), write the first `length` bytes of
// `AOUnitcommand`, read what has arrived, and the error filter of every call.
int PCSerial_check();
// Opens the PC port when it is not open yet; true when it is open.
bool PCSerial_ready();
void PCSerial_Write(int length);
void PCSerial_Read();
int PCSerial_ErrorCheck(int code);

// The drive link checks: they pick `Port` from `slewcom`; no traffic.
int drive_check();
int interface_check();
// Run before guiding or training with the main camera.
void comm_check();
