#pragma once
#include "guiding/guide_correction.h"

// Guider guiding with the trained model (angle mode): the error is split
// along the trained RA and Dec vectors (pixels a second of a west pulse and
// of a north pulse: `RA_vx`, `RA_vy`, `Dec_vx`, `Dec_vy` as trained, else
// the whole-pixel `RA_x`, `RA_y`, `Dec_x`, `Dec_y`), so a rotated or
// mirrored camera gets the right pulse on the right axis. Each axis's
// direction is the sign of its share; a reversal adds the trained backlash
// unless "Ignore Backlash" is set, and the guider's hysteresis is taken off. Updates the per-axis
// reversal memory; sends nothing.
GuidePulses plan_angle_pulses(int dx, int dy);

// The share of the error (thousandths of a pixel) along each trained
// vector, in seconds of pulse: `ra` of west, `dec` of north (negative: the
// other way). Vectors that (nearly) line up, or a missing one, fall back to
// projecting on each vector alone.
void split_error(int dx, int dy, double* ra, double* dec);
