#include "settings/settings_controls.h"

#include "display/image_store.h"
#include "platform/messages.h"
#include "settings/ini_file.h"
#include "settings/settings.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

constexpr int STAR_MASKS[] = {7, 8, 9, 11, 13, 15};
constexpr char BACKGROUNDS[] = {'r', 'l', 'g'};
constexpr char TELESCOPES[] = {'l', 'b', 'n'};
constexpr int TRAIN_SECONDS[] = {1, 2, 4, 8};
constexpr int IGNORE_AMOUNTS[] = {1000, 800, 500, 200};
constexpr int PAUSES[] = {10, 15, 20};
constexpr int AUTOSAVE_TEXT_MAX = 79;

template <class T> void toggle(T& flag) {
    flag = flag ? 0 : 1;
}

int clamp_to(int v, IniBounds b) {
    return std::clamp(v, b.lo, b.hi);
}

// The index of id within a run of consecutive ids, or -1.
template <class T, std::size_t N> int pick(int id, int first, const T (&)[N]) {
    return id >= first && id < first + static_cast<int>(N) ? id - first : -1;
}

void set_text(char* dst, std::size_t size, const std::string& text) {
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(dst, text.data(), n);
    dst[n] = '\0';
}

bool enterable_dir(const std::string& host) {
    std::error_code ec;
    return std::filesystem::is_directory(host, ec) && ::access(host.c_str(), X_OK) == 0;
}

} // namespace

IniNumbers ini_numbers() {
    IniNumbers v;
    v.slewx = cfg.slewx;
    v.slewy = cfg.slewy;
    v.backlashx = cfg.backlashx;
    v.backlashy = cfg.backlashy;
    v.hystx = cfg.hystx;
    v.hysty = cfg.hysty;
    v.guider_slewx = cfg.guider_slewx;
    v.guider_slewy = cfg.guider_slewy;
    v.guider_backlashx = cfg.guider_backlashx;
    v.guider_backlashy = cfg.guider_backlashy;
    v.guider_hystx = cfg.guider_hystx;
    v.guider_hysty = cfg.guider_hysty;
    v.pc_com = cfg.PC_port + 1;
    return v;
}

void ini_set_manually(const IniNumbers& v) {
    cfg.slewx = static_cast<short>(v.slewx);
    cfg.slewy = static_cast<short>(v.slewy);
    // A backlash outside 0..20 would make the next load throw the file away.
    cfg.backlashx = clamp_to(v.backlashx, BACKLASH_BOUNDS);
    cfg.backlashy = clamp_to(v.backlashy, BACKLASH_BOUNDS);
    cfg.hystx = std::min(v.hystx, 20);
    cfg.hysty = std::min(v.hysty, 20);
    cfg.guider_slewx = clamp_to(v.guider_slewx, GUIDER_SLEW_BOUNDS);
    cfg.guider_slewy = clamp_to(v.guider_slewy, GUIDER_SLEW_BOUNDS);
    cfg.guider_backlashx = clamp_to(v.guider_backlashx, GUIDER_BACKLASH_BOUNDS);
    cfg.guider_backlashy = clamp_to(v.guider_backlashy, GUIDER_BACKLASH_BOUNDS);
    cfg.guider_hystx = clamp_to(v.guider_hystx, GUIDER_HYST_BOUNDS);
    cfg.guider_hysty = clamp_to(v.guider_hysty, GUIDER_HYST_BOUNDS);
    ini_set_pc_com(v.pc_com);
}

void ini_set_pc_com(int com) {
    if (com >= COM_BOUNDS.lo && com <= COM_BOUNDS.hi) cfg.PC_port = static_cast<short>(com - 1);
}

bool ini_rereads_numbers(int id) {
    using namespace ini_id;
    if (pick(id, StarMask7, STAR_MASKS) >= 0 || pick(id, BackRed, BACKGROUNDS) >= 0 ||
        pick(id, TelescopeLX200, TELESCOPES) >= 0)
        return true;
    // The 8-second training button never did.
    if (id >= Train1 && id < Train1 + 3) return true;
    switch (id) {
    case FocusDelay:
    case IgnoreSmall:
    case DisableInterrupts:
    case SwapNS:
    case SwapEW:
    case ApplyCorrection:
    case LosmandyPause:
        return true;
    default:
        return false;
    }
}

