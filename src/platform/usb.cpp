#include "platform/usb.h"

#include "platform/clock.h"
#include "platform/host_path.h"
#include "platform/usb_ids.h"
#include "platform/usb_internal.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace platform::usb {

namespace {

struct Registry {
    std::vector<Provider*> added;
    bool builtin = true;
    bool hardware = true;
};

Registry& registry() {
    static Registry r;
    return r;
}

// Added providers first, then the simulator's sockets, then real hardware:
// when the simulator and a real camera both match, discovery keeps the last
// one it opened, which is then the real camera.
std::vector<Provider*> providers() {
    Registry& r = registry();
    std::vector<Provider*> all = r.added;
    if (r.builtin) {
        all.push_back(&detail::socket_provider());
        if (r.hardware) {
            all.push_back(&detail::hidapi_provider());
            all.push_back(&detail::libusb_provider());
        }
    }
    return all;
}

bool hex4(const std::string& s, std::size_t at, std::uint16_t& out) {
    if (at + 4 > s.size()) return false;
    unsigned v = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9')
            v = v * 16 + unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            v = v * 16 + unsigned(c - 'a' + 10);
        else
            return false;
    }
    out = static_cast<std::uint16_t>(v);
    return true;
}

} // namespace

std::vector<std::string> enumerate(InterfaceClass cls) {
    std::vector<std::string> paths;
    for (Provider* p : providers()) {
        std::vector<std::string> some = p->enumerate(cls);
        paths.insert(paths.end(), some.begin(), some.end());
    }
    return paths;
}

std::unique_ptr<Device> open(const std::string& path) {
    for (Provider* p : providers())
        if (auto dev = p->open(path)) return dev;
    return nullptr;
}

void add_provider(Provider* p) {
    auto& added = registry().added;
    if (std::find(added.begin(), added.end(), p) == added.end()) added.push_back(p);
}

void remove_provider(Provider* p) {
    auto& added = registry().added;
    added.erase(std::remove(added.begin(), added.end(), p), added.end());
}

void use_builtin_providers(bool on) {
    registry().builtin = on;
}
void use_hardware_providers(bool on) {
    registry().hardware = on;
}

std::string socket_folder() {
    return host_path("c:\\autosave\\usb");
}

namespace detail {

std::string device_path(InterfaceClass cls, std::uint16_t vid, std::uint16_t pid,
                        const std::string& instance) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", unsigned(vid), unsigned(pid));
    bool hid = cls == InterfaceClass::Hid;
    return std::string(hid ? "\\\\?\\hid#" : "\\\\?\\usb#") + ids + "#" + instance + "#" +
           (hid ? HID_CLASS : usb_ids::BLOCK_DRIVER_CLASS);
}

bool parse_device_path(const std::string& path, PathParts& out) {
    const std::string hid_head = "\\\\?\\hid#vid_", usb_head = "\\\\?\\usb#vid_";
    const std::string hid_tail = std::string("#") + HID_CLASS;
    const std::string usb_tail = std::string("#") + usb_ids::BLOCK_DRIVER_CLASS;
    PathParts p;
    std::string tail;
    if (path.compare(0, hid_head.size(), hid_head) == 0) {
        p.cls = InterfaceClass::Hid;
        tail = hid_tail;
    } else if (path.compare(0, usb_head.size(), usb_head) == 0) {
        p.cls = InterfaceClass::BlockDriver;
        tail = usb_tail;
    } else {
        return false;
    }
    // head, "xxxx&pid_xxxx#", instance, tail
    const std::size_t at = hid_head.size();
    if (path.size() < at + 14 + 1 + tail.size()) return false;
    if (!hex4(path, at, p.vid) || path.compare(at + 4, 5, "&pid_") != 0 ||
        !hex4(path, at + 9, p.pid) || path[at + 13] != '#')
        return false;
    if (path.compare(path.size() - tail.size(), tail.size(), tail) != 0) return false;
    p.instance = path.substr(at + 14, path.size() - tail.size() - (at + 14));
    if (p.instance.empty() || p.instance.find('#') != std::string::npos) return false;
    out = p;
    return true;
}

Deadline::Deadline(std::uint32_t timeout_ms)
    : timeout_(timeout_ms), start_(now_ms()), real_start_(std::chrono::steady_clock::now()) {}

bool Deadline::passed() {
    if (now_ms() - start_ >= timeout_) return true;
    auto real = std::chrono::steady_clock::now() - real_start_;
    return std::chrono::duration_cast<std::chrono::milliseconds>(real).count() >= timeout_;
}

int Deadline::slice_ms(int max_ms) const {
    auto real = std::chrono::steady_clock::now() - real_start_;
    long long left = timeout_ - std::chrono::duration_cast<std::chrono::milliseconds>(real).count();
    return static_cast<int>(std::clamp<long long>(left, 0, max_ms));
}

} // namespace detail

} // namespace platform::usb
