#pragma once
#include <cstdint>

constexpr int GUIDER_HEIGHT = 290;

// One guide frame as the information window, the graph and the log see it:
// where the star was, its error and the pulses it gave.
struct GuideFrame {
    std::uint32_t at = 0;   // platform clock, ms
    int x = 0, y = 0;       // centroid in the guide window, whole pixels
    int xdec = 0, ydec = 0; // and tenths
    int dx = 0, dy = 0;     // error, thousandths of a pixel
    char ra_dir = 0;        // direction letter of the RA pulse, 0 for none
    int ra_ms = 0;
    char dec_dir = 0;
    int dec_ms = 0;
    const char* skipped = ""; // why no pulse could go out, or ""

    // The pulses as the graph draws them: lengths signed by the error they
    // correct, 0 for none.
    int ra_bar() const { return ra_dir && ra_ms > 0 ? (dx > 0 ? ra_ms : -ra_ms) : 0; }
    int dec_bar() const { return dec_dir && dec_ms > 0 ? (dy > 0 ? dec_ms : -dec_ms) : 0; }
};

// Guiding: the guider camera's exposure and frame analysis, and what the
// training measured.
struct GuidingState {
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

    // What the camera dialog's training measured (the "Latest" column);
    // `trained` once it has run, `use_trained` while guiding uses them.
    int RA_rate = 0, Dec_rate = 0;
    int RA_backlash = 0, Dec_backlash = 0;
    float theta = 0.0f; // RA angle, radians
    int trained = 0;
    int use_trained = 0;
    // The rest of the eight-position model: the RA and Dec vectors (pixels a
    // second), the backlash vectors, and the quadrant of the RA vector.
    int RA_x = 0, RA_y = 0, Dec_x = 0, Dec_y = 0;
    int RA_backx = 0, RA_backy = 0, Dec_backx = 0, Dec_backy = 0;
    int quadrant = 1;
    // The same vectors unrounded, which angle-mode guiding steers by.
    double RA_vx = 0, RA_vy = 0, Dec_vx = 0, Dec_vy = 0;
    // Its measurements: the start point, pos0..pos7 and the step reached.
    int startx = 0, starty = 0;
    int posx[8] = {}, posy[8] = {};
    std::int16_t training_pos = 0;

    // The guide star: the reference of a guiding run (whole pixels and
    // tenths), and the positions the simple training measured.
    int x1 = 0, y1 = 0, x1dec = 0, y1dec = 0;
    int x2 = 0, x3 = 0, x4 = 0, x5 = 0;
    int y2 = 0, y3 = 0, y4 = 0, y5 = 0;
    // The last error in thousandths of a pixel, and the pulses it gave.
    std::int16_t dx = 0, dy = 0;
    std::int16_t slew_time_x = 0, slew_time_y = 0;
    char lastslewx = 0, lastslewy = 0; // direction of the previous pulse per axis
    int fst = 1;                       // the next guide frame is a run's first
    int got_guide_image = 0;
    int fst_run = 1;  // the relay exercise before the first socket training is still to come
    GuideFrame frame; // the last guide frame's record

    // Guider-camera guiding: a lost star ends the exposure or the run.
    int guider_guiding_failed = 0;
    int guided_image = 0; // the guider frame shown is a guided one
    int start_guider = 0; // the guider dialog asked for standalone guiding
    int guider_training = 0;
    int guider_slewdefault = 1; // seconds of the guider training's pulses
    int guider_trained = 0;
    int guider_use_trained = 0; // angle mode with the trained model

    // The guider camera's dialog. Its dark frame is its own: the camera
    // dialog's guide dark frame is a main-camera frame in another buffer.
    int min_guider_exp = 1, max_guider_exp = 10;
    std::uint16_t guiderwrk_x = 0, guiderwrk_y = 0, guiderwrk_val = 0;
    int guider_darkframe_loaded = 0;
    char darkframe_base_text[40] = "";
    char guider_darkframe_text[80] = "";
    int guider_exposure_delay = 0;
    int guider_continuous = 1; // the preview runs until stopped; off, Start takes one frame
    int guider_pick_star_save = 0;
    int got_guidercam = 0;
    char guider_info_caption[64] = "AutoGuider Camera Guiding";
};

extern GuidingState autoguide;

void reset_guiding_state();
