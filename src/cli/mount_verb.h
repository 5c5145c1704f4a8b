#pragma once
#include <ostream>

// nocteris-cli mount: the telescope dialog's GoTo, move pad and focus bar,
// and the guide pulse, without the window. Returns the exit status: 0 done,
// 1 no connection to the mount or the mount refused, 2 the command line is
// wrong (nothing sent).
int cmd_mount(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
