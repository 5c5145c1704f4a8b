#include "display/image_store.h"

#include <algorithm>

unsigned short image_int[MAIN_BUFFER_PIXELS];
unsigned short trial_int[MAIN_BUFFER_PIXELS];
unsigned short undo_int[MAIN_BUFFER_PIXELS];
unsigned short save_int[MAIN_BUFFER_PIXELS];
unsigned short comparison_int[MAIN_BUFFER_PIXELS];
unsigned short dark_int[MAIN_BUFFER_PIXELS];
unsigned short image_guider_int[GUIDER_BUFFER_PIXELS];
unsigned short trial_guider_int[GUIDER_BUFFER_PIXELS];
unsigned short guider_darkframe_int[GUIDER_BUFFER_PIXELS];
unsigned char pixels_c[DISPLAY_BYTES];
unsigned char pixels_bmp[DISPLAY_BYTES];
unsigned char binnedimg[BINNED_BYTES];
unsigned char guider_pixels[GUIDER_DISPLAY_BYTES];
unsigned char guider_bitmap[GUIDER_DISPLAY_BYTES];

unsigned short* image = image_int;
unsigned short* trial = trial_int;
unsigned short* undo = undo_int;
unsigned short* save = save_int;
unsigned short* comparison = comparison_int;
unsigned short* dark = dark_int;
unsigned short* guider_image = image_guider_int;
unsigned short* guider_trial = trial_guider_int;
unsigned short* guider_darkframe = guider_darkframe_int;
unsigned short* guider_imageptr = image_guider_int;
unsigned short* guider_trialptr = trial_guider_int;
unsigned short* guider_darkframeptr = guider_darkframe_int;

DisplayState disp;

void bind_buffers() {
    image = image_int;
    trial = trial_int;
    undo = undo_int;
    dark = dark_int;
    save = save_int;
    comparison = comparison_int;
    guider_image = image_guider_int;
    guider_trial = trial_guider_int;
    guider_darkframe = guider_darkframe_int;
    guider_imageptr = image_guider_int;
    guider_trialptr = trial_guider_int;
    guider_darkframeptr = guider_darkframe_int;
}

void reset_display_state() {
    disp = DisplayState{};
}
GuideWindowUse guide_window_use() {
    return disp.guide_window_query ? disp.guide_window_query() : GuideWindowUse{};
}

long image_pixel_count() {
    return std::clamp(disp.intlength, 0, MAIN_BUFFER_PIXELS);
}

int image_row_count() {
    if (disp.width1 <= 0) return 0;
    return std::clamp(disp.height1, 0, MAIN_BUFFER_PIXELS / disp.width1);
}
