#include "sim/camera.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sim {

namespace {

constexpr std::size_t HEADER = 8;
// A window bigger than this is refused rather than rendered.
constexpr std::size_t MAX_REPLY = 64u << 20;
constexpr double GUIDER_PIXEL_UM = 7.4;
constexpr int GUIDER_ROWS = 290;

unsigned u16(const std::uint8_t* p) {
    return p[0] | (p[1] << 8);
}
std::uint32_t u32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Commands whose length field asks for a reply instead of announcing a payload.
bool has_payload(std::uint8_t request_type, std::uint8_t command) {
    return !(request_type & 0x80) && command != 11;
}

std::string fmt(const char* f, auto... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, f, args...);
    return buf;
}

} // namespace

Camera::Camera(const CameraConfig& cfg, const CameraFaults& faults, std::uint64_t seed,
               World& world, StarField& sky, const SkyConfig& sky_cfg, FilterWheel& wheel,
               Lx200& mount, AoUnit& ao, const SerialFaults& serial_faults, Rng& rng)
    : cfg_(cfg), faults_(faults), model_(model_for_pid(cfg.pid)), seed_(seed), world_(world),
      sky_(sky), sky_cfg_(sky_cfg), wheel_(wheel), rng_(rng) {
    const double arcsec_per_um = 206.265 / std::max(cfg_.focal_length_mm, 1.0);
    SensorModel m;
    m.width = model_.width;
    m.height = model_.height;
    m.scale = model_.pixel_um * arcsec_per_um;
    m.angle_deg = cfg_.angle_deg;
    m.gain = model_.gain;
    m.full_well = model_.full_well;
    m.reference_columns = model_.reference_columns;
    m.column_pair_level = model_.reference_columns ? 40 : 0;
    m.seed = hash_combine(seed, 1);
    main_ = std::make_unique<Renderer>(m);

    // The autoguider CCD sits just below the main one in the focal plane.
    SensorModel g;
    g.width = cfg_.guider_width == 376 ? 376 : 500;
    g.height = GUIDER_ROWS;
    g.scale = GUIDER_PIXEL_UM * arcsec_per_um;
    g.centre_y = m.height * m.scale / 2 + g.height * g.scale / 2 + 60;
    g.angle_deg = cfg_.angle_deg;
    g.eight_bit = true;
    g.gain = 20;
    g.bias = 6;
    g.read_noise = 20;
    g.dark_rate = 0.5;
    g.full_well = 60000;
    g.hot_fraction = 3e-4;
    g.seed = hash_combine(seed, 2);
    guider_ = std::make_unique<Renderer>(g);

    for (int i = 0; i < SERIAL_PORTS; ++i) {
        ports_.push_back(std::make_unique<SerialLine>("camera serial " + std::to_string(i), mount,
                                                      ao, wheel, serial_faults, rng));
        ports_.back()->log = [this](const std::string& s) { note(s); };
    }
}

double Camera::readout_seconds(std::size_t pixels) const {
    return cfg_.readout_rate > 0 ? pixels / cfg_.readout_rate : 0.0;
}

void Camera::reset_link() {
    in_.clear();
    replies_.clear();
    offset_ = 0;
    down_ = false;
}

void Camera::discard_ready(double t) {
    while (!replies_.empty() && replies_.front().ready <= t) {
        const bool drop = replies_.front().drop_link;
        replies_.pop_front();
        offset_ = 0;
        if (drop) {
            // The bytes before the fault were what the link carried; it is gone now.
            down_ = true;
            replies_.clear();
        }
    }
}

void Camera::write(const std::uint8_t* data, std::size_t n, double t) {
    if (down_) return;
    in_.insert(in_.end(), data, data + n);
    std::size_t pos = 0;
    while (in_.size() - pos >= HEADER) {
        const std::uint8_t* b = in_.data() + pos;
        const std::size_t payload = has_payload(b[0], b[1]) ? u16(b + 6) : 0;
        if (in_.size() - pos < HEADER + payload) break;
        execute(b, payload, t);
        pos += HEADER + payload;
        if (down_) break;
    }
    in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(std::min(pos, in_.size())));
}

void Camera::queue(Reply r, double t) {
    if (faults_.stall > 0 && rng_.uniform() < faults_.stall) {
        note("fault: this reply never comes");
        return;
    }
    if (r.is_frame) {
        if (frames_ == faults_.disconnect_frame) {
            r.cut = r.size / 2;
            r.drop_link = true;
            note(fmt("fault: the link drops after %zu of %zu bytes", r.cut, r.size));
        } else if (faults_.short_read > 0 && rng_.uniform() < faults_.short_read) {
            r.cut = static_cast<std::size_t>(r.size * (0.3 + 0.6 * rng_.uniform()));
            note(fmt("fault: frame cut short at %zu of %zu bytes", r.cut, r.size));
        }
        ++frames_;
    } else {
        r.ready = t; // plain replies are there at once
    }
    replies_.push_back(std::move(r));
}

