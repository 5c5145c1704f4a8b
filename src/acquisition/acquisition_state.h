#pragma once
#include <cstdint>

constexpr int FOCUS_FRAME_SIDE = 128;
constexpr int GUIDER_HEIGHT = 290;

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

    // Autoguider head.
    int exp_guider_value = 1;
    char exp_guider_range = 's';
    std::uint32_t guider_exposure = 0;
    int guider_bin = 0;
    int guider_use_darkframe = 0;
    int guider_take_darkframe = 0; // a guider dark frame is being taken
    int guider_use_median = 0;
    std::uint32_t guider_table[256] = {};
    int guider_max_val = 0;
};

extern AcquisitionState acq;

void reset_acquisition_state();
