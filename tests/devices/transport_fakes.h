#pragma once
// Fake USB devices for the transport and discovery tests: a scripted device
// behind a provider, and a socket peer standing in for the simulator.
#include "devices/transport.h"
#include "platform/usb.h"
#include "platform/usb_internal.h"
#include "support/test_env.h"

#include <cerrno>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace fake {

using Bytes = std::vector<std::uint8_t>;

// What a test sees of a fake device, also after the transport let it go.
struct DeviceLog {
    struct Reply {
        Bytes bytes;
        int error = 0; // set: the read ends with this code after the bytes
    };
    std::vector<Bytes> written;
    std::deque<Reply> replies; // none left: the read times out empty
    std::vector<std::uint32_t> read_timeouts;
    std::vector<std::size_t> read_sizes;
    bool fail_writes = false;
    int discards = 0;
    bool closed = false;
};

struct FakeDeviceDesc {
    std::uint16_t vid = 0xF0CA;
    std::uint16_t pid = 0x0122;
    std::string manufacturer;
    std::string product;
    bool openable = true;
    std::shared_ptr<DeviceLog> log = std::make_shared<DeviceLog>();
};

class Device : public platform::usb::Device {
  public:
    explicit Device(const FakeDeviceDesc& desc) : desc_(desc), log_(desc.log) {}
    ~Device() override { log_->closed = true; }

    long write(const std::uint8_t* data, std::size_t n) override {
        err_ = 0;
        if (log_->fail_writes) {
            err_ = EIO;
            return -1;
        }
        log_->written.emplace_back(data, data + n);
        return long(n);
    }
    long read(std::uint8_t* data, std::size_t n, std::uint32_t timeout_ms) override {
        log_->read_timeouts.push_back(timeout_ms);
        log_->read_sizes.push_back(n);
        err_ = 0;
        if (log_->replies.empty()) {
            err_ = ETIMEDOUT;
            return -1;
        }
        DeviceLog::Reply r = log_->replies.front();
        log_->replies.pop_front();
        std::size_t got = std::min(n, r.bytes.size());
        std::copy(r.bytes.begin(), r.bytes.begin() + long(got), data);
        err_ = r.error;
        return got == 0 && err_ ? -1 : long(got);
    }
    void discard_input() override { ++log_->discards; }
    int last_error() const override { return err_; }
    std::uint16_t vendor_id() const override { return desc_.vid; }
    std::uint16_t product_id() const override { return desc_.pid; }
    std::string manufacturer() const override { return desc_.manufacturer; }
    std::string product() const override { return desc_.product; }

  private:
    FakeDeviceDesc desc_;
    std::shared_ptr<DeviceLog> log_;
    int err_ = 0;
};

// Offers device paths per class; each path opens the device registered for it.
class Provider : public platform::usb::Provider {
  public:
    bool fail_enumeration = false;
    std::map<platform::usb::InterfaceClass, std::vector<std::string>> paths;
    std::map<std::string, FakeDeviceDesc> devices;

    // Adds a device in the form the system reports and returns its log.
    std::shared_ptr<DeviceLog> add(platform::usb::InterfaceClass cls, FakeDeviceDesc desc,
                                   const std::string& instance = "fake0") {
        std::string path = platform::usb::detail::device_path(cls, desc.vid, desc.pid, instance);
        add_path(cls, path, desc);
        return desc.log;
    }
    void add_path(platform::usb::InterfaceClass cls, const std::string& path,
                  const FakeDeviceDesc& desc) {
        paths[cls].push_back(path);
        devices[path] = desc;
    }

    std::vector<std::string> enumerate(platform::usb::InterfaceClass cls) override {
        if (fail_enumeration) throw platform::usb::EnumerationError("no device information set");
        return paths[cls];
    }
    std::unique_ptr<platform::usb::Device> open(const std::string& path) override {
        auto it = devices.find(path);
        if (it == devices.end() || !it->second.openable) return nullptr;
        return std::make_unique<Device>(it->second);
    }
};

// A test with fresh transport state that sees only the fake provider.
class TransportTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        reset_transport_state();
        platform::usb::use_builtin_providers(false);
        platform::usb::add_provider(&provider);
    }
    void TearDown() override {
        reset_transport_state();
        platform::usb::remove_provider(&provider);
        platform::usb::use_builtin_providers(true);
        platform::usb::use_hardware_providers(true);
        NocterisTest::TearDown();
    }

    // Boxes with the given caption.
    std::vector<std::string> boxes(const std::string& caption) const {
        std::vector<std::string> out;
        for (const auto& b : ui.boxes)
            if (b.caption == caption) out.push_back(b.text);
        return out;
    }

    Provider provider;
};

// Unix-socket helpers with real-time limits, so a failing test cannot hang.
bool recv_exact(int fd, void* data, std::size_t n, int timeout_ms = 5000);
bool send_all(int fd, const void* data, std::size_t n);

// A listening socket in the simulator's folder. The first connection that
// sends something (enumeration probes close without a byte) is handed to
// the script on a thread of its own; the destructor waits for it.
class SocketPeer {
  public:
    SocketPeer(const std::string& name, std::function<void(int fd)> script);
    ~SocketPeer();
    SocketPeer(const SocketPeer&) = delete;
    SocketPeer& operator=(const SocketPeer&) = delete;

  private:
    int listen_fd_ = -1;
    std::thread thread_;
};

// A socket file whose listener has gone: what a crashed simulator leaves.
void make_stale_socket(const std::string& name);

// "\\?\usb#<name>#{block-driver class}" for a camera socket's name.
std::string camera_socket_path(const std::string& name);

} // namespace fake
