#include "display/dib.h"
#include "display/geometry.h"
#include "display_test_util.h"

#include <cstring>
#include <functional>

using DibTest = DisplayTest;

namespace {
void set32(std::string& f, size_t i, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) f[i + k] = static_cast<char>(v >> (8 * k));
}
} // namespace

TEST_F(DibTest, LoadsTheDisplayBitmapTopDownWithItsPalette) {
    disp.colour_palette = 1;
    for (int w : {1390, 1392}) {
        set_image_size(w, 5);
        fill_display(w, 5);
        ASSERT_EQ(write(), BMP_OK);
        Dib d;
        ASSERT_TRUE(load_dib(bmp(), d)) << w;
        ASSERT_EQ(d.width, 1392);
        ASSERT_EQ(d.height, 5);
        ASSERT_EQ(d.pixels.size(), 1392u * 5);
        for (int r = 0; r < 5; ++r)
            for (int c : {0, 1, w - 1}) EXPECT_EQ(d.pixels[r * 1392 + c], pattern(r, c));
        unsigned char pal[256][4];
        display_palette(pal);
        EXPECT_EQ(std::memcmp(d.palette, pal, sizeof pal), 0);
    }
}

TEST_F(DibTest, RejectsAnythingButAnUncompressed8BitBitmapThatFitsItsFile) {
    set_image_size(6, 3); // 8-byte rows
    fill_display(6, 3);
    ASSERT_EQ(write(), BMP_OK);
    const std::string good = read_file(bmp());
    Dib kept;
    ASSERT_TRUE(load_dib(bmp(), kept));

    const std::vector<std::pair<const char*, std::function<void(std::string&)>>> cases = {
        {"empty", [](std::string& f) { f.clear(); }},
        {"magic", [](std::string& f) { f[1] = 'A'; }},
        {"truncated header", [](std::string& f) { f.resize(40); }},
        {"truncated pixels", [](std::string& f) { f.pop_back(); }},
        {"24 bits", [](std::string& f) { f[28] = 24; }},
        {"compressed", [](std::string& f) { set32(f, 30, 1); }},
        {"zero width", [](std::string& f) { set32(f, 18, 0); }},
        {"negative width", [](std::string& f) { set32(f, 18, 0xFFFFFFF0u); }},
        {"zero height", [](std::string& f) { set32(f, 22, 0); }},
        {"absurd size", [](std::string& f) { set32(f, 18, 1u << 30), set32(f, 22, 1u << 30); }},
        {"height past the data", [](std::string& f) { set32(f, 22, 4); }},
        {"offset past the end", [](std::string& f) { set32(f, 10, 0xFFFFFFF0u); }},
        {"offset inside the palette", [](std::string& f) { set32(f, 10, 60); }},
        {"info size past the end", [](std::string& f) { set32(f, 14, 0x7FFFFFFFu); }},
        {"too many colours", [](std::string& f) { set32(f, 46, 257); }},
    };
    for (const auto& [what, spoil] : cases) {
        std::string f = good;
        spoil(f);
        write_file(bmp(), f);
        Dib d = kept;
        EXPECT_FALSE(load_dib(bmp(), d)) << what;
        EXPECT_EQ(d.pixels, kept.pixels) << what << ": a failed load changed the bitmap";
    }
    Dib d;
    EXPECT_FALSE(load_dib(autosave + "/missing.bmp", d));
    EXPECT_FALSE(load_dib(autosave, d));

    // Zero size fields, a short colour table and top-down rows are all valid.
    std::string f = good;
    set32(f, 2, 0), set32(f, 34, 0), set32(f, 46, 2), set32(f, 22, static_cast<std::uint32_t>(-3));
    write_file(bmp(), f);
    ASSERT_TRUE(load_dib(bmp(), d));
    EXPECT_EQ(d.pixels[1], pattern(2, 1)); // the file's first row is now the top
    EXPECT_EQ(d.palette[1][0], 1);
    EXPECT_EQ(d.palette[2][0], 0);
}

