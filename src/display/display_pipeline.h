#pragma once

// The display pipeline: the current 16-bit image is reduced to one byte a
// pixel, optionally stretched, written as an 8-bit palettised BMP file and
// read back by the window. Everything works on the globals of image_store.h.

constexpr int BMP_HEADER_BYTES = 1078; // file and info headers plus 256 palette entries
constexpr int FOCUS_SIDE = 128;
constexpr int FOCUS_PIXELS = FOCUS_SIDE * FOCUS_SIDE;
constexpr int GUIDER_ROWS = 290;

// Result codes of write_bmp and write_guider_bmp.
constexpr int BMP_OK = 0;
constexpr int BMP_CREATE_FAILED = 1;
constexpr int BMP_HEADER_SHORT = 2;
constexpr int BMP_PIXELS_SHORT = 3;

// 16-bit to 8-bit: dst[k] = high byte of pixel k. `src` is the image's byte
// address plus one, so src[2k] is that high byte. Converts 16,384 pixels for
// a focus frame or while guiding, else `intlength`. `geo` is accepted for the
// callers; the geometry globals already describe the image.
void setup_image(const char* src, char* dst, int focus, int geo);

// setup_image of the current `image` into `pixels_c`, focus flag `focus_mode`.
void DisplayImage();

// Writes the display bitmap file from the display bytes in `src` (pixels_c),
// staging the rows in `dst` (pixels_bmp). Both must be DISPLAY_BYTES long.
// With the display stretch on, `src` is stretched in place. One pass over the
// bytes after the scan for the levels, and the file in one write. Returns
// BMP_OK, BMP_CREATE_FAILED, BMP_HEADER_SHORT or BMP_PIXELS_SHORT.
int write_bmp(char* src, char* dst, int focus, int geo);

// The display palette for the current options (colour_palette,
// stretch_palette, max_stretch, most_pop), in BMP order: blue, green, red, 0.
void display_palette(unsigned char out[256][4]);

// The gamma table behind the automatic contrast palette: 0 up to `most_pop`,
// then rising to 255 at most_pop + 255.
void gamma_table(int most_pop, unsigned char out[256]);

// The display stretch, applied in place to the display bytes (16,384 for a
// focus frame, else `intlength`). Bytes 253..255 are left alone.
void setup_stretched_bmp(char* pixels);

// Background level from the fixed window of pixels 10,240..25,599.
void find_most_pop(const unsigned short* image);

// Histogram of the image into `table` and `most_pop` from its three highest
// bins; called at the end of every paint.
void build_histogram(const unsigned short* image);

// Writes the guider display bitmap `BMPname_guide` from `guider_imageptr`.
// Same result codes as write_bmp.
int write_guider_bmp();

// Reverses every row from row 10 (when pixels 4 and 5 sum to 34) or row 0,
// using `trial` as scratch.
void mirror_image(unsigned short* image, unsigned short* trial);

// The file the window loads after a rebuild: the focus bitmap while guiding or
// training, else the main one (DOS-style name, see platform::host_path).
const char* shown_bitmap_name();

// The core of the window's write_bitmap: resets `image`, finds the background
// when the contrast palette is on, writes the bitmap from pixels_c and shows
// message 8, 9 or 10 on failure. Returns the write_bmp code.
int write_display_bitmap();
