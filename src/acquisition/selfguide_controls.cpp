#include "acquisition/selfguide_controls.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/camera_controls.h"
#include "devices/camera_protocol.h"
#include "devices/serial_link.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "settings/settings.h"
#include "star/star_state.h"

namespace {

// Corrections need the drive link; a refusal while the guider camera
// guides standalone, which already drives the mount.
bool link_and_free() {
    if (!cfg.gotcontrolbox && !serial.comfound) interface_check();
    if (guide.guider_guiding_standalone) {
        messages(59);
        return false;
    }
    return true;
}

} // namespace

bool selfguiding_exposure_ok(char range, int value) {
    if (value < 1) return false;
    switch (range) {
    case 'q':
        return value < 12000;
    case 'h':
        return value < 1200;
    case 't':
        return value < 120;
    case 's':
        return value < 12;
    default:
        return false;
    }
}

SelfGuideResult set_self_guiding() {
    if (!link_and_free()) return SelfGuideResult::Refused;
    if (guide.selfguiding) {
        guide.selfguiding = 0;
        return SelfGuideResult::Off;
    }
    platform::ui().beep();
    if (selfguiding_exposure_ok(cfg.exp_range, cfg.exp_value)) {
        acq.selfguiding_exp_range = cfg.exp_range;
        acq.selfguiding_exp_value = cfg.exp_value;
    } else if (!selfguiding_exposure_ok(acq.selfguiding_exp_range, acq.selfguiding_exp_value)) {
        return SelfGuideResult::TooLong;
    }
    guide.selfguiding = 1;
    return SelfGuideResult::On;
}

SelfGuideResult set_self_guiding_darkframe() {
    if (!link_and_free()) return SelfGuideResult::Refused;
    guide.selfguiding_darkframe = !guide.selfguiding_darkframe;
    if (!guide.selfguiding_darkframe) {
        guide.selfguiding = 0;
        return SelfGuideResult::Off;
    }
    acq.darkframes = acq.selfguidingframes;
    guide.selfguiding = 1;
    const bool high = cfg.binned21 || cfg.highres_nonintl;
    acq.selfguidinghigh = high;
    acq.selfguiding21 = cfg.binned21 ? 1 : 0;
    seq.switch_frame = high;
    return SelfGuideResult::On;
}

std::uint32_t selfguiding_exposure_ms() {
    if (guide.selfguiding_darkframe) return 100;
    // Minutes never qualify, so they count as seconds here.
    const char range = acq.selfguiding_exp_range == 'm' ? 's' : acq.selfguiding_exp_range;
    return exposure_from_range(range, acq.selfguiding_exp_value);
}

bool start_auto_guide(const char* typed) {
    if (!guide.picked_star) {
        messages(53);
        return false;
    }
    // The field's value is taken as "Take Photo" takes it; with none the
    // dialog stays open and no request is left behind.
    if (!take_photo(typed)) return false;
    const std::uint32_t ms = exposure_from_range(cfg.exp_range, cfg.exp_value);
    if (ms < static_cast<std::uint32_t>(acq.download_time) && cfg.highres_intl) {
        cfg.highres_intl = 0;
        cfg.highres_nonintl = 1;
    }
    acq.startguiding = 1;
    return true;
}
