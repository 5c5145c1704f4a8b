// HID devices through hidapi over hidraw: the HID interface class.
#include "platform/ui.h"
#include "platform/usb_ids.h"
#include "platform/usb_internal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <hidapi.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform::usb::detail {

namespace {

constexpr int READ_SLICE_MS = 50;

// The program reads HID reports as Windows delivers them: the report id
// first, 0 for a device without numbered reports. hidraw leaves that 0 out,
// so we need to know whether the device numbers its reports.
bool uses_report_ids(const std::string& node) {
    int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    int size = 0;
    hidraw_report_descriptor desc{};
    bool numbered = false;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        desc.size = std::uint32_t(size);
        if (::ioctl(fd, HIDIOCGRDESC, &desc) == 0) {
            for (std::uint32_t i = 0; i < desc.size;) {
                std::uint8_t b = desc.value[i];
                if (b == 0xFE) { // long item: size byte, tag byte, data
                    i += 3 + (i + 1 < desc.size ? desc.value[i + 1] : 0);
                    continue;
                }
                if ((b & 0xFC) == 0x84) numbered = true; // Report ID item
                std::uint32_t len = b & 3;
                i += 1 + (len == 3 ? 4 : len);
            }
        }
    }
    ::close(fd);
    return numbered;
}

std::string narrow(const wchar_t* w) {
    std::string s;
    for (; *w; ++w) s += static_cast<char>(static_cast<unsigned>(*w) & 0xFF);
    return s;
}

class HidDevice : public Device {
  public:
    HidDevice(hid_device* dev, std::uint16_t vid, std::uint16_t pid, bool numbered)
        : dev_(dev), vid_(vid), pid_(pid), numbered_(numbered) {
        wchar_t buf[256];
        if (hid_get_manufacturer_string(dev_, buf, 256) == 0) manufacturer_ = narrow(buf);
        if (hid_get_product_string(dev_, buf, 256) == 0) product_ = narrow(buf);
    }
    ~HidDevice() override { hid_close(dev_); }

    long write(const std::uint8_t* data, std::size_t n) override {
        err_ = 0;
        if (n == 0) return 0;
        int r = hid_write(dev_, data, n);
        if (r < 0) {
            err_ = EIO;
            return -1;
        }
        return r;
    }

    // One input report, report id first.
    long read(std::uint8_t* data, std::size_t n, std::uint32_t timeout_ms) override {
        err_ = 0;
        if (n == 0) return 0;
        std::uint8_t* into = numbered_ ? data : data + 1;
        std::size_t room = numbered_ ? n : n - 1;
        if (room == 0) return 0;
        Deadline deadline(timeout_ms);
        for (;;) {
            int r = hid_read_timeout(dev_, into, room, deadline.slice_ms(READ_SLICE_MS));
            if (r < 0) {
                err_ = EIO;
                return -1;
            }
            if (r > 0) {
                if (!numbered_) data[0] = 0;
                return r + (numbered_ ? 0 : 1);
            }
            if (deadline.passed()) {
                err_ = ETIMEDOUT;
                return -1;
            }
            while_waiting();
        }
    }

    void discard_input() override {
        std::uint8_t sink[256];
        while (hid_read_timeout(dev_, sink, sizeof sink, 0) > 0) {
        }
    }

    int last_error() const override { return err_; }
    std::uint16_t vendor_id() const override { return vid_; }
    std::uint16_t product_id() const override { return pid_; }
    std::string manufacturer() const override { return manufacturer_; }
    std::string product() const override { return product_; }

  private:
    hid_device* dev_;
    std::uint16_t vid_, pid_;
    bool numbered_;
    std::string manufacturer_, product_;
    int err_ = 0;
};

// "/dev/hidraw3" travels in the device path as its instance, "hidraw3".
bool node_from_instance(const std::string& instance, std::string& node) {
    if (instance.rfind("hidraw", 0) != 0 || instance.size() == 6 || instance.size() > 12)
        return false;
    for (std::size_t i = 6; i < instance.size(); ++i)
        if (instance[i] < '0' || instance[i] > '9') return false;
    node = "/dev/" + instance;
    return true;
}

class HidapiProvider : public Provider {
  public:
    std::vector<std::string> enumerate(InterfaceClass cls) override {
        std::vector<std::string> paths;
        if (cls != InterfaceClass::Hid || !start()) return paths;
        struct Entry {
            bool makers;
            std::string path;
        };
        std::vector<Entry> found;
        hid_device_info* list = hid_enumerate(0, 0);
        for (hid_device_info* d = list; d; d = d->next) {
            if (!d->path) continue;
            std::string node = d->path;
            std::string instance = node.substr(node.rfind('/') + 1);
            std::string check;
            if (!node_from_instance(instance, check) || check != node) continue;
            found.push_back({d->vendor_id == usb_ids::VENDOR_ID_NUM,
                             device_path(cls, d->vendor_id, d->product_id, instance)});
        }
        hid_free_enumeration(list);
        // The maker's devices first: discovery looks at the first twenty only.
        std::stable_sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) {
            if (a.makers != b.makers) return a.makers;
            return a.path < b.path;
        });
        for (auto& e : found) paths.push_back(std::move(e.path));
        return paths;
    }

    std::unique_ptr<Device> open(const std::string& path) override {
        PathParts parts;
        std::string node;
        if (!parse_device_path(path, parts) || parts.cls != InterfaceClass::Hid ||
            !node_from_instance(parts.instance, node) || !start() || !present(node, parts))
            return nullptr;
        hid_device* dev = hid_open_path(node.c_str());
        if (!dev) return nullptr;
        return std::make_unique<HidDevice>(dev, parts.vid, parts.pid, uses_report_ids(node));
    }

  private:
    // The node still belongs to the device the path names.
    static bool present(const std::string& node, const PathParts& parts) {
        bool same = false;
        hid_device_info* list = hid_enumerate(parts.vid, parts.pid);
        for (hid_device_info* d = list; d; d = d->next)
            if (d->path && node == d->path) same = true;
        hid_free_enumeration(list);
        return same;
    }

    // A system where hidapi cannot start simply has no HID devices for us.
    // It is never shut down: an open device may outlive this provider at exit.
    bool start() {
        if (!started_) started_ = hid_init() == 0;
        return started_;
    }
    bool started_ = false;
};

} // namespace

Provider& hidapi_provider() {
    static HidapiProvider p;
    return p;
}

} // namespace platform::usb::detail
