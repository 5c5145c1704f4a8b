#include "files/fits.h"

#include "display/geometry.h"
#include "display/history.h"
#include "display/image_store.h"
#include "display/sensor_state.h"
#include "files/file_io.h"
#include "files/fits_header.h"
#include "platform/host_path.h"
#include "settings/settings.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <strings.h>

FitsState fits;

void reset_fits_state() {
    fits = FitsState{};
}

namespace {

constexpr int RECORD = 2880;
constexpr int PIECES = 4;      // history and comment text: four cards each
constexpr int PIECE = 68;      // characters of text in one of those cards
constexpr int LAST_PIECE = 51; // the fourth piece as read back: 3 * 68 + 51 fits 257
constexpr int HISTORY_CARDS = HISTORY_USED;

// Card numbers (from 1) of the fixed layout.
enum Card {
    C_BITPIX = 2,
    C_NAXIS = 3,
    C_NAXIS1 = 4,
    C_NAXIS2 = 5,
    C_OBJECT = 6,
    C_TELESCOP,
    C_INSTRUME,
    C_OBSERVER,
    C_ORIGIN,
    C_DATE,
    C_TIME,
    C_HISTORY_LINES = 13,
    C_HISTORY_TEXT = 28,
    C_COMMENT_TEXT = 32,
    C_BZERO = 36,
    C_BSCALE,
    C_PIXWIDTH,
    C_PIXHEIGH,
    C_SATURATE,
    C_EXPTIME,
    C_FOCALLEN,
    C_APERTURE,
    C_FILTER,
    // Keywords other software looks for, in what were blank cards before END.
    C_IMAGETYP,
    C_XBINNING,
    C_YBINNING,
    C_XPIXSZ,
    C_YPIXSZ,
    C_WRITTEN,
    C_END,
};
static_assert(C_END + 1 <= FITS_CARDS, "a damage note and END still fit the two records");

// Images are held at full resolution.
constexpr int BINNING = 1;

// The writer converts the data through the staging area a piece at a time.
constexpr std::size_t WRITE_CHUNK = 1 << 18;

static_assert(std::endian::native == std::endian::little, "host order is little-endian");

// Copies `count` 16-bit values between host and file (big-endian) order,
// flipping the bits of `flip` in each value's host form. Eight values at a
// time in a vector register; this runs over every pixel of every load and save.
void swap_copy(void* dst, const void* src, std::size_t count, std::uint16_t flip, bool to_file) {
    typedef std::uint16_t lanes __attribute__((vector_size(16)));
    auto* d = static_cast<unsigned char*>(dst);
    const auto* s = static_cast<const unsigned char*>(src);
    // Flipping before or after the swap is the same with the flip swapped too.
    const std::uint16_t f = to_file ? static_cast<std::uint16_t>((flip >> 8) | (flip << 8)) : flip;
    const lanes fv = {f, f, f, f, f, f, f, f};
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        lanes v;
        std::memcpy(&v, s + 2 * i, sizeof v);
        v = ((v << 8) | (v >> 8)) ^ fv;
        std::memcpy(d + 2 * i, &v, sizeof v);
    }
    for (; i < count; ++i) {
        std::uint16_t v;
        std::memcpy(&v, s + 2 * i, 2);
        v = static_cast<std::uint16_t>(((v << 8) | (v >> 8)) ^ f);
        std::memcpy(d + 2 * i, &v, 2);
    }
}

char* card_at(char* hdr, int card) {
    return hdr + (card - 1) * FITS_CARD;
}

// FITS headers hold printable ASCII only.
char printable(char c) {
    return c >= 0x20 && c <= 0x7e ? c : '?';
}

void put(char* hdr, int card, const char* text, std::size_t len) {
    std::memcpy(card_at(hdr, card), text, len < FITS_CARD ? len : FITS_CARD);
}

[[gnu::format(printf, 3, 4)]] void putf(char* hdr, int card, const char* fmt, ...) {
    char line[128];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    put(hdr, card, line, std::strlen(line));
}

// A quoted string value: quotes inside the text are doubled, so the value
// stays one FITS string; the text is cut where the card ends.
void put_string(char* hdr, int card, const char* key, const char* text, std::size_t max) {
    char* c = card_at(hdr, card);
    std::memcpy(c, key, 8);
    std::memcpy(c + 8, "= '", 3);
    int col = 11;
    const int last = FITS_CARD - 1; // the closing quote's column
    for (std::size_t i = 0; i < max && text[i]; ++i) {
        const char ch = printable(text[i]);
        const int need = ch == '\'' ? 2 : 1;
        if (col + need > last) break;
        c[col++] = ch;
        if (ch == '\'') c[col++] = ch;
    }
    c[col] = '\'';
}

