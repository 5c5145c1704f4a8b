#pragma once

// Baseline grey TIFF, little-endian, uncompressed, in `divisor` strips.
//
// Layout for d strips: 8-byte header, a 13-entry directory at 8, the next-
// directory word at 166, the X and Y resolutions at 170 and 178, d strip
// offsets at 186, d strip byte counts at 186 + 4d and the pixels from
// 186 + 8d. With one strip the offset and count also stand in the directory.
//
// When d does not divide height1 the strips hold ceil(height1 / d) rows each
// and the last one the rest (so there may be fewer than d strips); the
// directory then describes exactly the data written.

constexpr int TIFF_DIRECTORY_END = 186;

// Writes `image` (width1 x height1) to `path`: 16 bits a sample when
// `sixteen_bit` is set, else each pixel's high byte. 0 on success, 1 when the
// file cannot be made or written whole (a previous file stays intact).
int SaveTifFile(const char* path, const unsigned short* image, int sixteen_bit);
