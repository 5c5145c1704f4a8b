#pragma once
#include <ctime>
#include <string>

// Labels: a line of text, optionally followed by the time and date, burnt
// into the top ten rows of the image with the label font, and the marker
// that tells mirroring and the filters to leave that band alone.

constexpr int LABEL_LINE_CHARS = 64; // the line is centred on 64 cells
constexpr int LABEL_DATE_ROOM = 24;  // cells kept for the time text
constexpr unsigned short LABEL_MARKER = 17;
constexpr int LABEL_MARKER_PIXELS = 6;

// Control ids of the label dialog.
namespace label_id {
constexpr int Cancel = 2;
constexpr int AutoDate = 102;
constexpr int FitsDate = 103;
constexpr int Ok = 104;
constexpr int Text = 4090;
} // namespace label_id

// The dialog's opening state: no text, the date on.
void label_dialog_init();
// "Auto Date": off clears both date options, on sets the clock's date.
void label_toggle_auto_date();
// "Use FITs Date": on only when the image has a FITS date (of at least 7
// characters; otherwise message 50 "Sorry, FITs date not set"), and it turns
// the date on too. Returns whether the FITS date is now used.
bool label_toggle_fits_date();
// OK: at most 31 characters of `text` become the label text.
void set_label_text(const char* text);

// The time text: "  HH:MM:SS UT DD-MM-YYYY " of `now` in UT (the PC's clock
// plus FITS_Diff hours), or " ", FITS_Time, " UT ", FITS_Date when the FITS
// date is used.
std::string label_time_text(std::time_t now);

// The line as drawn: spaces to centre at most 31 characters of `text` on 64
// cells (24 of them kept for the date when it is on), the text, then the
// time text when the date is on.
std::string label_line(int auto_date, const char* text, const std::string& time_text);

// Draws the label into the top ten rows of `image` (width1 a row): the band
// is cleared, each character of the font becomes its glyph in white on
// black, any other character stays black, and the first six pixels become
// the marker. Cells past the right edge of the image are not drawn.
void do_label_image(int auto_date, const char* text, unsigned short* image);
