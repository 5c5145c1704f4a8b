#include "processing/calibration.h"

#include "display/history.h"
#include "display/image_store.h"
#include "files/file_io.h"
#include "files/file_state.h"
#include "files/native_file.h"
#include "platform/ui.h"
#include "processing/stacking.h"

#include <algorithm>
#include <cstring>

CalibrationState calib;

void reset_calibration_state() {
    calib = CalibrationState{};
}

namespace {

// The flat-field cache. The dark frame lives in the image store's `dark_int`.
unsigned short flat_int[MAIN_BUFFER_PIXELS];

bool has_label(const unsigned short* img) {
    return image_row_count() > 0 && has_label_marker(img, disp.width1);
}

void copy_pixels(unsigned short* to, const unsigned short* from) {
    if (to != from)
        std::memmove(to, from, static_cast<std::size_t>(image_pixel_count()) * sizeof *to);
}

// Reads a calibration frame with the rules of the comparison loader (the
// fixed 752 x 580 frame and its binned form); that loader reads the file
// named in ComparisonFileName, so the name is lent to it for the call.
int load_fixed_frame(const char* name, unsigned short* dest) {
    char kept[sizeof files.ComparisonFileName];
    std::memcpy(kept, files.ComparisonFileName, sizeof kept);
    fileio::copy_text(files.ComparisonFileName, sizeof files.ComparisonFileName, name ? name : "");
    const int r = load_comparison_file(dest, dest);
    std::memcpy(files.ComparisonFileName, kept, sizeof kept);
    return r;
}

bool cache_holds(const FrameCache& c, const char* name) {
    return c.valid && c.width == disp.width1 && c.height == disp.height1 &&
           c.binned == disp.binned && std::strcmp(c.name, name ? name : "") == 0;
}

// Loads `name` into `pixels`. Pixels a short file does not reach are zero, so
// nothing left over from another frame is ever applied.
int load_cache(const char* name, unsigned short* pixels, FrameCache& c) {
    c.valid = 0;
    std::fill(pixels, pixels + image_pixel_count(), 0);
    // A frame of the camera's own size first: the fixed frame rules alone
    // would refuse every frame the current cameras take.
    int r = load_geometry_frame(name, pixels);
    if (r == 12) r = load_fixed_frame(name, pixels);
    if (r != 0) return r;
    fileio::copy_text(c.name, sizeof c.name, name ? name : "");
    c.width = disp.width1;
    c.height = disp.height1;
    c.binned = disp.binned;
    c.valid = 1;
    return 0;
}

} // namespace

void undo_image(const unsigned short* a, unsigned short* b) {
    copy_pixels(b, a);
}
void restore_image(unsigned short* a, const unsigned short* b) {
    copy_pixels(a, b);
}
void copy_image(unsigned short* a, const unsigned short* b) {
    copy_pixels(a, b);
}
void backup_image(const unsigned short* a, unsigned short* b) {
    copy_pixels(b, a);
}

const unsigned short* dark_cache() {
    return dark_int;
}
const unsigned short* flat_cache() {
    return flat_int;
}

void do_subtract_image(unsigned short* image, const unsigned short* dark) {
    const long n = image_pixel_count();
    for (long i = 0; i < n; ++i)
        image[i] = dark[i] < image[i] ? static_cast<unsigned short>(image[i] - dark[i]) : 0;
}

double flat_reference_level(const unsigned short* flat) {
    const int w = disp.width1, rows = image_row_count();
    const int y0 = 10, y1 = std::min(19, rows - 1);
    const int x0 = 5, x1 = w - 2;
    double sum = 0.0;
    long n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x, ++n) sum += flat[static_cast<long>(y) * w + x];
    if (n == 0) {
        // A frame too small for the sample: its mean instead.
        n = static_cast<long>(w) * rows;
        for (long i = 0; i < n; ++i) sum += flat[i];
    }
    return n > 0 ? sum / static_cast<double>(n) : 0.0;
}

void do_flat_field(unsigned short* fredptr, const unsigned short* trialptr, double avg, int line) {
    if (line < 0 || line >= image_row_count()) return;
    const long base = static_cast<long>(line) * disp.width1;
    for (int x = 2; x <= disp.width1 - 2; ++x) {
        const unsigned short v = fredptr[base + x];
        const unsigned short f = trialptr[base + x];
        double r;
        if (f != 0)
            r = static_cast<double>(v) / f * avg;
        else
            r = v != 0 ? v : avg;
        fredptr[base + x] = r >= 65535.0 ? 65535 : static_cast<unsigned short>(std::max(r, 0.0));
    }
}

int auto_remove(int darkframe_loaded, const char* fileName, unsigned short* fredptr) {
    if (!darkframe_loaded || !cache_holds(calib.dark, fileName)) {
        const int r = load_cache(fileName, dark_int, calib.dark);
        if (r != 0) return r;
    }
    do_subtract_image(fredptr, dark_int);
    return 0;
}

int auto_flatfield(int flatfield_loaded, const char* fileName, unsigned short* fredptr) {
    if (!flatfield_loaded || !cache_holds(calib.flat, fileName)) {
        const int r = load_cache(fileName, flat_int, calib.flat);
        if (r != 0) return r;
        calib.flat_level = flat_reference_level(flat_int);
    }
    for (int y = 2; y < image_row_count(); ++y)
        do_flat_field(fredptr, flat_int, calib.flat_level, y);
    return 0;
}

void apply_subtract_operand() {
    do_subtract_image(image, trial);
    update_history("Dark Frame Subtracted");
}

void apply_flat_operand() {
    const double level = flat_reference_level(trial);
    platform::ui().progress_open("FLAT FIELD PROGRESS");
    int progress = 10;
    platform::ui().progress_update(progress);
    for (int y = has_label(image) ? 11 : 1; y < image_row_count(); ++y) {
        do_flat_field(image, trial, level, y);
        platform::ui().progress_update(++progress);
    }
    platform::ui().progress_close();
    update_history("Flat Field Applied");
}

bool Subtract_Image() {
    stacking.merge_type = 's';
    return merge_operand_pick();
}

bool Flat_Image() {
    stacking.merge_type = 'f';
    return merge_operand_pick();
}
