#pragma once

// The camera's autoguider head (CCD 1), read over the same link as the main
// CCD: 8-bit frames of 500 or 376 x 290 pixels held as 16-bit values.

// One row read and discarded, and its frame expanded from 8 bits into
// guider_imageptr.
bool QV_autoguider_clear();
bool QV_autoguider_read();

// The autoguider head's exposure (autoguide.exp_guider_value / exp_guider_range),
// its histogram, dark frame and median filter.
bool QV_guider_camera_read();
// The guider image's 3 x 3 median filter (in place, through guider_trialptr).
void guider_median(unsigned short* img, unsigned short* scratch, int width, int height);
