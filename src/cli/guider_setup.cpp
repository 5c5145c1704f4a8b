#include "cli/guider_setup.h"

#include "cli/guide_host.h"
#include "cli/interrupt.h"
#include "devices/serial_link.h"
#include "display/image_store.h"
#include "guiding/ao_params.h"
#include "guiding/ao_training.h"
#include "guiding/camera_training.h"
#include "guiding/guide_loop.h"
#include "guiding/guider_camera.h"
#include "guiding/guiding_state.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"
#include "telescope/ao_state.h"

namespace {

constexpr int EDGE = 20; // the chosen star's least distance from the frame's edge

bool say(std::ostream& err, const std::string& what) {
    err << "nocteris-cli: " << what << "\n";
    return false;
}

// A frame of the guider head into the guider buffer, the sensor cleared first.
bool guider_frame() {
    QV_autoguider_clear();
    QV_autoguider_clear();
    return QV_guider_camera_read();
}

// The guider window's pick: three passes of the guider centroid from (x, y).
bool snap_guider_star(int x, int y) {
    guide.cur_rad = cfg.star_mask;
    for (int pass = 0; pass < 3; ++pass) {
        if (guider_find_centre(x, y, guider_imageptr, guide.cur_rad) != 0) return false;
        x = guide.guider_xcent;
        y = guide.guider_ycent;
    }
    guide.guider_picked_star = 1;
    guide.guider_pick_star = 0;
    guide.guider_pick_xcent = x;
    guide.guider_pick_ycent = y;
    return true;
}

class GuiderTrainingHost : public TrainingHost {
  public:
    explicit GuiderTrainingHost(std::string log) : log_(std::move(log)) {}
    bool take_image() override { return QV_guider_camera_read(); }
    bool stop_requested() override { return interrupt_requested(); }
    std::string log_path() override { return log_; }

  private:
    std::string log_;
};

} // namespace

bool parse_ao_port(const std::string& text, int& port) {
    if (text == "camera0")
        port = 0;
    else if (text == "camera1")
        port = 1;
    else if (text == "pc")
        port = 3;
    else
        return false;
    return true;
}

SharedOption parse_guiding_option(const std::string& a,
                                  const std::function<bool(std::string&)>& value, GuiderChoice& c,
                                  DriveChoice& d, std::string& problem) {
    std::string v;
    const auto bad = [&](const char* why) {
        problem = why;
        return SharedOption::Bad;
    };
    if (a == "--via") {
        if (!value(v) || (v != "mount" && v != "ao")) return bad("--via takes mount or ao");
        c.ao = v == "ao";
    } else if (a == "--ao-port") {
        if (!value(v) || !parse_ao_port(v, c.ao_port))
            return bad("--ao-port takes camera0, camera1 or pc");
    } else if (a == "--ao-parallel") {
        c.ao_parallel = 1;
    } else if (a == "--drive") {
        if (!value(v) || (v != "lx200" && v != "socket"))
            return bad("--drive takes lx200 or socket");
        d.telescope = v == "lx200" ? 'l' : 'b';
    } else if (a == "--port") {
        if (!value(v) || !parse_com_port(v, d.com)) return bad("--port takes comN, N from 1 to 32");
    } else {
        return SharedOption::NotOurs;
    }
    return SharedOption::Taken;
}

const char* guiding_choice_problem(const GuiderChoice& c, DriveChoice& d) {
    if (d.com && d.telescope == 'b')
        return "--port is for an LX200 mount; the guide socket is on the camera";
    if (d.com) d.telescope = 0; // the PC port's LX200
    if (!c.ao && (c.ao_port >= 0 || c.ao_parallel >= 0))
        return "--ao-port and --ao-parallel go with --via ao";
    if (c.ao_port >= 0 && c.ao_parallel > 0)
        return "--ao-port is the serial line; --ao-parallel uses the guide socket instead";
    return nullptr;
}

