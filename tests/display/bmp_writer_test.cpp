#include "display/geometry.h"
#include "display_test_util.h"
#include "star/star_state.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <random>
#include <sys/resource.h>

using BmpWriterTest = DisplayTest;

TEST_F(BmpWriterTest, SetupImageTakesHighBytesOfTheImageOrOfAFocusFrame) {
    set_image_size(3, 2);
    const unsigned short px[6] = {4863, 65535, 255, 256, 0, 0x7F01};
    std::memcpy(image_int, px, sizeof px);
    std::memset(pixels_c, 0xEE, FOCUS_PIXELS + 1);
    DisplayImage();
    const unsigned char want[7] = {18, 255, 0, 1, 0, 0x7F, 0xEE};
    EXPECT_EQ(std::memcmp(pixels_c, want, 7), 0);
    for (int* flag : {&disp.focus_mode, &guide.guiding}) {
        *flag = 1;
        image_int[FOCUS_PIXELS - 1] += 0x100;
        DisplayImage();
        EXPECT_EQ(pixels_c[FOCUS_PIXELS - 1], image_int[FOCUS_PIXELS - 1] >> 8);
        EXPECT_EQ(pixels_c[FOCUS_PIXELS], 0xEE);
        *flag = 0;
    }
}

TEST_F(BmpWriterTest, FullSizeHeaderIsExactAndRowsArePaddedBottomUp) {
    // 4,176 pixel bytes do not split evenly into 16 chunks: the remainder counts.
    set_image_size(1390, 3);
    fill_display(1390, 3);
    ASSERT_EQ(write(), BMP_OK);
    const std::string f = read_file(bmp());
    ASSERT_EQ(f.size(), 1078u + 1392 * 3);
    const unsigned char header[54] = {'B', 'M', 0x86, 0x14, 0, 0, 0,    0,    0, 0, 0x36, 0x04,
                                      0,   0,   40,   0,    0, 0, 0x70, 0x05, 0, 0, 3,    0,
                                      0,   0,   1,    0,    8, 0, 0,    0,    0, 0, 0x50, 0x10};
    EXPECT_EQ(std::memcmp(f.data(), header, 54), 0);
    EXPECT_EQ(entry(f, 128), (std::vector<unsigned>{128, 128, 128, 0}));
    for (int row = 0; row < 3; ++row) {
        const size_t start = 1078 + row * 1392;
        for (int c : {0, 1, 1389}) EXPECT_EQ(at(f, start + c), pattern(2 - row, c));
        EXPECT_EQ(at(f, start + 1390) + at(f, start + 1391), 0u);
    }
    zq_geometry(); // intlength runs past 752 x 580; the bitmap does not
    ASSERT_EQ(write(), BMP_OK);
    EXPECT_EQ(read_file(bmp()).size(), 1078u + 752 * 580);
}

TEST_F(BmpWriterTest, HalfAndQuarterSizesSampleEveryNthByteOfEveryNthRow) {
    set_image_size(1390, 8);
    fill_display(1390, 8);
    for (int step : {2, 4}) {
        (step == 2 ? disp.bin_display : disp.bin_display_quad) = 1;
        ASSERT_EQ(write(), BMP_OK);
        const std::string f = read_file(bmp());
        const int w = 1390 / step, stride = w + 1, h = 8 / step;
        ASSERT_EQ(f.size(), 1078u + stride * h);
        EXPECT_EQ(u32(f, 18), unsigned(stride));
        EXPECT_EQ(u32(f, 22), unsigned(h));
        for (int j = 0; j < h; ++j) {
            const size_t start = 1078 + (h - 1 - j) * stride;
            for (int c : {0, 1, w - 1}) EXPECT_EQ(at(f, start + c), pattern(step * j, step * c));
            EXPECT_EQ(at(f, start + w), 0u);
        }
    }
}

