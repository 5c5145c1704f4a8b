#pragma once
#include "guiding/guide_correction.h"

class GuideHost;

// Guiding with the camera's guider CCD (500 x 290 frames): the correction
// of one frame, the start on the picked guider star, one cycle, and the
// standalone run. The main exposures' own guiding goes through the
// sequence's hook (sequence_guiding.h).

// Per-axis mode: the main camera's rules with the guider's limits (jump
// 8 px, 0.03 px in both axes) and parameters; the guider's "Ignore
// Backlash" leaves the backlash out. Updates the reversal memory.
GuidePulses plan_guider_pulses(std::int16_t dx, std::int16_t dy);

// One guider frame in `image`: 0, or 3 when the star was lost
// (`guider_guiding_failed` set). The model is used when trained and chosen
// (`guider_use_trained`) and the RA angle is not ignored.
int guider_guide_telescope(const unsigned short* image);
int guider_guide_command(const unsigned short* image);

// 0 started (reference taken, three stabilising corrections), 1 refused
// with its message.
int StartGuiderAutoGuide(GuideHost& host);
// One cycle: a frame, its correction, the window refreshed.
void GuiderAutoGuide(GuideHost& host);
// Command 890: guides until the star is lost or Stop is pressed (or the
// host's stop). Returns GUIDE_DONE, GUIDE_REFUSED or GUIDE_STAR_LOST.
int Guider_Start_Standalone(GuideHost& host);
