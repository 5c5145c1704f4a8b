#include "settings/ini_file.h"

#include "display/image_store.h"
#include "platform/host_path.h"
#include "platform/messages.h"
#include "settings/settings.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int CARD = 80;
constexpr int CARD_KEY = 11;  // "OBJECT  = '"
constexpr int CARD_TEXT = 68; // what fits between the key and the closing "'"
constexpr int LONG_CARDS = 4;
constexpr int LAST_LONG_PART = 51; // of the fourth history or comment card

// ---- writing ----

class Out {
  public:
    explicit Out(unsigned char* buf) : buf_(buf) {}

    void bytes(const void* p, int n) {
        std::memcpy(buf_ + pos_, p, n);
        pos_ += n;
    }
    void i16(int v) {
        const auto u = static_cast<std::uint16_t>(v);
        const unsigned char b[2] = {static_cast<unsigned char>(u & 0xFF),
                                    static_cast<unsigned char>(u >> 8)};
        bytes(b, 2);
    }
    void yn(int v) { ch(v ? 'y' : 'n'); }
    void one_zero(int v) { ch(v == 1 ? '1' : '0'); }
    void ch(char c) { bytes(&c, 1); }
    void f64(double d) { bytes(&d, 8); }
    // Key, value and closing "'", padded with spaces to 80 columns; a value
    // that does not fit is cut.
    void card(const char* key, const char* value, int value_max) {
        char c[CARD];
        std::memset(c, ' ', CARD);
        std::memcpy(c, key, CARD_KEY);
        const int len = static_cast<int>(strnlen(value, std::min(value_max, CARD_TEXT)));
        std::memcpy(c + CARD_KEY, value, len);
        c[CARD_KEY + len] = '\'';
        bytes(c, CARD);
    }
    // A long text over four cards, 68 characters each, padded with spaces.
    void long_text(const char* key, const char* text, int text_size) {
        const int len = static_cast<int>(strnlen(text, text_size));
        for (int k = 0; k < LONG_CARDS; ++k) {
            char part[CARD_TEXT];
            std::memset(part, ' ', CARD_TEXT);
            const int from = k * CARD_TEXT;
            if (from < len) std::memcpy(part, text + from, std::min(CARD_TEXT, len - from));
            card(key, part, CARD_TEXT);
        }
    }
    int pos() const { return pos_; }

  private:
    unsigned char* buf_;
    int pos_ = 0;
};

// Guider and AO rates of 50 or more are not plausible; they are stored as a
// safe value instead.
int capped(int v, int replacement = 10) {
    return v >= 50 ? replacement : v;
}

int slewcom_code(char c) {
    return c >= '1' && c <= '4' ? c - '0' : 5;
}

// Truncated toward zero, then to 16 bits like every other number.
int theta_code(float t) {
    if (!std::isfinite(t)) return 0;
    return static_cast<int>(
        std::clamp(std::trunc(static_cast<double>(t)), -2147483648.0, 2147483647.0));
}

// ---- reading ----

class In {
  public:
    In(const unsigned char* buf, int len) : buf_(buf), len_(len) {}

    bool bytes(void* p, int n) {
        if (len_ - pos_ < n) return false;
        std::memcpy(p, buf_ + pos_, n);
        pos_ += n;
        return true;
    }
    template <class T> bool i16(T& v) {
        std::int16_t x;
        if (!raw16(x)) return false;
        v = static_cast<T>(x);
        return true;
    }
    bool u16(int& v) {
        std::int16_t x;
        if (!raw16(x)) return false;
        v = static_cast<std::uint16_t>(x);
        return true;
    }
    bool byte(unsigned char& b) { return bytes(&b, 1); }
    bool ch(char& c) { return bytes(&c, 1); }
    bool yn(int& v) {
        unsigned char b;
        if (!byte(b)) return false;
        v = b == 'y';
        return true;
    }
    bool f64(double& d) { return bytes(&d, 8); }
    // The value runs from column 11 up to the first "'" (at most to column 79).
    bool card(char* out, int out_size) {
        char c[CARD];
        if (!bytes(c, CARD)) return false;
        card_value(c, out, out_size, CARD - CARD_KEY);
        return true;
    }
    bool long_text(char* out, int out_size) {
        std::string text;
        for (int k = 0; k < LONG_CARDS; ++k) {
            char c[CARD];
            if (!bytes(c, CARD)) {
                copy_text(out, out_size, text);
                return false;
            }
            char part[CARD];
            card_value(c, part, sizeof part, k == LONG_CARDS - 1 ? LAST_LONG_PART : CARD);
            text += part;
        }
        copy_text(out, out_size, text);
        return true;
    }