TEST_F(BmpWriterTest, FocusFramesAndTrackingGoToTheFocusFile) {
    disp.focus_mode = 1;
    for (int r = 0; r < 128; ++r) std::memset(pixels_c + r * 128, r + 1, 128);
    pixels_c[5] = 253;
    ASSERT_EQ(write(), BMP_OK);
    EXPECT_EQ(disp.focussed, 1);
    EXPECT_FALSE(std::filesystem::exists(bmp()));
    std::string f = read_file(bmp("Nocterisf.bmp"));
    ASSERT_EQ(f.size(), 17462u);
    EXPECT_EQ(u32(f, 2), 17462u);
    EXPECT_EQ(u32(f, 34), 16384u);
    EXPECT_EQ(disp.min_pix, 1);
    EXPECT_EQ(disp.max_pix, 128);
    // Stretched, still bottom-up: the top image row held min_pix and goes last.
    EXPECT_EQ(at(f, 1078 + 127 * 128), 0u);
    EXPECT_EQ(at(f, 1078 + 127 * 128 + 5), 253u);

    disp.focus_mode = 0;
    set_image_size(8, 2);
    for (int* flag : {&guide.tracking, &guide.training}) {
        *flag = 1;
        ASSERT_EQ(write(), BMP_OK);
        EXPECT_EQ(read_file(bmp("Nocterisf.bmp")).size(), 1078u + 16);
        *flag = 0;
    }
    guide.guiding = 1; // writes the main file but shows the focus one
    ASSERT_EQ(write(), BMP_OK);
    EXPECT_EQ(read_file(bmp()).size(), 1078u + 16);
    EXPECT_STREQ(shown_bitmap_name(), disp.BMPname_focus);
}

TEST_F(BmpWriterTest, PaletteFollowsFalseColourAndAutoContrast) {
    unsigned char pal[256][4];
    disp.colour_palette = 1;
    display_palette(pal);
    EXPECT_EQ(entry(pal, 128), (std::vector<unsigned>{0, 64, 128, 0}));
    EXPECT_EQ(entry(pal, 250), (std::vector<unsigned>{250, 250, 250, 0}));

    disp.colour_palette = 0;
    disp.stretch_palette = 1;
    disp.most_pop = 40;
    display_palette(pal);
    for (int i = 0; i <= 40; ++i) EXPECT_EQ(pal[i][1], 0) << i;
    EXPECT_EQ(entry(pal, 41), (std::vector<unsigned>{48, 48, 48, 0}));
    EXPECT_EQ(pal[255][1], 242);

    // In the file; a negative level counts as 0, where the curve ends at 255.
    set_image_size(4, 1);
    disp.most_pop = -7;
    ASSERT_EQ(write(), BMP_OK);
    EXPECT_EQ(disp.most_pop, 0);
    EXPECT_EQ(entry(read_file(bmp()), 255), (std::vector<unsigned>{255, 255, 255, 0}));
}

TEST_F(BmpWriterTest, DisplayStretchLiftsFaintBytesAndLeavesSaturatedOnes) {
    set_image_size(8, 1);
    const unsigned char in[8] = {0, 10, 18, 252, 253, 254, 255, 1};
    auto stretched = [&](int min_pix, int start) {
        std::memcpy(pixels_c, in, 8);
        disp.min_pix = static_cast<unsigned char>(min_pix);
        disp.start_stretch = static_cast<short>(start);
        setup_stretched_bmp(reinterpret_cast<char*>(pixels_c));
        return std::vector<unsigned>(pixels_c, pixels_c + 8);
    };
    EXPECT_EQ(stretched(0, 0), (std::vector<unsigned>{0, 128, 167, 254, 253, 254, 255, 22}));
    EXPECT_EQ(stretched(5, 3)[2], 128u);     // both offsets come off before the curve
    EXPECT_EQ(stretched(5, -1000)[0], 254u); // saturates rather than index past the curve

    // The focus frame: its own strength, no start offset, exactly 16,384 bytes.
    disp.focus_mode = 1;
    disp.start_stretch = 3;
    disp.min_pix = 0;
    std::memset(pixels_c, 10, FOCUS_PIXELS + 1);
    setup_stretched_bmp(reinterpret_cast<char*>(pixels_c));
    EXPECT_EQ(pixels_c[FOCUS_PIXELS - 1], 92);
    EXPECT_EQ(pixels_c[FOCUS_PIXELS], 10);
}