std::vector<std::pair<double, double>> Camera::main_light(double from, double to) const {
    std::vector<std::pair<double, double>> light;
    if (!model_.shutter) {
        light.emplace_back(from, to);
        return light;
    }
    for (auto [a, b] : shutter_log_) {
        if (b < 0) b = to;
        a = std::max(a, from), b = std::min(b, to);
        if (b > a) light.emplace_back(a, b);
    }
    return light;
}

void Camera::readout(int command, unsigned value, int ccd, const std::uint8_t* p, std::size_t n,
                     double t) {
    if (n < 10 || (command == 2 && n < 14)) {
        note(fmt("readout %d: payload of %zu bytes is too short, ignored", command, n));
        return;
    }
    if (ccd > 1) {
        note(fmt("readout %d: there is no CCD %d", command, ccd));
        return;
    }
    Frame f;
    f.ccd = ccd;
    f.win.x = static_cast<int>(u16(p));
    f.win.y = static_cast<int>(u16(p + 2));
    f.win.w = static_cast<int>(u16(p + 4));
    f.win.h = static_cast<int>(u16(p + 6));
    f.win.bx = std::max<int>(p[8], 1);
    f.win.by = std::max<int>(p[9], 1);
    if (ccd == 0 && (f.win.x || f.win.y)) {
        // The main CCD starts a window's read-out on an even column, and
        // its rows on the row as many further on as the requested row is
        // past a multiple of ten (what the program allows for when it
        // places its guide window); never past the sensor's last rows.
        f.win.x -= f.win.x % 2;
        const int last = main_->sensor().height - f.win.h;
        f.win.y = std::min(f.win.y + f.win.y % 10, std::max(last, f.win.y));
    }
    const std::size_t bpp = ccd == 1 ? 1 : 2;
    const std::size_t pixels = static_cast<std::size_t>(f.win.out_w()) * f.win.out_h();
    if (pixels == 0) {
        note(fmt("readout %d: empty window, nothing to send", command));
        return;
    }
    if (pixels * bpp > MAX_REPLY) {
        note(fmt("readout %d: window %dx%d is beyond any sensor, ignored", command, f.win.w,
                 f.win.h));
        return;
    }
    const bool dark = value & 0x8000;
    double& start = ccd == 1 ? guider_start_ : main_start_;
    double end;
    if (command == 2) {
        // The camera times this one itself: wipe, expose, read.
        const double exposure = u32(p + 10) / 1000.0;
        end = t + exposure;
        if (!dark) f.exp.light.emplace_back(t, end);
        f.exp.dark_seconds = exposure;
    } else {
        end = t;
        if (!dark)
            f.exp.light = ccd == 1 ? decltype(f.exp.light){{start, t}} : main_light(start, t);
        f.exp.dark_seconds = std::max(0.0, t - start);
    }
    const double mid =
        f.exp.light.empty() ? end : (f.exp.light.front().first + f.exp.light.back().second) / 2;
    f.exp.transmission = wheel_.transmission(mid);
    f.exp.noise_seed = hash_combine(seed_, 1000 + frames_);

    Reply r;
    r.is_frame = true;
    r.rendered = false;
    r.frame = f;
    r.size = pixels * bpp;
    r.ready = end + readout_seconds(pixels);
    start = r.ready; // reading clears the CCD
    if (ccd == 0) {
        std::erase_if(shutter_log_,
                      [&](const auto& iv) { return iv.second >= 0 && iv.second < start; });
        for (auto& iv : shutter_log_) iv.first = std::max(iv.first, start);
    }
    note(fmt("%s %s: %d,%d %dx%d bin %dx%d, %s %.3f s%s -> %zu bytes", ccd ? "guider" : "camera",
             command == 2 ? "expose and read" : "read", f.win.x, f.win.y, f.win.w, f.win.h,
             f.win.bx, f.win.by, command == 2 ? "exposure" : "integrated", f.exp.dark_seconds,
             dark ? " (dark)" : "", r.size));
    queue(std::move(r), t);
}

