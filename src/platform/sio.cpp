#include "platform/sio.h"

#include "platform/host_path.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

SioState sio;

namespace {

// The open port's entry, or the error code in *err.
SioPort* open_port(int port, int* err) {
    if (port < 0 || port >= SIO_MAX_PORTS) {
        *err = SIO_BAD_PORT;
        return nullptr;
    }
    if (sio.ports[port].fd < 0) {
        *err = SIO_NOT_OPEN;
        return nullptr;
    }
    return &sio.ports[port];
}

speed_t speed_of(int code) {
    switch (code) {
    case Baud300:
        return B300;
    case Baud600:
        return B600;
    case Baud1200:
        return B1200;
    case Baud2400:
        return B2400;
    case Baud4800:
        return B4800;
    case Baud9600:
        return B9600;
    case Baud19200:
        return B19200;
    case Baud38400:
        return B38400;
    case Baud57600:
        return B57600;
    case Baud115200:
        return B115200;
    default:
        return B0;
    }
}

int apply(int fd, const termios& t) {
    return ::tcsetattr(fd, TCSANOW, &t) == 0 ? 0 : SIO_IO_ERROR;
}

// A line without modem control (a pseudo-terminal, some adapters) refuses
// the modem ioctls; the callers only want the lines up where there are any.
bool no_modem_lines(int e) {
    return e == ENOTTY || e == EINVAL || e == ENOTSUP;
}

int modem_line(int port, char cmd, int bit) {
    int err = 0;
    SioPort* p = open_port(port, &err);
    if (!p) return err;
    int bits = bit;
    switch (cmd) {
    case 'S':
        if (::ioctl(p->fd, TIOCMBIS, &bits) == 0 || no_modem_lines(errno)) return 0;
        return SIO_IO_ERROR;
    case 'C':
        if (::ioctl(p->fd, TIOCMBIC, &bits) == 0 || no_modem_lines(errno)) return 0;
        return SIO_IO_ERROR;
    case 'R':
        if (::ioctl(p->fd, TIOCMGET, &bits) == 0) return (bits & bit) ? 1 : 0;
        return no_modem_lines(errno) ? 0 : SIO_IO_ERROR;
    default:
        return SIO_BAD_COMMAND;
    }
}

} // namespace

std::string sio_device_path(int port) {
    const std::string link = host_path("c:\\autosave\\com" + std::to_string(port + 1));
    struct stat st;
    if (!link.empty() && ::lstat(link.c_str(), &st) == 0) return link;
    return "/dev/ttyS" + std::to_string(port);
}

int SioReset(int port, int rx_queue, int tx_queue) {
    if (port < 0 || port >= SIO_MAX_PORTS) return SIO_BAD_PORT;
    if (rx_queue <= 0 || tx_queue <= 0) return SIO_BAD_PARAM;
    SioDone(port);
    const std::string path = sio_device_path(port);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return SIO_NO_DEVICE;
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        ::close(fd);
        return SIO_NO_DEVICE;
    }
    // Raw bytes, no flow control, reads that never wait: 9600 8N1.
    ::cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    if (apply(fd, t) != 0) {
        ::close(fd);
        return SIO_IO_ERROR;
    }
    // Whatever arrived before the port was ours belongs to nobody.
    ::tcflush(fd, TCIOFLUSH);
    sio.ports[port] = {fd, rx_queue, tx_queue};
    return 0;
}

int SioBaud(int port, int baud_code) {
    int err = 0;
    SioPort* p = open_port(port, &err);
    if (!p) return err;
    const speed_t speed = speed_of(baud_code);
    if (speed == B0) return SIO_BAD_PARAM;
    termios t{};
    if (::tcgetattr(p->fd, &t) != 0) return SIO_IO_ERROR;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    return apply(p->fd, t);
}

int SioParms(int port, int parity, int stop_bits, int data_bits) {
    int err = 0;
    SioPort* p = open_port(port, &err);
    if (!p) return err;
    if (parity < 0 || parity > 2 || stop_bits < 0 || stop_bits > 1 || data_bits < 5 ||
        data_bits > 8)
        return SIO_BAD_PARAM;
    termios t{};
    if (::tcgetattr(p->fd, &t) != 0) return SIO_IO_ERROR;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[data_bits - 5];
    if (parity != 0) t.c_cflag |= PARENB;
    if (parity == 1) t.c_cflag |= PARODD;
    if (stop_bits == 1) t.c_cflag |= CSTOPB;
    return apply(p->fd, t);
}

int SioDTR(int port, char cmd) {
    return modem_line(port, cmd, TIOCM_DTR);
}
int SioRTS(int port, char cmd) {
    return modem_line(port, cmd, TIOCM_RTS);
}

int SioPuts(int port, const std::uint8_t* data, int n) {
    int err = 0;
    SioPort* p = open_port(port, &err);
    if (!p) return err;
    if (n < 0 || (n > 0 && !data)) return SIO_BAD_PARAM;
    if (n > p->tx_queue) n = p->tx_queue;
    int done = 0;
    while (done < n) {
        ssize_t w = ::write(p->fd, data + done, static_cast<size_t>(n - done));
        if (w > 0) {
            done += static_cast<int>(w);
        } else if (w < 0 && errno == EINTR) {
            continue;
        } else if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break; // the output queue is full: the rest is not queued
        } else {
            return done > 0 ? done : SIO_IO_ERROR;
        }
    }
    return done;
}

int SioGets(int port, std::uint8_t* data, int n) {
    int err = 0;
    SioPort* p = open_port(port, &err);
    if (!p) return err;
    if (n < 0 || (n > 0 && !data)) return SIO_BAD_PARAM;
    if (n > p->rx_queue) n = p->rx_queue;
    int got = 0;
    while (got < n) {
        ssize_t r = ::read(p->fd, data + got, static_cast<size_t>(n - got));
        if (r > 0) {
            got += static_cast<int>(r);
        } else if (r < 0 && errno == EINTR) {
            continue;
        } else if (r == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            break; // nothing more has arrived
        } else {
            return got > 0 ? got : SIO_IO_ERROR;
        }
    }
    return got;
}

int SioRxQue(int port) {
    int err = 0;
    SioPort* p = open_port(port, &err);
    if (!p) return err;
    int n = 0;
    if (::ioctl(p->fd, FIONREAD, &n) != 0) return SIO_IO_ERROR;
    return n;
}

int SioRxClear(int port) {
    int err = 0;
    SioPort* p = open_port(port, &err);
    if (!p) return err;
    return ::tcflush(p->fd, TCIFLUSH) == 0 ? 0 : SIO_IO_ERROR;
}

int SioDone(int port) {
    int err = 0;
    SioPort* p = open_port(port, &err);
    if (!p) return err;
    ::close(p->fd);
    *p = SioPort{};
    return 0;
}

void reset_sio_state() {
    sio_close_all();
    sio = SioState{};
}

void sio_close_all() {
    for (int i = 0; i < SIO_MAX_PORTS; ++i)
        if (sio.ports[i].fd >= 0) SioDone(i);
}

} // namespace platform
