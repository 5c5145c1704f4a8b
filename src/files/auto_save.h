#pragma once
#include <string>

// Automatic FITS saves: after each exposure when `auto_save_fits` is set, and
// on the quick-save command.

// The numbers in use: 1 to 65530.
constexpr int AUTO_SAVE_NUMBERS = 65530;

// The next number after `n`: numbering starts again at 1 from 65530 on.
int next_auto_save_number(int n);

// "IMG17.FIT" for the stem in `files.auto_save_name` and number 17.
std::string auto_save_file_name(int number);

// Stamps the FITS details with the mid-exposure UT (kept as the new start
// time), creates the auto-save folder when missing and writes `image` as
// 16-bit FITS there under the next number whose name is free: an existing
// file is never replaced, the number moves on past it. `cfg.auto_save_num`
// becomes the number used (it advances by one when the save fails). Then
// writes the settings file so that the number survives. Returns 0, 1 when
// the FITS file could not be written, or the settings writer's result.
int auto_save(const unsigned short* image);

// The quick-save command: auto_save of the current image; result 1 shows
// message 49. Returns the auto_save result.
int quick_save_fits();