void Camera::execute(const std::uint8_t* b, std::size_t payload, double t) {
    const std::uint8_t command = b[1];
    const unsigned value = u16(b + 2), index = u16(b + 4), length = u16(b + 6);
    const std::uint8_t* p = b + HEADER;
    if (log_every_block)
        note(fmt("block: type 0x%02X command %u value 0x%04X index %u length %u", b[0], command,
                 value, index, length));
    Reply r;
    switch (command) {
    case 0: // echo
        r.bytes.push_back(payload ? p[0] : 0);
        queue(std::move(r), t);
        break;
    case 1:
        if (value == 8) break; // clearing the vertical registers leaves the exposure running
        if (index == 1) {
            guider_start_ = t;
        } else {
            main_start_ = t;
            std::erase_if(shutter_log_, [](const auto& iv) { return iv.second >= 0; });
            for (auto& iv : shutter_log_) iv.first = t;
            note("camera: wipe, exposure starts");
        }
        break;
    case 2:
    case 3:
        readout(command, value, static_cast<int>(index), p, payload, t);
        break;
    case 9: {
        const unsigned bits = value & 0xFF;
        if (cfg_.socket == SocketDevice::AoUnit) {
            note("guide socket: " + ao_parallel_code(world_, bits, t));
        } else {
            world_.set_relays(bits, t);
            std::string on;
            if (bits & 1) on += " west";
            if (bits & 2) on += " south";
            if (bits & 4) on += " north";
            if (bits & 8) on += " east";
            note("guide relays:" + (on.empty() ? std::string(" off") : on));
        }
        break;
    }
    case 10:
        if (index < ports_.size()) {
            ports_[index]->received().clear(); // a new exchange starts
            ports_[index]->feed(p, payload, t);
        }
        break;
    case 11: {
        // The reply to the latest write, from its start, padded with NULs.
        r.bytes.assign(length, 0);
        if (index < ports_.size()) {
            const auto& rx = ports_[index]->received();
            std::copy_n(rx.begin(), std::min<std::size_t>(rx.size(), length), r.bytes.begin());
        }
        if (length) queue(std::move(r), t);
        break;
    }
    case 32:
        if (value & 0x4000 && !shutter_open_) {
            shutter_open_ = true;
            if (model_.shutter) shutter_log_.emplace_back(t, -1.0);
            note("camera: shutter open");
        } else if (value & 0x8000 && shutter_open_) {
            shutter_open_ = false;
            for (auto& iv : shutter_log_)
                if (iv.second < 0) iv.second = t;
            note("camera: shutter closed");
        }
        r.bytes = {static_cast<std::uint8_t>(shutter_open_ ? 1 : 0), 0};
        queue(std::move(r), t);
        break;
    case 255:
        r.bytes = {static_cast<std::uint8_t>(cfg_.firmware_minor & 0xFF),
                   static_cast<std::uint8_t>(cfg_.firmware_minor >> 8),
                   static_cast<std::uint8_t>(cfg_.firmware_major & 0xFF),
                   static_cast<std::uint8_t>(cfg_.firmware_major >> 8)};
        queue(std::move(r), t);
        note(fmt("camera: firmware %d.%d", cfg_.firmware_major, cfg_.firmware_minor));
        break;
    default:
        note(fmt("camera: unknown command %u ignored", command));
        break;
    }
}

double Camera::next_ready() const {
    if (down_ || replies_.empty()) return std::numeric_limits<double>::infinity();
    return replies_.front().ready;
}

template <class Take>
std::size_t Camera::drain(double t, bool one_reply, bool* reply_end, Take&& take) {
    if (reply_end) *reply_end = false;
    std::size_t done = 0;
    while (!down_ && !replies_.empty()) {
        Reply& r = replies_.front();
        if (r.ready > t) break;
        if (!r.rendered) {
            world_.advance_to(t);
            Renderer& sensor = r.frame.ccd == 1 ? *guider_ : *main_;
            sensor.render(world_, sky_, sky_cfg_, r.frame.win, r.frame.exp, r.bytes);
            r.rendered = true;
        }
        const std::size_t limit = std::min(r.bytes.size(), r.cut);
        const std::size_t have = limit - std::min(offset_, limit);
        const std::size_t k = have ? take(r.bytes.data() + offset_, have) : 0;
        done += k;
        offset_ += k;
        if (offset_ < limit) break; // the taker has had enough
        const bool drop = r.drop_link;
        replies_.pop_front();
        offset_ = 0;
        if (drop) {
            down_ = true;
            replies_.clear();
            note("camera: link dropped (fault)");
        }
        if (reply_end) *reply_end = true;
        if (one_reply) break;
    }
    return done;
}

std::size_t Camera::read(std::uint8_t* dst, std::size_t n, double t, bool* reply_end) {
    if (reply_end) *reply_end = false;
    if (n == 0) return 0;
    std::size_t got = 0;
    return drain(t, true, reply_end, [&](const std::uint8_t* p, std::size_t have) {
        const std::size_t k = std::min(n - got, have);
        std::copy_n(p, k, dst + got);
        got += k;
        return k;
    });
}

std::size_t Camera::send(double t, const Sink& sink) {
    return drain(t, false, nullptr, sink);
}

} // namespace sim
