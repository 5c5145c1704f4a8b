#pragma once
#include <cstdint>

// The adaptive-optics unit. Serial mode: 7-character commands ("G" tip-tilt
// step or "M" pulse through the unit's mount output, a direction letter N,
// S, T (east) or W, five digits) and "K" (centre), on the camera's serial
// port `AOUnit_comport` or on the PC port when it is 3 or more; the unit
// never answers. Parallel mode: one code byte on the guide socket.

constexpr int AO_TRAVEL = 80;       // the tracked position stays inside +/- this
constexpr int AO_STEP_LIMIT = 82;   // a step that would reach this is not tracked
constexpr int AO_OFFLOAD_FROM = 50; // beyond this the mount takes over
constexpr std::uint32_t AO_OFFLOAD_EVERY_MS = 700;
constexpr int AO_MANUAL_STEPS = 100; // one press of a dialog arrow

// Parallel codes: each direction clears one bit of the idle code.
constexpr unsigned char AO_CODE_EAST = 7;
constexpr unsigned char AO_CODE_NORTH = 11;
constexpr unsigned char AO_CODE_SOUTH = 13;
constexpr unsigned char AO_CODE_WEST = 14;
constexpr unsigned char AO_CODE_IDLE = 15;
constexpr unsigned char AO_CODE_RESET = 0;

// Sends the first `length` bytes of `AOUnitcommand` by the chosen mode and
// route; in serial mode 50 ms follow for the unit.
void AOUnitWrite(int length);

// One guiding correction of `AOUnitslew_time` towards `AOUnitslewdir`, with
// the travel limits, `AOUnit_failed` and the mount offload.
void AOUnit_slew();
// A dialog arrow's move: through the unit's mount output in serial mode.
void AOUnit_move();
// A run's start, or the port chosen again: a PC port that would not open
// is tried (and its failure said) once more.
void AOUnit_retry_port();
// Sends the unit back by its tracked position (end of an AO guiding run).
void AOUnit_reset();
// Brings the unit to its centre; the tracked position becomes 0.
void CentraliseAOUnit();
