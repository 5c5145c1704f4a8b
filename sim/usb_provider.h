#pragma once
#include "platform/usb.h"
#include "sim/simulator.h"

#include <string>

// The simulator as USB devices of this process: the camera in the
// block-driver class and the filter wheel in the HID class, with the device
// paths a real camera and wheel have. Register it with
// platform::usb::add_provider and the program's discovery finds them.
namespace sim {

constexpr const char* HID_CLASS = "{4d1e55b2-f16f-11cf-88cb-001111000030}";

// "\\?\usb#vid_f0ca&pid_0122#sim0#{block-driver class}"
std::string camera_device_path(const std::string& pid, const std::string& serial = "sim0");
// "\\?\hid#vid_f0ca&pid_0700#sim0#{HID class}"
std::string wheel_device_path(const std::string& serial = "sim0");

class UsbProvider : public platform::usb::Provider {
  public:
    explicit UsbProvider(Simulator& sim, std::string serial = "sim0");
    std::vector<std::string> enumerate(platform::usb::InterfaceClass cls) override;
    std::unique_ptr<platform::usb::Device> open(const std::string& path) override;

  private:
    Simulator& sim_;
    std::string serial_;
};

} // namespace sim