// A commentary card: "HISTORY = '" + text + "'", the text as it is.
void put_comment(char* hdr, int card, const char* key, const char* text, std::size_t len) {
    char* c = card_at(hdr, card);
    std::memcpy(c, key, 8);
    std::memcpy(c + 8, "= '", 3);
    for (std::size_t i = 0; i < len; ++i) c[11 + i] = printable(text[i]);
    c[11 + len] = '\'';
}

// Text cut into four cards of 68 characters, each padded with spaces.
void put_pieces(char* hdr, int first, const char* key, const char* text) {
    const std::size_t len = strnlen(text, PIECES * PIECE);
    for (int p = 0; p < PIECES; ++p) {
        char piece[PIECE];
        std::memset(piece, ' ', PIECE);
        const std::size_t from = static_cast<std::size_t>(p) * PIECE;
        if (from < len) std::memcpy(piece, text + from, len - from < PIECE ? len - from : PIECE);
        put_comment(hdr, first + p, key, piece, PIECE);
    }
}

// "%.10E" in the C locale whatever the process locale says (Qt takes the
// user's), and never a NaN or infinity, which FITS cannot hold.
struct Sci {
    char text[32];
    explicit Sci(double v, bool plus = false) {
        if (!std::isfinite(v)) v = 0.0;
        char* p = text;
        if (plus && !std::signbit(v)) *p++ = '+';
        auto r = std::to_chars(p, text + sizeof text - 1, v, std::chars_format::scientific, 10);
        *r.ptr = '\0';
        for (char* c = p; c < r.ptr; ++c)
            if (*c == 'e') *c = 'E';
    }
};

void build_header(char* hdr, int width, int height, const char* object, const char* observer,
                  const char* date, const char* telescope, const char* instrument,
                  const char* comment, const char* history, bool eight, std::time_t written) {
    std::memset(hdr, ' ', FITS_HEADER_BYTES);
    putf(hdr, 1, "SIMPLE  =                    T /");
    putf(hdr, C_BITPIX, "BITPIX  =                   %2d /", eight ? 8 : 16);
    putf(hdr, C_NAXIS, "NAXIS   =                    2 /");
    putf(hdr, C_NAXIS1, "NAXIS1  =                 %4d /", width);
    putf(hdr, C_NAXIS2, "NAXIS2  =                 %4d /", height);
    put_string(hdr, C_OBJECT, "OBJECT  ", object, FITS_TEXT);
    put_string(hdr, C_TELESCOP, "TELESCOP", telescope, FITS_TEXT);
    put_string(hdr, C_INSTRUME, "INSTRUME", instrument, FITS_TEXT);
    put_string(hdr, C_OBSERVER, "OBSERVER", observer, FITS_TEXT);
    put_string(hdr, C_ORIGIN, "ORIGIN  ", cfg.FITS_Src, FITS_TEXT);
    put_string(hdr, C_DATE, "DATE-OBS", date, FITS_FIELD_TEXT);
    put_string(hdr, C_TIME, "TIME-OBS", fits.FITS_Time, FITS_FIELD_TEXT);
    for (int i = 0; i < HISTORY_CARDS; ++i) {
        const char* line = disp.process_info[i];
        put_comment(hdr, C_HISTORY_LINES + i, "HISTORY ", line, strnlen(line, HISTORY_TEXT - 1));
    }
    put_pieces(hdr, C_HISTORY_TEXT, "HISTORY ", history);
    put_pieces(hdr, C_COMMENT_TEXT, "COMMENT ", comment);
    // Signed 16-bit data hold pixel - 32768; 8-bit data are the plain high bytes.
    putf(hdr, C_BZERO, "BZERO   =   %s", Sci(eight ? 0.0 : 32768.0, true).text);
    putf(hdr, C_BSCALE, "BSCALE  =   +1.0000000000E+00");
    putf(hdr, C_PIXWIDTH, "PIXWIDTH=    %s", Sci(disp.FITS_Pixwidth).text);
    putf(hdr, C_PIXHEIGH, "PIXHEIGH=    %s", Sci(disp.FITS_Pixheight).text);
    putf(hdr, C_SATURATE, "SATURATE=                %5d", eight ? 255 : 32768);
    putf(hdr, C_EXPTIME, "EXPTIME =    %s", Sci(fits.FITS_Exptime).text);
    putf(hdr, C_FOCALLEN, "FOCALLEN=    %s", Sci(cfg.FITS_Focallen).text);
    putf(hdr, C_APERTURE, "APERTURE=    %s", Sci(cfg.FITS_Aperture).text);
    put_string(hdr, C_FILTER, "FILTER  ", cfg.FITS_Filter, FITS_TEXT);
    put_string(hdr, C_IMAGETYP, "IMAGETYP", image_type_name(fits.image_type), FITS_TEXT);
    putf(hdr, C_XBINNING, "XBINNING=%21d", BINNING);
    putf(hdr, C_YBINNING, "YBINNING=%21d", BINNING);
    // Other software gives pixel sizes in µm; PIXWIDTH and PIXHEIGH hold mm.
    putf(hdr, C_XPIXSZ, "XPIXSZ  =    %s", Sci(disp.FITS_Pixwidth * 1000.0).text);
    putf(hdr, C_YPIXSZ, "YPIXSZ  =    %s", Sci(disp.FITS_Pixheight * 1000.0).text);
    const std::tm ut = fits_ut_time(written);
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d", ut.tm_year + 1900,
                  ut.tm_mon + 1, ut.tm_mday, ut.tm_hour, ut.tm_min, ut.tm_sec);
    put_string(hdr, C_WRITTEN, "DATE    ", stamp, sizeof stamp);
    int end = C_END;
    // A damaged frame says so where every reader looks, before END.
    if (disp.damage_note[0])
        put_comment(hdr, end++, "HISTORY ", disp.damage_note, strnlen(disp.damage_note, PIECE));
    putf(hdr, end, "END");
}

