#include "devices/usb_discovery.h"
#include "platform/command_ids.h"

#include "devices/camera_models.h"
#include "devices/transport.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "platform/usb_ids.h"
#include "settings/settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/utsname.h>
#include <vector>

namespace usb = platform::usb;

namespace {

constexpr const char* NOT_PRESENT = "- not present -";
// The interface detail is fetched into a buffer of this size; a longer
// system name cannot be read.
constexpr std::size_t DETAIL_BUFFER = 256;
// Sent to the main window: set up the camera geometry for `cam_type`.
// Product ids read as decimal numbers outside this range are not cameras.
constexpr int LOWEST_CAMERA_PID = 118;
constexpr int HIGHEST_CAMERA_PID = 680;
constexpr std::uint32_t WHEEL_REPLY_WAIT_MS = 30000;

void error_box(const char* text) {
    platform::ui().message_box(text, "Error", platform::BoxIcon::Stop, platform::BoxButtons::Ok);
}

bool list_interfaces(usb::InterfaceClass cls, std::vector<std::string>& paths) {
    try {
        paths = usb::enumerate(cls);
        return true;
    } catch (const usb::EnumerationError&) {
        messages(MSG_OWN_TEXT, "Could not attach to PnP node");
        return false;
    }
}

bool copy_system_name(const std::string& path, char (&name)[DETAIL_BUFFER]) {
    if (path.size() >= DETAIL_BUFFER) return false;
    std::memcpy(name, path.c_str(), path.size() + 1);
    return true;
}

// The four characters at offsets 4 to 7 from the first "vid" or "pid"
// ("vid_f0ca" gives "f0ca"); fewer when the name ends sooner.
void parse_id(const char* name, const char* key, char (&id)[5]) {
    id[0] = '\0';
    const char* at = std::strstr(name, key);
    if (!at || std::strlen(at) <= 4) return;
    std::size_t i = 0;
    for (; i < 4 && at[4 + i]; ++i) id[i] = at[4 + i];
    id[i] = '\0';
}

void parse_ids(const char* name) {
    parse_id(name, "vid", usbt.qv_vid);
    parse_id(name, "pid", usbt.qv_pid);
}

// The product id's leading decimal digits as a number ("0122" is 122).
int decimal_value(const char* id) {
    int v = 0;
    for (; *id >= '0' && *id <= '9'; ++id) v = v * 10 + (*id - '0');
    return v;
}

const usb_ids::ModelRow* model_row(int pid_number) {
    for (const auto& row : usb_ids::MODEL_TABLE)
        if (decimal_value(row.pid) == pid_number) return &row;
    return nullptr;
}

void copy_text(char (&dst)[256], const std::string& text) {
    std::size_t n = std::min(text.size(), sizeof dst - 1);
    std::memcpy(dst, text.data(), n);
    dst[n] = '\0';
}

void os_version(int& major, int& minor) {
    major = minor = 0;
    utsname u{};
    if (::uname(&u) == 0) std::sscanf(u.release, "%d.%d", &major, &minor);
}

// Asks the wheel how many positions it has; fewer than `Max_Filters` lowers it.
void query_filter_wheel(usb::Device& wheel) {
    const std::uint8_t query[3] = {0, 0, 0}; // report id, command, argument
    if (wheel.write(query, sizeof query) < 0)
        messages(MSG_OWN_TEXT, "Could not write to USB Filterwheel - try rebooting USB device");
    // The original paused on an empty loop here; the read below waits anyway.
    long got = wheel.read(ReportBuffer, 3, WHEEL_REPLY_WAIT_MS);
    int err = wheel.last_error();
    if (got < 0 || err != 0) {
        char text[80];
        std::snprintf(text, sizeof text, "Error %d trying to read data from USB Filterwheel\n",
                      err ? err : EIO);
        messages(MSG_OWN_TEXT, text);
        return;
    }
    // Only a whole reply counts, and a wheel needs at least one position:
    // stale bytes or a zero would leave the filter stepping with nowhere to go.
    if (got < 3) return;
    int positions = static_cast<signed char>(ReportBuffer[2]);
    if (positions >= 1 && positions < cfg.Max_Filters) cfg.Max_Filters = positions;
}

enum class Walk { Failed, Empty, Found };

// The member-index loop over one interface class: each of the first
// MAX_INTERFACES records has its VID cleared, and each interface present has
// its system name read, its ids parsed into `qv_vid` and `qv_pid`, and is
// handed to visit(record, name). Failed when the class cannot be listed, a
// name cannot be read or visit returns false (each has shown its message).
template <class Visit>
Walk walk_interfaces(usb::InterfaceClass cls, HidDeviceDataType (&records)[USBHid::MAX_INTERFACES],
                     Visit visit) {
    std::vector<std::string> paths;
    if (!list_interfaces(cls, paths)) return Walk::Failed;
    Walk result = Walk::Empty;
    for (int index = 0; index < USBHid::MAX_INTERFACES; ++index) {
        HidDeviceDataType& rec = records[index];
        rec.VID = 0;
        if (std::size_t(index) >= paths.size()) continue;
        result = Walk::Found;
        char name[DETAIL_BUFFER];
        if (!copy_system_name(paths[index], name)) {
            error_box("Could not find the system name for this HID device");
            return Walk::Failed;
        }
        parse_ids(name);
        if (!visit(rec, name)) return Walk::Failed;
    }
    return result;
}

} // namespace

