#pragma once
#include <cstdint>

constexpr int FOCUS_FRAME_SIDE = 128;

// Readout and filter wheel state shared with the exposure sequence and the
// camera control dialog.
struct AcquisitionState {
    std::uint32_t exposure = 0; // ms, of the exposure being taken
    int take_darkframe = 0;
    int auto_advance = 0; // step the filter wheel after every main-camera readout
    std::uint16_t binned_image_state = 0;

    // Filter wheel: the commanded position (never read back) and the serial box's port.
    std::uint16_t Filterbox_Filter = 1;
    int filter_wheel_comport = 2;

    // Focus analysis of the last QV_camera_read.
    std::uint32_t focus_table[256] = {};
    int focus_most_pop = 0;
    std::uint32_t focus_most_pop_val = 0;
    int focus_FWHM_val = 0;
    int FWHM_x1 = 0, FWHM_x2 = 0;
    int focus_FWHM = 0;
    int max_focus_val = 0;
    int max_x = 0, max_y = 0;

    // Exposure sequence options that the settings file does not keep.
    int deep_flush = 0;
    int minutes_delay = 1; // the continuous pause counts minutes, else seconds
    int download_time = 3000;
    int slew_sum_alt = 0;     // stack a series by profile matching
    int slew_sum_average = 0; // stack a series as a mean
    int use_median = 0;
    int Auto_Processing = 0;
    int auto_weak_stretch = 0;
    int auto_strong_stretch = 0;
    int auto_user_stretch = 0;
    int auto_remove_bkgnd = 0;
    double User_Stretch = 5.0;
    int auto_highlow_filter = 0;
    int Auto_USM_Filter = 0;
    int Auto_Converting = 0;

    // Sequence state.
    int total_images = 1;
    int stopit = 1; // ends the dialog's preview loop
    int start_maincam = 0;
    int start_autoguidercam = 0; // the camera dialog hands over to the guider camera
    int switched_frame = 0, interlaced_line = 0, switching = 0;
    int pick_star_save = 0;
    int startguiding = 0;
    int darkframe_loaded = 0;
    int flatfield_loaded = 0;
    int last_selfguided = 0; // the self-guided series has its reference
    int progress = 0;        // 0..255

    // The camera dialog.
    int min_exp = 1;
    int max_exp = 300;
    int max_value = 0;
    int focus_wait = 0;
    // The guide dark frame taken from the dialog.
    int guider_darkframe_loaded = 0;
    int use_darkframe = 0;
    int taking_darkframe = 0;
    char darkframe_base_text[40] = "";

    // Self-guiding: the exposure it was switched on with (kept for the next
    // time), the frame-switch flags of the read-out mode and the dark frames.
    char selfguiding_exp_range = 's';
    int selfguiding_exp_value = 0; // 0: none remembered yet
    int selfguiding_exposure = 0;  // ms, worked out at each sequence start
    int selfguidinghigh = 0;
    int selfguiding21 = 0;
    int darkframes = 0;
    int selfguidingframes = 1;
};

// Whether this image's corrections were applied, for the processing notes.
struct ImageNotes {
    bool dark = false;
    bool flat = false;
};

// The exposure sequence's run: what is left to take and the running wait.
struct SequenceState {
    int no_images = 1;
    int end_loop = 0;
    int cont_work = 0;
    int series_work = 0;
    int series_exposure = 0;
    int exposure = 1000;
    int exposure_save = 1000;
    int switch_frame = 0;
    int focus_stretch_only = 0;
    // A running timed wait ends when `ticks` reaches `endticks`.
    std::uint32_t ticks = 0;
    std::uint32_t endticks = 0;
    ImageNotes notes;
    // The last main-camera readout did not arrive whole: how much did.
    int frame_incomplete = 0;
    long frame_bytes_got = 0, frame_bytes_wanted = 0;
    int frames_dropped = 0; // damaged frames left out of a stack
};

extern AcquisitionState acq;
extern SequenceState seq;

void reset_acquisition_state();