TEST_F(DibTest, GuiderBitmapLayoutAndBlackLevel) {
    disp.guider_most_pop = 11; // black level 10
    for (int i = 0; i < 145000; ++i)
        image_guider_int[i] = static_cast<unsigned short>(i / 500 % 200 * 256);
    const unsigned short row0[6] = {5 * 256,   10 * 256 + 255, 11 * 256,
                                    252 * 256, 253 * 256,      0xFFFF};
    std::memcpy(image_guider_int, row0, sizeof row0);
    ASSERT_EQ(write_guider_bmp(), BMP_OK);
    std::string f = read_file(bmp("Nocterisg.bmp"));
    ASSERT_EQ(f.size(), 1078u + 145000);
    const std::uint32_t fields[] = {146078, 0, 1078, 40, 500, 290, 8u << 16 | 1, 0, 0};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(u32(f, 2 + 4 * i), fields[i]) << "field at " << 2 + 4 * i;
    EXPECT_EQ(entry(f, 200), (std::vector<unsigned>{200, 200, 200, 0}));
    Dib d;
    ASSERT_TRUE(load_dib(bmp("Nocterisg.bmp"), d));
    const unsigned char want[6] = {0, 0, 1, 242, 253, 255};
    EXPECT_EQ(std::memcmp(d.pixels.data(), want, 6), 0);
    EXPECT_EQ(d.pixels[289 * 500], 89 - 10);

    // The narrower camera: the file-size field stays, the file still loads.
    disp.guider_cam = 'x';
    disp.guider_width1 = 376;
    disp.guider_pixcount = 376 * 290;
    disp.guider_max_stretch = 1;
    ASSERT_EQ(write_guider_bmp(), BMP_OK);
    f = read_file(bmp("Nocterisg.bmp"));
    ASSERT_EQ(f.size(), 1078u + 376 * 290);
    EXPECT_EQ(u32(f, 2), 146078u);
    ASSERT_TRUE(load_dib(bmp("Nocterisg.bmp"), d));
    EXPECT_EQ(d.width, 376);
    EXPECT_EQ(entry(f, 10), (std::vector<unsigned>{92, 92, 92, 0}));
    EXPECT_EQ(entry(f, 255), (std::vector<unsigned>{255, 255, 255, 0}));
}

namespace {
// An 8-bit bitmap of w x h with pixel (r, c) = pattern(r, c), rows padded to
// four bytes with 0xEE, bottom-up or top-down.
std::string handmade_bmp(int w, int h, bool top_down) {
    const int stride = (w + 3) & ~3;
    std::string f(1078 + static_cast<size_t>(stride) * h, '\0');
    f[0] = 'B', f[1] = 'M';
    set32(f, 10, 1078);
    set32(f, 14, 40);
    set32(f, 18, static_cast<std::uint32_t>(w));
    set32(f, 22, static_cast<std::uint32_t>(top_down ? -h : h));
    set32(f, 26, 8u << 16 | 1);
    for (int i = 0; i < 256; ++i) f[54 + 4 * i] = static_cast<char>(i);
    for (int r = 0; r < h; ++r) {
        const size_t at = 1078 + static_cast<size_t>(top_down ? r : h - 1 - r) * stride;
        for (int c = 0; c < stride; ++c)
            f[at + c] = static_cast<char>(c < w ? pattern(r, c) : 0xEE);
    }
    return f;
}
} // namespace

TEST_F(DibTest, RowsOfAnyWidthComeOutTopDownWithoutTheirPadding) {
    // More rows than one read takes at a time, and rows of every padding.
    for (int w : {5, 6, 7, 8}) {
        for (bool top_down : {false, true}) {
            write_file(bmp(), handmade_bmp(w, 1100, top_down));
            Dib d;
            ASSERT_TRUE(load_dib(bmp(), d)) << w;
            ASSERT_EQ(d.width, w);
            ASSERT_EQ(d.pixels.size(), static_cast<size_t>(w) * 1100);
            bool same = true;
            for (int r = 0; r < 1100; ++r)
                for (int c = 0; c < w; ++c) same = same && d.pixels[r * w + c] == pattern(r, c);
            EXPECT_TRUE(same) << w << (top_down ? " top-down" : " bottom-up");
        }
    }
}

TEST_F(DibTest, EachBitmapKeepsItsOwnPixelsAcrossLoads) {
    // The reader trades buffers with its callers: one's load must never show
    // up in another's bitmap.
    write_file(bmp(), handmade_bmp(8, 4, false));
    Dib first, second;
    ASSERT_TRUE(load_dib(bmp(), first));
    const std::vector<unsigned char> kept = first.pixels;
    write_file(bmp(), handmade_bmp(12, 9, true));
    ASSERT_TRUE(load_dib(bmp(), second));
    ASSERT_TRUE(load_dib(bmp(), second));
    EXPECT_EQ(first.pixels, kept);
    EXPECT_EQ(second.pixels.size(), 12u * 9);
    EXPECT_EQ(second.pixels[12 * 8 + 11], pattern(8, 11));
    ASSERT_TRUE(load_dib(bmp(), first));
    EXPECT_EQ(first.pixels, second.pixels);
}
