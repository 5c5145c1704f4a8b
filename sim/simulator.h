#pragma once
#include "sim/ao_unit.h"
#include "sim/camera.h"
#include "sim/filter_wheel.h"
#include "sim/lx200.h"
#include "sim/motion.h"
#include "sim/serial_line.h"
#include "sim/sky.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The whole simulated observatory: one sky, one mount, the camera with its
// autoguider CCD, serial ports and guide socket, the AO unit, the filter
// wheel (USB or serial box), and the PC's serial port. Time is
// platform::now_ms, so a virtual clock drives it in tests. All entry points
// lock the simulator; several threads may use it.
namespace sim {

struct Faults {
    CameraFaults camera;
    SerialFaults serial;
};

struct Config {
    std::uint64_t seed = 1;
    CameraConfig camera;
    SkyConfig sky;
    MountConfig mount;
    AoConfig ao;
    WheelConfig wheel;
    Faults faults;
    LineDevices pc_line; // what hangs on the PC's serial port
};

class Simulator {
  public:
    explicit Simulator(const Config& cfg = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    const Config& config() const { return cfg_; }
    // Faults may be switched on while the simulator runs (tests).
    Faults& faults() { return cfg_.faults; }
    // Seconds since the simulator started, from platform::now_ms.
    double now();

    // The camera's USB pipes.
    void camera_write(const std::uint8_t* data, std::size_t n);
    std::size_t camera_read(std::uint8_t* dst, std::size_t n, bool* reply_end = nullptr);
    // The same bytes handed to `sink` in place (Camera::send), under the lock.
    std::size_t camera_send(const Camera::Sink& sink);
    double camera_next_ready(); // seconds; infinity when nothing is coming
    bool camera_link_down();
    void camera_reset_link();
    // Drops reply bytes that have arrived and not been read.
    void camera_discard_ready();

    // The USB filter wheel's pipes: 3-byte reports each way.
    void wheel_write(const std::uint8_t* data, std::size_t n);
    std::size_t wheel_read(std::uint8_t* dst, std::size_t n);

    // The PC's serial port: bytes from the host, and what the devices sent.
    void pc_write(const std::uint8_t* data, std::size_t n);
    std::vector<std::uint8_t> pc_take();

    // The parts, for tests and for the program's own reports. Lock mutex()
    // around their use when other threads run the simulator.
    World& world() { return *world_; }
    Camera& camera() { return *camera_; }
    FilterWheel& wheel() { return *wheel_; }
    Lx200& mount() { return *lx200_; }
    StarField& sky() { return *sky_; }
    SerialLine& pc_line() { return *pc_; }
    std::mutex& mutex() { return mutex_; }

    // The true pointing (RA hours, Dec degrees) now, whatever the mount reports.
    void pointing(double* ra_hours, double* dec_deg);

    // Where what the simulator does is told (nothing by default).
    void set_log(std::function<void(const std::string&)> log);

  private:
    double now_locked();

    Config cfg_;
    std::mutex mutex_;
    std::function<void(const std::string&)> log_;
    std::uint32_t last_ms_ = 0;
    std::uint64_t elapsed_ms_ = 0;
    Rng rng_;
    std::unique_ptr<World> world_;
    std::unique_ptr<StarField> sky_;
    std::unique_ptr<FilterWheel> wheel_;
    std::unique_ptr<Lx200> lx200_;
    std::unique_ptr<AoUnit> ao_;
    std::unique_ptr<Camera> camera_;
    std::unique_ptr<SerialLine> pc_;
    std::vector<std::uint8_t> wheel_in_, wheel_out_;
};

} // namespace sim
