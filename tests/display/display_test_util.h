#pragma once
#include "display/display_pipeline.h"
#include "display/image_store.h"
#include "support/test_env.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class DisplayTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        std::filesystem::create_directories(autosave);
    }
    std::string bmp(const char* name = "Nocteris.bmp") const { return autosave + "/" + name; }
    int write() {
        return write_bmp(reinterpret_cast<char*>(pixels_c), reinterpret_cast<char*>(pixels_bmp),
                         disp.focus_mode, 0);
    }
};

inline unsigned at(const std::string& f, size_t i) {
    return static_cast<unsigned char>(f.at(i));
}

inline std::uint32_t u32(const std::string& f, size_t i) {
    return at(f, i) | at(f, i + 1) << 8 | at(f, i + 2) << 16 | at(f, i + 3) << 24;
}

// Palette entry i of a file or table as {blue, green, red, reserved}.
inline std::vector<unsigned> entry(const std::string& f, int i) {
    return {at(f, 54 + 4 * i), at(f, 55 + 4 * i), at(f, 56 + 4 * i), at(f, 57 + 4 * i)};
}
inline std::vector<unsigned> entry(const unsigned char (*pal)[4], int i) {
    return {pal[i][0], pal[i][1], pal[i][2], pal[i][3]};
}

// The tests' display bytes: distinct along rows and columns, never saturated.
inline unsigned char pattern(int r, int c) {
    return static_cast<unsigned char>((r * 37 + c) % 250);
}

inline void fill_display(int w, int h) {
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) pixels_c[r * w + c] = pattern(r, c);
}
