#pragma once

// Guide corrections through the AO unit: the star's error from the
// reference (`autoguide.x1` ...) becomes tip-tilt steps, `AOUnit_slewx` and
// `AOUnit_slewy` steps a pixel, sent with AOUnit_slew.

constexpr int AO_GUIDE_LOST = 3; // the star could not be measured

// Main camera, on the guide window `image`. Returns 0, or AO_GUIDE_LOST
// (also setting `guider_guiding_failed`) when the centroid failed: no step
// goes out on a stale position.
int guide_AOUnit(const unsigned short* image);
// The same on a guider-camera frame with the `guider_` centroid.
int guider_guide_AOUnit(const unsigned short* image);
