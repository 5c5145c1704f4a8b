#pragma once
#include <ostream>
#include <string>

// What every nocteris-cli command that reads or writes an image shares.
namespace cli {

// Loads IN as the Open command would, with the frame size its length names
// (`model` chooses when several fit). Returns the kind of file, or empty
// after an error message.
std::string load(const std::string& path, const std::string& model, std::ostream& err);

// Checks the output name and options before anything is read.
bool check_output(const std::string& dst, bool eight_bit, std::ostream& err);

// Writes `image` in the format the name of `dst` chooses; 0, or 1 after an
// error message.
int write_output(const std::string& dst, bool eight_bit, std::ostream& out, std::ostream& err);

} // namespace cli
