#pragma once
#include <cstdint>

// Flags of the long-running loops (exposure series, guiding, training). They
// are read across layers: the display pipeline picks its bitmap by them and
// the abort-on-input rule clears them.
struct RunState {
    int guiding = 0;
    int training = 0;
    int tracking = 0;
    int selfguiding = 0;
    int selfguiding_darkframe = 0;
    int switch_frame = 0;
    int focus_stretch_only = 0;
    int guider_guiding = 0;
    int guider_guiding_standalone = 0;
    int tele_moving = 0;
    int selfguide_info_open = 0; // the self-guiding information window is open

    int no_images = 1;
    int end_loop = 0;
    int cont_work = 0;
    int series_work = 0;
    int series_exposure = 0;
    int continuous = 0;
    int exposure = 1000;
    int exposure_save = 1000;
    // A running timed wait ends when `ticks` reaches `endticks`.
    std::uint32_t ticks = 0;
    std::uint32_t endticks = 0;
};

extern RunState run;

void reset_run_state();
