#pragma once
#include "guiding/guide_loop.h"

#include <cstdint>
#include <ostream>
#include <string>

class GuideLog;

// What the CLI's guiding runs show: a line a frame (or none), the frames
// into the run's log, and the error's sums for the closing RMS line.
class CliGuideHost : public GuideHost {
  public:
    CliGuideHost(std::ostream& out, long seconds, std::string log_path, bool lines = true)
        : out_(out), seconds_(seconds), log_path_(std::move(log_path)), lines_(lines) {}

    // The guider camera's runs log here (the main camera's loop logs itself).
    void log_frames_to(GuideLog* log) { log_ = log; }
    // The time limit counts from here.
    void start();

    void info_refresh(const GuideFrame& f) override;
    bool stop_requested() override;
    std::string log_path() override { return log_path_; }

    int frames() const { return frames_; }
    // "guided N frames: RMS R px (x X px, y Y px)"
    void summary() const;

  private:
    std::ostream& out_;
    long seconds_;
    std::string log_path_;
    bool lines_;
    GuideLog* log_ = nullptr;
    std::uint32_t start_ms_ = 0, frame0_ms_ = 0, last_ms_ = 0;
    bool first_ = true;
    int frames_ = 0;
    double sum_x2_ = 0, sum_y2_ = 0;
};

// The brightest star that can guide in a w x h frame: a peak under
// saturation with at least two of its four neighbours standing out of the
// sky too (a hot pixel stands alone), `edge` pixels or more inside the
// frame. False for none.
bool brightest_star(const unsigned short* frame, int w, int h, int edge, int* sx, int* sy);
