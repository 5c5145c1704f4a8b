#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// USB devices as the camera transport sees them: enumeration by interface
// class, device paths in the form "\\?\hid#vid_f0ca&pid_0122#...#{class}",
// and blocking transfers. Three sources feed it: HID devices (the HID class),
// devices with the maker's vendor id reached through libusb (the block-driver
// class) and the simulator's sockets in the working folder's "usb" folder
// (also the block-driver class, the filter wheel's socket the HID class).
// Tests and the in-process simulator add providers of their own.
namespace platform::usb {

enum class InterfaceClass { Hid = 0, BlockDriver = 1 };

class Device {
  public:
    virtual ~Device() = default;
    // Writes all n bytes; returns the count written, or -1 on failure.
    virtual long write(const std::uint8_t* data, std::size_t n) = 0;
    // Reads up to n bytes, waiting at most timeout_ms (of platform::now_ms)
    // for them; returns the count read (fewer on a short transfer or when the
    // deadline passes), or -1 on failure. Never blocks past the deadline.
    virtual long read(std::uint8_t* data, std::size_t n, std::uint32_t timeout_ms) = 0;
    virtual std::uint16_t vendor_id() const = 0;
    virtual std::uint16_t product_id() const = 0;
    // Empty when the device does not report one.
    virtual std::string manufacturer() const { return {}; }
    virtual std::string product() const { return {}; }
};

// A source of devices: lists the paths it offers for a class and opens them.
class Provider {
  public:
    virtual ~Provider() = default;
    virtual std::vector<std::string> enumerate(InterfaceClass cls) = 0;
    // nullptr when the path is not this provider's or cannot be opened.
    virtual std::unique_ptr<Device> open(const std::string& path) = 0;
};

// Present devices exposing the class, from every provider, in a stable order.
std::vector<std::string> enumerate(InterfaceClass cls);
std::unique_ptr<Device> open(const std::string& path);

// Adds a provider ahead of the built-in ones (not owned); remove it before
// it is destroyed.
void add_provider(Provider* p);
void remove_provider(Provider* p);
// Leaves only the added providers (tests that must not see real hardware).
void use_builtin_providers(bool on);

} // namespace platform::usb
