#include "guiding/guide_log.h"

#include "devices/camera_models.h"
#include "guiding/guiding_state.h"
#include "platform/clock.h"
#include "platform/host_path.h"
#include "settings/settings.h"

#include <ctime>

namespace {

const char* drive_name() {
    switch (cfg.telescope) {
    case 'l':
        return "LX200";
    case 'b':
        return "guide relays";
    default:
        return "none";
    }
}

std::string direction(char d) {
    return d ? std::string(1, d) : std::string();
}

} // namespace

std::string guide_log_name() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[64];
    std::strftime(name, sizeof name, "guide_%Y-%m-%d_%H%M%S.csv", &local);
    return platform::host_path(std::string("c:\\autosave\\") + name);
}

bool GuideLog::open(const char* what, const std::string& path) {
    close();
    path_ = path.empty() ? guide_log_name() : path;
    f_ = std::fopen(path_.c_str(), "w");
    if (!f_) return false;
    std::fprintf(f_, "# Nocteris %s log\n", what);
    std::fprintf(f_, "# camera: model %d, guide exposure %d %c\n", cam.cam_type, cfg.exp_value,
                 cfg.exp_range);
    std::fprintf(f_, "# drive: %s, directions e=%c w=%c n=%c s=%c\n", drive_name(), cfg.e, cfg.w,
                 cfg.n, cfg.s);
    std::fprintf(f_, "# rates: RA %d px/s, Dec %d px/s\n", cfg.slewx, cfg.slewy);
    std::fprintf(f_, "# backlash: RA %d px, Dec %d px; hysteresis RA %d, Dec %d (100 ms)\n",
                 cfg.backlashx, cfg.backlashy, cfg.hystx, cfg.hysty);
    std::fprintf(f_, "# angle: %.3f rad\n", static_cast<double>(autoguide.theta));
    if (cfg.ignore_small)
        std::fprintf(f_, "# thresholds: %.3f px both axes; jump limit 5 px\n",
                     cfg.ignore_amount / 1000.0);
    else
        std::fprintf(f_, "# thresholds: RA 0.050 px, Dec 0.030 px; jump limit 5 px\n");
    std::fprintf(f_, "# mode: %s%s%s\n", cfg.GuiderMode == 'T' ? "mount" : "AO unit",
                 cfg.ignore_north ? ", no north corrections" : "",
                 cfg.ignore_south ? ", no south corrections" : "");
    table(what);
    return true;
}

void GuideLog::table(const char* what) {
    if (!f_) return;
    if (std::string(what) == "training")
        std::fprintf(f_, "step,direction,ms,x,y,lost\n");
    else
        std::fprintf(f_, "time_s,x,y,dx_px,dy_px,ra_dir,ra_ms,dec_dir,dec_ms,skipped\n");
    std::fflush(f_);
    have_start_ = false;
}

void GuideLog::close() {
    if (f_) std::fclose(f_);
    f_ = nullptr;
}

void GuideLog::frame(const GuideFrame& g) {
    if (!f_) return;
    if (!have_start_) {
        start_ = g.at;
        have_start_ = true;
    }
    std::fprintf(f_, "%.3f,%d.%d,%d.%d,%.3f,%.3f,%s,%d,%s,%d,%s\n", (g.at - start_) / 1000.0, g.x,
                 g.xdec, g.y, g.ydec, g.dx / 1000.0, g.dy / 1000.0, direction(g.ra_dir).c_str(),
                 g.ra_dir ? g.ra_ms : 0, direction(g.dec_dir).c_str(), g.dec_dir ? g.dec_ms : 0,
                 g.skipped);
    std::fflush(f_);
}

void GuideLog::step(const char* name, char dir, int ms, int x, int y, bool lost) {
    if (!f_) return;
    std::fprintf(f_, "%s,%s,%d,%d,%d,%s\n", name, direction(dir).c_str(), ms, x, y,
                 lost ? "yes" : "no");
    std::fflush(f_);
}

void GuideLog::note(const std::string& text) {
    if (!f_) return;
    std::string line = text;
    for (char& c : line)
        if (c == '\n') c = ' ';
    std::fprintf(f_, "# %s\n", line.c_str());
    std::fflush(f_);
}
