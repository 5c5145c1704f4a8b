#include "acquisition/sequence.h"
#include "platform/command_ids.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/guide_hook.h"
#include "acquisition/readout.h"
#include "acquisition/selfguide_controls.h"
#include "devices/camera_models.h"
#include "devices/camera_protocol.h"
#include "devices/transport.h"
#include "devices/usb_discovery.h"
#include "display/geometry.h"
#include "display/history.h"
#include "display/image_store.h"
#include "display/sensor_state.h"
#include "files/auto_save.h"
#include "files/file_state.h"
#include "files/fits.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "processing/calibration.h"
#include "processing/enhance.h"
#include "processing/filter_state.h"
#include "processing/stacking.h"
#include "processing/stretch.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr std::uint32_t CAMERA_TIMED_MAX_MS = 100000;
constexpr std::uint32_t SHUTTER_MIN_MS = 1000;
// Camera-timed exposures from this long on are counted down in the progress window.
constexpr std::uint32_t COUNTDOWN_FROM_MS = 2000;
constexpr std::uint32_t FIRST_CLEAR_BEFORE_END_MS = 2000;
constexpr std::uint32_t CLEAR_INTERVAL_MS = 2005;
constexpr std::uint32_t CLEARS_FROM_MS = 5000;
constexpr std::uint32_t PUMP_INTERVAL_MS = 10;

bool before(std::uint32_t now, std::uint32_t end) {
    return static_cast<std::int32_t>(now - end) < 0;
}

std::string with_images_left(const char* caption) {
    if (seq.no_images <= 1) return caption;
    return std::string(caption) + " (Left - " + std::to_string(seq.no_images) + ")";
}

void set_progress(int value, const std::string& caption = {}) {
    acq.progress = std::clamp(value, 0, 255);
    platform::ui().progress_update(acq.progress, caption);
}

// The extra vertical clears of a long exposure: the first 2 s before its end
// (none at or below 5 s), then every 2,005 ms.
struct ClearSchedule {
    std::uint32_t next;
    void start(std::uint32_t t0, std::uint32_t exposure) {
        next =
            t0 + (exposure > CLEARS_FROM_MS ? exposure - FIRST_CLEAR_BEFORE_END_MS : exposure + 5);
    }
    void due(std::uint32_t now) {
        while (!before(now, next)) {
            QV_clearvert();
            next += CLEAR_INTERVAL_MS;
        }
    }
};

// Waits until seq.endticks, pumping input (a press ends the wait through the
// stop rule), advancing the bar by 16 every sixteenth of `length` and, when
// `clears` is given, issuing the scheduled vertical clears.
// With `guider`, one guider cycle follows each pump; a lost guide star ends
// the wait at once and returns false.
bool interruptible_wait(std::uint32_t t0, std::uint32_t length, ClearSchedule* clears,
                        SequenceGuiding* guider = nullptr) {
    const std::uint32_t step = std::max<std::uint32_t>(length / 16, 1);
    std::uint32_t next_step = t0 + step;
    seq.endticks = t0 + length;
    for (;;) {
        seq.ticks = platform::now_ms();
        if (!before(seq.ticks, seq.endticks)) break;
        if (guider && (guide.guider_guiding || guide.guider_guiding_standalone) &&
            !guider->guider_cycle()) {
            seq.endticks = platform::now_ms();
            return false;
        }
        seq.ticks = platform::now_ms();
        if (clears) clears->due(seq.ticks);
        if (!before(seq.ticks, next_step)) {
            set_progress(acq.progress + 16);
            next_step += step;
        }
        clear_messages();
        if (!before(seq.ticks, seq.endticks)) break;
        platform::sleep_ms(std::min(seq.endticks - seq.ticks, PUMP_INTERVAL_MS));
    }
    return true;
}

// A host-timed wait of the fine units: no input is taken, as the camera cannot
// be left mid-exposure for long.
void plain_wait(std::uint32_t t0, std::uint32_t length, ClearSchedule& clears) {
    const std::uint32_t end = t0 + length;
    for (std::uint32_t now = platform::now_ms(); before(now, end); now = platform::now_ms()) {
        clears.due(now);
        platform::sleep_ms(std::min(end - now, PUMP_INTERVAL_MS));
    }
}

