#pragma once
#include "sim/motion.h"
#include "sim/sky.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Turns the sky and the pointing history into the pixels a sensor reads:
// stars through the point spread function (trailed when the pointing moved),
// sky background, dark current, hot pixels, bias, shot and read noise, and
// the sensor's own quirks (model 1's reference columns, the guider's 8 bits).
namespace sim {

struct SensorModel {
    int width = 1392, height = 1040;
    double scale = 1.33;               // arcsec per pixel
    double centre_x = 0, centre_y = 0; // sensor centre in the focal plane, arcsec (x right, y down)
    double angle_deg = 0;              // camera angle: sensor x from west, towards north
    bool eight_bit = false;
    double gain = 1.4;            // electrons per count
    double bias = 1000;           // counts
    double read_noise = 12;       // electrons
    double dark_rate = 0.05;      // electrons a second per pixel
    double full_well = 90000;     // electrons per pixel
    double hot_fraction = 2e-4;   // share of pixels with a high dark current
    int reference_columns = 0;    // masked columns at the left edge
    double column_pair_level = 0; // row-to-row level of even / odd columns, counts
    std::uint64_t seed = 1;       // the sensor's fixed pattern
};

// The part of the sensor read and its binning, in sensor pixels.
struct Window {
    int x = 0, y = 0, w = 0, h = 0, bx = 1, by = 1;
    int out_w() const { return bx > 0 ? w / bx : 0; }
    int out_h() const { return by > 0 ? h / by : 0; }
};

struct Exposure {
    std::vector<std::pair<double, double>> light; // times with light on the sensor, seconds
    double dark_seconds = 0;                      // dark current integration
    double transmission = 1;                      // of the filter in the beam
    std::uint64_t noise_seed = 1;
};

class Renderer {
  public:
    explicit Renderer(const SensorModel& s);
    const SensorModel& sensor() const { return s_; }

    // Renders the window: out receives out_w x out_h pixels, row by row, as
    // 16-bit little-endian values or single bytes for an 8-bit sensor.
    void render(const World& world, StarField& sky, const SkyConfig& sky_cfg, const Window& win,
                const Exposure& exp, std::vector<std::uint8_t>& out);

    // Where a point of the sky (arcsec east / north of the field centre)
    // falls on the sensor for the given view, in sensor pixels.
    void project(const View& v, double x, double y, double* px, double* py) const;
    // The point of the sky at a sensor position (the inverse of project).
    void unproject(const View& v, double px, double py, double* x, double* y) const;

    // After a render: the electrons each output pixel got from stars and hot
    // pixels, before noise (for tests of the optics).
    const std::vector<float>& star_light() const { return acc_; }

  private:
    struct Hot {
        int x, y;
        float rate;
    };
    SensorModel s_;
    double cos_a_, sin_a_;
    std::vector<Hot> hot_;
    std::vector<float> column_bias_;
    std::vector<float> acc_;
    std::vector<Star> stars_;
};

// The camera models: sensor sizes and particulars by the model code the
// product id selects.
struct ModelSpec {
    int code = 2;
    int width = 1392, height = 1040;
    double pixel_um = 6.45;
    bool shutter = false;
    int reference_columns = 0;
    double gain = 1.4, full_well = 90000;
};
ModelSpec model_for_pid(const std::string& pid);
// The product id of a model code (the first row of the table with it).
std::string pid_for_model(int code);

} // namespace sim
