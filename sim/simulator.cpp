#include "sim/simulator.h"

#include "platform/clock.h"

#include <cstdio>

namespace sim {

Simulator::Simulator(const Config& cfg) : cfg_(cfg), rng_(hash_combine(cfg.seed, 0xFA17)) {
    last_ms_ = platform::now_ms();
    world_ = std::make_unique<World>(cfg_.mount, cfg_.ao, cfg_.seed);
    sky_ = std::make_unique<StarField>(cfg_.sky);
    wheel_ = std::make_unique<FilterWheel>(cfg_.wheel);
    lx200_ = std::make_unique<Lx200>(*world_);
    ao_ = std::make_unique<AoUnit>(*world_);
    camera_ = std::make_unique<Camera>(cfg_.camera, cfg_.faults.camera, cfg_.seed, *world_, *sky_,
                                       cfg_.sky, *wheel_, *lx200_, *ao_, cfg_.faults.serial, rng_);
    pc_ = std::make_unique<SerialLine>("PC serial", *lx200_, *ao_, *wheel_, cfg_.faults.serial,
                                       rng_, cfg_.pc_line);
}

Simulator::~Simulator() = default;

void Simulator::set_log(std::function<void(const std::string&)> log) {
    std::lock_guard lock(mutex_);
    log_ = std::move(log);
    auto fwd = [this](const std::string& s) {
        if (log_) log_(s);
    };
    camera_->log = fwd;
    pc_->log = fwd;
    for (int i = 0; i < Camera::SERIAL_PORTS; ++i) camera_->serial_port(i).log = fwd;
}

double Simulator::now_locked() {
    // The program's clock wraps at 32 bits; count the steps, never backwards.
    const std::uint32_t ms = platform::now_ms();
    const auto step = static_cast<std::int32_t>(ms - last_ms_);
    if (step > 0) elapsed_ms_ += static_cast<std::uint32_t>(step);
    last_ms_ = ms;
    const double t = elapsed_ms_ / 1000.0;
    world_->advance_to(t);
    return t;
}

void Simulator::pointing(double* ra_hours, double* dec_deg) {
    std::lock_guard lock(mutex_);
    world_->pointing(now_locked(), ra_hours, dec_deg);
}

double Simulator::now() {
    std::lock_guard lock(mutex_);
    return now_locked();
}

void Simulator::camera_write(const std::uint8_t* data, std::size_t n) {
    std::lock_guard lock(mutex_);
    const double t = now_locked();
    camera_->write(data, n, t);
    // Keep the pointing history an exposure of a day could still need.
    world_->forget_before(t - 86400);
}

std::size_t Simulator::camera_read(std::uint8_t* dst, std::size_t n, bool* reply_end) {
    std::lock_guard lock(mutex_);
    return camera_->read(dst, n, now_locked(), reply_end);
}

std::size_t Simulator::camera_send(const Camera::Sink& sink) {
    std::lock_guard lock(mutex_);
    return camera_->send(now_locked(), sink);
}

double Simulator::camera_next_ready() {
    std::lock_guard lock(mutex_);
    return camera_->next_ready();
}

bool Simulator::camera_link_down() {
    std::lock_guard lock(mutex_);
    return camera_->link_down();
}

void Simulator::camera_reset_link() {
    std::lock_guard lock(mutex_);
    camera_->reset_link();
}

void Simulator::camera_discard_ready() {
    std::lock_guard lock(mutex_);
    camera_->discard_ready(now_locked());
}

void Simulator::wheel_write(const std::uint8_t* data, std::size_t n) {
    std::lock_guard lock(mutex_);
    const double t = now_locked();
    wheel_in_.insert(wheel_in_.end(), data, data + n);
    while (wheel_in_.size() >= 3) {
        const int before = wheel_->target();
        const auto out = wheel_->usb_report(wheel_in_.data(), t);
        if (log_) {
            char buf[96];
            if (wheel_in_[1] & 0x80)
                std::snprintf(buf, sizeof buf, "filter wheel: move to %d%s", wheel_in_[1] & 0x7F,
                              wheel_->target() == before && (wheel_in_[1] & 0x7F) != before
                                  ? " refused"
                                  : "");
            else
                std::snprintf(buf, sizeof buf, "filter wheel: query, %d positions", out[2]);
            log_(buf);
        }
        wheel_out_.insert(wheel_out_.end(), out.begin(), out.end());
        wheel_in_.erase(wheel_in_.begin(), wheel_in_.begin() + 3);
    }
    if (wheel_out_.size() > 3000) wheel_out_.erase(wheel_out_.begin(), wheel_out_.end() - 3000);
}

std::size_t Simulator::wheel_read(std::uint8_t* dst, std::size_t n) {
    std::lock_guard lock(mutex_);
    const std::size_t k = std::min(n, wheel_out_.size());
    std::copy_n(wheel_out_.begin(), k, dst);
    wheel_out_.erase(wheel_out_.begin(), wheel_out_.begin() + static_cast<std::ptrdiff_t>(k));
    return k;
}

void Simulator::pc_write(const std::uint8_t* data, std::size_t n) {
    std::lock_guard lock(mutex_);
    pc_->feed(data, n, now_locked());
}

std::vector<std::uint8_t> Simulator::pc_take() {
    std::lock_guard lock(mutex_);
    std::vector<std::uint8_t> out;
    out.swap(pc_->received());
    return out;
}

} // namespace sim
