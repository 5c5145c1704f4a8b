#pragma once
#include <ostream>

// nocteris-cli photometry and label: the photometry window's measurement and
// the Label command on an image file. Exit status 0 done, 1 the file or a
// measurement failed, 2 the command line is wrong.
int cmd_photometry(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
int cmd_label(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