void start_delay() {
    const int secs = cfg.pause_secs;
    if (secs <= 0) return;
    acq.progress = 0;
    platform::ui().progress_open("EXPOSURE DELAY");
    for (int left = secs; left > 0; --left) {
        char caption[64];
        std::snprintf(caption, sizeof caption, "EXPOSURE DELAY (Left - %d)", left);
        set_progress(acq.progress + 255 / secs, caption);
        platform::ui().beep();
        one_sec_delay(1); // a press only shortens this second
    }
    platform::ui().progress_close();
}

void expose(char range, std::uint32_t exposure) {
    QV_clearvert();
    QV_wiper();
    EchoCCD();
    const bool shutter = cam.cam_type == 4;
    if (shutter && exposure > SHUTTER_MIN_MS) QV_closeshutter();
    if (exposure <= CAMERA_TIMED_MAX_MS) return; // the camera times it inside the readout

    const std::uint32_t t0 = platform::now_ms();
    ClearSchedule clears;
    clears.start(t0, exposure);
    if (range == 'h' || range == 't' || range == 'q') {
        if (shutter && !acq.take_darkframe) QV_openshutter();
        plain_wait(t0, exposure, clears);
        if (shutter) QV_closeshutter();
        return;
    }
    if (shutter && !acq.take_darkframe) QV_openshutter();
    // Standalone guider guiding (started from the guider window) goes on
    // through the exposure's wait too; the run's own is started here.
    SequenceGuiding* guider =
        guide.guider_guiding || guide.guider_guiding_standalone ? sequence_guiding() : nullptr;
    if (guider && guide.guider_guiding && !guider->guider_start()) {
        cfg.continuous = 0;
        seq.end_loop = 1;
    }
    const bool star_kept = interruptible_wait(t0, exposure, &clears, guider);
    if (shutter && exposure > SHUTTER_MIN_MS) QV_closeshutter();
    if (!star_kept) {
        // What was exposed is read and kept; the series goes no further.
        seq.no_images = 1;
        seq.cont_work = 0;
    }
    if (guider && guide.guider_guiding && (!star_kept || (seq.no_images <= 1 && !cfg.continuous)))
        guider->guider_stop();
}

void calibrate() {
    seq.notes = {};
    if (cfg.darkframe_remove) {
        const int r = auto_remove(acq.darkframe_loaded, files.DarkFileName, image);
        if (r == 11)
            messages(MSG_OWN_TEXT, "Failed to Open Darkframe Nocteris File");
        else if (r == 12)
            messages(4);
        else {
            acq.darkframe_loaded = 1;
            seq.notes.dark = true;
        }
    }
    if (cfg.flatfield_remove) {
        const int r = auto_flatfield(acq.flatfield_loaded, files.FlatFileName, image);
        if (r == 11)
            messages(5);
        else if (r == 12)
            messages(MSG_OWN_TEXT, "Sorry, chosen Flatfield is not a Nocteris File");
        else {
            acq.flatfield_loaded = 1;
            seq.notes.flat = true;
        }
    }
}

void stack() {
    AccumulateOptions opt;
    opt.slew_sum_average = acq.slew_sum_average;
    opt.total_images = acq.total_images;
    const int r =
        acq.slew_sum_alt
            ? slew_accumulate(image, trial, stacking.orig_x, stacking.orig_y, stacking.merge_x,
                              stacking.merge_y, stacking.orig_max, stacking.orig_avg, opt)
            : track_accumulate(image, trial, stacking.orig_x, stacking.orig_y, stacking.merge_x,
                               stacking.merge_y, stacking.orig_max, stacking.orig_avg, opt);
    if (r == 0) return;
    seq.no_images = 1;
    const char* text =
        r == 2 ? "Sorry, no star is bright enough to stack on.\nThe series ends with this image."
        : acq.slew_sum_alt
            ? "Sorry, this image has no detail to match.\nThe series ends with the images "
              "stacked so far."
            : "Sorry, the stacking star was lost.\nThe series ends with the images stacked so far.";
    messages(MSG_OWN_TEXT, text);
}

