#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
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
    // Why the last read or write ended early: 0 when it delivered what the
    // device sent (a short transfer included), else an errno-style code
    // (ETIMEDOUT past the deadline, ECONNRESET when the device went away).
    virtual int last_error() const { return 0; }
    // Drops input left over from an abandoned reply, without waiting.
    virtual void discard_input() {}
};

// Thrown by a provider's enumerate when the system cannot list the class at
// all (as opposed to listing nothing).
struct EnumerationError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A source of devices: lists the paths it offers for a class and opens them.
class Provider {
  public:
    virtual ~Provider() = default;
    // May throw EnumerationError.
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
// Switches only the hidapi and libusb sources; the simulator's sockets stay.
void use_hardware_providers(bool on);

// The folder of the simulator's sockets, host_path("c:\autosave\usb"). Each
// device is a Unix stream socket named by its identity, "vid_f0ca&pid_0122#sim0"
// (lower-case hex); the filter wheel's product id makes it a HID device.
std::string socket_folder();

} // namespace platform::usb
