#pragma once

// USB identities of the camera family. The vendor id is the maker's own
// (made up here); product ids are four hexadecimal digits that the discovery
// reads as a decimal number, so every camera id is made of decimal digits.
namespace usb_ids {

constexpr const char* VENDOR_ID = "f0ca";
constexpr unsigned VENDOR_ID_NUM = 0xF0CA;

struct ModelRow {
    const char* pid; // as it appears in a device path
    short cam_type;
};

// The nine rows of the model table: two product ids select model 2.
constexpr ModelRow MODEL_TABLE[9] = {{"0121", 1}, {"0122", 2}, {"0132", 2},
                                     {"0123", 3}, {"0124", 4}, {"0125", 5},
                                     {"0126", 6}, {"0127", 7}, {"0128", 8}};

// The camera the discovery expects until it has found one (`qv_cam_pid`).
constexpr const char* DEFAULT_CAMERA_PID = "0122";

// The USB filter wheel (a HID device).
constexpr const char* FILTER_WHEEL_PID = "0700";

// Interface class of the camera's block-I/O driver.
constexpr const char* BLOCK_DRIVER_CLASS = "{5e0a9c3d-7b21-4f6e-9d84-2c1b0a6f3e57}";

} // namespace usb_ids
