#pragma once
#include <cstdint>
#include <string>

// PC serial ports for the accessory link, over termios. Ports count from 0
// (COM1 = 0). COM n is the device the link "com<n>" in the working folder
// points to (the simulator makes one to its pseudo-terminal), else
// /dev/ttyS<n-1>. Every call returns a negative code on failure.
namespace platform {

constexpr int SIO_MAX_PORTS = 32;

// Failure codes.
constexpr int SIO_BAD_PORT = -1;    // port number out of range
constexpr int SIO_NO_DEVICE = -2;   // the device cannot be opened or is no terminal
constexpr int SIO_NOT_OPEN = -3;    // SioReset has not opened the port
constexpr int SIO_BAD_PARAM = -4;   // baud code, parity, stop or data bits not known
constexpr int SIO_IO_ERROR = -5;    // the device refused a read, write or setting
constexpr int SIO_BAD_COMMAND = -6; // modem-line command other than 'S', 'C' or 'R'

// Baud-rate codes as the callers pass them (5 = 9600).
enum SioBaudCode {
    Baud300 = 0,
    Baud600,
    Baud1200,
    Baud2400,
    Baud4800,
    Baud9600,
    Baud19200,
    Baud38400,
    Baud57600,
    Baud115200
};

// Opens (or reopens) the port raw at 9600 8N1, modem lines untouched. The
// queue sizes are the most SioGets and SioPuts move per call.
int SioReset(int port, int rx_queue, int tx_queue);
int SioBaud(int port, int baud_code);
// parity 0 none, 1 odd, 2 even; stop_bits 0 one, 1 two; data_bits 5..8.
int SioParms(int port, int parity, int stop_bits, int data_bits);
// 'S' raises the line, 'C' drops it, 'R' reads it (1 raised, 0 dropped).
// Lines without modem control (a pseudo-terminal) accept every command.
int SioDTR(int port, char cmd);
int SioRTS(int port, char cmd);
// Queues n bytes for sending; returns the count queued.
int SioPuts(int port, const std::uint8_t* data, int n);
// Copies up to n bytes that have arrived, without waiting; returns the count.
int SioGets(int port, std::uint8_t* data, int n);
// Bytes waiting in the receive queue.
int SioRxQue(int port);
// Discards what has arrived and not been read.
int SioRxClear(int port);
int SioDone(int port);

// The device that port opens: the link com<port+1> in the working folder when
// it exists (even dangling: a missing peer is an error, not another port),
// else /dev/ttyS<port>.
std::string sio_device_path(int port);

struct SioPort {
    int fd = -1;
    int rx_queue = 0;
    int tx_queue = 0;
};

// The open ports, by port number.
struct SioState {
    SioPort ports[SIO_MAX_PORTS];
};

extern SioState sio;

// Closes every port and forgets them.
void reset_sio_state();

// Closes every open port (program exit, test set-up).
void sio_close_all();

} // namespace platform
