#include "devices/camera_protocol.h"

#include "devices/camera_models.h"
#include "devices/transport.h"
#include "display/sensor_state.h"

#include <climits>
#include <cstring>

ProtocolState proto;

void reset_protocol_state() {
    proto = ProtocolState{};
}

namespace {

void put_u16(int offset, std::uint16_t v) {
    camdata[offset] = static_cast<unsigned char>(v & 0xFF);
    camdata[offset + 1] = static_cast<unsigned char>(v >> 8);
}

void put_u32(int offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) camdata[offset + i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint16_t get_u16(int offset) {
    return static_cast<std::uint16_t>(ReportBuffer[offset] | (ReportBuffer[offset + 1] << 8));
}

// A block with a header only and nothing to say: 8 bytes, no payload.
void simple_command(int zero, unsigned char command, std::uint16_t value, int reply) {
    usbt.read_wait_ms = 0;
    clear_block(zero);
    put_header(command, value, 0, 0);
    exchange_block(BLOCK_HEADER_BYTES, reply);
}

} // namespace

std::uint32_t exposure_from_range(char range, int value) {
    if (value <= 0) return 0;
    long long unit = 1000;
    switch (range) {
    case 'q':
        unit = 1;
        break;
    case 'h':
        unit = 10;
        break;
    case 't':
        unit = 100;
        break;
    case 'm':
        unit = 60000;
        break;
    default:
        break;
    }
    const long long ms = static_cast<long long>(value) * unit;
    return static_cast<std::uint32_t>(ms > INT_MAX ? INT_MAX : ms);
}

void clear_block(int bytes) {
    if (bytes > CAMDATA_BYTES) bytes = CAMDATA_BYTES;
    if (bytes > 0) std::memset(camdata, 0, static_cast<size_t>(bytes));
}

void put_header(unsigned char command, std::uint16_t value, std::uint16_t index,
                std::uint16_t length) {
    camdata[0] = REQUEST_TYPE;
    camdata[1] = command;
    put_u16(2, value);
    put_u16(4, index);
    put_u16(6, length);
}

void exchange_block(int sent, int reply) {
    usbt.ByteCount = sent;
    SendBlock();
    if (reply > 0) {
        usbt.ByteCount = reply;
        ReceiveBlock();
    }
}

void EchoCCD() {
    clear_block(ZERO_COMMON);
    put_header(CMD_ECHO, 0, 0, 1);
    camdata[8] = 0;
    usbt.read_wait_ms = 0;
    exchange_block(BLOCK_HEADER_BYTES + 1, 1);
}

void QV_clearvert() {
    simple_command(ZERO_HEAD, CMD_CLEAR, CLEARVERT_VALUE, 0);
}
void QV_wiper() {
    simple_command(ZERO_HEAD, CMD_CLEAR, 0, 0);
}

// The 2-byte shutter acknowledgements are read to keep the exchange in step
// and otherwise ignored.
void QV_openshutter() {
    simple_command(ZERO_HEAD, CMD_SHUTTER, SHUTTER_OPEN_VALUE, 2);
}
void QV_closeshutter() {
    simple_command(ZERO_HEAD, CMD_SHUTTER, SHUTTER_CLOSE_VALUE, 2);
}

void GetCameraFirmwareVersion() {
    simple_command(ZERO_COMMON, CMD_FIRMWARE_VERSION, 0, 4);
    proto.minor_version = get_u16(0);
    proto.major_version = get_u16(2);
    // Early firmware and the model-1 camera have no usable cooler control.
    if (proto.minor_version < 11 || cam.cam_type == 1) proto.temp_control = 0;
}

int build_readout_block(const ReadoutWindow& w, bool timed_by_camera, std::uint32_t exposure_ms,
                        std::uint16_t value) {
    clear_block(ZERO_COMMON);
    const int payload = timed_by_camera ? EXPOSURE_PAYLOAD_BYTES : READOUT_PAYLOAD_BYTES;
    put_header(timed_by_camera ? CMD_EXPOSE_AND_READ : CMD_READ_NOW, value,
               static_cast<std::uint16_t>(w.ccd), static_cast<std::uint16_t>(payload));
    put_u16(8, static_cast<std::uint16_t>(w.x));
    put_u16(10, static_cast<std::uint16_t>(w.y));
    put_u16(12, static_cast<std::uint16_t>(w.width));
    put_u16(14, static_cast<std::uint16_t>(w.height));
    camdata[16] = static_cast<unsigned char>(w.xbin);
    camdata[17] = static_cast<unsigned char>(w.ybin);
    if (timed_by_camera) put_u32(18, exposure_ms);
    usbt.ByteCount = BLOCK_HEADER_BYTES + payload;
    usbt.read_wait_ms = timed_by_camera ? exposure_ms : 0;

    // The camera answers with the binned window; the autoguider head sends bytes.
    const long long xb = w.xbin > 0 ? w.xbin : 1;
    const long long yb = w.ybin > 0 ? w.ybin : 1;
    const long long cols = w.width > 0 ? w.width / xb : 0;
    const long long rows = w.height > 0 ? w.height / yb : 0;
    const long long bytes = cols * rows * (w.ccd == 0 ? 2 : 1);
    return static_cast<int>(bytes > REPORT_BUFFER_BYTES ? REPORT_BUFFER_BYTES : bytes);
}

int build_full_frame_block(std::uint32_t exposure_ms, bool dark_frame) {
    const bool timed = camera_timed(exposure_ms);
    const std::uint16_t value =
        (timed && dark_frame && cam.cam_type == 4) ? DARK_READOUT_VALUE : READOUT_VALUE;
    return build_readout_block({0, 0, 0, sensor.cam_width1, sensor.cam_height1, 1, 1}, timed,
                               exposure_ms, value);
}

int build_focus_block(int focus_x, int focus_y, bool bin2, std::uint32_t exposure_ms) {
    const bool timed = camera_timed(exposure_ms, FOCUS_CAMERA_TIMED_BELOW_MS);
    ReadoutWindow w{0, focus_x, focus_y, 128, 128, 1, 1};
    if (bin2) {
        w.x = focus_x > 64 ? focus_x - 64 : 0;
        w.y = focus_y > 64 ? focus_y - 64 : 0;
        w.width = w.height = 256;
        w.xbin = w.ybin = 2;
    }
    return build_readout_block(w, timed, exposure_ms);
}

int build_flush_block() {
    return build_readout_block({0, 0, 0, sensor.cam_width1, sensor.cam_height1, 4, 4}, false, 0);
}

int build_guider_clear_block() {
    return build_readout_block({1, 0, 0, 500, 1, 1, 1}, false, 0);
}

int build_guider_read_block(int width, bool bin2) {
    const int bin = bin2 ? 2 : 1;
    return build_readout_block({1, 0, 0, width, 290, bin, bin}, false, 0);
}

void QV_flush_read() {
    const int reply = build_flush_block();
    exchange_block(usbt.ByteCount, reply);
}

void QV_deep_flush() {
    QV_clearvert();
    QV_wiper();
    EchoCCD();
    QV_flush_read();
    EchoCCD();
    QV_flush_read();
}
