#include "devices/transport.h"

#include "platform/messages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

unsigned char camdata[CAMDATA_BYTES];
unsigned char ReportBuffer[REPORT_BUFFER_BYTES];
TransportState usbt;

namespace {

// Every read may take this long beyond the exposure the camera is timing.
constexpr std::uint32_t READ_GRACE_MS = 30000;

void attach(UsbChannel& ch, std::unique_ptr<platform::usb::Device> dev) {
    ch.dev = std::move(dev);
    ch.handle = ch.dev ? ++usbt.handles_issued : 0;
    ch.out_of_step = false;
}

void report_read_error(const char* format, int code) {
    char text[100];
    std::snprintf(text, sizeof text, format, code);
    messages(MSG_OWN_TEXT, text);
}

// Writes ByteCount bytes of camdata (at most the block); false on failure.
bool send(UsbChannel& ch) {
    usbt.BytesWritten = 0;
    if (!ch.dev) return false;
    if (ch.out_of_step) {
        ch.dev->discard_input();
        ch.out_of_step = false;
    }
    std::size_t n = std::size_t(std::clamp(usbt.ByteCount, 0, CAMDATA_BYTES));
    long r = ch.dev->write(camdata, n);
    if (r < 0) return false;
    usbt.BytesWritten = unsigned(r);
    return true;
}

// Reads ByteCount bytes (at most the buffer) into ReportBuffer; what arrives
// stays there even when the read fails. Returns 0 or an errno-style code.
int receive(UsbChannel& ch, std::uint32_t timeout_ms) {
    usbt.BytesReturned = 0;
    if (!ch.dev) return EBADF;
    std::size_t n = std::size_t(std::clamp(usbt.ByteCount, 0, REPORT_BUFFER_BYTES));
    long r = ch.dev->read(ReportBuffer, n, timeout_ms);
    int err = ch.dev->last_error();
    if (r > 0) usbt.BytesReturned = unsigned(r);
    if (r < 0 && err == 0) err = EIO;
    if (err != 0) ch.out_of_step = true;
    return err;
}

} // namespace

void reset_transport_state() {
    usbt = TransportState{};
    std::memset(camdata, 0, sizeof camdata);
    std::memset(ReportBuffer, 0, sizeof ReportBuffer);
}

void SendBlock() {
    if (!send(usbt.camera))
        messages(MSG_OWN_TEXT, "Could not write ZIRED Output - try rebooting USB device");
}

void ReceiveBlock() {
    // The wait is for this read only; the next one starts from 30 s again.
    std::uint32_t timeout = usbt.read_wait_ms > UINT32_MAX - READ_GRACE_MS
                                ? UINT32_MAX
                                : usbt.read_wait_ms + READ_GRACE_MS;
    usbt.read_wait_ms = 0;
    if (int err = receive(usbt.camera, timeout))
        report_read_error("Error %d trying to read ZIRED data from USB\n", err);
}

void SendUSBFilterBlock() {
    if (!send(usbt.wheel))
        messages(MSG_OWN_TEXT, "Could not write ZIRED Output - try rebooting USB device");
}

void ReceiveUSBFilterBlock() {
    if (int err = receive(usbt.wheel, READ_GRACE_MS))
        report_read_error("Error %d trying to read ZIRED data from USB Filterwheel\n", err);
}

void CloseUSBdevice() {
    attach(usbt.camera, nullptr);
    attach(usbt.wheel, nullptr);
    // Nothing may use the closed channels as if they were open.
    usbt.got_qv = 0;
    usbt.OpenUSBinterfaces = 0;
    usbt.USB_filterwheel = 0;
}

void attach_camera(std::unique_ptr<platform::usb::Device> dev) {
    attach(usbt.camera, std::move(dev));
}
void attach_filter_wheel(std::unique_ptr<platform::usb::Device> dev) {
    attach(usbt.wheel, std::move(dev));
}
bool camera_attached() {
    return usbt.camera.dev != nullptr;
}
bool filter_wheel_attached() {
    return usbt.wheel.dev != nullptr;
}
int camera_handle() {
    return usbt.camera.handle;
}
int filter_wheel_handle() {
    return usbt.wheel.handle;
}