void ini_click(int id) {
    using namespace ini_id;
    if (int i = pick(id, StarMask7, STAR_MASKS); i >= 0) {
        cfg.star_mask = static_cast<short>(STAR_MASKS[i]);
    } else if (int i = pick(id, BackRed, BACKGROUNDS); i >= 0) {
        cfg.default_back = BACKGROUNDS[i];
        static constexpr int colours[][3] = {{120, 40, 40}, {192, 192, 192}, {90, 90, 90}};
        disp.back_r = colours[i][0];
        disp.back_g = colours[i][1];
        disp.back_b = colours[i][2];
        disp.back_changed = 1;
    } else if (int i = pick(id, TelescopeLX200, TELESCOPES); i >= 0) {
        cfg.telescope = TELESCOPES[i];
    } else if (int i = pick(id, Train1, TRAIN_SECONDS); i >= 0) {
        cfg.slewdefault = TRAIN_SECONDS[i];
    } else if (int i = pick(id, Ignore10, IGNORE_AMOUNTS); i >= 0) {
        cfg.ignore_amount = IGNORE_AMOUNTS[i];
    } else if (int i = pick(id, Pause10, PAUSES); i >= 0) {
        cfg.pause_secs = PAUSES[i];
    }
    switch (id) {
    case FocusDelay:
        toggle(cfg.focus_delay);
        break;
    case IgnoreSmall:
        toggle(cfg.ignore_small);
        break;
    case NoNorth:
        toggle(cfg.ignore_north);
        break;
    case NoSouth:
        toggle(cfg.ignore_south);
        break;
    case DisableInterrupts:
        toggle(cfg.disable_interrupts);
        break;
    case SwapNS:
        cfg.n = cfg.n == 'n' ? 's' : 'n';
        cfg.s = cfg.n == 's' ? 'n' : 's';
        break;
    case SwapEW:
        cfg.e = cfg.e == 'e' ? 'w' : 'e';
        cfg.w = cfg.e == 'w' ? 'e' : 'w';
        break;
    case ApplyCorrection:
        toggle(cfg.apply_correction);
        break;
    case LosmandyPause:
        toggle(cfg.Losmandy_pause);
        break;
    case DebugMode:
        toggle(cfg.Debug_Mode);
        cfg.Show_Interface_Details = cfg.Debug_Mode;
        break;
    case FitsUnsigned:
        toggle(cfg.FITS_SBIG);
        break;
    case UseSavedValues:
        toggle(cfg.use_saved_values);
        break;
    case IgnorePid:
        toggle(cfg.ignore_pid);
        break;
    case AOAvailable:
        toggle(cfg.AOUnit_available);
        if (cfg.AOUnit_available) cfg.GuiderMode = 'A';
        break;
    case AOHalfRate:
        toggle(cfg.AOUnit_halfrate);
        break;
    case HideCountdown:
        toggle(cfg.display_exposure);
        break;
    case Tiff16:
        toggle(cfg.tifswitch);
        break;
    default:
        break;
    }
}

bool ini_checked(int id) {
    using namespace ini_id;
    if (int i = pick(id, StarMask7, STAR_MASKS); i >= 0) return cfg.star_mask == STAR_MASKS[i];
    // Any letter but light or dark grey paints the background red.
    if (int i = pick(id, BackRed, BACKGROUNDS); i >= 0)
        return i == 0 ? cfg.default_back != 'l' && cfg.default_back != 'g'
                      : cfg.default_back == BACKGROUNDS[i];
    if (int i = pick(id, TelescopeLX200, TELESCOPES); i >= 0) return cfg.telescope == TELESCOPES[i];
    if (int i = pick(id, Train1, TRAIN_SECONDS); i >= 0) return cfg.slewdefault == TRAIN_SECONDS[i];
    if (int i = pick(id, Ignore10, IGNORE_AMOUNTS); i >= 0)
        return cfg.ignore_amount == IGNORE_AMOUNTS[i];
    if (int i = pick(id, Pause10, PAUSES); i >= 0) return cfg.pause_secs == PAUSES[i];
    switch (id) {
    case FocusDelay:
        return cfg.focus_delay != 0;
    case IgnoreSmall:
        return cfg.ignore_small != 0;
    case NoNorth:
        return cfg.ignore_north != 0;
    case NoSouth:
        return cfg.ignore_south != 0;
    case DisableInterrupts:
        return cfg.disable_interrupts != 0;
    case SwapNS:
        return cfg.n == 's';
    case SwapEW:
        return cfg.e == 'w';
    case ApplyCorrection:
        return cfg.apply_correction != 0;
    case LosmandyPause:
        return cfg.Losmandy_pause != 0;
    case DebugMode:
        return cfg.Debug_Mode != 0;
    case FitsUnsigned:
        return cfg.FITS_SBIG != 0;
    case UseSavedValues:
        return cfg.use_saved_values != 0;
    case IgnorePid:
        return cfg.ignore_pid != 0;
    case AOAvailable:
        return cfg.AOUnit_available != 0;
    case AOHalfRate:
        return cfg.AOUnit_halfrate != 0;
    case HideCountdown:
        return cfg.display_exposure == 0;
    case Tiff16:
        return cfg.tifswitch != 0;
    default:
        return false;
    }
}

bool ini_apply_autosave_dir(const std::string& typed) {
    const std::string text = typed.substr(0, AUTOSAVE_TEXT_MAX);
    // Kept with its drive, so that the name means the same folder wherever it is used.
    std::string name = text;
    if (!text.empty() && text[0] != '/' && !(text.size() >= 2 && text[1] == ':'))
        name = std::string("c:") + (text[0] == '\\' ? "" : "\\") + text;

    if (!name.empty()) {
        // Only drive C: (the home directory) exists here.
        const std::string host = autosave_host_folder(name);
        if (host.empty()) {
            messages(52);
            return false;
        }
        if (!enterable_dir(host)) {
            std::error_code ec;
            std::filesystem::create_directories(host, ec);
            if (!enterable_dir(host)) {
                messages(52);
                return false;
            }
        }
    }
    set_text(cfg.auto_save_subdir, sizeof cfg.auto_save_subdir, name);
    set_text(cfg.auto_save_dir, sizeof cfg.auto_save_dir, name.empty() ? "c:\\AUTOSAVE" : name);
    return true;
}

void ini_dialog_load() {
    if (LoadINIFile(cfg.ini_file) != 0) {
        messages(20);
        SaveINIFile(cfg.ini_file);
    }
}

int ini_dialog_save() {
    const int r = SaveINIFile(cfg.ini_file);
    if (r != 0) messages(24);
    return r;
}