bool write_data(fileio::ReplacingFile& out, const unsigned short* image, std::size_t pixels,
                bool eight) {
    unsigned char* stage = fileio::staging();
    const std::size_t per_chunk = eight ? WRITE_CHUNK : WRITE_CHUNK / 2;
    for (std::size_t at = 0; at < pixels; at += per_chunk) {
        const std::size_t n = pixels - at < per_chunk ? pixels - at : per_chunk;
        const unsigned short* src = image + at;
        if (eight) {
            for (std::size_t i = 0; i < n; ++i) stage[i] = static_cast<unsigned char>(src[i] >> 8);
        } else {
            // pixel - 32768 as a signed value is the pixel with its top bit flipped.
            swap_copy(stage, src, n, 0x8000, true);
        }
        if (!out.write(stage, eight ? n : 2 * n)) return false;
    }
    const std::size_t bytes = eight ? pixels : 2 * pixels;
    static const unsigned char zeros[RECORD] = {};
    return out.write(zeros, (RECORD - bytes % RECORD) % RECORD);
}

// Header buffer of the readers: the first records of the file, up to END.
char header_buf[fitsread::MAX_HEADER_BYTES];
// File data pass through here a piece at a time when they need converting.
constexpr std::size_t CHUNK_PIXELS = 1 << 16;
unsigned char chunk_buf[CHUNK_PIXELS * 8];
unsigned short chunk_out[CHUNK_PIXELS];

void refuse(const std::string& why) {
    fileio::copy_text(fits.load_error, sizeof fits.load_error, why.c_str());
}

// A commentary card in this program's form: "HISTORY = '" text "'".
bool quoted_commentary(const char* card) {
    return std::memcmp(card + 8, "= '", 3) == 0;
}

// Column 12 up to the first quote (or column 80), as this program's
// commentary cards hold their text.
std::size_t get_comment(const char* card, char* out, std::size_t max) {
    std::size_t n = 0;
    for (int col = 11; col < FITS_CARD && card[col] != '\'' && n + 1 < max; ++col)
        out[n++] = card[col];
    out[n] = '\0';
    return n;
}

// Free text of other software's commentary cards, added to a long text.
void append_text(char* dst, std::size_t size, const char* card) {
    char text[FITS_CARD];
    if (fitsread::card_commentary(card, text, sizeof text) == 0) return;
    std::size_t len = std::strlen(dst);
    if (len > 0 && len + 1 < size) dst[len++] = ' ';
    fileio::copy_text(dst + len, size - len, text);
}

