#pragma once
#include <cstdint>

// The main camera's guide correction: the star's error from the reference
// (`autoguide.x1` ...) becomes at most one timed pulse per axis.

// The error of a measured position from the reference, in thousandths of a
// pixel (positive when the star stands at smaller coordinates than the
// reference), held at the 16-bit limits so that a far jump stays a jump.
std::int16_t guide_error(int ref, int ref_tenths, int pos, int pos_tenths);

// What one frame asks of the mount, before any pulse goes out.
struct GuidePulses {
    bool jump = false; // more than five pixels: no pulse this frame
    char ra_dir = 0;   // direction letter sent, 0 for none
    int ra_ms = 0;     // pulse length; only sent when positive
    char dec_dir = 0;
    int dec_ms = 0;
};

// The limits and mount parameters one camera's per-axis guiding uses.
struct PulseRules {
    int jump_limit;                  // thousandths of a pixel: beyond, no pulse
    int ra_threshold, dec_threshold; // smallest correction without ignore_small
    int slewx, slewy;                // pixels a second
    int backlashx, backlashy;        // pixels
    int hystx, hysty;                // 100 ms
};
GuidePulses plan_pulses(std::int16_t dx, std::int16_t dy, const PulseRules& rules);

// Keeps a frame's record (`autoguide.frame`): the centroid given, the error
// in `dx`/`dy`, the pulses that will go out and why none could; the last
// pulse lengths (`slew_time_x`/`_y`) follow.
void record_guide_frame(const GuidePulses& p, int x, int y, int xdec, int ydec,
                        const char* skipped);

// One timed pulse through the drive chosen (LX200 or the relays), with the
// beeps before and after; nothing for a length of 0 or less.
void send_guide_pulse(char dir, int ms);

// Works out the pulses for the error (`dx`, `dy`) and updates the per-axis
// reversal memory (`lastslewx`, `lastslewy`); sends nothing. Reversals add
// the trained backlash unless "Ignore Backlash" is set.
GuidePulses plan_guide_pulses(std::int16_t dx, std::int16_t dy);

// The guide star's centroid near (x, y) on the guide window, stored into
// `guide.xcent` ... as find_centre stores it. False when the box held no
// star or could not be measured: the stored position is then an old one.
bool centre_guide_star(int x, int y, const unsigned short* image);

// One frame of main-camera guiding on `image` (the guide window): centroid
// at the reference, the error into `dx`, `dy` (and `x3`, `y3`), then the
// pulses through the mount; a frame whose star could not be measured sends
// none. Always 0.
int guide_telescope(const unsigned short* image);
// The correction by the chosen actuator: the mount with `GuiderMode` 'T',
// else the AO unit.
int guide_command(const unsigned short* image);
