#pragma once
#include "platform/usb.h"

#include <chrono>
#include <cstdint>
#include <string>

// Shared by the built-in USB sources; not part of the platform interface.
namespace platform::usb::detail {

// Interface class of HID devices, as it ends a HID device path.
constexpr const char* HID_CLASS = "{4d1e55b2-f16f-11cf-88cb-001111000030}";

// How long a write may wait for the device to take its bytes.
constexpr std::uint32_t WRITE_TIMEOUT_MS = 30000;

// "\\?\hid#vid_f0ca&pid_0700#<instance>#{hid class}" or the block-driver form
// "\\?\usb#...#{block-driver class}".
std::string device_path(InterfaceClass cls, std::uint16_t vid, std::uint16_t pid,
                        const std::string& instance);

// The parts of a path in that form; false when it is not one.
struct PathParts {
    InterfaceClass cls = InterfaceClass::Hid;
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::string instance;
};
bool parse_device_path(const std::string& path, PathParts& out);

// A read or write deadline. It passes when platform::now_ms says so (tests
// drive that clock) or, as a guard against a clock nobody advances, when the
// same time has gone by on the real clock.
class Deadline {
  public:
    explicit Deadline(std::uint32_t timeout_ms);
    bool passed();
    // Real milliseconds to wait before looking again (at most max_ms).
    int slice_ms(int max_ms) const;

  private:
    std::uint32_t timeout_;
    std::uint32_t start_;
    std::chrono::steady_clock::time_point real_start_;
};

Provider& socket_provider();
Provider& hidapi_provider();
Provider& libusb_provider();

} // namespace platform::usb::detail
