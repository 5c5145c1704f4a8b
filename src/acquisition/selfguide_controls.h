#pragma once
#include <cstdint>

// The camera dialog's self-guiding switches and the guiding start, on the
// globals they edit.

// Self-guiding corrects after every image, so an exposure must stay under
// twelve seconds: 'q' below 12000, 'h' below 1200, 't' below 120, 's'
// below 12; never in minutes, and never a value below 1.
bool selfguiding_exposure_ok(char range, int value);

// Results of the two switches.
enum class SelfGuideResult { Off, On, Refused, TooLong };

// "Self Guiding" (135): off when on; switching on takes the current exposure
// when short enough (and remembers it), else the remembered one; beeps. Not
// while the guider camera guides on its own (message 59).
SelfGuideResult set_self_guiding();
// "Self Guiding Dark Frame" (138): toggles the dark-frame variant; on also
// switches self-guiding on with the frame-switch flags of the read-out
// mode, off switches self-guiding off. Not while the guider camera guides
// on its own (message 59).
SelfGuideResult set_self_guiding_darkframe();

// The exposure of the self-guided frames for the sequence start, ms: the
// remembered exposure, or 100 with the dark-frame variant.
std::uint32_t selfguiding_exposure_ms();

// "Start Guiding" (15) with the exposure field's text: needs a picked star
// (else message 53) and a non-zero exposure in the field. Then the field's
// value is the exposure, a short exposure leaves interlaced high
// resolution, `startguiding` is set and the dialog may close, so that the
// camera start hands over to the main window's guiding. False when nothing
// changed.
bool start_auto_guide(const char* typed);
