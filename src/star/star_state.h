#pragma once
#include <cstdint>

constexpr int CENTROID_MAX_RADIUS = 64;
constexpr int CENTROID_MAX_BOX = (2 * CENTROID_MAX_RADIUS + 1) * (2 * CENTROID_MAX_RADIUS + 1);

// Guide-star position, picking and the guide (focus) window of the main camera.
struct GuideState {
    int xcent = 0, ycent = 0, xcentdec = 0, ycentdec = 0;
    int old_xcent = 0, old_ycent = 0;
    int guider_xcent = 0, guider_ycent = 0, guider_xcentdec = 0, guider_ycentdec = 0;

    int cur_rad = 4;
    int pick_star = 0;
    int guider_pick_star = 0;
    int picked_star = 0;
    int guider_picked_star = 0;
    int pick_xcent = 0, pick_ycent = 0;
    int guider_pick_xcent = 0, guider_pick_ycent = 0;
    int pick_small = 0, pick_star_small = 0;
    int centre_it = 0;

    int focus_x = 312, focus_y = 65;
    int drawx = 0, drawy = 0;
    int focus_frame = 0;
    int bin_focus_frame = 0;

    // The loops that use the guide window, read by the centroid and the
    // display (through its guide-window query); any press clears them.
    int guiding = 0;
    int training = 0;
    int tracking = 0;
    int selfguiding = 0;
    int selfguiding_darkframe = 0;
    int guider_guiding = 0;
    int guider_guiding_standalone = 0;
    int selfguide_info_open = 0; // the self-guiding information window is open

    std::uint32_t table1[4096] = {};
    std::uint32_t vals1[CENTROID_MAX_BOX] = {};
};

extern GuideState guide;

void reset_guide_state();