// The commentary cards: this program's 15 history lines, four pieces of
// history text and four of comment text, each piece's padding kept and the
// fourth cut to 51 characters; then a damaged frame's note. Other software's
// HISTORY and COMMENT texts are joined into the long texts.
void decode_commentary(const fitsread::Header& h) {
    int history = 0, comment = 0;
    std::size_t his_len = 0, com_len = 0;
    disp.damage_note[0] = '\0';
    for (int i = 0; i < h.count; ++i) {
        const char* card = h.cards + i * FITS_CARD;
        const bool his = fitsread::is_keyword(card, "HISTORY");
        if (!his && !fitsread::is_keyword(card, "COMMENT")) continue;
        if (!quoted_commentary(card)) {
            if (his)
                append_text(cfg.FITS_His, sizeof cfg.FITS_His, card);
            else
                append_text(cfg.FITS_Com, sizeof cfg.FITS_Com, card);
            continue;
        }
        const int n = his ? history++ : comment++;
        if (his && n < HISTORY_CARDS) {
            get_comment(card, disp.process_info[n], HISTORY_TEXT);
            continue;
        }
        const int piece = his ? n - HISTORY_CARDS : n;
        char* text = his ? cfg.FITS_His : cfg.FITS_Com;
        std::size_t& len = his ? his_len : com_len;
        const std::size_t size = his ? sizeof cfg.FITS_His : sizeof cfg.FITS_Com;
        if (piece < PIECES) {
            const std::size_t room = size - len;
            const std::size_t limit =
                piece == PIECES - 1 && room > LAST_PIECE + 1 ? LAST_PIECE + 1 : room;
            if (room > 1) len += get_comment(card, text + len, limit);
        } else if (his && std::memcmp(card + 11, "Incomplete readout", 18) == 0) {
            get_comment(card, disp.damage_note, sizeof disp.damage_note);
        }
    }
}

void get_string(const fitsread::Header& h, const char* key, char* out, std::size_t size) {
    if (const char* card = h.find(key)) fitsread::card_string(card, out, size);
}

void get_number(const fitsread::Header& h, const char* key, double& value, double unit = 1.0) {
    double v = 0.0;
    if (fitsread::card_real(h.find(key), v)) value = v * unit;
}

void decode_details(const fitsread::Header& h) {
    get_string(h, "OBJECT", cfg.FITS_Obj, sizeof cfg.FITS_Obj);
    get_string(h, "TELESCOP", cfg.FITS_Tel, sizeof cfg.FITS_Tel);
    get_string(h, "INSTRUME", cfg.FITS_Ins, sizeof cfg.FITS_Ins);
    get_string(h, "OBSERVER", cfg.FITS_Obs, sizeof cfg.FITS_Obs);
    get_string(h, "ORIGIN", cfg.FITS_Src, sizeof cfg.FITS_Src);
    get_string(h, "DATE-OBS", fits.FITS_Date, sizeof fits.FITS_Date);
    get_string(h, "TIME-OBS", fits.FITS_Time, sizeof fits.FITS_Time);
    // Other software writes the time into DATE-OBS: "2024-01-31T22:10:05.5".
    if (char* t = std::strchr(fits.FITS_Date, 'T'); t && t - fits.FITS_Date == 10) {
        if (!h.find("TIME-OBS")) fileio::copy_text(fits.FITS_Time, sizeof fits.FITS_Time, t + 1);
        *t = '\0';
    }
    get_string(h, "FILTER", cfg.FITS_Filter, sizeof cfg.FITS_Filter);
    char type[FITS_FIELD_TEXT] = "";
    get_string(h, "IMAGETYP", type, sizeof type);
    fits.image_type = image_type_from(type);
    decode_commentary(h);
    // Pixel sizes in mm as this program writes them, else in µm as others do.
    get_number(h, "XPIXSZ", disp.FITS_Pixwidth, 0.001);
    get_number(h, "YPIXSZ", disp.FITS_Pixheight, 0.001);
    get_number(h, "PIXWIDTH", disp.FITS_Pixwidth);
    get_number(h, "PIXHEIGH", disp.FITS_Pixheight);
    get_number(h, "EXPOSURE", fits.FITS_Exptime);
    get_number(h, "EXPTIME", fits.FITS_Exptime);
    get_number(h, "FOCALLEN", cfg.FITS_Focallen);
    get_number(h, "APERTURE", cfg.FITS_Aperture);
}

