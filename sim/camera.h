#pragma once
#include "sim/ao_unit.h"
#include "sim/filter_wheel.h"
#include "sim/lx200.h"
#include "sim/render.h"
#include "sim/serial_line.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

// The camera's firmware: it takes command blocks from its USB pipe (8-byte
// header: request type, command, value, index, length, then the payload),
// exposes and reads its two CCDs, drives its guide relays and its two serial
// ports, and queues replies and pixel data for the host to read.
namespace sim {

// What is plugged into the camera's guide socket.
enum class SocketDevice { Mount, AoUnit };

struct CameraConfig {
    std::string pid = "0122"; // USB product id, selects the model
    int guider_width = 500;   // autoguider CCD: 500 or 376 columns of 290 rows
    double focal_length_mm = 1000;
    double angle_deg = 0; // camera angle between sensor axes and RA/Dec
    int firmware_major = 2, firmware_minor = 12;
    double readout_rate = 1.0e6; // pixels a second; 0 reads out at once
    SocketDevice socket = SocketDevice::Mount;
};

struct CameraFaults {
    int disconnect_frame = -1; // the link drops half-way through this frame (0 = the first)
    double short_read = 0;     // chance that a frame arrives cut short
    double stall = 0;          // chance that a reply never arrives
};

class Camera {
  public:
    static constexpr int SERIAL_PORTS = 8; // port numbers the firmware answers to
    Camera(const CameraConfig& cfg, const CameraFaults& faults, std::uint64_t seed, World& world,
           StarField& sky, const SkyConfig& sky_cfg, FilterWheel& wheel, Lx200& mount, AoUnit& ao,
           const SerialFaults& serial_faults, Rng& rng);

    const CameraConfig& config() const { return cfg_; }
    const ModelSpec& model() const { return model_; }
    Renderer& main_sensor() { return *main_; }
    Renderer& guider_sensor() { return *guider_; }
    SerialLine& serial_port(int i) { return *ports_.at(i); }

    // Bytes from the host (any split of the block stream).
    void write(const std::uint8_t* data, std::size_t n, double t);
    // When the next reply byte is available (infinity: nothing is coming).
    double next_ready() const;
    // Copies up to n available reply bytes (rendering a frame once its time
    // has come). *reply_end is set when the last byte of a reply was taken,
    // or when a reply stops short.
    std::size_t read(std::uint8_t* dst, std::size_t n, double t, bool* reply_end = nullptr);
    // Takes up to n bytes of the data it is given; returns how many it took.
    using Sink = std::function<std::size_t(const std::uint8_t* data, std::size_t n)>;
    // Hands the available reply bytes to `sink` where they lie, reply after
    // reply, until it takes less than it is given or nothing more is
    // available; returns the count taken. What read() would copy, without
    // the copy.
    std::size_t send(double t, const Sink& sink);
    // The link dropped (a fault); nothing more goes either way until reset.
    bool link_down() const { return down_; }
    // A new connection: half-received blocks and unread replies are dropped.
    void reset_link();
    // Drops the replies whose time has come and that nobody read.
    void discard_ready(double t);
    long frames() const { return frames_; }
    bool shutter_open() const { return shutter_open_; }

    std::function<void(const std::string&)> log;
    bool log_every_block = false;

  private:
    struct Frame {
        int ccd = 0;
        Window win;
        Exposure exp;
    };
    struct Reply {
        double ready = 0;
        std::vector<std::uint8_t> bytes;
        bool is_frame = false;
        bool rendered = true;
        Frame frame;
        std::size_t size = 0;                                      // bytes the reply has
        std::size_t cut = std::numeric_limits<std::size_t>::max(); // bytes actually sent
        bool drop_link = false;
    };

    // The walk over available reply bytes behind read() and send().
    template <class Take> std::size_t drain(double t, bool one_reply, bool* reply_end, Take&& take);
    void execute(const std::uint8_t* block, std::size_t payload, double t);
    void readout(int command, unsigned value, int ccd, const std::uint8_t* p, std::size_t n,
                 double t);
    void queue(Reply r, double t);
    void note(const std::string& s) {
        if (log) log(s);
    }
    double readout_seconds(std::size_t pixels) const;
    std::vector<std::pair<double, double>> main_light(double from, double to) const;

    CameraConfig cfg_;
    const CameraFaults& faults_;
    ModelSpec model_;
    std::uint64_t seed_;
    World& world_;
    StarField& sky_;
    const SkyConfig& sky_cfg_;
    FilterWheel& wheel_;
    std::unique_ptr<Renderer> main_, guider_;
    std::vector<std::unique_ptr<SerialLine>> ports_;
    Rng& rng_;

    std::vector<std::uint8_t> in_; // partial block
    std::deque<Reply> replies_;
    std::size_t offset_ = 0; // into the front reply
    bool down_ = false;
    long frames_ = 0;

    double main_start_ = 0; // since the last wipe or readout
    double guider_start_ = 0;
    bool shutter_open_ = false;
    std::vector<std::pair<double, double>> shutter_log_; // open intervals (end < 0: still open)
};

} // namespace sim
