#pragma once
#include <ostream>

// nocteris-cli capture: the camera's exposure sequence without the window,
// for unattended sessions. Returns the exit status: 0 the images were taken,
// 1 no camera was found or the run reported a failure (a transfer, a
// correction, the stacking or a save), 2 the command line is wrong.
int cmd_capture(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// What Ctrl+C does (and what tests call in its place): the running capture
// stops once the current image is read, calibrated and saved.
void capture_interrupt();
