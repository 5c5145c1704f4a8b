#include "cli/guide_host.h"

#include "cli/interrupt.h"
#include "guiding/guide_log.h"
#include "guiding/guiding_state.h"
#include "platform/clock.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int SATURATED = 65000; // the centroid's overexposure level

// The corrections of one frame: pulses of the mount, or steps of the AO unit.
std::string corrections(const GuideFrame& f) {
    const bool steps = cfg.GuiderMode != 'T';
    std::string s;
    auto one = [&](char dir, int n) {
        if (!dir || n <= 0) return;
        if (!s.empty()) s += ", ";
        s += (steps ? "AO " : "") + std::string(1, dir) + " " + std::to_string(n) +
             (steps ? " steps" : " ms");
    };
    one(f.ra_dir, f.ra_ms);
    one(f.dec_dir, f.dec_ms);
    if (f.skipped[0]) return s.empty() ? f.skipped : s + " (" + f.skipped + ")";
    return s.empty() ? (steps ? "no step" : "no pulse") : s;
}

} // namespace

void CliGuideHost::start() {
    start_ms_ = platform::now_ms();
    first_ = true;
}

void CliGuideHost::info_refresh(const GuideFrame& f) {
    if (guide.training || autoguide.guider_training) return;
    // A window refreshed again without a new correction is the same frame.
    if (!first_ && f.at == last_ms_) return;
    last_ms_ = f.at;
    if (first_) frame0_ms_ = f.at;
    first_ = false;
    const double dx = f.dx / 1000.0, dy = f.dy / 1000.0;
    sum_x2_ += dx * dx;
    sum_y2_ += dy * dy;
    ++frames_;
    if (log_) log_->frame(f);
    if (!lines_) return;
    char line[160];
    std::snprintf(line, sizeof line, "%8.1f s  dx %+6.2f px  dy %+6.2f px  %s",
                  static_cast<std::uint32_t>(f.at - frame0_ms_) / 1000.0, dx, dy,
                  corrections(f).c_str());
    out_ << line << "\n";
    out_.flush();
}

bool CliGuideHost::stop_requested() {
    if (interrupt_requested()) return true;
    return seconds_ > 0 && !guide.training && !autoguide.guider_training &&
           static_cast<std::uint32_t>(platform::now_ms() - start_ms_) >=
               static_cast<std::uint32_t>(seconds_) * 1000u;
}

void CliGuideHost::summary() const {
    const double n = frames_ ? frames_ : 1;
    const double x = std::sqrt(sum_x2_ / n), y = std::sqrt(sum_y2_ / n);
    char line[128];
    std::snprintf(line, sizeof line, "guided %d frames: RMS %.2f px (x %.2f px, y %.2f px)",
                  frames_, std::sqrt(x * x + y * y), x, y);
    out_ << line << "\n";
}

bool brightest_star(const unsigned short* frame, int w, int h, int edge, int* sx, int* sy) {
    std::vector<unsigned> histogram(65536, 0);
    for (int i = 0; i < w * h; ++i) ++histogram[frame[i]];
    // The sky's median and its spread to the 84th percentile (one sigma).
    const long total = static_cast<long>(w) * h;
    long seen = 0;
    int median = -1, sigma_at = 0;
    for (int v = 0; v < 65536; ++v) {
        seen += histogram[v];
        if (median < 0 && seen * 2 >= total) median = v;
        if (seen * 100 >= total * 84) {
            sigma_at = v;
            break;
        }
    }
    const int sigma = std::max(sigma_at - median, 1);
    int best = 0;
    auto at = [&](int x, int y) { return static_cast<int>(frame[y * w + x]); };
    for (int y = edge; y < h - edge; ++y)
        for (int x = edge; x < w - edge; ++x) {
            const int p = at(x, y);
            if (p <= best || p >= SATURATED || p - median < 10 * sigma) continue;
            // The second brightest of the four: an undersampled star (the
            // guider's large pixels) may light only two of them.
            int side[4] = {at(x - 1, y), at(x + 1, y), at(x, y - 1), at(x, y + 1)};
            std::sort(side, side + 4);
            if (side[3] > p) continue;
            if (side[2] - median < std::max(3 * sigma, (p - median) / 8)) continue;
            best = p;
            *sx = x;
            *sy = y;
        }
    return best > 0;
}
