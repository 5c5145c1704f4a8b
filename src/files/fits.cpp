#include "files/fits.h"

#include "display/image_store.h"
#include "display/sensor_state.h"
#include "files/file_io.h"
#include "platform/host_path.h"
#include "settings/settings.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
    C_END,
};

constexpr char UNSIGNED_BZERO[] = "BZERO   =   +0.0000000000E+00";

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
const char* card_at(const char* hdr, int card) {
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
                  const char* comment, const char* history, bool eight) {
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

int field4(const char* card) {
    char digits[5];
    std::memcpy(digits, card + 26, 4);
    digits[4] = '\0';
    return static_cast<int>(std::strtol(digits, nullptr, 10));
}

// 0 when the header is this program's layout for this camera, else 2.
int check_layout(const char* hdr) {
    const char* bitpix = card_at(hdr, C_BITPIX);
    if (bitpix[28] != '1' || bitpix[29] != '6') return 2;
    if (card_at(hdr, C_NAXIS)[29] != '2') return 2;
    const int w = field4(card_at(hdr, C_NAXIS1));
    const int h = field4(card_at(hdr, C_NAXIS2));
    if (w != sensor.cam_width1 && w != sensor.cam_width1 / 2) return 2;
    if (h != sensor.cam_height1 && h != sensor.cam_height1 / 2) return 2;
    return 0;
}

// Column 12 up to the closing quote (or column 80); a doubled quote stands
// for one quote. Returns the length written, at most max - 1.
std::size_t get_string(const char* card, char* out, std::size_t max) {
    std::size_t n = 0;
    for (int col = 11; col < FITS_CARD && n + 1 < max; ++col) {
        if (card[col] == '\'') {
            if (col + 1 < FITS_CARD && card[col + 1] == '\'') {
                ++col;
            } else {
                break;
            }
        }
        out[n++] = card[col];
    }
    out[n] = '\0';
    return n;
}

// A commentary card's text: column 12 up to the first quote.
std::size_t get_comment(const char* card, char* out, std::size_t max) {
    std::size_t n = 0;
    for (int col = 11; col < FITS_CARD && card[col] != '\'' && n + 1 < max; ++col)
        out[n++] = card[col];
    out[n] = '\0';
    return n;
}

// The four pieces joined again, the last one cut to 51 characters; their
// padding spaces stay.
void get_pieces(const char* hdr, int first, char* out, std::size_t size) {
    std::size_t len = 0;
    out[0] = '\0';
    for (int p = 0; p < PIECES && len + 1 < size; ++p) {
        const std::size_t room = size - len;
        const std::size_t limit = p == PIECES - 1 && room > LAST_PIECE + 1 ? LAST_PIECE + 1 : room;
        len += get_comment(card_at(hdr, first + p), out + len, limit);
    }
}

void get_number(const char* card, double& value) {
    char field[17];
    std::memcpy(field, card + 13, 16);
    field[16] = '\0';
    fits_parse_number(field, value);
}

void decode_details(const char* hdr) {
    get_string(card_at(hdr, C_OBJECT), cfg.FITS_Obj, sizeof cfg.FITS_Obj);
    get_string(card_at(hdr, C_TELESCOP), cfg.FITS_Tel, sizeof cfg.FITS_Tel);
    get_string(card_at(hdr, C_INSTRUME), cfg.FITS_Ins, sizeof cfg.FITS_Ins);
    get_string(card_at(hdr, C_OBSERVER), cfg.FITS_Obs, sizeof cfg.FITS_Obs);
    get_string(card_at(hdr, C_ORIGIN), cfg.FITS_Src, sizeof cfg.FITS_Src);
    get_string(card_at(hdr, C_DATE), fits.FITS_Date, sizeof fits.FITS_Date);
    get_string(card_at(hdr, C_TIME), fits.FITS_Time, sizeof fits.FITS_Time);
    for (int i = 0; i < HISTORY_CARDS; ++i)
        get_comment(card_at(hdr, C_HISTORY_LINES + i), disp.process_info[i], HISTORY_TEXT);
    get_pieces(hdr, C_HISTORY_TEXT, cfg.FITS_His, sizeof cfg.FITS_His);
    get_pieces(hdr, C_COMMENT_TEXT, cfg.FITS_Com, sizeof cfg.FITS_Com);
    // A damaged frame's note stands where END stands in a sound file.
    disp.damage_note[0] = '\0';
    const char* note = card_at(hdr, C_END);
    if (std::memcmp(note, "HISTORY = 'Incomplete readout", 29) == 0)
        get_comment(note, disp.damage_note, sizeof disp.damage_note);
}

void decode_numbers(const char* hdr) {
    get_number(card_at(hdr, C_PIXWIDTH), disp.FITS_Pixwidth);
    get_number(card_at(hdr, C_PIXHEIGH), disp.FITS_Pixheight);
    get_number(card_at(hdr, C_EXPTIME), fits.FITS_Exptime);
    get_number(card_at(hdr, C_FOCALLEN), cfg.FITS_Focallen);
    get_number(card_at(hdr, C_APERTURE), cfg.FITS_Aperture);
    get_string(card_at(hdr, C_FILTER), cfg.FITS_Filter, sizeof cfg.FITS_Filter);
}

// The shared reader; `details` restores the descriptive fields as well.
int load(const char* path, unsigned short* dest, bool details) {
    if (!path || !dest) return 1;
    fileio::InputFile in(platform::host_path(path));
    if (!in.is_open()) return 1;
    char hdr[FITS_HEADER_BYTES];
    if (!in.read_exact(reinterpret_cast<unsigned char*>(hdr), sizeof hdr)) return 1;
    if (const int bad = check_layout(hdr)) return bad;
    if (details) decode_details(hdr);
    // Files written as unsigned data say BZERO 0; any other BZERO (ours say
    // 32768, older ones 32767) means signed data offset by 32768.
    const bool unsigned_data =
        std::memcmp(card_at(hdr, C_BZERO), UNSIGNED_BZERO, sizeof UNSIGNED_BZERO - 1) == 0;
    cfg.FITS_SBIG = unsigned_data ? 1 : 0;
    if (details) decode_numbers(hdr);

    // The data size comes from the caller's geometry, never from the file,
    // and the whole unit is staged so that a short file leaves `dest` alone.
    const long pixels = static_cast<long>(disp.width1) * disp.height1;
    if (pixels <= 0 || pixels > MAIN_BUFFER_PIXELS) return 1;
    unsigned char* stage = fileio::staging();
    if (!in.read_exact(stage, 2 * static_cast<std::size_t>(pixels))) return 1;
    in.close();

    const std::uint16_t flip = unsigned_data ? 0 : 0x8000;
    swap_copy(dest, stage, static_cast<std::size_t>(pixels), flip, false);
    return 0;
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
                 text(telescope), text(instrument), text(comment), text(history), eightbit != 0);

    // Written beside any old file of that name, which it replaces only once complete.
    fileio::ReplacingFile out(host);
    bool ok = out.write(hdr, sizeof hdr);
    cfg.FITS_SBIG = 0;
    ok = ok && write_data(out, image, static_cast<std::size_t>(pixels), eightbit != 0);
    return ok && out.commit() ? 0 : 1;
}

int LoadFITSFile(const char* path, int /*mode*/, unsigned short* dest) {
    return load(path, dest, true);
}

int LoadTempFITSFile(const char* path, unsigned short* dest) {
    return load(path, dest, false);
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
}
