// Labels: the font, the line and its centring, the band drawn into the
// image and its marker, and the dialog's date options.
#include "analysis/analysis_state.h"
#include "analysis/label.h"
#include "analysis/label_font.h"
#include "display/display_pipeline.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "files/fits.h"
#include "settings/settings.h"
#include "support/test_env.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

namespace {

class LabelTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        set_image_size(1392, 1040);
        std::fill(image_int, image_int + disp.intlength, 4000);
    }
    // Whether the 8 x 10 cell starting at column `left` shows glyph `c`.
    static bool cell_shows(int left, char c) {
        const unsigned char* g = label_glyph(c);
        for (int r = 0; r < 10; ++r)
            for (int k = 0; k < 8; ++k) {
                const unsigned short want = (g[r] & (0x80 >> k)) ? 65535 : 0;
                if (r == 0 && left + k < 6) continue; // under the marker
                if (image_int[r * 1392 + left + k] != want) return false;
            }
        return true;
    }
    static bool cell_black(int left) {
        for (int r = 0; r < 10; ++r)
            for (int k = 0; k < 8; ++k)
                if (image_int[r * 1392 + left + k] != 0) return false;
        return true;
    }
};

} // namespace

TEST_F(LabelTest, FontHasItsCharactersEachDrawnOnce) {
    const unsigned char a[10] = {0x00, 0x3C, 0x66, 0x66, 0x7E, 0x66, 0x66, 0x66, 0x66, 0x00};
    EXPECT_EQ(std::memcmp(label_glyph('A'), a, 10), 0);
    std::string expected;
    for (char c = 'A'; c <= 'Z'; ++c) expected += c;
    for (char c = 'a'; c <= 'z'; ++c) expected += c;
    for (char c = '0'; c <= '9'; ++c) expected += c;
    expected += "/ -:";
    EXPECT_EQ(label_font_chars(), expected);

    std::set<std::string> shapes;
    for (char c : expected) {
        const unsigned char* g = label_glyph(c);
        ASSERT_NE(g, nullptr) << c;
        shapes.insert(std::string(reinterpret_cast<const char*>(g), 10));
        if (c != ' ') {
            EXPECT_NE(std::count(g, g + 10, 0), 10) << c << " is blank";
        }
    }
    EXPECT_EQ(shapes.size(), expected.size()) << "two characters share a shape";
    for (char c : {'*', '.', '\0', '\x80', '_'}) EXPECT_EQ(label_glyph(c), nullptr);
}

TEST_F(LabelTest, LineIsCentredWithRoomForTheDate) {
    EXPECT_EQ(label_line(0, "M42", ""), std::string(30, ' ') + "M42");
    EXPECT_EQ(label_line(1, "M42", "<t>"), std::string(18, ' ') + "M42<t>");
    const std::string long_text(40, 'x');
    EXPECT_EQ(label_line(1, long_text.c_str(), ""), std::string(4, ' ') + std::string(31, 'x'))
        << "cut to 31";
    EXPECT_EQ(label_line(0, std::string(62, 'y').c_str(), ""),
              std::string(16, ' ') + std::string(31, 'y'));

    cfg.FITS_Diff = 0;
    std::tm t{};
    t.tm_year = 2015 - 1900, t.tm_mon = 7, t.tm_mday = 9, t.tm_hour = 21, t.tm_min = 5;
    t.tm_sec = 7, t.tm_isdst = -1;
    EXPECT_EQ(label_time_text(std::mktime(&t)), "  21:05:07 UT 09-08-2015 ");
    std::strcpy(fits.FITS_Date, "2014-03-02");
    std::strcpy(fits.FITS_Time, "01:02:03");
    ana.auto_FITS_date = 1;
    EXPECT_EQ(label_time_text(0), " 01:02:03 UT 2014-03-02");
}

TEST_F(LabelTest, ThreeCharactersStartAtColumn240WithTheMarker) {
    do_label_image(0, "M4*", image_int);
    EXPECT_TRUE(cell_shows(240, 'M'));
    EXPECT_TRUE(cell_shows(248, '4'));
    EXPECT_TRUE(cell_black(256)) << "'*' is not in the font";
    EXPECT_TRUE(cell_black(232));
    EXPECT_TRUE(cell_black(264));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(image_int[i], 17) << i;
    EXPECT_EQ(image_int[6], 0);
    EXPECT_EQ(image_int[9 * 1392 + 1391], 0) << "the whole band is cleared";
    EXPECT_EQ(image_int[10 * 1392], 4000) << "row 10 is the image's";

    // Mirroring leaves the labelled band where it is.
    const std::vector<unsigned short> band(image_int, image_int + 10 * 1392);
    image_int[20 * 1392 + 3] = 123;
    mirror_image(image_int, trial_int);
    EXPECT_TRUE(std::equal(band.begin(), band.end(), image_int));
    EXPECT_EQ(image_int[20 * 1392 + 1388], 123);
}

TEST_F(LabelTest, ANarrowImageGetsTheCellsThatFit) {
    set_image_size(100, 8); // 12 whole cells, 8 rows
    std::fill(image_int, image_int + 100 * 20, 4000);
    do_label_image(0, std::string(31, 'H').c_str(), image_int); // from column 128: none fit
    for (int i = 6; i < 800; ++i) ASSERT_EQ(image_int[i], 0) << i;
    EXPECT_EQ(image_int[800], 4000) << "nothing past the image's last row";

    set_image_size(300, 20); // 37 cells: the text starts at cell 16, cells 37 on are cut
    std::fill(image_int, image_int + 300 * 20, 4000);
    do_label_image(0, std::string(31, 'H').c_str(), image_int);
    EXPECT_EQ(image_int[1 * 300 + 16 * 8 + 1], 65535) << "the first H";
    EXPECT_EQ(image_int[1 * 300 + 36 * 8 + 1], 65535) << "the last whole cell";
    for (int x = 296; x < 300; ++x) EXPECT_EQ(image_int[1 * 300 + x], 0) << "a part cell";
    EXPECT_EQ(image_int[10 * 300], 4000) << "no cell wraps into row 10";
}

TEST_F(LabelTest, DateOptionsAndTheTextLimit) {
    ana.auto_date = 0;
    ana.auto_FITS_date = 1;
    std::strcpy(ana.txtbuffer, "old");
    label_dialog_init();
    EXPECT_EQ(ana.auto_date, 1);
    EXPECT_STREQ(ana.txtbuffer, "");

    label_toggle_auto_date();
    EXPECT_EQ(ana.auto_date, 0);
    EXPECT_EQ(ana.auto_FITS_date, 0);
    label_toggle_auto_date();
    EXPECT_EQ(ana.auto_date, 1);

    std::strcpy(fits.FITS_Date, "2015-8");
    EXPECT_FALSE(label_toggle_fits_date());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Sorry, FITs date not set");
    EXPECT_EQ(ui.boxes[0].caption, "Nocteris");
    std::strcpy(fits.FITS_Date, "2015-08-09");
    label_toggle_auto_date(); // off
    EXPECT_TRUE(label_toggle_fits_date());
    EXPECT_EQ(ana.auto_date, 1) << "the FITS date turns the date on";
    EXPECT_FALSE(label_toggle_fits_date());
    EXPECT_EQ(ana.auto_date, 1);

    set_label_text("0123456789012345678901234567890123456789");
    EXPECT_STREQ(ana.txtbuffer, "0123456789012345678901234567890");
    set_label_text(nullptr);
    EXPECT_STREQ(ana.txtbuffer, "");
}