namespace {
// A soft file-size limit, so that writes come up short.
struct FileSizeLimit {
    rlimit old{};
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit lim = old;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
};
} // namespace

TEST_F(BmpWriterTest, FailuresReportTheirStage) {
    set_image_size(100, 30);
    {
        FileSizeLimit limit(1000);
        EXPECT_EQ(write(), BMP_HEADER_SHORT);
        EXPECT_EQ(write_guider_bmp(), BMP_HEADER_SHORT);
    }
    {
        FileSizeLimit limit(2000);
        EXPECT_EQ(write(), BMP_PIXELS_SHORT);
        EXPECT_EQ(write_guider_bmp(), BMP_PIXELS_SHORT);
    }
    set_image_size(5000, 3000); // beyond the display buffers: refused, not overrun
    EXPECT_EQ(write(), BMP_PIXELS_SHORT);
    std::strcpy(disp.BMPname_main, "d:\\Nocteris.bmp");
    EXPECT_EQ(write(), BMP_CREATE_FAILED);

    std::strcpy(disp.BMPname_main, "c:\\Autosave\\Nocteris.bmp");
    std::filesystem::remove_all(autosave);
    write_file(autosave, "not a folder");
    EXPECT_EQ(write_guider_bmp(), BMP_CREATE_FAILED);
    EXPECT_EQ(write_display_bitmap(), BMP_CREATE_FAILED);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Failed to create temp bitmap");
}

