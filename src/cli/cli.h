#pragma once
#include <ostream>

// nocteris-cli: the program's file handling without the window. Returns the
// process exit status: 0 done, 1 the work failed, 2 the command line is wrong.
int run_cli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