// A file read and checked, its pixels waiting in the staging area.
struct Staged {
    fitsread::Header header;
    bool scaled = false;
    double low = 0.0, factor = 1.0;
    bool swap_pending = false; // staging holds the file's own bytes
};

bool read_chunks(fileio::InputFile& in, const fitsread::Header& h,
                 const std::function<void(const unsigned char*, std::size_t, std::size_t)>& use) {
    if (!in.seek(h.header_bytes)) return false;
    const std::size_t total = static_cast<std::size_t>(h.pixels());
    const int step = h.bytes_per_pixel();
    for (std::size_t at = 0; at < total; at += CHUNK_PIXELS) {
        const std::size_t n = std::min(CHUNK_PIXELS, total - at);
        if (!in.read_exact(chunk_buf, n * step)) return false;
        use(chunk_buf, n, at);
    }
    return true;
}

// 0, 1 (unreadable or cut short) or 2 (refused); fits.load_error says why.
// Nothing outside the staging area changes.
// Opens and parses; 0, 1 or 2 as the loaders return.
int read_header(fileio::InputFile& in, fitsread::Header& h) {
    fits.load_error[0] = '\0';
    if (!in.is_open()) {
        refuse("cannot be opened");
        return 1;
    }
    const std::size_t n =
        static_cast<std::size_t>(std::min(in.length(), fitsread::MAX_HEADER_BYTES));
    if (!in.read_exact(reinterpret_cast<unsigned char*>(header_buf), n)) {
        refuse("cannot be read");
        return 1;
    }
    std::string why;
    const fitsread::Verdict v = fitsread::parse_header(header_buf, n, in.length(), h, why);
    if (v == fitsread::Verdict::Ok) return 0;
    refuse(why);
    return v == fitsread::Verdict::Truncated ? 1 : 2;
}

std::string host_of(const char* path) {
    return path ? platform::host_path(path) : std::string();
}

int stage(const char* path, Staged& out) {
    fileio::InputFile in(host_of(path));
    if (const int r = read_header(in, out.header)) return r;
    const fitsread::Header& h = out.header;
    fitsread::PixelConverter conv(h);
    unsigned char* stage = fileio::staging();
    bool ok;
    if (!conv.needs_survey()) {
        // This program's own files and unsigned 16-bit ones: one read.
        ok = in.seek(h.header_bytes) &&
             in.read_exact(stage, static_cast<std::size_t>(2 * h.pixels()));
        out.swap_pending = true;
    } else {
        ok = read_chunks(
            in, h, [&](const unsigned char* d, std::size_t k, std::size_t) { conv.survey(d, k); });
        ok = ok && read_chunks(in, h, [&](const unsigned char* d, std::size_t k, std::size_t at) {
                 conv.convert(d, k, chunk_out);
                 std::memcpy(stage + 2 * at, chunk_out, 2 * k);
             });
        out.swap_pending = false;
    }
    if (!ok) {
        refuse("cannot be read");
        return 1;
    }
    out.scaled = conv.scaled();
    out.low = conv.low();
    out.factor = conv.factor();
    return 0;
}

// Copies the first `count` staged pixels to `dest`.
void unstage(const Staged& s, unsigned short* dest, long long count) {
    const unsigned char* stage = fileio::staging();
    const std::size_t n = static_cast<std::size_t>(count);
    cfg.FITS_SBIG = s.header.raw_unsigned ? 1 : 0;
    if (s.swap_pending)
        swap_copy(dest, stage, n, s.header.raw_unsigned ? 0 : 0x8000, false);
    else
        std::memcpy(dest, stage, 2 * n);
}

void note_scaling(const Staged& s) {
    if (!s.scaled) return;
    char line[HISTORY_TEXT];
    std::snprintf(line, sizeof line, "FITS BITPIX %d scaled to 0..65535", s.header.bitpix);
    update_history(line);
    std::snprintf(line, sizeof line, "p = (v - %.7g) * %.7g", s.low, s.factor);
    update_history(line);
}

} // namespace

