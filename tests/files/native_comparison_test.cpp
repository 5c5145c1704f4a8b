#include "file_test_util.h"

#include "files/file_state.h"
#include "files/native_file.h"

namespace {

constexpr int FULL = 752 * 580;
constexpr int BIN = 376 * 290;

class ComparisonTest : public ImageFileTest {
  protected:
    void SetUp() override {
        ImageFileTest::SetUp();
        use_camera(752, 580);
        fill(comparison_int, MAIN_BUFFER_PIXELS, 0xC0DE);
    }
    // Writes the file and picks it as the comparison image.
    void choose(const std::string& bytes) {
        write_file(path("cmp"), bytes);
        std::snprintf(files.ComparisonFileName, sizeof files.ComparisonFileName, "%s",
                      path("cmp").c_str());
    }
    static std::vector<unsigned short> ramp(int n, int step) {
        std::vector<unsigned short> v(n);
        for (int i = 0; i < n; ++i) v[i] = static_cast<unsigned short>(i * step);
        return v;
    }
    static std::string le_pixels(const std::vector<unsigned short>& px) {
        std::string s;
        for (unsigned short v : px) s += {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        return s;
    }
    bool comparison_is(const std::vector<unsigned short>& px, int offset = 0) const {
        for (size_t i = 0; i < px.size(); ++i)
            if (comparison_int[i] != static_cast<unsigned short>(px[i] + offset)) return false;
        return true;
    }
    bool untouched(int from = 0) const {
        return all_equal(comparison_int, from, MAIN_BUFFER_PIXELS, 0xC0DE);
    }
    // The comparison command's outcome: result, boxes, flag.
    void expect_refused(int code = 12) {
        ui.boxes.clear();
        files.comparison_loaded = 0;
        EXPECT_EQ(load_comparison_image(), code);
        EXPECT_EQ(shown(), said(code == 11 ? 45 : 46));
        EXPECT_EQ(files.comparison_loaded, 0);
        EXPECT_TRUE(untouched());
    }
};

TEST_F(ComparisonTest, TheFourLengthsAndTheBinningRule) {
    const auto full = ramp(FULL, 5);
    const auto bin = ramp(BIN, 11);
    const std::string native_full = le_pixels(full);
    const std::string native_bin = le_pixels(bin);
    const std::string fits_full =
        fits_header(16, 2, 752, 580, true) + be_pixels(full) + std::string(800, ' ');
    const std::string fits_bin =
        fits_header(16, 2, 376, 290, true) + be_pixels(bin) + std::string(800, ' ');
    ASSERT_EQ(native_full.size(), COMPARISON_NATIVE);
    ASSERT_EQ(native_bin.size(), COMPARISON_NATIVE_BIN);
    ASSERT_EQ(fits_full.size(), COMPARISON_FITS);
    ASSERT_EQ(fits_bin.size(), COMPARISON_FITS_BIN);

    for (const std::string* f : {&native_full, &fits_full}) {
        fill(comparison_int, MAIN_BUFFER_PIXELS, 0xC0DE);
        choose(*f);
        EXPECT_EQ(load_comparison_image(), 0);
        EXPECT_EQ(files.comparison_loaded, 1);
        EXPECT_EQ(comparison, comparison_int);
        EXPECT_TRUE(comparison_is(full));
        EXPECT_TRUE(untouched(FULL));
    }
    // Binned files only while the current image is binned, full ones only while not.
    for (const std::string* f : {&native_bin, &fits_bin}) {
        fill(comparison_int, MAIN_BUFFER_PIXELS, 0xC0DE);
        choose(*f);
        expect_refused();
        disp.binned = 1;
        EXPECT_EQ(load_comparison_image(), 0);
        EXPECT_TRUE(comparison_is(bin));
        EXPECT_TRUE(untouched(BIN));
        disp.binned = 0;
    }
    disp.binned = 1;
    for (const std::string* f : {&native_full, &fits_full}) {
        fill(comparison_int, MAIN_BUFFER_PIXELS, 0xC0DE);
        choose(*f);
        expect_refused();
    }
}

TEST_F(ComparisonTest, OtherLengthsAreRefused) {
    // The full frame as the FITS writer lays it out (320 bytes of padding).
    choose(fits_header(16, 2, 752, 580, false) + be_pixels(ramp(FULL, 1)) + std::string(320, '\0'));
    expect_refused();
    for (long long len : {0LL, 1LL, COMPARISON_NATIVE - 2, COMPARISON_NATIVE + 2, 872000LL,
                          COMPARISON_FITS + 1, COMPARISON_FITS_BIN - 1}) {
        choose(random_bytes(static_cast<size_t>(len), static_cast<unsigned>(len)));
        expect_refused();
    }
    // Nothing chosen yet, a folder, a drive with no host file.
    files.ComparisonFileName[0] = '\0';
    expect_refused();
    std::filesystem::create_directory(path("folder"));
    std::snprintf(files.ComparisonFileName, sizeof files.ComparisonFileName, "%s",
                  path("folder").c_str());
    expect_refused();
    std::snprintf(files.ComparisonFileName, sizeof files.ComparisonFileName, "q:\\cmp");
    expect_refused(11);
}

TEST_F(ComparisonTest, HeaderChecks) {
    const std::string data = be_pixels(ramp(FULL, 3)) + std::string(800, ' ');
    const std::string bad[] = {
        fits_header(32, 2, 752, 580, true), // four bytes a pixel: more than the file holds
        fits_header(16, 3, 752, 580, true),
        fits_header(16, 2, 376, 580, true),
        fits_header(16, 2, 752, 290, true),
        fits_header(16, 2, 753, 580, true),
        std::string(5760, ' '),
    };
    for (const auto& hdr : bad) {
        choose(hdr + data);
        expect_refused();
    }
    // Random bytes of each accepted length: no crash, no change unless accepted.
    disp.binned = 1;
    choose(random_bytes(COMPARISON_FITS_BIN, 7));
    expect_refused();
    disp.binned = 0;
    choose(random_bytes(COMPARISON_FITS, 8));
    expect_refused();
}

TEST_F(ComparisonTest, BzeroCard) {
    const auto px = ramp(FULL, 9);
    const std::string data = be_pixels(px) + std::string(800, ' ');
    // Exactly "+0.0000000000E+00": unchanged; any other BZERO adds 32768.
    choose(fits_header(16, 2, 752, 580, true) + data);
    EXPECT_EQ(load_comparison_image(), 0);
    EXPECT_TRUE(comparison_is(px));

    std::string hdr = fits_header(16, 2, 752, 580, true);
    auto set_bzero = [&](const char* card) {
        std::string c = card;
        c.resize(80, ' ');
        hdr.replace(35 * 80, 80, c);
    };
    for (const char* card : {"BZERO   =   +3.2768000000E+04", "BZERO   =   +3.2767000000E+04"}) {
        set_bzero(card);
        choose(hdr + data);
        EXPECT_EQ(load_comparison_image(), 0) << card;
        EXPECT_TRUE(comparison_is(px, 32768)) << card;
    }
    // Written as a plain number, or left out, BZERO 0 means signed values.
    std::vector<unsigned short> low(FULL);
    for (int i = 0; i < FULL; ++i) low[i] = static_cast<unsigned short>(i % 32768);
    for (const char* card : {"BZERO   =                    0", ""}) {
        set_bzero(card);
        choose(hdr + be_pixels(low) + std::string(800, ' '));
        EXPECT_EQ(load_comparison_image(), 0) << card;
        EXPECT_TRUE(comparison_is(low)) << card;
    }
}

TEST_F(ComparisonTest, NeverBeyondTheDataOrTheGeometry) {
    const auto px = ramp(FULL, 1);
    // A larger current image: only the pixels read are stored.
    set_image_size(1312, 1024);
    choose(le_pixels(px));
    EXPECT_EQ(load_comparison_image(), 0);
    EXPECT_TRUE(comparison_is(px));
    EXPECT_TRUE(untouched(FULL));

    fill(comparison_int, MAIN_BUFFER_PIXELS, 0xC0DE);
    choose(fits_header(16, 2, 752, 580, true) + be_pixels(px) + std::string(800, ' '));
    EXPECT_EQ(load_comparison_image(), 0);
    EXPECT_TRUE(comparison_is(px));
    EXPECT_TRUE(untouched(FULL));

    // A smaller one: no more pixels than it holds.
    set_image_size(100, 50);
    for (bool fits : {false, true}) {
        fill(comparison_int, MAIN_BUFFER_PIXELS, 0xC0DE);
        choose(fits ? fits_header(16, 2, 752, 580, true) + be_pixels(px) + std::string(800, ' ')
                    : le_pixels(px));
        EXPECT_EQ(load_comparison_image(), 0);
        EXPECT_TRUE(comparison_is(std::vector<unsigned short>(px.begin(), px.begin() + 5000)));
        EXPECT_TRUE(untouched(5000));
    }
}

} // namespace