// Marks the image of a readout that did not arrive whole, so that its file,
// the caption and the command line say so.
void note_readout(bool whole) {
    seq.frame_incomplete = !whole;
    seq.frame_bytes_wanted = usbt.ByteCount;
    seq.frame_bytes_got = std::min<long>(usbt.BytesReturned, usbt.ByteCount);
    disp.damage_note[0] = '\0';
    if (!whole)
        std::snprintf(disp.damage_note, sizeof disp.damage_note,
                      "Incomplete readout: %ld of %ld bytes", seq.frame_bytes_got,
                      seq.frame_bytes_wanted);
    std::snprintf(disp.image_name, sizeof disp.image_name,
                  whole ? "Nocteris Camera Image" : "Nocteris Camera Image (incomplete)");
}

// A damaged frame is never folded into a stack: the images stacked so far
// stay the result, as when the stacking star is lost.
void keep_stack_so_far() {
    const bool started = acq.slew_sum_alt ? stacking.orig_avg != 0 : stacking.orig_x != 0;
    if (!started) return; // nothing stacked yet
    copy_image(image, trial);
    seq.frame_incomplete = 0;
    ++seq.frames_dropped;
    disp.damage_note[0] = '\0';
    std::snprintf(disp.image_name, sizeof disp.image_name, "Nocteris Camera Image");
}

void rebuild_notes() {
    for (auto& line : disp.process_info) line[0] = '\0';
    if (seq.notes.dark) update_history("Dark Frame Subtracted");
    if (seq.notes.flat) update_history("Flatfield Applied");
}

// The pause of continuous mode, in minutes or seconds.
void continuous_pause() {
    const std::uint32_t unit = acq.minutes_delay ? 60000u : 1000u;
    const std::uint32_t length = static_cast<std::uint32_t>(cfg.continuous_delay) * unit;
    acq.progress = 0;
    platform::ui().progress_open("Pause between exposures");
    interruptible_wait(platform::now_ms(), length, nullptr);
    platform::ui().progress_close();
}

void end_of_sequence(SequenceHost& host) {
    cm_focus_frame_reset();
    guide.pick_star = acq.pick_star_save;
    if (guide.picked_star) {
        guide.xcent = guide.pick_xcent;
        guide.ycent = guide.pick_ycent;
    } else {
        guide.xcent = guide.old_xcent;
        guide.ycent = guide.old_ycent;
    }
    stacking.orig_x = stacking.orig_y = stacking.merge_x = stacking.merge_y = 0;
    stacking.orig_avg = 0;
    if (guide.guider_guiding)
        if (SequenceGuiding* g = sequence_guiding()) g->guider_stop();
    guide.guider_guiding = 0;
    platform::ui().set_cursor(platform::CursorShape::Arrow);
    host.redraw();
}

} // namespace

int abort_on_input() {
    seq.no_images = 1;
    seq.end_loop = 1;
    if (seq.series_exposure) seq.exposure = seq.exposure_save;
    seq.cont_work = 0;
    seq.series_work = 0;
    if (guide.guiding) cfg.continuous = 0;
    guide.guiding = 0;
    guide.tracking = 0;
    seq.endticks = seq.ticks;
    platform::ui().beep();
    cm_focus_frame_reset();
    const int was_selfguiding = guide.selfguiding;
    guide.selfguiding = 0;
    guide.selfguiding_darkframe = 0;
    seq.switch_frame = 0;
    seq.focus_stretch_only = 0;
    return was_selfguiding;
}

void clear_messages() {
    if (platform::ui().pump_messages() > 0) {
        if (abort_on_input() && guide.selfguide_info_open) guide.selfguide_info_open = 0;
    }
}

void cm_focus_frame_reset() {
    guide.focus_x = 312;
    guide.focus_y = 65;
}

int one_sec_delay(int seconds) {
    const std::uint32_t end = platform::now_ms() + static_cast<std::uint32_t>(seconds) * 1000u;
    for (;;) {
        if (platform::ui().pump_messages() > 0) return 1;
        const std::uint32_t now = platform::now_ms();
        if (!before(now, end)) return 0;
        platform::sleep_ms(std::min(end - now, PUMP_INTERVAL_MS));
    }
}

void nocteris_camera() {
    set_camera_model_geometry();
    guide.focus_x = sensor.cam_width1 / 2 - 64;
    guide.focus_y = sensor.cam_height1 / 2 - 64;
    nocteris_binned();
    SaveINIFile(cfg.ini_file);
}