bool fits_parse_number(const char* text, double& value) {
    if (!text) return false;
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    if (*text == '+' && text[1] != '-') ++text;
    double v = 0.0;
    const auto r = std::from_chars(text, text + std::strlen(text), v);
    if (r.ec != std::errc() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

int SaveFITSFile(const char* path, const unsigned short* image, const char* object,
                 const char* observer, const char* date, const char* telescope,
                 const char* instrument, const char* comment, const char* history, int eightbit) {
    disp.FITS_Pixwidth = sensor.cam_Pixwidth;
    disp.FITS_Pixheight = sensor.cam_Pixheight;
    if (!path || !image) return 1;
    const std::string host = platform::host_path(path);
    if (host.empty()) return 1;
    const long pixels = static_cast<long>(disp.width1) * disp.height1;
    if (pixels <= 0 || pixels > MAIN_BUFFER_PIXELS) return 1;

    auto text = [](const char* s) { return s ? s : ""; };
    char hdr[FITS_HEADER_BYTES];
    build_header(hdr, disp.width1, disp.height1, text(object), text(observer), text(date),
                 text(telescope), text(instrument), text(comment), text(history), eightbit != 0,
                 std::time(nullptr));

    // Written beside any old file of that name, which it replaces only once complete.
    fileio::ReplacingFile out(host);
    bool ok = out.write(hdr, sizeof hdr);
    cfg.FITS_SBIG = 0;
    ok = ok && write_data(out, image, static_cast<std::size_t>(pixels), eightbit != 0);
    return ok && out.commit() ? 0 : 1;
}

int LoadFITSFile(const char* path, int /*mode*/, unsigned short* dest) {
    if (!dest) return 1;
    Staged s;
    if (const int r = stage(path, s)) return r;
    // The image takes the file's size; the camera's file lengths stay.
    image_geometry(s.header.width, s.header.height);
    unstage(s, dest, s.header.pixels());
    ClearFITSInfo();
    decode_details(s.header);
    note_scaling(s);
    return 0;
}

int LoadFITSPixels(const char* path, int width, int height, unsigned short* dest, long long count) {
    if (!dest) return 1;
    Staged s;
    if (const int r = stage(path, s)) return r;
    if (s.header.width != width || s.header.height != height) {
        refuse(std::to_string(s.header.width) + " \u00d7 " + std::to_string(s.header.height) +
               " is not the size wanted (" + std::to_string(width) + " \u00d7 " +
               std::to_string(height) + ")");
        return 2;
    }
    unstage(s, dest, std::clamp<long long>(count, 0, s.header.pixels()));
    return 0;
}

int LoadTempFITSFile(const char* path, unsigned short* dest) {
    return LoadFITSPixels(path, disp.width1, disp.height1, dest,
                          static_cast<long long>(disp.width1) * disp.height1);
}

int fits_image_size(const char* path, int& width, int& height) {
    fileio::InputFile in(host_of(path));
    fitsread::Header h;
    if (const int r = read_header(in, h)) return r;
    width = h.width;
    height = h.height;
    return 0;
}

bool looks_like_fits(const char* path) {
    fileio::InputFile in(host_of(path));
    unsigned char first[9];
    return in.is_open() && in.read_exact(first, sizeof first) &&
           std::memcmp(first, "SIMPLE  =", sizeof first) == 0;
}

void ClearFITSInfo() {
    for (int i = 0; i < HISTORY_CARDS; ++i) disp.process_info[i][0] = '\0';
    fits.FITS_Date[0] = '\0';
    fits.FITS_Time[0] = '\0';
    cfg.FITS_Obj[0] = '\0';
    cfg.FITS_Obs[0] = '\0';
    cfg.FITS_Tel[0] = '\0';
    cfg.FITS_Com[0] = '\0';
    cfg.FITS_His[0] = '\0';
    std::snprintf(cfg.FITS_Ins, sizeof cfg.FITS_Ins, "%s", "Veltrane CCD");
    std::snprintf(cfg.FITS_Filter, sizeof cfg.FITS_Filter, "%s", "None");
    cfg.FITS_Focallen = 0.0;
    cfg.FITS_Aperture = 0.0;
    fits.FITS_Exptime = 0.0;
    fits.image_type = ImageType::Light;
}

const char* image_type_name(ImageType t) {
    switch (t) {
    case ImageType::Dark:
        return "Dark";
    case ImageType::Flat:
        return "Flat";
    case ImageType::Light:
        break;
    }
    return "Light";
}

ImageType image_type_from(const char* text) {
    if (!text) return ImageType::Light;
    if (strncasecmp(text, "dark", 4) == 0) return ImageType::Dark;
    if (strncasecmp(text, "flat", 4) == 0) return ImageType::Flat;
    return ImageType::Light;
}
