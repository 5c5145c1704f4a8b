#pragma once
#include <cstdint>

// The camera's command blocks. Each sender zeroes the head of `camdata`,
// fills the 8-byte header (request type, command, value, index, length, all
// multi-byte fields low byte first) and any payload, and sends it with
// SendBlock; a command that answers reads its reply of known length into
// ReportBuffer with ReceiveBlock.

constexpr unsigned char REQUEST_TYPE = 0x40;
constexpr unsigned char REQUEST_TYPE_MODEL_QUERY = 0xC0; // the one request that differs

enum CameraCommand : unsigned char {
    CMD_ECHO = 0,
    CMD_CLEAR = 1, // value 8 clears the vertical registers, 0 wipes the frame
    CMD_EXPOSE_AND_READ = 2,
    CMD_READ_NOW = 3,
    CMD_GUIDE_OUTPUT = 9,
    CMD_SERIAL_WRITE = 10,
    CMD_SERIAL_READ = 11,
    CMD_SHUTTER = 32,
    CMD_FIRMWARE_VERSION = 255,
};

constexpr int BLOCK_HEADER_BYTES = 8;
constexpr int READOUT_PAYLOAD_BYTES = 10;  // window and binning
constexpr int EXPOSURE_PAYLOAD_BYTES = 14; // plus the 32-bit exposure

// How much of the block each kind of command zeroes before filling it.
constexpr int ZERO_HEAD = 8;    // clear, wipe, shutter, guide output
constexpr int ZERO_COMMON = 24; // readouts, serial writes, the rest
constexpr int ZERO_ALL = 64;    // serial reads

constexpr std::uint16_t CLEARVERT_VALUE = 8;
constexpr std::uint16_t SHUTTER_OPEN_VALUE = 0x4000;
constexpr std::uint16_t SHUTTER_CLOSE_VALUE = 0x8000;
constexpr std::uint16_t READOUT_VALUE = 3;
constexpr std::uint16_t DARK_READOUT_VALUE = 0x8003; // model 4: keep the shutter shut

// Exposures below these are timed by the camera inside the readout (command
// 2); longer ones are timed by the host before a read-now (command 3).
constexpr std::uint32_t CAMERA_TIMED_BELOW_MS = 100001;     // full, binned, sub-frame
constexpr std::uint32_t FOCUS_CAMERA_TIMED_BELOW_MS = 1001; // focus frame

inline bool camera_timed(std::uint32_t exposure_ms, std::uint32_t below = CAMERA_TIMED_BELOW_MS) {
    return exposure_ms < below;
}

// Milliseconds for an exposure count in a unit: 'q' thousandths, 'h'
// hundredths, 't' tenths, 'm' minutes, anything else seconds. Negative counts
// give 0; the product is limited to what an int holds.
std::uint32_t exposure_from_range(char range, int value);

struct ProtocolState {
    std::uint16_t minor_version = 0;
    std::uint16_t major_version = 0;
    int temp_control = 1; // the camera's cooler can be controlled
};

extern ProtocolState proto;

void reset_protocol_state();

// Block helpers for every sender (the serial link uses them too).
void clear_block(int bytes);
void put_header(unsigned char command, std::uint16_t value, std::uint16_t index,
                std::uint16_t length);
// Sends `sent` bytes of the block, then reads `reply` bytes when reply > 0.
void exchange_block(int sent, int reply);

void EchoCCD();
void QV_clearvert();
void QV_wiper();
void QV_openshutter();
void QV_closeshutter();
// Reads the firmware version into `proto` and decides `temp_control`.
void GetCameraFirmwareVersion();

// A readout window in unbinned sensor pixels. CCD 0 is the main sensor
// (16-bit pixels), CCD 1 the autoguider head (8-bit pixels).
struct ReadoutWindow {
    int ccd = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int xbin = 1;
    int ybin = 1;
};

// Fills `camdata` with a readout block: command 2 with the exposure when
// camera_timed, else command 3; sets ByteCount to the bytes to send and the
// transport's read allowance to the exposure the camera times. Returns the
// bytes of pixel data the camera answers with (what ByteCount must be for
// the ReceiveBlock), limited to ReportBuffer.
int build_readout_block(const ReadoutWindow& w, bool camera_timed, std::uint32_t exposure_ms,
                        std::uint16_t value = READOUT_VALUE);

// The whole sensor of the current model unbinned; camera-timed up to 100,000
// ms. A model-4 dark frame that the camera times keeps the shutter shut.
int build_full_frame_block(std::uint32_t exposure_ms, bool dark_frame);
// The 128 x 128 focus frame at (x, y), or with bin2 the 256 x 256 area around
// it binned 2 x 2 (its corner clamped at 0); camera-timed up to 1,000 ms.
int build_focus_block(int focus_x, int focus_y, bool bin2, std::uint32_t exposure_ms);
// The whole sensor read now at 4 x 4, to empty it.
int build_flush_block();
// The autoguider head: one 500-pixel row to clear it, or its frame of
// width (500 or 376) x 290, optionally binned 2 x 2.
int build_guider_clear_block();
int build_guider_read_block(int width, bool bin2);

// Reads the whole sensor at 4 x 4 and discards the data.
void QV_flush_read();
// Clear, wipe, echo, flush, echo, flush: the sensor emptied before a first exposure.
void QV_deep_flush();
