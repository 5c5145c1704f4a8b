#pragma once

// The label font: 8 x 10 pixel glyphs for 'A'-'Z', 'a'-'z', '0'-'9', '/',
// ' ', '-' and ':'. A glyph is 10 rows from the top; in a row the most
// significant bit is the leftmost pixel.

constexpr int LABEL_GLYPH_WIDTH = 8;
constexpr int LABEL_GLYPH_ROWS = 10;
constexpr int LABEL_GLYPH_COUNT = 66;

// The rows of `c`'s glyph, or null for a character the font does not have.
const unsigned char* label_glyph(char c);

// The characters the font has, in the order above.
const char* label_font_chars();
