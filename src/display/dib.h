#pragma once
#include <string>
#include <vector>

// An 8-bit palettised bitmap as the window shows it.
struct Dib {
    int width = 0;
    int height = 0;
    unsigned char palette[256][4] = {}; // blue, green, red, 0 (file order)
    std::vector<unsigned char> pixels;  // top-down rows of `width` bytes, no padding
};

// Reads an uncompressed 8-bit BMP file (a host path). Anything else, or a
// file whose sizes and offsets do not fit inside it, gives false and leaves
// `out` as it was.
bool load_dib(const std::string& host_path, Dib& out);