  private:
    bool raw16(std::int16_t& x) {
        unsigned char b[2];
        if (!bytes(b, 2)) return false;
        x = static_cast<std::int16_t>(static_cast<std::uint16_t>(b[0] | (b[1] << 8)));
        return true;
    }
    static void card_value(const char* c, char* out, int out_size, int max_len) {
        int n = 0;
        const int limit = std::min({CARD - CARD_KEY, max_len, out_size - 1});
        while (n < limit && c[CARD_KEY + n] != '\'' && c[CARD_KEY + n] != '\0') {
            out[n] = c[CARD_KEY + n];
            ++n;
        }
        out[n] = '\0';
    }
    static void copy_text(char* out, int out_size, const std::string& text) {
        const std::size_t n = std::min(text.size(), static_cast<std::size_t>(out_size - 1));
        std::memcpy(out, text.data(), n);
        out[n] = '\0';
    }

    const unsigned char* buf_;
    int len_;
    int pos_ = 0;
};

enum class Read { Whole, Short, Rejected };

void set_background(char c) {
    cfg.default_back = c;
    if (c == 'l') {
        disp.back_r = disp.back_g = disp.back_b = 192;
    } else if (c == 'g') {
        disp.back_r = disp.back_g = disp.back_b = 90;
    } else {
        disp.back_r = 120;
        disp.back_g = 40;
        disp.back_b = 40;
    }
}

bool in_range(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}
bool is_ew(unsigned char c) {
    return c == 'e' || c == 'w';
}

