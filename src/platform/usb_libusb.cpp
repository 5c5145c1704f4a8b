// The maker's USB devices through libusb: the block-driver interface class,
// command blocks and data over the first bulk OUT and IN endpoints.
#include "platform/ui.h"
#include "platform/usb_ids.h"
#include "platform/usb_internal.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <libusb.h>

namespace platform::usb::detail {

namespace {

// Shared by the provider and every open device, so that whichever goes
// last at exit ends the library.
struct Context {
    libusb_context* ctx = nullptr;
    ~Context() {
        if (ctx) libusb_exit(ctx);
    }
};

int errno_of(int rc) {
    switch (rc) {
    case LIBUSB_ERROR_TIMEOUT:
        return ETIMEDOUT;
    case LIBUSB_ERROR_NO_DEVICE:
        return ENODEV;
    case LIBUSB_ERROR_PIPE:
        return EPIPE;
    case LIBUSB_ERROR_OVERFLOW:
        return EOVERFLOW;
    case LIBUSB_ERROR_ACCESS:
        return EACCES;
    default:
        return EIO;
    }
}

// "1-4.2": bus and port chain, stable while the camera stays in its socket.
std::string location(libusb_device* dev) {
    std::string s = std::to_string(libusb_get_bus_number(dev)) + "-";
    std::uint8_t ports[8];
    int n = libusb_get_port_numbers(dev, ports, 8);
    if (n <= 0) {
        s += 'a';
        s += std::to_string(libusb_get_device_address(dev));
        return s;
    }
    for (int i = 0; i < n; ++i) {
        if (i) s += '.';
        s += std::to_string(ports[i]);
    }
    return s;
}

// The maker's vendor id and not a HID device (the HID source lists those).
bool is_block_device(libusb_device* dev, libusb_device_descriptor& desc) {
    if (libusb_get_device_descriptor(dev, &desc) != 0 || desc.idVendor != usb_ids::VENDOR_ID_NUM)
        return false;
    libusb_config_descriptor* cfg = nullptr;
    if (libusb_get_active_config_descriptor(dev, &cfg) != 0 &&
        libusb_get_config_descriptor(dev, 0, &cfg) != 0)
        return false;
    bool hid = cfg->bNumInterfaces > 0 && cfg->interface[0].num_altsetting > 0 &&
               cfg->interface[0].altsetting[0].bInterfaceClass == LIBUSB_CLASS_HID;
    libusb_free_config_descriptor(cfg);
    return !hid;
}

class LibusbDevice : public Device {
  public:
    LibusbDevice(std::shared_ptr<Context> ctx, libusb_device_handle* h, std::uint16_t vid,
                 std::uint16_t pid, unsigned char ep_in, unsigned char ep_out)
        : ctx_(std::move(ctx)), h_(h), vid_(vid), pid_(pid), in_(ep_in), out_(ep_out) {
        libusb_device_descriptor desc;
        if (libusb_get_device_descriptor(libusb_get_device(h_), &desc) == 0) {
            manufacturer_ = text(desc.iManufacturer);
            product_ = text(desc.iProduct);
        }
    }
    ~LibusbDevice() override {
        if (transfer_) libusb_free_transfer(transfer_);
        libusb_release_interface(h_, 0);
        libusb_close(h_);
    }

    long write(const std::uint8_t* data, std::size_t n) override {
        err_ = 0;
        if (n > INT_MAX) n = INT_MAX;
        int done = 0;
        int rc = libusb_bulk_transfer(h_, out_, const_cast<std::uint8_t*>(data), int(n), &done,
                                      WRITE_TIMEOUT_MS);
        if (rc != 0 || std::size_t(done) != n) {
            err_ = rc ? errno_of(rc) : EIO;
            return -1;
        }
        return done;
    }

    // One transfer for the whole request: a bulk read cancelled part-way can
    // lose data in flight, so this one is not cut into slices. The device
    // ends it early with a short packet. It runs asynchronously so that the
    // window keeps painting while the camera exposes inside the read.
    long read(std::uint8_t* data, std::size_t n, std::uint32_t timeout_ms) override {
        err_ = 0;
        if (n == 0) return 0;
        if (n > INT_MAX) n = INT_MAX;
        if (!transfer_) transfer_ = libusb_alloc_transfer(0);
        if (!transfer_) {
            err_ = ENOMEM;
            return -1;
        }
        int completed = 0;
        const unsigned timeout = std::max<std::uint32_t>(timeout_ms, 1); // 0 would mean forever
        libusb_fill_bulk_transfer(transfer_, h_, in_, data, int(n), &LibusbDevice::done, &completed,
                                  timeout);
        if (int rc = libusb_submit_transfer(transfer_); rc != 0) {
            err_ = errno_of(rc);
            return -1;
        }
        while (!completed) {
            timeval slice{0, WAIT_SERVICE_MS * 1000};
            if (libusb_handle_events_timeout_completed(ctx_->ctx, &slice, &completed) != 0 &&
                !completed) {
                libusb_cancel_transfer(transfer_);
                while (!completed) libusb_handle_events_completed(ctx_->ctx, &completed);
                break;
            }
            while_waiting();
        }
        const int got = transfer_->actual_length;
        switch (transfer_->status) {
        case LIBUSB_TRANSFER_COMPLETED:
            return got;
        case LIBUSB_TRANSFER_TIMED_OUT:
            err_ = ETIMEDOUT;
            break;
        case LIBUSB_TRANSFER_NO_DEVICE:
            err_ = ENODEV;
            break;
        case LIBUSB_TRANSFER_OVERFLOW:
            err_ = EOVERFLOW;
            break;
        default:
            err_ = EIO;
            break;
        }
        return got > 0 ? got : -1;
    }

