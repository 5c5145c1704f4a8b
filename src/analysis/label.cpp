#include "analysis/label.h"

#include "analysis/analysis_state.h"
#include "analysis/label_font.h"
#include "display/image_store.h"
#include "files/fits.h"
#include "platform/messages.h"
#include "settings/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

void label_dialog_init() {
    ana.txtbuffer[0] = '\0';
    ana.auto_date = 1;
}

void label_toggle_auto_date() {
    if (ana.auto_date) {
        ana.auto_date = 0;
        ana.auto_FITS_date = 0;
    } else {
        ana.auto_date = 1;
    }
}

bool label_toggle_fits_date() {
    if (ana.auto_FITS_date) {
        ana.auto_FITS_date = 0;
    } else if (strnlen(fits.FITS_Date, sizeof fits.FITS_Date) < 7) {
        messages(MSG_OWN_TEXT, "Sorry, FITs date not set");
    } else {
        ana.auto_FITS_date = 1;
        ana.auto_date = 1;
    }
    return ana.auto_FITS_date != 0;
}

void set_label_text(const char* text) {
    const std::size_t n = text ? strnlen(text, LABEL_TEXT_MAX) : 0;
    std::memcpy(ana.txtbuffer, text ? text : "", n);
    ana.txtbuffer[n] = '\0';
}

std::string label_time_text(std::time_t now) {
    if (ana.auto_FITS_date) {
        const std::string t(fits.FITS_Time, strnlen(fits.FITS_Time, sizeof fits.FITS_Time));
        const std::string d(fits.FITS_Date, strnlen(fits.FITS_Date, sizeof fits.FITS_Date));
        return " " + t + " UT " + d;
    }
    const std::tm ut = fits_ut_time(now);
    char text[64];
    std::snprintf(text, sizeof text, "  %02d:%02d:%02d UT %02d-%02d-%d ", ut.tm_hour, ut.tm_min,
                  ut.tm_sec, ut.tm_mday, ut.tm_mon + 1, ut.tm_year + 1900);
    return text;
}

std::string label_line(int auto_date, const char* text, const std::string& time_text) {
    const std::string body(text ? text : "", text ? strnlen(text, LABEL_TEXT_MAX) : 0);
    const int room = auto_date ? LABEL_DATE_ROOM : 0;
    const int spaces = (LABEL_LINE_CHARS - static_cast<int>(body.size()) - room) / 2;
    std::string line(spaces >= 1 ? static_cast<std::size_t>(spaces) : 0, ' ');
    line += body;
    if (auto_date) line += time_text;
    return line;
}

void do_label_image(int auto_date, const char* text, unsigned short* image) {
    const long readable = image_pixel_count();
    const int w = disp.width1;
    const int rows = std::min(LABEL_ROWS, disp.height1);
    if (w <= 0 || rows <= 0) return;
    const std::string line =
        label_line(auto_date, text, auto_date ? label_time_text(std::time(nullptr)) : "");

    const long band = std::min<long>(static_cast<long>(w) * rows, readable);
    std::fill(image, image + band, static_cast<unsigned short>(0));
    for (std::size_t k = 0; k < line.size(); ++k) {
        const long left = static_cast<long>(k) * LABEL_GLYPH_WIDTH;
        if (left + LABEL_GLYPH_WIDTH > w) break; // no wrap into the next row
        const unsigned char* glyph = label_glyph(line[k]);
        if (!glyph) continue;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < LABEL_GLYPH_WIDTH; ++c) {
                const long i = static_cast<long>(r) * w + left + c;
                if (i < band) image[i] = (glyph[r] & (0x80 >> c)) ? 65535 : 0;
            }
    }
    for (long i = 0; i < std::min<long>(LABEL_MARKER_PIXELS, band); ++i) image[i] = LABEL_MARKER;
}
