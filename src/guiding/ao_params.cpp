#include "guiding/ao_params.h"

#include "acquisition/camera_controls.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "telescope/ao_state.h"
#include "telescope/ao_unit.h"

#include <algorithm>

namespace {

constexpr int AO_PC_PORT = 3;

void save() {
    SaveINIFile(cfg.ini_file);
}

void take_rate(const char* text, int& field) {
    long v = 0;
    if (parse_whole_number(text, v)) field = static_cast<int>(std::clamp<long>(v, 1, 32767));
}

void swap_letters(char& a, char& b, char first, char second) {
    const bool swapped = a != first;
    a = swapped ? first : second;
    b = swapped ? second : first;
}

void set_port(int port) {
    cfg.AOUnit_comport = port;
    AOUnit_retry_port();
    save();
}

} // namespace

void change_guider_mode() {
    cfg.GuiderMode = cfg.GuiderMode == 'T' ? 'A' : 'T';
    save();
}

void set_ao_ns() {
    swap_letters(cfg.AOn, cfg.AOs, 'n', 's');
    save();
}

void set_ao_ew() {
    swap_letters(cfg.AOe, cfg.AOw, 'e', 'w');
    save();
}

bool ao_ns_swapped() {
    return cfg.AOn != 'n';
}

bool ao_ew_swapped() {
    return cfg.AOe != 'e';
}

void set_ao_mount_ns() {
    swap_letters(cfg.Mn, cfg.Ms, 'N', 'S');
    save();
}

void set_ao_mount_ew() {
    swap_letters(cfg.Mt, cfg.Mw, 'T', 'W');
    save();
}

bool ao_mount_ns_swapped() {
    return cfg.Mn != 'N';
}

bool ao_mount_ew_swapped() {
    return cfg.Mt != 'T';
}

void set_ao_values(const char* slewx, const char* slewy) {
    take_rate(slewx, cfg.AOUnit_slewx);
    take_rate(slewy, cfg.AOUnit_slewy);
    save();
}

void copy_ao_values() {
    cfg.AOUnit_slewx = cfg.AOUnit_xrate;
    cfg.AOUnit_slewy = cfg.AOUnit_yrate;
    save();
}

void change_ao_mode() {
    cfg.AOUnitModeParallel = !cfg.AOUnitModeParallel;
    if (!cfg.AOUnitModeParallel) cfg.AOUnit_comport = AO_PC_PORT;
    save();
}

void toggle_ao_mode() {
    cfg.AOUnitModeParallel = !cfg.AOUnitModeParallel;
    save();
}

void guider_centralise_ao_unit() {
    if (!cfg.AOUnitModeParallel) {
        cfg.AOUnit_comport = AO_PC_PORT;
        save();
    }
    CentraliseAOUnit();
}

void toggle_ao_use_trained() {
    ao.AOUnit_use_trained = ao.AOUnit_trained && !ao.AOUnit_use_trained;
}

const char* ao_use_default_caption() {
    return ao.AOUnit_trained && !ao.AOUnit_use_trained ? "Use Trained" : "Use Defaults";
}

const char* ao_vals_in_use_text() {
    return ao.AOUnit_trained && ao.AOUnit_use_trained ? "Using Trained Vals" : "Using Default Vals";
}

void set_ao_com1() {
    set_port(0);
}

void set_ao_com2() {
    set_port(1);
}

void set_ao_pc_port() {
    set_port(AO_PC_PORT);
}

bool ao_arrow_press(char which) {
    char dir = 0;
    switch (which) {
    case 'n':
        dir = cfg.AOn;
        break;
    case 's':
        dir = cfg.AOs;
        break;
    case 'e':
        dir = cfg.AOe;
        break;
    case 'w':
        dir = cfg.AOw;
        break;
    default:
        return false;
    }
    ao.AOUnitslewdir = dir;
    ao.AOUnitslew_time = AO_MANUAL_STEPS;
    AOUnit_move();
    return true;
}

const char* ao_mode_text() {
    return cfg.AOUnitModeParallel ? "Parallel" : "Serial";
}
