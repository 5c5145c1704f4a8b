#include "processing/stretch.h"
#include "platform/command_ids.h"

#include "display/display_pipeline.h"
#include "display/history.h"
#include "display/image_store.h"
#include "platform/ui.h"
#include "processing/parallel.h"
#include "processing/processing_state.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

constexpr int TOP = STRETCH_TABLE_SIZE - 1; // largest entry: 2 * 32767 still fits 16 bits
constexpr int BLOCKS = 16;
constexpr int PROGRESS_STEP = 16;
constexpr int PIECES = 16; // shares of one block handed to the threads
// Below this many pixels a thread costs more to start than it saves.
constexpr std::size_t THREADED_MIN_PIXELS = 1 << 18;

// A formula's value as a table entry: truncated, and kept inside 0..32767 so
// a stray value (overflow, NaN from an odd power) never wraps.
std::uint16_t entry(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= TOP) return TOP;
    return static_cast<std::uint16_t>(v);
}

long long trunc_int(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<long long>(std::clamp(v, -1e15, 1e15));
}

std::size_t image_pixels() {
    return static_cast<std::size_t>(image_pixel_count());
}

std::size_t band_pixels() {
    return std::min(static_cast<std::size_t>(std::max(disp.width1_10, 0)), image_pixels());
}

[[gnu::format(printf, 1, 2)]] void add_history(const char* fmt, ...) {
    char line[HISTORY_TEXT];
    std::va_list args;
    va_start(args, fmt);
    std::vsnprintf(line, sizeof line, fmt, args);
    va_end(args);
    update_history(line);
}

void apply_now() {
    platform::ui().send_command(CM_CONTRAST_STRETCH);
}

void fill_normal() {
    const long long b = 128LL * proc.black;
    const long long w = std::min(128LL * proc.white, static_cast<long long>(STRETCH_TABLE_SIZE));
    const double ratio = proc.white > proc.black ? 255.0 / (proc.white - proc.black) : 0.0;
    for (int i = 0; i < STRETCH_TABLE_SIZE; ++i) {
        if (i < b)
            proc.stretch_table[i] = 0;
        else if (i < w)
            proc.stretch_table[i] = entry((i - b) * ratio);
        else
            proc.stretch_table[i] = TOP;
    }
}

// False (table untouched) when the background is too dark to remove.
bool fill_background() {
    const int most_pop = std::min(disp.most_pop, 256);
    if (most_pop <= 2) return false;
    proc.black = 128u * static_cast<unsigned>(most_pop - 2);
    const int b = static_cast<int>(proc.black);
    const double ratio = 255.0 / (257 - most_pop);
    for (int i = 0; i < STRETCH_TABLE_SIZE; ++i)
        proc.stretch_table[i] = i < b ? 0 : entry((i - b) * ratio);
    return true;
}

void map_pixels(unsigned short* px, std::size_t n, const std::uint16_t* table) {
    for (std::size_t i = 0; i < n; ++i) px[i] = static_cast<unsigned short>(table[px[i] >> 1] << 1);
}

struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// The 16 blocks after the label band. The last one also takes the few pixels
// an uneven division leaves over, so no pixel escapes the stretch.
Span block(int k, std::size_t band, std::size_t total) {
    const std::size_t size = (total - band) / BLOCKS;
    const std::size_t begin = band + static_cast<std::size_t>(k) * size;
    return {begin, k == BLOCKS - 1 ? total : begin + size};
}

int apply_threads(std::size_t pixels) {
    if (pixels < THREADED_MIN_PIXELS) return 1;
    return parallel::thread_count(proc.apply_threads, 16);
}

// Maps the blocks in small pieces, advancing the progress bar from the
// calling thread as each block's worth of pieces is done: a helper the
// scheduler puts aside holds up one small piece at most, never a whole block
// (as a barrier per block did on a busy machine).
void map_blocks(std::size_t band, std::size_t total) {
    const std::uint16_t* table = proc.stretch_table;
    unsigned short* px = image;
    auto map_piece = [&](int, int c) {
        const Span s = block(c / PIECES, band, total);
        const std::size_t len = s.end - s.begin;
        const std::size_t lo = s.begin + len * (c % PIECES) / PIECES;
        const std::size_t hi = s.begin + len * (c % PIECES + 1) / PIECES;
        map_pixels(px + lo, hi - lo, table);
    };
    int reported = 0;
    auto progress = [&](int pieces_done) {
        while (reported < pieces_done / PIECES)
            platform::ui().progress_update(PROGRESS_STEP * ++reported);
    };
    parallel::for_pieces(BLOCKS * PIECES, apply_threads(total - band), map_piece, progress);
}

} // namespace

