#include "display/geometry.h"
#include "display_test_util.h"
#include "star/star_state.h"

#include <csignal>
#include <cstring>
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