// Fields in file order. Each is taken as soon as it is read; a check that
// fails leaves that field and all later ones as they were.
Read decode(In& in) {
    if (!in.u16(cfg.auto_save_num) || !in.i16(cfg.FITS_Diff)) return Read::Short;
    unsigned char b;
    if (!in.byte(b)) return Read::Short;
    if (b != 'y' && b != 'n') {
        messages(MSG_OWN_TEXT, "Failed to read fast_par value");
        return Read::Short;
    }
    cfg.fast_par = b == 'y';
    if (!in.i16(cfg.default_port) || !in.i16(cfg.star_mask) || !in.i16(cfg.default_speed))
        return Read::Short;
    short code;
    if (!in.i16(code)) return Read::Short;
    cfg.slewcom = code >= 1 && code <= 4 ? static_cast<char>('0' + code) : '5';
    if (!in.i16(cfg.slewdefault)) return Read::Short;
    char c;
    if (!in.ch(c)) return Read::Short;
    set_background(c);
    if (!in.byte(b)) return Read::Short;
    cfg.focus_delay = b == '1';
    if (!in.i16(cfg.slewx) || !in.i16(cfg.slewy)) return Read::Short;

    short v;
    if (!in.i16(v)) return Read::Short;
    if (!in_range(v, 0, 20)) return Read::Rejected;
    cfg.backlashx = v;
    if (!in.i16(v)) return Read::Short;
    if (!in_range(v, 0, 20)) return Read::Rejected;
    cfg.backlashy = v;
    if (!in.byte(b)) return Read::Short;
    if (b != '1' && b != '0') return Read::Rejected;
    cfg.ignore_small = b == '1';
    if (!in.byte(b)) return Read::Short;
    if (b != 'l' && b != 'n' && b != 'b') return Read::Rejected;
    cfg.telescope = static_cast<char>(b);
    if (!in.byte(b)) return Read::Short;
    if (b != '1' && b != '0') return Read::Rejected;
    cfg.disable_interrupts = b == '1';
    if (!in.i16(cfg.hystx) || !in.i16(cfg.hysty)) return Read::Short;
    unsigned char dirs[4];
    if (!in.bytes(dirs, 4)) return Read::Short;
    if (!is_ew(dirs[2]) && !is_ew(dirs[3])) return Read::Rejected;
    cfg.n = static_cast<char>(dirs[0]);
    cfg.s = static_cast<char>(dirs[1]);
    cfg.e = static_cast<char>(dirs[2]);
    cfg.w = static_cast<char>(dirs[3]);

    if (!in.card(cfg.FITS_Obj, FITS_TEXT) || !in.card(cfg.FITS_Tel, FITS_TEXT) ||
        !in.card(cfg.FITS_Ins, FITS_TEXT) || !in.card(cfg.FITS_Obs, FITS_TEXT) ||
        !in.card(cfg.FITS_Src, FITS_TEXT) || !in.long_text(cfg.FITS_His, FITS_LONG_TEXT) ||
        !in.long_text(cfg.FITS_Com, FITS_LONG_TEXT) || !in.card(cfg.FITS_Filter, FITS_TEXT) ||
        !in.f64(cfg.FITS_Aperture) || !in.f64(cfg.FITS_Focallen) || !in.yn(cfg.FITS_SBIG) ||
        !in.yn(cfg.Mk2_fast_par) || !in.yn(cfg.apply_correction) || !in.yn(cfg.Losmandy_pause) ||
        !in.yn(cfg.gotcontrolbox))
        return Read::Short;
    int debug;
    if (!in.yn(debug)) return Read::Short;
    cfg.Debug_Mode = static_cast<short>(debug);
    if (!in.i16(cfg.pause_secs)) return Read::Short;

    char dir[AUTOSAVE_DIR_TEXT];
    if (!in.bytes(dir, AUTOSAVE_DIR_TEXT)) return Read::Short;
    std::replace(dir, dir + AUTOSAVE_DIR_TEXT, '\'', '\0');
    const std::size_t dir_len = strnlen(dir, AUTOSAVE_DIR_TEXT - 1);
    std::memcpy(cfg.auto_save_subdir, dir, dir_len);
    cfg.auto_save_subdir[dir_len] = '\0';
    std::strcpy(cfg.auto_save_dir, dir_len ? cfg.auto_save_subdir : "c:\\AUTOSAVE");

    if (!in.i16(cfg.guider_slewx) || !in.i16(cfg.guider_slewy)) return Read::Short;
    if (!in.i16(v)) return Read::Short;
    if (!in_range(v, 0, 30)) return Read::Rejected;
    cfg.guider_backlashx = v;
    if (!in.i16(v)) return Read::Short;
    if (!in_range(v, 0, 30)) return Read::Rejected;
    cfg.guider_backlashy = v;
    if (!in.i16(cfg.guider_hystx) || !in.i16(cfg.guider_hysty) || !in.yn(cfg.ignore_backlash) ||
        !in.yn(cfg.filter_wheel))
        return Read::Short;
    if (!in.i16(v)) return Read::Short;
    cfg.guider_theta = static_cast<float>(v);
    if (!in.yn(cfg.ignore_RA_angle) || !in.i16(cfg.Max_Filters)) return Read::Short;
    if (!in.bytes(cfg.Filterbox_Filter_Name, sizeof cfg.Filterbox_Filter_Name)) return Read::Short;
    for (auto& name : cfg.Filterbox_Filter_Name) name[FILTER_NAME_TEXT - 1] = '\0';
    if (!in.yn(cfg.use_saved_values)) return Read::Short;

    // The saved exposure settings are read in any case but taken only on request.
    Settings unused;
    int unused_flag;
    const bool use = cfg.use_saved_values == 1;
    Settings& x = use ? cfg : unused;
    if (!in.i16(x.exp_value) || !in.i16(x.continuous_delay) || !in.ch(x.exp_range) ||
        !in.yn(x.exposure_delay) || !in.yn(use ? cfg.continuous : unused_flag) ||
        !in.yn(x.auto_save_fits) || !in.yn(x.darkframe_remove) || !in.yn(x.flatfield_remove) ||
        !in.yn(use ? disp.binned : unused_flag) || !in.yn(x.binned21) || !in.yn(x.highres_intl) ||
        !in.yn(x.highres_nonintl))
        return Read::Short;

    if (!in.yn(cfg.ignore_pid) || !in.i16(cfg.AOUnit_slewx) || !in.i16(cfg.AOUnit_slewy) ||
        !in.i16(cfg.AOUnit_xrate) || !in.i16(cfg.AOUnit_yrate) || !in.yn(cfg.AOUnitModeParallel) ||
        !in.i16(cfg.AOUnit_comport) || !in.ch(cfg.GuiderMode) || !in.ch(cfg.AOn) ||
        !in.ch(cfg.AOs) || !in.ch(cfg.AOe) || !in.ch(cfg.AOw) || !in.yn(cfg.AOUnit_available) ||
        !in.yn(cfg.AOUnit_halfrate) || !in.i16(cfg.PC_port) || !in.ch(cfg.Mn) || !in.ch(cfg.Ms) ||
        !in.ch(cfg.Mt) || !in.ch(cfg.Mw) || !in.yn(cfg.ignore_north) || !in.yn(cfg.ignore_south) ||
        !in.i16(cfg.ignore_amount) || !in.yn(cfg.tifswitch))
        return Read::Short;
    return Read::Whole;
}

