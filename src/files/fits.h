#pragma once

// FITS files: the fixed 72-card header this program writes, and the readers,
// which take any two-dimensional image that fits the buffers.

constexpr int FITS_CARD = 80;
constexpr int FITS_CARDS = 72;
constexpr int FITS_HEADER_BYTES = FITS_CARD * FITS_CARDS; // 5760
constexpr int FITS_FIELD_TEXT = 70;

// What the current image is a frame of, as IMAGETYP tells other software.
enum class ImageType { Light, Dark, Flat };

// IMAGETYP's value: "Light", "Dark" or "Flat".
const char* image_type_name(ImageType t);
// Another program's IMAGETYP ("DARK", "Flat Field", "Light Frame"): darks and
// flats by how the text begins, in any case; anything else is a light frame.
ImageType image_type_from(const char* text);

// Detail fields of the current image that the settings file does not keep
// (the kept ones, FITS_Obj and friends, are in `cfg`).
struct FitsState {
    char FITS_Date[FITS_FIELD_TEXT] = "";
    char FITS_Time[FITS_FIELD_TEXT] = "";
    double FITS_Exptime = 0.0;
    // Set by the exposure that made the image, or read from its file.
    ImageType image_type = ImageType::Light;
    int eightbit = 0;
    // Why the last FITS read failed, in a few words; empty after a success.
    char load_error[120] = "";
};

extern FitsState fits;

void reset_fits_state();

// Writes `image` (width1 x height1) as FITS. Returns 0, or 1 when the file
// cannot be made or any piece is written short; an existing file of that name
// is replaced only once the new one is complete.
int SaveFITSFile(const char* path, const unsigned short* image, const char* object,
                 const char* observer, const char* date, const char* telescope,
                 const char* instrument, const char* comment, const char* history, int eightbit);

// Reads a FITS image into `dest` and makes its size the image's size (the
// camera's file lengths stay), restoring the detail fields. Values that are
// not whole numbers 0 ... 65535 are scaled onto that range and the history
// says how. 0 success; 1 unreadable or cut short, 2 refused; either way
// fits.load_error says why and nothing else changed. `mode` is accepted for
// the callers and not used.
int LoadFITSFile(const char* path, int mode, unsigned short* dest);

// The same, pixels only, for a file of the current image's size: the current
// image's geometry and detail fields stay.
int LoadTempFITSFile(const char* path, unsigned short* dest);

// Reads a FITS file of exactly width x height pixels and puts its first
// `count` pixels into `dest`; nothing else changes. 0, 1 or 2 as above.
int LoadFITSPixels(const char* path, int width, int height, unsigned short* dest, long long count);

// The image size a FITS file's header gives; 0, 1 or 2 as the loaders.
int fits_image_size(const char* path, int& width, int& height);

// True when the file begins as every FITS file does ("SIMPLE  =").
bool looks_like_fits(const char* path);

// Empties the detail fields of the current image (before every load).
void ClearFITSInfo();

// Reads a number as "%lf" does in the C locale, whatever the process locale;
// NaN and infinity count as no number. On failure `value` is left alone.
bool fits_parse_number(const char* text, double& value);
