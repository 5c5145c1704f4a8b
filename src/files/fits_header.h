#pragma once

// Reading FITS from any software: the primary header parsed card by card by
// keyword, and its data unit turned into 16-bit pixels. No file access here,
// so the whole reader can be driven from memory.

#include <cstddef>
#include <string>

namespace fitsread {

constexpr int CARD = 80;
constexpr int RECORD = 2880;
// Headers longer than this are refused; other software writes a few records.
constexpr int MAX_HEADER_RECORDS = 64;
constexpr long long MAX_HEADER_BYTES = static_cast<long long>(MAX_HEADER_RECORDS) * RECORD;
// Smaller images would leave the filters and the display without rows to work on.
constexpr int MIN_SIDE = 16;

enum class Verdict { Ok, Refused, Truncated };

struct Header {
    const char* cards = nullptr; // the first card; the header stays in the caller's buffer
    int count = 0;               // cards before END
    long long header_bytes = 0;  // whole records up to and including END's
    int bitpix = 0;
    int width = 0, height = 0;
    double bzero = 0.0, bscale = 1.0;
    bool has_blank = false;
    long long blank = 0;
    // BZERO written as "+0.0000000000E+00": the older unsigned convention,
    // whose 16-bit data are taken as stored.
    bool raw_unsigned = false;

    long long pixels() const { return static_cast<long long>(width) * height; }
    int bytes_per_pixel() const { return (bitpix < 0 ? -bitpix : bitpix) / 8; }
    long long data_bytes() const { return pixels() * bytes_per_pixel(); }
    // The first card before END with this keyword, or null.
    const char* find(const char* keyword) const;
    // The data hold pixel - 32768 as signed 16-bit, as this program writes.
    bool offset_16() const;
};

// Parses the header at the start of `bytes`: the first `n` bytes of a file of
// `file_length` bytes. On Refused or Truncated `why` says what is wrong, in a
// few words ("3-D data", "no END card").
Verdict parse_header(const char* bytes, std::size_t n, long long file_length, Header& h,
                     std::string& why);

// Values of a card, from column 11 to the comment. False when the card holds
// no value of that kind; the output is then left alone.
bool card_integer(const char* card, long long& value);
bool card_real(const char* card, double& value);
// A quoted string: a doubled quote stands for one, a missing closing quote
// takes the text to column 80, trailing spaces are cut. At most max - 1
// characters, always terminated.
bool card_string(const char* card, char* out, std::size_t max);
// The text of a commentary card (HISTORY, COMMENT), columns 9 to 80, trailing
// spaces cut.
std::size_t card_commentary(const char* card, char* out, std::size_t max);

bool is_keyword(const char* card, const char* keyword);

// Turns the data unit into pixels 0 ... 65535. Values that are whole numbers
// in that range are kept exactly; otherwise the range of the data is scaled
// onto it: pixel = (value - low) * factor, rounded. Blank values become 0.
class PixelConverter {
  public:
    explicit PixelConverter(const Header& h);
    // Exactly representable data need no survey; the others need every value
    // seen once before the first convert.
    bool needs_survey() const { return !direct_; }
    void survey(const unsigned char* data, std::size_t pixels);
    void convert(const unsigned char* data, std::size_t pixels, unsigned short* out) const;
    // After the survey: whether the values were scaled, and how.
    bool scaled() const;
    double low() const { return low_; }
    double factor() const;

  private:
    double value(const unsigned char* p, bool& valid) const;
    Header h_;
    bool direct_ = false; // 16-bit data read by bit pattern alone
    unsigned short flip_ = 0;
    bool any_ = false, exact_ = true;
    double low_ = 0.0, high_ = 0.0;
};

} // namespace fitsread