namespace {

// What the writer produces: the file, the display bytes it stretched in
// place, the staged rows and the levels it found.
struct Written {
    std::string file;
    std::vector<unsigned char> display, rows;
    int min_pix = 0, max_pix = 0, most_pop = 0;
};

// The writer step by step, as first built: scan the levels, stretch, stage
// the rows bottom-up, then header, palette and rows.
Written step_by_step(int focus) {
    std::vector<unsigned char> px(pixels_c, pixels_c + DISPLAY_BYTES);
    int w = disp.width1, h = disp.height1, step = 1, stride = disp.width1;
    if (focus) {
        w = h = stride = FOCUS_SIDE;
    } else if (disp.bin_display_quad) {
        w /= 4, h /= 4, step = 4;
    } else if (disp.bin_display) {
        w /= 2, h /= 2, step = 2;
    }
    const int pad = (4 - w % 4) % 4, row = w + pad, total = row * h;
    const int n = focus ? FOCUS_PIXELS : std::min(disp.intlength, DISPLAY_BYTES);
    if (disp.stretch_palette || disp.max_stretch || focus) {
        disp.most_pop = std::max(0, disp.most_pop);
        if (disp.max_stretch || focus) {
            int lo = 255, hi = 0;
            for (int i = 0; i < n; ++i) {
                if (px[i] < 253 && px[i] > hi) hi = px[i];
                if (px[i] > 0 && px[i] < lo) lo = px[i];
            }
            disp.min_pix = static_cast<unsigned char>(lo);
            disp.max_pix = static_cast<unsigned char>(hi);
            setup_stretched_bmp(reinterpret_cast<char*>(px.data()));
        }
    }
    Written out;
    out.rows.assign(total, 0);
    for (int j = 0; j < h; ++j)
        for (int c = 0; c < w; ++c)
            out.rows[(h - 1 - j) * row + c] = px[(step * j) * stride + step * c];
    unsigned char header[BMP_HEADER_BYTES] = {'B', 'M'};
    auto put = [&](int at, unsigned v, int bytes) {
        for (int i = 0; i < bytes; ++i) header[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put(2, total + BMP_HEADER_BYTES, 4);
    put(10, BMP_HEADER_BYTES, 4);
    put(14, 40, 4);
    put(18, row, 4);
    put(22, h, 4);
    put(26, 1, 2);
    put(28, 8, 2);
    put(34, total, 4);
    display_palette(reinterpret_cast<unsigned char(*)[4]>(header + 54));
    out.file.assign(reinterpret_cast<char*>(header), BMP_HEADER_BYTES);
    out.file.append(out.rows.begin(), out.rows.end());
    out.display = std::move(px);
    out.min_pix = disp.min_pix;
    out.max_pix = disp.max_pix;
    out.most_pop = disp.most_pop;
    return out;
}

// Display bytes of the middle range with a few of every special value, and
// the darkest and brightest levels only in the last bytes, where a scan that
// works in blocks has its remainder.
void fill_random(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> mid(30, 200), any(0, n - 3);
    for (int i = 0; i < n; ++i) pixels_c[i] = static_cast<unsigned char>(mid(rng));
    for (int v : {0, 253, 254, 255, 0, 255})
        for (int k = 0; k < 5; ++k) pixels_c[any(rng)] = static_cast<unsigned char>(v);
    pixels_c[n - 2] = 231;
    pixels_c[n - 1] = 9;
}

} // namespace

TEST_F(BmpWriterTest, OnePassWriterMatchesTheStepByStepOneByteForByte) {
    struct Case {
        const char* what;
        int w, h;
        std::function<void()> set;
        std::function<void()> darken = [] {};
    };
    const Case cases[] = {
        {"largest sensor, display stretch and contrast palette", 2456, 2064,
         [] { disp.max_stretch = disp.stretch_palette = 1, disp.most_pop = 35; }},
        {"padding of 2, false colour, stretch", 1390, 7,
         [] { disp.max_stretch = disp.colour_palette = 1, disp.start_stretch = 4; }},
        {"half size with a row left over, padding of 1", 1391, 9,
         [] { disp.max_stretch = disp.bin_display = 1, disp.max_stretch_mult = 7.5; }},
        {"quarter size, contrast palette without the stretch", 1389, 11,
         [] { disp.bin_display_quad = disp.stretch_palette = 1, disp.most_pop = -3; }},
        {"focus frame", 300, 300, [] { disp.focus_mode = 1; }},
        {"the older line: the stretch runs four bytes past the rows", 0, 0,
         [] { zq_geometry(), disp.max_stretch = 1; }},
        {"the stretch stops short of the rows", 100, 10,
         [] { disp.intlength = 993, disp.max_stretch = 1; }},
        {"no options", 1000, 3, [] {}},
        {"all black: no level above 0", 1000, 3, [] { disp.max_stretch = 1; },
         [] { std::memset(pixels_c, 0, 3000); }},
        {"all saturated: no level below 253", 1000, 3, [] { disp.max_stretch = 1; },
         [] {
             std::memset(pixels_c, 254, 3000);
             pixels_c[17] = pixels_c[2999] = 255;
         }},
    };
    const DisplayState start = disp;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        disp = start;
        if (c.w) set_image_size(c.w, c.h);
        c.set();
        fill_random(std::max(disp.intlength, FOCUS_PIXELS), 17);
        c.darken();
        const DisplayState before = disp;
        const Written want = step_by_step(disp.focus_mode);
        disp = before;

        ASSERT_EQ(write(), BMP_OK);
        const std::string file = read_file(bmp(disp.focus_mode ? "Nocterisf.bmp" : "Nocteris.bmp"));
        ASSERT_EQ(file.size(), want.file.size());
        EXPECT_TRUE(file == want.file);
        EXPECT_EQ(std::memcmp(pixels_c, want.display.data(), DISPLAY_BYTES), 0);
        EXPECT_EQ(std::memcmp(pixels_bmp, want.rows.data(), want.rows.size()), 0);
        EXPECT_EQ(disp.min_pix, want.min_pix);
        EXPECT_EQ(disp.max_pix, want.max_pix);
        EXPECT_EQ(disp.most_pop, want.most_pop);
    }
}
