#pragma once

// FITS files: the fixed 72-card header this program writes, and the readers
// that accept exactly that layout for the camera's frame size.

constexpr int FITS_CARD = 80;
constexpr int FITS_CARDS = 72;
constexpr int FITS_HEADER_BYTES = FITS_CARD * FITS_CARDS; // 5760
constexpr int FITS_FIELD_TEXT = 70;

// Detail fields of the current image that the settings file does not keep
// (the kept ones, FITS_Obj and friends, are in `cfg`).
struct FitsState {
    char FITS_Date[FITS_FIELD_TEXT] = "";
    char FITS_Time[FITS_FIELD_TEXT] = "";
    double FITS_Exptime = 0.0;
    int eightbit = 0;
};

extern FitsState fits;

void reset_fits_state();

// Writes `image` (width1 x height1) as FITS. Returns 0, or 1 when the file
// cannot be made or any piece is written short; an existing file of that name
// is replaced only once the new one is complete.
int SaveFITSFile(const char* path, const unsigned short* image, const char* object,
                 const char* observer, const char* date, const char* telescope,
                 const char* instrument, const char* comment, const char* history, int eightbit);

// Reads a file of this program's layout into `dest`, restoring the detail
// fields. 0 success, 1 unreadable or truncated, 2 not ours or not this
// camera's size. `mode` is accepted for the callers and not used.
int LoadFITSFile(const char* path, int mode, unsigned short* dest);

// The same, pixels only: the current image's detail fields stay.
int LoadTempFITSFile(const char* path, unsigned short* dest);

// Empties the detail fields of the current image (before every load).
void ClearFITSInfo();

// Reads a number as "%lf" does in the C locale, whatever the process locale;
// NaN and infinity count as no number. On failure `value` is left alone.
bool fits_parse_number(const char* text, double& value);
