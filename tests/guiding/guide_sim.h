#pragma once
// Guiding against the in-process simulator: the camera on its USB socket, the
// LX200 mount on the camera's serial port 1, a star picked as a click would.
#include "../acquisition/acq_sim.h"

#include "acquisition/readout.h"
#include "devices/serial_link.h"
#include "display/image_store.h"
#include "guiding/guide_loop.h"
#include "guiding/guiding_state.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/telescope_state.h"

#include <cmath>
#include <functional>
#include <vector>

namespace guidetest {

// Counts guiding frames (training frames apart) and stops the run after
// `limit` of them or when `stop` says so.
class CountingHost : public GuideHost {
  public:
    int frames = 0, limit = 0, opened = 0, closed = 0;
    std::vector<GuideFrame> log;
    std::function<void()> each;
    std::function<bool()> stop;
    void info_open(const char*) override { ++opened; }
    void info_close() override { ++closed; }
    void info_refresh(const GuideFrame& f) override {
        if (guide.training) return;
        ++frames;
        log.push_back(f);
        if (each) each();
    }
    bool stop_requested() override { return (limit && frames >= limit) || (stop && stop()); }
};

// Root mean square of a set of values.
struct Rms {
    double sum2 = 0;
    int n = 0;
    void add(double v) {
        sum2 += v * v;
        ++n;
    }
    double value() const { return n ? std::sqrt(sum2 / n) : 0; }
};

class GuideSim : public acqtest::AcqSim {
  protected:
    void begin(sim::Config c, bool pick_star = true) {
        start(c, false);
        cfg.AOUnit_comport = 0;
        cfg.telescope = 'l';
        cfg.slewcom = '1';
        cfg.exp_range = 's';
        cfg.exp_value = 1;
        cfg.slewdefault = 1;
        serial.comfound = 1;
        serial.Port = 0;
        if (pick_star) pick();
    }
    // A new simulator in place of the running one, the camera found again.
    void restart(sim::Config c) {
        reset_transport_state();
        platform::usb::remove_provider(provider.get());
        provider.reset();
        simulator.reset();
        blocks.clear();
        block_times.clear();
        begin(c);
    }
    // Picks the brightest unsaturated star well inside the frame, as a click would.
    void pick() {
        acq.exposure = 1000;
        ASSERT_TRUE(QV_full_read());
        ASSERT_TRUE(acqtest::pick_brightest_star(image));
    }
    // The guide rate on the sensor, pixels a second, from the simulator's truth.
    double dec_rate() const {
        return simulator->config().mount.guide_rate * sim::SIDEREAL_RATE / scale();
    }
    double ra_rate() const {
        return dec_rate() * std::cos(simulator->config().mount.dec_deg * M_PI / 180);
    }
    double scale() const { return simulator->camera().main_sensor().sensor().scale; }
    // The true offset of the field on the sensor from the mark, px.
    void true_offset(double* x, double* y) {
        double px, py;
        simulator->camera().main_sensor().project(simulator->world().view(simulator->now()), 0, 0,
                                                  &px, &py);
        *x = px - x0_;
        *y = py - y0_;
    }
    void mark() {
        simulator->camera().main_sensor().project(simulator->world().view(simulator->now()), 0, 0,
                                                  &x0_, &y0_);
    }
    double x0_ = 0, y0_ = 0;
};

} // namespace guidetest