bool find_camera() {
    if (usbt.got_qv) return true;
    if (LoadINIFile(cfg.ini_file) != 0) messages(1);
    USBHid hid;
    hid.CollectingUSBHidInfo();
    if (!usbt.USB_filterwheel) hid.CollectingHidInfo();
    if (!usbt.got_qv) {
        messages(MSG_OWN_TEXT, "Sorry, No camera found on USB");
        return false;
    }
    GetCameraFirmwareVersion();
    return true;
}

bool camera_start_prepare() {
    acq.start_maincam = 0;
    acq.start_autoguidercam = 0;
    seq.cont_work = 0;
    seq.series_work = 0;
    seq.end_loop = 0;
    acq.switched_frame = acq.interlaced_line = acq.switching = 0;
    acq.pick_star_save = guide.pick_star;
    guide.pick_star = 0;
    if (!files.DarkFileName[0]) std::strcpy(files.DarkFileName, "c:\\dark.def");
    if (!files.FlatFileName[0]) std::strcpy(files.FlatFileName, "c:\\flat.def");
    image = image_int;
    acq.darkframe_loaded = acq.flatfield_loaded = acq.last_selfguided = 0;

    if (!find_camera()) return false;
    stacking.orig_x = stacking.orig_y = stacking.merge_x = stacking.merge_y = 0;
    stacking.orig_avg = 0;
    seq.no_images = 1;
    disp.bin_display_quad = 1;
    return true;
}

void QV_Control(SequenceHost& host) {
    if (!camera_start_prepare()) return;
    const bool take_photo = host.run_dialog();
    if (acq.start_autoguidercam) {
        acq.start_autoguidercam = 0;
        host.redraw();
        platform::ui().send_command(CM_GUIDER_CAMERA);
        return;
    }
    if (!take_photo || acq.startguiding) {
        disp.non_guiding = 0;
        if (acq.startguiding) {
            acq.startguiding = 0;
            platform::ui().send_command(CM_START_GUIDE);
        }
        host.redraw();
        return;
    }
    run_exposure_sequence(host);
}

