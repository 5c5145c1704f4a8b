#include "guiding/guide_params.h"

#include "acquisition/camera_controls.h"
#include "guiding/ao_params.h"
#include "guiding/guiding_state.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "telescope/mount_controls.h"

#include <algorithm>
#include <climits>

namespace {

// A typed guiding parameter: kept when the text is not a number.
void take_field(const char* text, int& field, int lo, int hi) {
    long v = 0;
    if (parse_whole_number(text, v)) field = static_cast<int>(std::clamp<long>(v, lo, hi));
}

void swap_pair(char& a, char& b, char first, char second) {
    if (a == first) {
        a = second;
        b = first;
    } else {
        a = first;
        b = second;
    }
}

} // namespace

void change_defaults(const char* slewx, const char* slewy, const char* backlashx,
                     const char* backlashy, const char* theta) {
    // Guiding divides by the rates, so they never become 0; the fields hold
    // four digits, and an angle beyond a turn says nothing more.
    take_field(slewx, cfg.slewx, 1, GUIDE_FIELD_MAX);
    take_field(slewy, cfg.slewy, 1, GUIDE_FIELD_MAX);
    take_field(backlashx, cfg.backlashx, 0, GUIDE_FIELD_MAX);
    take_field(backlashy, cfg.backlashy, 0, GUIDE_FIELD_MAX);
    long t = 0;
    if (parse_whole_number(theta, t))
        autoguide.theta =
            static_cast<float>(std::clamp<long>(t, -GUIDE_ANGLE_MAX, GUIDE_ANGLE_MAX));
    SaveINIFile(cfg.ini_file);
}

bool save_latest() {
    // Before a training the latest column is empty; copying it would wipe
    // the defaults and leave zero rates.
    if (!autoguide.trained) return false;
    cfg.slewx = std::max(1, autoguide.RA_rate);
    cfg.slewy = std::max(1, autoguide.Dec_rate);
    cfg.backlashx = autoguide.RA_backlash;
    cfg.backlashy = autoguide.Dec_backlash;
    SaveINIFile(cfg.ini_file);
    return true;
}

void swap_ns() {
    swap_pair(cfg.n, cfg.s, 'n', 's');
    swap_pair(cfg.Mn, cfg.Ms, 'N', 'S');
    SaveINIFile(cfg.ini_file);
}

void swap_ew() {
    swap_pair(cfg.e, cfg.w, 'e', 'w');
    swap_pair(cfg.Mt, cfg.Mw, 'T', 'W');
    SaveINIFile(cfg.ini_file);
}

void guider_swap_ns() {
    swap_pair(cfg.n, cfg.s, 'n', 's');
    SaveINIFile(cfg.ini_file);
}

void guider_swap_ew() {
    swap_pair(cfg.e, cfg.w, 'e', 'w');
    SaveINIFile(cfg.ini_file);
}

bool ns_swapped() {
    return cfg.n != 'n';
}

bool ew_swapped() {
    return cfg.e != 'e';
}

void toggle_use_trained() {
    autoguide.use_trained = autoguide.trained && !autoguide.use_trained;
}

void toggle_ignore_angle() {
    cfg.ignore_RA_angle = !cfg.ignore_RA_angle;
}

bool drive_test_press(char which) {
    // With the AO unit chosen each press is one manual move of the unit.
    if (cfg.GuiderMode != 'T') return ao_arrow_press(which);
    if (cfg.telescope == 'l') return pad_press(which);
    if (cfg.telescope == 'b') return socket_pad_press(which);
    return false;
}

bool drive_test_release() {
    if (cfg.telescope == 'l') return pad_release();
    if (cfg.telescope == 'b') return socket_pad_release();
    return false;
}

const char* trained_vals_text() {
    return autoguide.trained && autoguide.use_trained ? "Using Trained Vals" : "Using Default Vals";
}

const char* use_default_caption() {
    return autoguide.trained && !autoguide.use_trained ? "Use Trained" : "Use Defaults";
}

const char* guiding_mode_text() {
    return cfg.GuiderMode == 'T' ? "Telescope Drives" : "AO Unit";
}
