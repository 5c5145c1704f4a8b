#pragma once

// The native image file: a headerless dump of the 16-bit image, row 0 first,
// each pixel least significant byte first. Files carry no header, so every
// image file is recognised by its length against the six lengths the geometry
// derivation computes (disp.filelen ... disp.filelenfitbinpad).

// Text of message 65 (the message table has none for that number).
extern const char* const BINNED_OPERAND_TEXT;

// Writes `image` (width1 x height1) to `name`. 0 on success; 1 after message
// 17 (the name has no host file) or 19 (not created or not written whole).
// An existing file of that name is replaced only by a complete new one.
int SaveQVFile(const char* name);

// LoadQVFile results. On LOAD_OK the caller prepares the image for display
// and readjusts the scroller.
enum LoadResult {
    LOAD_OK = 0,
    LOAD_REFUSED = 1,     // message shown; image, geometry and details unchanged
    LOAD_FITS_FAILED = 2, // message 13 (with the reason) or 14 shown; image,
                          // geometry and details unchanged
};

// Opens a native file of a recognised length or any FITS image into `image`:
// sets image_name, clears the FITS details, sets binned/bin_type and the
// geometry (a FITS file's own size). Messages 11, 41, 13, 14.
int LoadQVFile(const char* name);

// Opens an operand file into `trial`; the current image, its geometry and its
// details stay as they are. 0 on success, 1 after message 16, 65, 13 or 14.
int LoadQVTempFile(const char* name);

// Reads a full-size native or FITS frame of the current geometry into `dest`
// without any message: 0, or 12 when it cannot be read as such a frame. The automatic calibration
// of camera images uses it.
int load_geometry_frame(const char* name, unsigned short* dest);

// Comparison files are fixed to the 752 x 580 frame of the older camera line.
constexpr long long COMPARISON_NATIVE_BIN = 218080;
constexpr long long COMPARISON_FITS_BIN = 224640;
constexpr long long COMPARISON_NATIVE = 872320;
constexpr long long COMPARISON_FITS = 878880;

// Reads files.ComparisonFileName: native data into `native_dest`, FITS data
// into `fits_dest` (both the comparison buffer). 0 on success, 11 when the
// name has no host file, 12 when the file is not acceptable; on failure the
// buffers are unchanged. Shows no message.
int load_comparison_file(unsigned short* native_dest, unsigned short* fits_dest);

// The comparison command after its pick: points `comparison` at its buffer,
// loads the chosen file and reports 45/46, or sets comparison_loaded.
// Returns the load_comparison_file result.
int load_comparison_image();
