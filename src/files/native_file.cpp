#include "files/native_file.h"

#include "display/geometry.h"
#include "display/image_store.h"
#include "display/sensor_state.h"
#include "files/file_io.h"
#include "files/file_state.h"
#include "files/fits.h"
#include "platform/host_path.h"
#include "platform/messages.h"

#include <algorithm>
#include <cstring>
#include <string>

const char* const BINNED_OPERAND_TEXT =
    "Sorry, a 2x2 binned FITS file can only be combined with a binned image";

namespace {

using fileio::InputFile;

enum class Kind { None, Native, NativeBinned, Fits, FitsBinned };

Kind classify(long long len) {
    // An empty file is no image, even before any geometry has been derived.
    if (len <= 0) return Kind::None;
    if (len == disp.filelenfit || len == disp.filelenfitpad) return Kind::Fits;
    if (len == disp.filelenfitbin || len == disp.filelenfitbinpad) return Kind::FitsBinned;
    if (len == disp.filelen) return Kind::Native;
    if (len == disp.filelenbin) return Kind::NativeBinned;
    return Kind::None;
}

std::string host_name(const char* name) {
    return platform::host_path(name ? name : "");
}

// Reads native pixel data from the start of `f`, at most `max_bytes`, and
// copies the whole pixels read to `dest`. Beyond a short (binned) file the
// destination keeps its old pixels. False, with `dest` untouched, when the
// read fails or the file shrank under us.
bool read_native(InputFile& f, unsigned short* dest, long long max_bytes, long long piece) {
    const long long total = std::min({f.length(), max_bytes, fileio::STAGING_BYTES});
    unsigned char* buf = fileio::staging();
    if (f.read_pieces(buf, total, piece) != total) return false;
    for (long long i = 0; i < total / 2; ++i)
        dest[i] = static_cast<unsigned short>(buf[2 * i] | buf[2 * i + 1] << 8);
    return true;
}

// Message 14 for a file that is no FITS at all, else 13 with the reason.
void fits_result_message(int r) {
    const char* why = fits.load_error;
    if (!why[0] || (r == 2 && std::strncmp(why, "not a FITS file", 15) == 0)) {
        messages(r == 2 ? 14 : 13);
        return;
    }
    const std::string text = std::string(message_text(13)) + ": " + why;
    messages(MSG_OWN_TEXT, text.c_str());
}

bool is_fits(Kind kind, const std::string& host) {
    return kind == Kind::Fits || kind == Kind::FitsBinned || looks_like_fits(host.c_str());
}

} // namespace

int SaveQVFile(const char* name) {
    const std::string host = host_name(name);
    if (host.empty()) {
        messages(17);
        return 1;
    }
    const long long w = disp.width1, h = disp.height1;
    if (w <= 0 || h <= 0 || w * h > MAIN_BUFFER_PIXELS) {
        messages(19);
        return 1;
    }
    fileio::WaitCursor wait;
    fileio::ReplacingFile out(host);
    if (!out.is_open()) {
        messages(19);
        return 1;
    }
    unsigned char* buf = fileio::staging();
    for (long long i = 0; i < w * h; ++i) {
        buf[2 * i] = static_cast<unsigned char>(image[i] & 0xFF);
        buf[2 * i + 1] = static_cast<unsigned char>(image[i] >> 8);
    }
    const long long row = 2 * w;
    for (long long r = 0; r < h; ++r) {
        if (!out.write(buf + r * row, static_cast<std::size_t>(row))) {
            messages(19);
            return 1;
        }
    }
    if (!out.commit()) {
        messages(19);
        return 1;
    }
    return 0;
}