USBHid::USBHid() {
    std::memset(HidDeviceData, 0, sizeof HidDeviceData);
}

int USBHid::CollectingUSBHidInfo() {
    int result = 0;
    for (usb::InterfaceClass cls : {usb::InterfaceClass::Hid, usb::InterfaceClass::BlockDriver}) {
        const Walk walk =
            walk_interfaces(cls, HidDeviceData, [&](HidDeviceDataType& rec, const char* name) {
                if (std::strcmp(usbt.qv_pid, usbt.qv_cam_pid) != 0 && !cfg.ignore_pid) return true;

                int number = decimal_value(usbt.qv_pid);
                if (number < LOWEST_CAMERA_PID || number > HIGHEST_CAMERA_PID) return true;
                if (const usb_ids::ModelRow* row = model_row(number)) {
                    cam.cam_type = row->cam_type;
                    std::memcpy(usbt.qv_cam_pid, usbt.qv_pid, sizeof usbt.qv_cam_pid);
                } else {
                    messages(MSG_OWN_TEXT, "Attached Camera is not supported");
                    cam.cam_type = FALLBACK_MODEL;
                    usbt.camera_unsupported = 1;
                }
                platform::ui().send_command(CM_CAMERA_GEOMETRY);

                std::unique_ptr<usb::Device> dev = usb::open(name);
                if (!dev) {
                    error_box("Could not open HID device");
                    return false;
                }
                rec.VID = dev->vendor_id();
                rec.PID = dev->product_id();
                std::string vendor = dev->manufacturer();
                copy_text(rec.VendorName, vendor.empty() ? NOT_PRESENT : vendor);
                // The block driver's product string has no "not present" of its own.
                std::string product = dev->product();
                copy_text(rec.ProductName, product.empty() && cls == usb::InterfaceClass::Hid
                                               ? NOT_PRESENT
                                               : product);
                attach_camera(std::move(dev));
                return true;
            });
        if (walk == Walk::Failed) return 0;
        if (walk == Walk::Found) result = 1;
    }

    if (!camera_attached()) {
        messages(MSG_OWN_TEXT, "USB ZIRED device not found");
        usbt.OpenUSBinterfaces = 0;
        usbt.got_qv = 0;
        return result;
    }
    usbt.Win98 = 0;
    if (cfg.Show_Interface_Details) {
        int major, minor;
        os_version(major, minor);
        char text[120];
        std::snprintf(text, sizeof text, "Camera Found, \nZIRED = %6d\nO/S = %4d.%4d\nPID = %s",
                      camera_handle(), major, minor, usbt.qv_pid);
        messages(MSG_OWN_TEXT, text);
    }
    usbt.got_qv = 1;
    usbt.OpenUSBinterfaces = 1;
    return result;
}

int USBHid::CollectingHidInfo() {
    const Walk walk = walk_interfaces(
        usb::InterfaceClass::Hid, HidDeviceData, [](HidDeviceDataType&, const char* name) {
            if (std::strcmp(usbt.qv_pid, usb_ids::FILTER_WHEEL_PID) != 0 ||
                std::strcmp(usbt.qv_vid, usb_ids::VENDOR_ID) != 0)
                return true;
            std::unique_ptr<usb::Device> wheel = usb::open(name);
            if (!wheel) {
                error_box("Could not open HID Filterwheel device");
                return false;
            }
            usbt.USB_filterwheel = 1;
            query_filter_wheel(*wheel);
            attach_filter_wheel(std::move(wheel));
            return true;
        });
    return walk == Walk::Found ? 1 : 0;
}