std::string parent_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Reads up to `size` bytes; fewer only at the end of the file or on an error.
int read_up_to(int fd, unsigned char* buf, int size) {
    int got = 0;
    while (got < size) {
        const ssize_t r = ::read(fd, buf + got, size - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<int>(r);
    }
    return got;
}

bool write_all(int fd, const unsigned char* buf, int size) {
    int done = 0;
    while (done < size) {
        const ssize_t r = ::write(fd, buf + done, size - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += static_cast<int>(r);
    }
    return true;
}

} // namespace

void encode_ini(unsigned char (&buf)[INI_FILE_BYTES]) {
    Out out(buf);
    out.i16(cfg.auto_save_num);
    out.i16(cfg.FITS_Diff);
    out.yn(cfg.fast_par);
    out.i16(cfg.default_port);
    out.i16(cfg.star_mask);
    out.i16(cfg.default_speed);
    out.i16(slewcom_code(cfg.slewcom));
    out.i16(cfg.slewdefault);
    out.ch(cfg.default_back);
    out.one_zero(cfg.focus_delay);
    out.i16(cfg.slewx);
    out.i16(cfg.slewy);
    out.i16(cfg.backlashx);
    out.i16(cfg.backlashy);
    out.one_zero(cfg.ignore_small);
    out.ch(cfg.telescope);
    out.one_zero(cfg.disable_interrupts);
    out.i16(cfg.hystx);
    out.i16(cfg.hysty);
    for (char c : {cfg.n, cfg.s, cfg.e, cfg.w}) out.ch(c);
    out.card("OBJECT  = '", cfg.FITS_Obj, FITS_TEXT);
    out.card("TELESCOP= '", cfg.FITS_Tel, FITS_TEXT);
    out.card("INSTRUME= '", cfg.FITS_Ins, FITS_TEXT);
    out.card("OBSERVER= '", cfg.FITS_Obs, FITS_TEXT);
    out.card("ORIGIN  = '", cfg.FITS_Src, FITS_TEXT);
    out.long_text("HISTORY = '", cfg.FITS_His, FITS_LONG_TEXT);
    out.long_text("COMMENT = '", cfg.FITS_Com, FITS_LONG_TEXT);
    out.card("FILTER  = '", cfg.FITS_Filter, FITS_TEXT);
    out.f64(cfg.FITS_Aperture);
    out.f64(cfg.FITS_Focallen);
    out.yn(cfg.FITS_SBIG);
    out.yn(cfg.Mk2_fast_par);
    out.yn(cfg.apply_correction);
    out.yn(cfg.Losmandy_pause);
    out.yn(cfg.gotcontrolbox);
    out.yn(cfg.Debug_Mode);
    out.i16(cfg.pause_secs);

    char dir[AUTOSAVE_DIR_TEXT];
    std::memset(dir, ' ', sizeof dir);
    const std::size_t dir_len = strnlen(cfg.auto_save_subdir, AUTOSAVE_DIR_TEXT - 1);
    std::memcpy(dir, cfg.auto_save_subdir, dir_len);
    dir[dir_len] = '\0';
    out.bytes(dir, sizeof dir);

    out.i16(capped(cfg.guider_slewx));
    out.i16(capped(cfg.guider_slewy));
    out.i16(capped(cfg.guider_backlashx));
    out.i16(capped(cfg.guider_backlashy, 0));
    out.i16(capped(cfg.guider_hystx));
    out.i16(capped(cfg.guider_hysty));
    out.yn(cfg.ignore_backlash);
    out.yn(cfg.filter_wheel);
    out.i16(theta_code(cfg.guider_theta));
    out.yn(cfg.ignore_RA_angle);
    out.i16(cfg.Max_Filters);
    out.bytes(cfg.Filterbox_Filter_Name, sizeof cfg.Filterbox_Filter_Name);
    out.yn(cfg.use_saved_values);
    out.i16(cfg.exp_value);
    out.i16(cfg.continuous_delay);
    out.ch(cfg.exp_range);
    out.yn(cfg.exposure_delay);
    out.yn(cfg.continuous);
    out.yn(cfg.auto_save_fits);
    out.yn(cfg.darkframe_remove);
    out.yn(cfg.flatfield_remove);
    out.yn(disp.binned);
    out.yn(cfg.binned21);
    out.yn(cfg.highres_intl);
    out.yn(cfg.highres_nonintl);
    out.yn(cfg.ignore_pid);
    out.i16(capped(cfg.AOUnit_slewx));
    out.i16(capped(cfg.AOUnit_slewy));
    out.i16(capped(cfg.AOUnit_xrate));
    out.i16(capped(cfg.AOUnit_yrate));
    out.yn(cfg.AOUnitModeParallel);
    out.i16(cfg.AOUnit_comport);
    out.ch(cfg.GuiderMode);
    for (char c : {cfg.AOn, cfg.AOs, cfg.AOe, cfg.AOw}) out.ch(c);
    out.yn(cfg.AOUnit_available);
    out.yn(cfg.AOUnit_halfrate);
    out.i16(cfg.PC_port);
    for (char c : {cfg.Mn, cfg.Ms, cfg.Mt, cfg.Mw}) out.ch(c);
    out.yn(cfg.ignore_north);
    out.yn(cfg.ignore_south);
    out.i16(cfg.ignore_amount);
    out.yn(cfg.tifswitch);
    assert(out.pos() == INI_FILE_BYTES);
}

int LoadINIFile(const char* path) {
    const std::string host = platform::host_path(path);
    if (host.empty()) return 2;
    // A folder that did not exist yet means a first start: write the defaults.
    if (::mkdir(parent_of(host).c_str(), 0777) == 0) return SaveINIFile(path);

    const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 2;
    unsigned char buf[INI_FILE_BYTES];
    const int got = read_up_to(fd, buf, INI_FILE_BYTES);
    ::close(fd);

    In in(buf, got);
    switch (decode(in)) {
    case Read::Whole:
        return 0;
    case Read::Short:
        return 2;
    case Read::Rejected:
        break;
    }
    return SaveINIFile(path);
}

int SaveINIFile(const char* path) {
    const std::string host = platform::host_path(path);
    if (host.empty()) return 3;
    ::mkdir(parent_of(host).c_str(), 0777);

    unsigned char buf[INI_FILE_BYTES];
    encode_ini(buf);

    // Write beside the old file and rename over it, so a failed or
    // interrupted save leaves the previous settings in place.
    // The temporary name is this save's own: two programs saving at once must
    // neither truncate each other's file nor rename a half-written one.
    static unsigned counter = 0;
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = host + "." + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp";
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return 3;
    bool ok = write_all(fd, buf, INI_FILE_BYTES) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(tmp.c_str(), host.c_str()) == 0) return 0;
    ::unlink(tmp.c_str());
    return 3;
}