bool image_is_labelled() {
    return image_pixels() >= 6 && has_label_marker(image, 6);
}

void stretch_histogram(std::uint32_t counts[256]) {
    std::fill(counts, counts + 256, 0u);
    const std::size_t total = image_pixels();
    for (std::size_t i = image_is_labelled() ? band_pixels() : 0; i < total; ++i)
        ++counts[image[i] >> 8];
}

bool contrast_stretch(int redisplay) {
    auto& ui = platform::ui();
    ui.set_cursor(platform::CursorShape::Wait);
    ui.progress_open("CONTRAST STRETCH");

    image = image_int;
    undo = undo_int;
    undo_save_option();

    const std::size_t total = image_pixels();
    const std::size_t band = band_pixels();
    if (!image_is_labelled()) map_pixels(image, band, proc.stretch_table);
    map_blocks(band, total);

    ui.progress_close();
    ui.set_cursor(platform::CursorShape::Arrow);
    return redisplay != 0;
}

void ContrastNormal() {
    fill_normal();
    apply_now();
    add_history("Normal Stretch : max %u ,min %u", proc.white, proc.black);
}

void ContrastPower() {
    const double p = proc.power_str;
    const double factor = 1.0 / std::pow(32768.0, p - 1.0);
    for (int i = 0; i < STRETCH_TABLE_SIZE; ++i)
        proc.stretch_table[i] = entry(std::pow(static_cast<double>(i), p) * factor);
    apply_now();
    add_history("Power Stretch : %1.1f", p);
}

void ContrastSine() {
    for (int i = 0; i < STRETCH_TABLE_SIZE; ++i)
        proc.stretch_table[i] = entry((std::sin((i - 16384) / 10432.0) + 1.0) * 16383.0);
    apply_now();
    update_history("Sine Stretch");
}

void ContrastBackground() {
    if (!fill_background()) return;
    apply_now();
    add_history("Background Removed : min %d", disp.most_pop - 2);
}

bool DoContrastBackGround(int apply) {
    if (!fill_background()) return false;
    if (apply) contrast_stretch(1);
    add_history("Background Removed : min %d", disp.most_pop - 2);
    return true;
}

void logstretch() {
    for (int i = 0; i < STRETCH_TABLE_SIZE; ++i)
        proc.stretch_table[i] = entry(std::log(i + 1.0) * 3151.0);
    apply_now();
    update_history("Log Stretch");
}

void antilog() {
    for (int i = 0; i < STRETCH_TABLE_SIZE; ++i)
        proc.stretch_table[i] = entry(std::pow(2.71828, i / 3151.0) - 1.0);
    apply_now();
    update_history("Anti-Log Stretch");
}

void ContrastInvert() {
    for (int i = 0; i < STRETCH_TABLE_SIZE; ++i)
        proc.stretch_table[i] = static_cast<std::uint16_t>(TOP - i);
    apply_now();
    update_history("Invert Image to Negative");
}

void tolvern(double power) {
    for (int i = 0; i < STRETCH_TABLE_SIZE; ++i) {
        const double x = i / 32768.0;
        proc.stretch_table[i] = entry(32768.0 * power * x / (x * (power - 1.0) + 1.0));
    }
    add_history("Non-Linear Stretch : power %lld", trunc_int(power));
}

void auto_contrast_stretch(double power, bool remove_background) {
    find_most_pop(image);
    // Applying after a refused removal would apply whatever table is left over.
    if (remove_background && DoContrastBackGround(0)) contrast_stretch(0);
    tolvern(power);
    contrast_stretch(0);
}

bool cm_contrast_sine() {
    ContrastSine();
    return false;
}

bool cm_contrast_background() {
    ContrastBackground();
    return false;
}

bool cm_contrast_log() {
    logstretch();
    return false;
}

bool cm_contrast_antilog() {
    antilog();
    return false;
}

bool cm_contrast_invert() {
    ContrastInvert();
    return false;
}

bool cm_contrast_stretch() {
    return contrast_stretch(1);
}
