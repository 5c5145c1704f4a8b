#pragma once
#include <ostream>

// nocteris-cli guide: Start Guiding (optionally after the simple training)
// on the main camera without the window. Returns the exit status: 0 done,
// 1 no camera, no telescope drive, no star or the star lost, 2 a wrong
// command line, 130 stopped by Ctrl+C.
int cmd_guide(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
