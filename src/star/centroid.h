#pragma once
#include "platform/ui.h"

// Guide-star centroids, the click-to-star snap and the guide-window placement.
// Results go to the globals in `guide` (guide_state.h); `guide.table1` and
// `guide.vals1` are the work tables, so nothing is allocated per frame.

// A measured star: `status` 0 or 1 as find_centre returns it; `found` when
// the box held a star (x, y in whole pixels plus tenths).
struct StarCentre {
    short status = 0;
    bool found = false;
    int x = 0, y = 0, xdec = 0, ydec = 0;
};

// find_centre's measurement and its boxes, without writing the results into
// `guide`: for callers that follow a star of their own (stacking, photometry).
StarCentre measure_centre(int x, int y, const unsigned short* image, int rad);

// Centroid of the star near (x, y) on a main-camera image: the guide frame
// (128 x 128) while guiding or tracking, else `disp.width1` x `disp.height1`.
// Writes `guide.xcent`, `ycent`, `xcentdec`, `ycentdec`. Returns 0 when
// measured, and also for a box with nothing above the background (results
// kept, so guiding carries on with a zero correction); 1 when the box leaves
// the image, `rad` is outside 0..CENTROID_MAX_RADIUS, or the box is
// overexposed. Every failure and the empty box are reported in a box.
short find_centre(int x, int y, const unsigned short* image, int rad);

// The same on a 500 x 290 guider-camera frame; writes the `guider_` results
// and is always in tenths. Only the outside-the-frame case fails (status 1).
short guider_find_centre(int x, int y, const unsigned short* image, int rad);

// Places the main camera's guide window around `pick_xcent`/`pick_ycent` and
// puts the star position inside it into `xcent`/`ycent` and `drawx`/`drawy`.
// Sets `guide.tracking`.
void calc_guideframe();

// Snaps the point clicked at (x, y) onto the star with three centroid passes
// of `find_centre` on `image` with radius `rad`; `point` ends on the star and
// the screen cursor follows it. Stops early when a pass fails or finds no star
// (reported in a box). Used for photometry and merge clicks.
void search_centre(int x, int y, const unsigned short* image, int rad, platform::Point& point);

// The main window's snap for a pick or photometry click at `point`: up to
// three passes of `find_centre` on `image` with `guide.cur_rad`, each only
// while `point` lies left of `width1 - cur_rad` and above `height1 - cur_rad`.
// A pass that finds the star sets `picked_star`, moves `point` to the
// centroid and the screen cursor by the same offset. Returns false when a pass
// failed or found no star: `picked_star` is cleared and the click handling
// must end there.
bool snap_to_star(platform::Point& point, const unsigned short* image);
