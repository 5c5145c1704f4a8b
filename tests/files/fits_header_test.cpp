// The FITS card readers and the header parser, on bytes in memory.
#include "files/fits_header.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

namespace {

std::string card(const std::string& text) {
    std::string c = text;
    c.resize(80, ' ');
    return c;
}

TEST(FitsCards, ValuesAreReadAsTheStandardWritesThem) {
    long long i = 0;
    EXPECT_TRUE(fitsread::card_integer(card("NAXIS1  =                 1392 / width").c_str(), i));
    EXPECT_EQ(i, 1392);
    EXPECT_TRUE(fitsread::card_integer(card("BLANK   = +5").c_str(), i));
    EXPECT_EQ(i, 5);
    i = 77;
    for (const char* no : {"NAXIS1  =                 12.5", "NAXIS1  =                 12 3",
                           "NAXIS1  =", "NAXIS1  = 'text'", "NAXIS1   1392"}) {
        EXPECT_FALSE(fitsread::card_integer(card(no).c_str(), i)) << no;
        EXPECT_EQ(i, 77) << no;
    }

    double d = 0.0;
    EXPECT_TRUE(fitsread::card_real(card("BZERO   =   +3.2768000000E+04").c_str(), d));
    EXPECT_EQ(d, 32768.0);
    EXPECT_TRUE(fitsread::card_real(card("XPIXSZ  =   5.4D0 / Fortran exponent").c_str(), d));
    EXPECT_DOUBLE_EQ(d, 5.4);
    d = 1.0;
    EXPECT_FALSE(fitsread::card_real(card("BSCALE  =   nan").c_str(), d));
    EXPECT_FALSE(fitsread::card_real(card("BSCALE  =   1e999").c_str(), d));
    EXPECT_EQ(d, 1.0);

    char s[70];
    EXPECT_TRUE(fitsread::card_string(card("OBJECT  = 'O''Brien''s' / who").c_str(), s, sizeof s));
    EXPECT_STREQ(s, "O'Brien's");
    EXPECT_TRUE(fitsread::card_string(card("OBJECT  =     'later'").c_str(), s, sizeof s));
    EXPECT_STREQ(s, "later");
    EXPECT_TRUE(fitsread::card_string(card("OBJECT  = 'no end").c_str(), s, sizeof s));
    EXPECT_STREQ(s, "no end");
    EXPECT_TRUE(fitsread::card_string(card("OBJECT  = 'no end      x").c_str(), s, sizeof s));
    EXPECT_STREQ(s, "no end      x"); // to column 80
    EXPECT_TRUE(fitsread::card_string(card("OBJECT  = 'cut'").c_str(), s, 3));
    EXPECT_STREQ(s, "cu");
    EXPECT_FALSE(fitsread::card_string(card("OBJECT  = 12").c_str(), s, sizeof s));

    EXPECT_TRUE(fitsread::is_keyword(card("END").c_str(), "END"));
    EXPECT_FALSE(fitsread::is_keyword(card("ENDX").c_str(), "END"));
}

TEST(FitsHeader, ParsesAcrossRecordsAndChecksTheData) {
    std::string h = card("SIMPLE  =                    T") +
                    card("BITPIX  =                  -32") +
                    card("NAXIS   =                    2") +
                    card("NAXIS1  =                   20") + card("NAXIS2  =                   30");
    for (int i = 0; i < 40; ++i) h += card("COMMENT padding");
    h += card("BSCALE  =                  2.0") + card("END");
    h.resize(2 * 2880, ' ');
    const long long data = 20 * 30 * 4;

    fitsread::Header hd;
    std::string why;
    ASSERT_EQ(fitsread::parse_header(h.data(), h.size(), 5760 + data, hd, why),
              fitsread::Verdict::Ok)
        << why;
    EXPECT_EQ(hd.header_bytes, 5760);
    EXPECT_EQ(hd.count, 46);
    EXPECT_EQ(hd.width, 20);
    EXPECT_EQ(hd.height, 30);
    EXPECT_EQ(hd.data_bytes(), data);
    EXPECT_EQ(hd.bscale, 2.0);
    EXPECT_FALSE(hd.offset_16());

    EXPECT_EQ(fitsread::parse_header(h.data(), h.size(), 5760 + data - 1, hd, why),
              fitsread::Verdict::Truncated);
    EXPECT_EQ(why, "cut short: 2399 of 2400 data bytes");
    // A file that ends inside its header has lost its END.
    EXPECT_EQ(fitsread::parse_header(h.data(), 3000, 3000, hd, why), fitsread::Verdict::Truncated);
    EXPECT_EQ(fitsread::parse_header(h.data(), 0, 0, hd, why), fitsread::Verdict::Truncated);
}

TEST(FitsPixels, ConversionKeepsWholeValuesAndScalesTheRest) {
    fitsread::Header h;
    h.bitpix = 16;
    h.width = h.height = 16;
    h.bzero = 32768.0;
    fitsread::PixelConverter own(h);
    EXPECT_FALSE(own.needs_survey());
    const unsigned char be[] = {0x80, 0x00, 0x7f, 0xff, 0x00, 0x01};
    unsigned short out[3];
    own.convert(be, 3, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 65535);
    EXPECT_EQ(out[2], 32769);

    h.bzero = 0.0; // plain signed values
    fitsread::PixelConverter plain(h);
    ASSERT_TRUE(plain.needs_survey());
    plain.survey(be, 3);
    EXPECT_TRUE(plain.scaled());
    EXPECT_EQ(plain.low(), -32768.0);
    plain.convert(be, 3, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 65535);
    EXPECT_EQ(out[2], 32769); // -32768 ... 32767 spread over 0 ... 65535

    // One value only: nothing to spread, every pixel 0.
    h.bitpix = -32;
    fitsread::PixelConverter flat(h);
    const unsigned char half[] = {0x3f, 0x00, 0x00, 0x00, 0x3f, 0x00, 0x00, 0x00}; // 0.5, 0.5
    flat.survey(half, 2);
    EXPECT_TRUE(flat.scaled());
    EXPECT_EQ(flat.factor(), 0.0);
    flat.convert(half, 2, out);
    EXPECT_EQ(out[0], 0);

    // Values near a double's limits: their span overflows, the pixels must not.
    h.bitpix = -64;
    fitsread::PixelConverter wide(h);
    unsigned char ends[24];
    const double values[] = {-1.7e308, 1.7e308, 0.0};
    for (int v = 0; v < 3; ++v) {
        const auto bits = std::bit_cast<std::uint64_t>(values[v]);
        for (int b = 0; b < 8; ++b)
            ends[8 * v + b] = static_cast<unsigned char>(bits >> (56 - 8 * b));
    }
    wide.survey(ends, 3);
    wide.convert(ends, 3, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 65535);
    EXPECT_EQ(out[2], 32768);
}

} // namespace