bool guider_exposure_ok(char range, long value, std::string& problem) {
    const long most = range == 'h' ? 500 : range == 't' ? 100 : 10;
    if (value >= 1 && value <= most) return true;
    problem = std::string("the guider exposure in ") +
              (range == 'h'   ? "hundredths"
               : range == 't' ? "tenths"
                              : "seconds") +
              " takes a whole number from 1 to " + std::to_string(most);
    return false;
}

bool apply_guider_choice(const GuiderChoice& c, std::ostream& err) {
    cfg.GuiderMode = c.ao ? 'A' : 'T';
    if (c.ao_port >= 0) cfg.AOUnit_comport = c.ao_port;
    if (c.ao_parallel >= 0) cfg.AOUnitModeParallel = c.ao_parallel;
    if (c.range) {
        autoguide.exp_guider_range = c.range;
        autoguide.max_guider_exp = c.range == 'h' ? 500 : c.range == 't' ? 100 : 10;
    }
    if (c.value) autoguide.exp_guider_value = static_cast<int>(c.value);
    // The unit never answers: a PC port that cannot open is said once, here.
    if (c.ao && !cfg.AOUnitModeParallel && cfg.AOUnit_comport >= 3 && !PCSerial_ready())
        return say(err, "the AO unit's PC serial port (COM" + std::to_string(cfg.PC_port + 1) +
                            ") cannot be opened");
    return true;
}

bool pick_guider_star(const GuiderChoice& c, std::ostream& out, std::ostream& err) {
    if (!guider_frame()) return say(err, "the guider frame did not arrive whole");
    const int w = disp.guider_width1, h = GUIDER_HEIGHT;
    int x = static_cast<int>(c.star_x), y = static_cast<int>(c.star_y);
    if (c.star_given) {
        if (c.star_x >= w || c.star_y >= h)
            return say(err, "the guide star " + std::to_string(c.star_x) + "," +
                                std::to_string(c.star_y) + " is outside the " + std::to_string(w) +
                                " x " + std::to_string(h) + " guider frame");
    } else if (!brightest_star(guider_imageptr, w, h, EDGE, &x, &y)) {
        return say(err, "no unsaturated star 20 pixels or more inside the guider frame");
    }
    if (!snap_guider_star(x, y))
        return say(err, "no guide star near " + std::to_string(x) + "," + std::to_string(y) +
                            " of the guider frame");
    out << "guider star at " << guide.guider_pick_xcent << "," << guide.guider_pick_ycent << "\n";
    return true;
}

bool train_guider(const GuiderChoice& c, Settings& user, GuideLog* log, std::ostream& out,
                  std::ostream& err) {
    const int px = guide.guider_pick_xcent, py = guide.guider_pick_ycent;
    GuiderTrainingHost host(log ? log->path() : std::string());
    out << (c.ao ? "AO training\n" : "training\n");
    const int r = c.ao ? AOTrain(host, nullptr, TrainingCamera::Guider)
                       : eight_position_training(host, log, TrainingCamera::Guider);
    if (r != GUIDE_DONE) {
        if (!interrupt_requested()) say(err, "the training lost the guider star");
        return false;
    }
    if (c.ao) {
        copy_ao_values();
        out << "trained: AO " << cfg.AOUnit_slewx << " steps a pixel in x, " << cfg.AOUnit_slewy
            << " in y\n";
        user.AOUnit_xrate = user.AOUnit_slewx = cfg.AOUnit_slewx;
        user.AOUnit_yrate = user.AOUnit_slewy = cfg.AOUnit_slewy;
    } else {
        out << "trained: RA " << autoguide.RA_rate << " px/s, Dec " << autoguide.Dec_rate
            << " px/s\n";
    }
    const Settings trained = cfg;
    cfg = user;
    SaveINIFile(cfg.ini_file);
    cfg = trained;
    // The training leaves the star about where it was: pick it again.
    GuiderChoice again = c;
    again.star_given = true;
    again.star_x = px;
    again.star_y = py;
    if (log) log->table("guiding");
    return pick_guider_star(again, out, err);
}