int LoadQVFile(const char* name) {
    fileio::copy_text(disp.image_name, sizeof disp.image_name, name);
    fileio::WaitCursor wait;
    const std::string host = host_name(name);
    if (host.empty()) {
        messages(11);
        return LOAD_REFUSED;
    }
    InputFile f(host);
    const Kind kind = classify(f.length());
    if (is_fits(kind, host)) {
        // The file's header gives the size; a refused file changes nothing.
        f.close();
        const int r = LoadFITSFile(host.c_str(), 2, image);
        if (r != 0) {
            fits_result_message(r);
            return LOAD_FITS_FAILED;
        }
        const SensorGeometry s = camera_sensor();
        const bool half = 2 * disp.width1 == s.width && 2 * disp.height1 == s.height;
        files.bin_type = half ? 2 : 1;
        return LOAD_OK;
    }
    if (kind == Kind::None) {
        messages(41);
        return LOAD_REFUSED;
    }

    // The load ends in the camera's full-frame geometry, so the data are read
    // for that frame rather than for whatever geometry is current.
    const SensorGeometry s = camera_sensor();
    const long long n = static_cast<long long>(s.width) * s.height;
    const long long piece = s.divisor > 0 ? n / s.divisor : n;
    if (!read_native(f, image, 2 * n, piece)) {
        messages(41);
        return LOAD_REFUSED;
    }
    f.close();
    ClearFITSInfo();
    const bool bin = kind == Kind::NativeBinned;
    disp.binned = bin ? 1 : 0;
    files.bin_type = bin ? 2 : 1;
    nocteris_binned();
    disp.damage_note[0] = '\0'; // a native file keeps no note
    return LOAD_OK;
}

int LoadQVTempFile(const char* name) {
    fileio::WaitCursor wait;
    const std::string host = host_name(name);
    InputFile f(host);
    const Kind kind = classify(f.length());
    if (is_fits(kind, host)) {
        f.close();
        int w = 0, h = 0;
        int r = fits_image_size(host.c_str(), w, h);
        if (r == 0 && 2 * w == disp.width1 && 2 * h == disp.height1 && disp.binned == 0) {
            messages(MSG_OWN_TEXT, BINNED_OPERAND_TEXT);
            return 1;
        }
        if (r == 0) r = LoadTempFITSFile(host.c_str(), trial);
        if (r != 0) {
            fits_result_message(r);
            return 1;
        }
        return 0;
    }
    if (kind == Kind::None) {
        messages(16);
        return 1;
    }
    const long long bytes = 2LL * std::max(disp.width1, 0) * std::max(disp.height1, 0);
    if (!read_native(f, trial, bytes, disp.writefile16)) {
        messages(16);
        return 1;
    }
    return 0;
}

int load_geometry_frame(const char* name, unsigned short* dest) {
    const std::string host = host_name(name);
    InputFile f(host);
    if (!f.is_open()) return 12; // the fixed-frame loader tells which failure it is
    const Kind kind = classify(f.length());
    if (is_fits(kind, host)) {
        f.close();
        return LoadTempFITSFile(host.c_str(), dest) == 0 ? 0 : 12;
    }
    if (kind != Kind::Native) return 12;
    const long long bytes = 2LL * std::max(disp.width1, 0) * std::max(disp.height1, 0);
    return read_native(f, dest, bytes, disp.writefile16) ? 0 : 12;
}

namespace {

constexpr int COMPARISON_WIDTH = 752;
constexpr int COMPARISON_HEIGHT = 580;

} // namespace

int load_comparison_file(unsigned short* native_dest, unsigned short* fits_dest) {
    const std::string host = host_name(files.ComparisonFileName);
    if (host.empty()) return 11;
    InputFile f(host);
    const long long len = f.length();
    const bool fits = len == COMPARISON_FITS || len == COMPARISON_FITS_BIN;
    const bool bin = len == COMPARISON_NATIVE_BIN || len == COMPARISON_FITS_BIN;
    if (!fits && !bin && len != COMPARISON_NATIVE) return 12;
    if (bin != (disp.binned != 0)) return 12;

    // Never more pixels than the current geometry holds, nor than were read.
    const long long want =
        std::min(static_cast<long long>(std::max(disp.width1, 0)) * std::max(disp.height1, 0),
                 static_cast<long long>(MAIN_BUFFER_PIXELS));
    if (!fits) return read_native(f, native_dest, 2 * want, 2LL * disp.width1) ? 0 : 12;

    f.close();
    const int w = bin ? COMPARISON_WIDTH / 2 : COMPARISON_WIDTH;
    const int h = bin ? COMPARISON_HEIGHT / 2 : COMPARISON_HEIGHT;
    return LoadFITSPixels(host.c_str(), w, h, fits_dest, want) == 0 ? 0 : 12;
}

int load_comparison_image() {
    comparison = comparison_int;
    const int r = load_comparison_file(comparison, comparison);
    if (r == 11)
        messages(45);
    else if (r == 12)
        messages(46);
    else
        files.comparison_loaded = 1;
    return r;
}