    void discard_input() override {
        std::uint8_t sink[16384];
        for (int i = 0; i < 64; ++i) {
            int got = 0;
            if (libusb_bulk_transfer(h_, in_, sink, sizeof sink, &got, 1) != 0 || got == 0) break;
        }
    }

    int last_error() const override { return err_; }
    std::uint16_t vendor_id() const override { return vid_; }
    std::uint16_t product_id() const override { return pid_; }
    std::string manufacturer() const override { return manufacturer_; }
    std::string product() const override { return product_; }

  private:
    std::string text(std::uint8_t index) {
        unsigned char buf[256];
        if (index == 0) return {};
        int n = libusb_get_string_descriptor_ascii(h_, index, buf, sizeof buf);
        return n > 0 ? std::string(reinterpret_cast<char*>(buf), std::size_t(n)) : std::string();
    }

    static void LIBUSB_CALL done(libusb_transfer* t) { *static_cast<int*>(t->user_data) = 1; }

    std::shared_ptr<Context> ctx_;
    libusb_transfer* transfer_ = nullptr; // the read's, made once
    libusb_device_handle* h_;
    std::uint16_t vid_, pid_;
    unsigned char in_, out_;
    std::string manufacturer_, product_;
    int err_ = 0;
};

class LibusbProvider : public Provider {
  public:
    std::vector<std::string> enumerate(InterfaceClass cls) override {
        std::vector<std::string> paths;
        if (cls != InterfaceClass::BlockDriver || !start()) return paths;
        libusb_device** list = nullptr;
        ssize_t n = libusb_get_device_list(ctx_->ctx, &list);
        for (ssize_t i = 0; i < n; ++i) {
            libusb_device_descriptor desc;
            if (is_block_device(list[i], desc))
                paths.push_back(device_path(cls, desc.idVendor, desc.idProduct, location(list[i])));
        }
        if (list) libusb_free_device_list(list, 1);
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    std::unique_ptr<Device> open(const std::string& path) override {
        PathParts parts;
        if (!parse_device_path(path, parts) || parts.cls != InterfaceClass::BlockDriver || !start())
            return nullptr;
        libusb_device** list = nullptr;
        ssize_t n = libusb_get_device_list(ctx_->ctx, &list);
        std::unique_ptr<Device> opened;
        for (ssize_t i = 0; i < n && !opened; ++i) {
            libusb_device_descriptor desc;
            if (is_block_device(list[i], desc) && desc.idVendor == parts.vid &&
                desc.idProduct == parts.pid && location(list[i]) == parts.instance)
                opened = open_device(list[i], parts);
        }
        if (list) libusb_free_device_list(list, 1);
        return opened;
    }

  private:
    std::unique_ptr<Device> open_device(libusb_device* dev, const PathParts& parts) {
        unsigned char ep_in = 0, ep_out = 0;
        libusb_config_descriptor* cfg = nullptr;
        if (libusb_get_active_config_descriptor(dev, &cfg) != 0) return nullptr;
        if (cfg->bNumInterfaces > 0 && cfg->interface[0].num_altsetting > 0) {
            const libusb_interface_descriptor& alt = cfg->interface[0].altsetting[0];
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                if ((ep.bmAttributes & 3) != LIBUSB_TRANSFER_TYPE_BULK) continue;
                bool in = (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0;
                if (in && !ep_in) ep_in = ep.bEndpointAddress;
                if (!in && !ep_out) ep_out = ep.bEndpointAddress;
            }
        }
        libusb_free_config_descriptor(cfg);
        if (!ep_in || !ep_out) return nullptr;
        libusb_device_handle* h = nullptr;
        if (libusb_open(dev, &h) != 0) return nullptr;
        libusb_set_auto_detach_kernel_driver(h, 1);
        if (libusb_claim_interface(h, 0) != 0) {
            libusb_close(h);
            return nullptr;
        }
        return std::make_unique<LibusbDevice>(ctx_, h, parts.vid, parts.pid, ep_in, ep_out);
    }

    // Without a USB file system (a container, say) there is nothing to list;
    // the next discovery tries again.
    bool start() {
        if (ctx_) return true;
        auto c = std::make_shared<Context>();
        if (libusb_init(&c->ctx) != 0) {
            c->ctx = nullptr;
            return false;
        }
        ctx_ = std::move(c);
        return true;
    }

    static void LIBUSB_CALL done(libusb_transfer* t) { *static_cast<int*>(t->user_data) = 1; }

    std::shared_ptr<Context> ctx_;
    libusb_transfer* transfer_ = nullptr; // the read's, made once
};

} // namespace

Provider& libusb_provider() {
    static LibusbProvider p;
    return p;
}

} // namespace platform::usb::detail
