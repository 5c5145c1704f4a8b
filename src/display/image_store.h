#pragma once
#include <cstdint>

// The image store: fixed 16-bit buffers allocated once for the whole run, the
// geometry that describes the image in them, and the display state.

constexpr int MAIN_BUFFER_PIXELS = 6000000;
constexpr int GUIDER_BUFFER_PIXELS = 436164;
constexpr int DISPLAY_BYTES = 12000000;
constexpr int BINNED_BYTES = 6000000;
constexpr int GUIDER_DISPLAY_BYTES = 145080;
constexpr int HISTORY_ENTRIES = 17;
constexpr int HISTORY_USED = 15;
constexpr int HISTORY_TEXT = 40;

extern unsigned short image_int[MAIN_BUFFER_PIXELS];
extern unsigned short trial_int[MAIN_BUFFER_PIXELS];
extern unsigned short undo_int[MAIN_BUFFER_PIXELS];
extern unsigned short save_int[MAIN_BUFFER_PIXELS];
extern unsigned short comparison_int[MAIN_BUFFER_PIXELS];
extern unsigned short dark_int[MAIN_BUFFER_PIXELS];
extern unsigned short image_guider_int[GUIDER_BUFFER_PIXELS];
extern unsigned short trial_guider_int[GUIDER_BUFFER_PIXELS];
extern unsigned short guider_darkframe_int[GUIDER_BUFFER_PIXELS];
extern unsigned char pixels_c[DISPLAY_BYTES];
extern unsigned char pixels_bmp[DISPLAY_BYTES];
extern unsigned char binnedimg[BINNED_BYTES];
extern unsigned char guider_pixels[GUIDER_DISPLAY_BYTES];
extern unsigned char guider_bitmap[GUIDER_DISPLAY_BYTES];

// Pointers that routines may redirect for a while (blinking shows the
// comparison image through `image`); handlers reset `image` to `image_int`.
extern unsigned short* image;
extern unsigned short* trial;
extern unsigned short* undo;
extern unsigned short* save;
extern unsigned short* comparison;
extern unsigned short* dark;
extern unsigned short* guider_image;
extern unsigned short* guider_trial;
extern unsigned short* guider_darkframe;
extern unsigned short* guider_imageptr;
extern unsigned short* guider_trialptr;
extern unsigned short* guider_darkframeptr;

void bind_buffers();

// The loops that show the guide window rather than the whole image. The
// star layer owns their flags and installs the query that reports them.
struct GuideWindowUse {
    bool guiding = false;
    bool tracking = false;
    bool training = false;
};
using GuideWindowQuery = GuideWindowUse (*)();

struct DisplayState {
    GuideWindowQuery guide_window_query = nullptr; // none installed: no loop runs
    // Geometry of the image in `image` (derived from the camera model or a file).
    int width1 = 1312;
    int height1 = 1024;
    int width2 = 1311;
    int height2 = 1023;
    int width3 = 2624;
    int width1_10 = 13120;
    int intlength = 1312 * 1024;
    double width1f = 1312.0;
    double height1f = 1024.0;
    double height2f = 1023.0;
    double intlength_f = 1312.0 * 1024.0;
    int process1 = (1312 * 1024 - 13120) / 16;
    std::int16_t divisor = 16;
    int divisorx2 = 32;
    int writefile16 = 1312 * 1024 / 16;
    int width4 = 1312;
    int height4 = 1024;
    int intlength4 = 1312 * 1024 * 2;
    double Pixwidth = 0.0104;
    double Pixheight = 0.0104;
    double FITS_Pixwidth = 0.0104;
    double FITS_Pixheight = 0.0104;
    // Recognised file lengths of the camera's full frame (native and FITS).
    int fullpadding = 0;
    int binpadding = 0;
    int filelen = 0;
    int filelenbin = 0;
    int filelenfit = 0;
    int filelenfitbin = 0;
    int filelenfitpad = 0;
    int filelenfitbinpad = 0;
    // Half the guide (focus) window in image pixels: 64, or 32 binned.
    std::int16_t focus_width1 = 64, focus_height1 = 64;
    int binned = 1; // the settings default; every geometry set-up clears it
    int bin_display = 0;
    int bin_display_quad = 0;

    // Display options; none of them persists between runs.
    int colour_palette = 0;
    int stretch_palette = 0;
    int max_stretch = 0;
    double max_stretch_mult = 25.0;
    int focus_stretch = 14;
    std::int16_t start_stretch = 0;
    unsigned char min_pix = 0;
    unsigned char max_pix = 0;
    int most_pop = 0;
    int focus_mode = 0;
    int focussed = 0;
    int show_crosswires = 0;
    int non_guiding = 0;
    int screen_height = 0;
    int prep_image = 0;
    int back_r = 192, back_g = 192, back_b = 192;
    int back_changed = 0;

    char BMPname_main[40] = "c:\\Autosave\\Nocteris.bmp";
    char BMPname_focus[40] = "c:\\Autosave\\Nocterisf.bmp";
    char BMPname_guide[40] = "c:\\Autosave\\Nocterisg.bmp";

    std::uint16_t stretch_bmp_table[256] = {};
    std::uint32_t table[257] = {};
    char process_info[HISTORY_ENTRIES][HISTORY_TEXT] = {};
    // The history as it was when `undo` was filled, and whether `undo` holds
    // a state the Undo command has not yet gone back to.
    char undo_process_info[HISTORY_ENTRIES][HISTORY_TEXT] = {};
    int undo_ready = 0;
    // Why the pixels are not what the camera saw, e.g. "Incomplete readout:
    // 5 of 9 bytes": written as a HISTORY card; empty for a sound image.
    char damage_note[69] = "";
    char image_name[80] = {};

    // Guider camera display.
    char guider_cam = 's';
    int guider_width1 = 500;
    int guider_pixcount = 500 * 290;
    int guider_max_stretch = 0;
    int guider_stretch = 14;
    int guider_most_pop = 0;
};

extern DisplayState disp;

// Pixels of the current geometry that lie inside the main buffers, and the
// whole rows among them: every whole-image loop stays within these.
long image_pixel_count();
int image_row_count();

// An image labelled by the label command carries a marker in its first row
// (pixels 4 and 5 summing to 34); its first LABEL_ROWS rows hold the label
// band that stretches, filters and mirroring leave alone.
constexpr int LABEL_ROWS = 10;
// `readable` is how many pixels of `img` may be read (at least 6 are needed).
inline bool has_label_marker(const unsigned short* img, long readable) {
    return readable >= 6 && img[4] + img[5] == 34;
}

// Puts the display state back to its start-up values (buffers untouched).
void reset_display_state();

// What the installed query reports; nothing runs when none is installed.
GuideWindowUse guide_window_use();
