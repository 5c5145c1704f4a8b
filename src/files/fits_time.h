#pragma once
#include <ctime>

// Time stamps of the FITS detail fields.

// Sets `fits.FITS_Date` ("YYYY-MM-DD") and `fits.FITS_Time` ("HH:MM:SS") to the
// middle of an exposure in UT, taken as the PC's local clock plus
// `cfg.FITS_Diff` hours. Returns the mid-exposure time (whole seconds), which
// the automatic save keeps as the new start time.
std::time_t fits_time_stamps(std::time_t start, std::time_t end);

// A manual FITS save offers today's local date ("20YY-MM-DD") when
// `fits.FITS_Date` is shorter than a full date; a longer date is left alone.
void default_fits_date(std::time_t now);
void default_fits_date();
