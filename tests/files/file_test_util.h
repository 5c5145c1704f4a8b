#pragma once
#include "display/geometry.h"
#include "display/image_store.h"
#include "display/sensor_state.h"
#include "files/fits.h"
#include "platform/messages.h"
#include "support/test_env.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fnmatch.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

// The image tests run on a camera of the given size, with the geometry and
// the six recognised lengths derived from it.
class ImageFileTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        reset_fits_state();
    }
    void use_camera(int w, int h, int divisor = 16) {
        sensor.cam_width1 = w;
        sensor.cam_height1 = h;
        sensor.cam_divisor = divisor;
        nocteris_binned();
    }
    std::string path(const std::string& name) const { return home + "/" + name; }
    int pixels() const { return disp.width1 * disp.height1; }
    // The texts of the boxes shown so far.
    std::vector<std::string> shown() const {
        std::vector<std::string> out;
        for (const auto& b : ui.boxes) out.push_back(b.text);
        return out;
    }
    std::vector<std::string> said(short code) const { return {message_text(code)}; }
};

inline std::string random_bytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

inline void fill(unsigned short* buf, int n, unsigned short v) {
    for (int i = 0; i < n; ++i) buf[i] = v;
}

// True when every pixel of buf[from, to) equals v.
inline bool all_equal(const unsigned short* buf, int from, int to, unsigned short v) {
    for (int i = from; i < to; ++i)
        if (buf[i] != v) return false;
    return true;
}

inline unsigned byte_at(const std::string& f, std::size_t i) {
    return static_cast<unsigned char>(f.at(i));
}
inline unsigned le16(const std::string& f, std::size_t i) {
    return byte_at(f, i) | byte_at(f, i + 1) << 8;
}
inline unsigned be16(const std::string& f, std::size_t i) {
    return byte_at(f, i) << 8 | byte_at(f, i + 1);
}
inline std::uint32_t le32(const std::string& f, std::size_t i) {
    return le16(f, i) | le16(f, i + 2) << 16;
}

// One 80-column card: "KEYWORD = " and the value right-aligned to column 30.
inline std::string fits_card(const std::string& key, const std::string& value) {
    std::string c = key;
    c.resize(8, ' ');
    c += "= ";
    c += std::string(value.size() < 20 ? 20 - value.size() : 0, ' ') + value;
    c.resize(80, ' ');
    return c;
}

// A 72-card header in this program's card order (the checked cards, BZERO at
// card 36, END after it, the rest blank).
inline std::string fits_header(int bitpix, int naxis, int w, int h, bool unsigned_data) {
    std::string hdr = fits_card("SIMPLE", "T") + fits_card("BITPIX", std::to_string(bitpix)) +
                      fits_card("NAXIS", std::to_string(naxis)) +
                      fits_card("NAXIS1", std::to_string(w)) +
                      fits_card("NAXIS2", std::to_string(h));
    while (hdr.size() < 35 * 80) hdr += std::string(80, ' ');
    std::string bzero =
        unsigned_data ? "BZERO   =   +0.0000000000E+00" : "BZERO   =   +3.2768000000E+04";
    bzero.resize(80, ' ');
    hdr += bzero + "END" + std::string(77, ' ');
    while (hdr.size() < 72 * 80) hdr += std::string(80, ' ');
    return hdr;
}

// A FITS file as other software writes one: the mandatory cards, `extra`
// cards (each padded to 80 columns), END, blank cards to the record's end,
// then `data` and zeros to the record's end.
inline std::string foreign_fits(int bitpix, int w, int h, const std::vector<std::string>& extra,
                                const std::string& data) {
    std::string f = fits_card("SIMPLE", "T") + fits_card("BITPIX", std::to_string(bitpix)) +
                    fits_card("NAXIS", "2") + fits_card("NAXIS1", std::to_string(w)) +
                    fits_card("NAXIS2", std::to_string(h));
    for (std::string c : extra) {
        c.resize(80, ' ');
        f += c;
    }
    f += "END" + std::string(77, ' ');
    f.resize((f.size() + 2879) / 2880 * 2880, ' ');
    f += data;
    f.resize((f.size() + 2879) / 2880 * 2880, '\0');
    return f;
}

// Big-endian values of any width, as FITS data hold them.
template <class T> std::string be_values(const std::vector<T>& values) {
    std::string s;
    for (T v : values) {
        unsigned char b[sizeof(T)];
        std::memcpy(b, &v, sizeof(T));
        for (std::size_t i = sizeof(T); i-- > 0;) s += static_cast<char>(b[i]);
    }
    return s;
}

// Big-endian 16-bit data as a FITS file holds it.
inline std::string be_pixels(const std::vector<unsigned short>& px) {
    std::string s;
    s.reserve(px.size() * 2);
    for (unsigned short v : px) {
        s += static_cast<char>(v >> 8);
        s += static_cast<char>(v & 0xFF);
    }
    return s;
}

// Writes stop at `bytes` for the life of the object, as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &old_action_);
        ::getrlimit(RLIMIT_FSIZE, &old_limit_);
        rlimit small = old_limit_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_limit_);
        ::sigaction(SIGXFSZ, &old_action_, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    struct sigaction old_action_ {};
    rlimit old_limit_{};
};

// Whether a dialog filtering with `patterns` (globs separated by ';') lists a
// file of that name: each glob as it stands, case and all, as the desktop's
// dialogs match them.
inline bool filter_shows(const std::string& patterns, const std::string& name) {
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = patterns.find(';', from);
        const std::string one = patterns.substr(from, end - from);
        if (::fnmatch(one.c_str(), name.c_str(), 0) == 0) return true;
        if (end == std::string::npos) return false;
        from = end + 1;
    }
}

// The process time zone for one test only.
class LocalZone {
  public:
    explicit LocalZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old, had_ = true;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~LocalZone() {
        if (had_)
            ::setenv("TZ", old_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

  private:
    std::string old_;
    bool had_ = false;
};

// Names in a folder (to see that no half-written file is left behind).
inline std::vector<std::string> folder_entries(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}