void run_exposure_sequence(SequenceHost& host) {
    nocteris_binned();
    acq.stopit = 1;
    disp.focus_mode = 0;
    disp.bin_display_quad = 0;
    disp.FITS_Pixwidth = 0.0086;
    disp.FITS_Pixheight = 0.0083;

    seq.exposure = static_cast<int>(exposure_from_range(cfg.exp_range, cfg.exp_value));
    acq.selfguiding_exposure = static_cast<int>(selfguiding_exposure_ms());
    if (static_cast<std::uint32_t>(seq.exposure) < static_cast<std::uint32_t>(acq.download_time) &&
        cfg.highres_intl) {
        cfg.highres_intl = 0;
        cfg.highres_nonintl = 1;
    }
    fits.FITS_Exptime = 0;
    platform::ui().set_cursor(platform::CursorShape::Wait);
    std::snprintf(disp.image_name, sizeof disp.image_name, "Nocteris Camera Image");

    if (cfg.exposure_delay) start_delay();

    acq.total_images = seq.no_images;
    seq.frames_dropped = 0;
    seq.frame_incomplete = 0;
    seq.cont_work = cfg.continuous;
    seq.series_work = seq.series_exposure;
    // Stopped during the countdown: end before the first exposure.
    if (cfg.exposure_delay && host.stop_requested()) seq.end_loop = 1, seq.cont_work = 0;
    seq.exposure_save = seq.exposure;
    disp.non_guiding = 1;
    files.start_exp = std::time(nullptr);

    bool stacked_series = acq.total_images > 1 && !cfg.continuous;
    for (;;) {
        bool shown = false;
        bool read = false;
        do {
            // A press during a pause has already ended the sequence: another
            // exposure would only keep the user waiting.
            if (seq.end_loop) break;
            shown = false;
            if (acq.deep_flush) QV_deep_flush();
            const std::uint32_t exposure = static_cast<std::uint32_t>(std::max(seq.exposure, 0));
            if (!cfg.continuous) {
                fits.FITS_Exptime += exposure / 1000.0;
            } else {
                fits.FITS_Exptime = exposure / 1000.0;
                files.start_exp = std::time(nullptr);
            }
            acq.progress = 0;
            platform::ui().progress_open(with_images_left("EXPOSURE UNDERWAY"));
            host.redraw();
            expose(cfg.exp_range, exposure);

            read = !seq.end_loop;
            if (read) {
                std::string caption = with_images_left("READING ZW CAMERA");
                if (seq.no_images <= 1) caption += cam.cam_download_full;
                acq.exposure = exposure;
                const std::string underway = with_images_left("EXPOSURE UNDERWAY");
                const std::uint32_t t0 = platform::now_ms();
                bool counting = exposure <= CAMERA_TIMED_MAX_MS && exposure >= COUNTDOWN_FROM_MS;
                if (!counting) set_progress(20, caption);
                // The camera times this exposure inside the readout: count it
                // down, then say the frame is on its way.
                platform::WaitActivity countdown([&] {
                    if (!counting) return;
                    const std::uint32_t spent = platform::now_ms() - t0;
                    if (spent >= exposure) {
                        counting = false;
                        set_progress(20, caption);
                        return;
                    }
                    const std::uint32_t left_s = (exposure - spent + 999) / 1000;
                    set_progress(static_cast<int>(255ull * spent / exposure),
                                 underway + " - " + std::to_string(left_s) + " s left");
                });
                // A frame that did not arrive whole ends the series: the camera
                // has gone or stalls, and each further try would wait for it again.
                const bool whole = QV_full_read();
                note_readout(whole);
                if (!whole) seq.no_images = 1, seq.cont_work = 0;
                clear_messages();
                calibrate();
                if (stacked_series && !guide.guider_guiding) {
                    if (whole)
                        stack();
                    else
                        keep_stack_so_far();
                }
            }
            platform::ui().progress_close();
            --seq.no_images;
            if (acq.total_images > 1 && cfg.continuous && seq.no_images <= 0) seq.cont_work = 0;

            if (read && acq.Auto_Processing) {
                rebuild_notes();
                autoprocess();
            }
            if (read && seq.cont_work) {
                CmShowImage(host);
                shown = true;
                if (one_sec_delay(2)) {
                    seq.no_images = 0;
                    seq.cont_work = 0;
                }
                if (cfg.continuous_delay > 0 && seq.cont_work) continuous_pause();
            }
            host.adjust_scroller();
        } while (seq.no_images > 0);

        if (read && !shown) CmShowImage(host);
        if (read && sequence_guiding_due())
            if (SequenceGuiding* g = sequence_guiding()) g->correct(image);
        if (!seq.cont_work) break;
        disp.non_guiding = 1;
        files.start_exp = std::time(nullptr);
        stacked_series = false;
    }
    end_of_sequence(host);
}

void CmShowImage(SequenceHost& host) {
    files.end_exp = std::time(nullptr);
    if (!acq.Auto_Processing) rebuild_notes();
    host.show_image();
    std::string saved;
    if (cfg.auto_save_fits) {
        const int r = auto_save(image);
        if (r == 1) {
            messages(22);
        } else {
            saved = autosave_host_folder(cfg.auto_save_dir) + "/" +
                    auto_save_file_name(cfg.auto_save_num);
            if (r != 0) messages(24); // the image is saved, its number may not be kept
        }
    }
    host.image_shown(saved);
}

void autoprocess() {
    const struct {
        int on;
        double power;
    } stretches[] = {{acq.auto_weak_stretch, 2.0},
                     {acq.auto_strong_stretch, 18.0},
                     {acq.auto_user_stretch, acq.User_Stretch}};
    for (const auto& s : stretches) {
        if (!s.on) continue;
        auto_contrast_stretch(s.power, acq.auto_remove_bkgnd != 0);
    }
    if (acq.auto_highlow_filter) {
        if (run_enhance(1, 2, 1)) update_history("High Pass Low Power Filter");
    }
    if (acq.Auto_USM_Filter) {
        acq.Auto_Converting = 1;
        unsharp_mask(filt.white, filt.black);
        acq.Auto_Converting = 0;
    }
    platform::ui().set_cursor(platform::CursorShape::Arrow);
}
