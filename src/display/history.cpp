#include "display/history.h"

#include "display/image_store.h"

#include <algorithm>
#include <cstring>

namespace {

std::size_t image_pixels() {
    return static_cast<std::size_t>(image_pixel_count());
}

// Index of the first empty entry among the used ones, or HISTORY_USED.
int first_empty() {
    int i = 0;
    while (i < HISTORY_USED && disp.process_info[i][0] != '\0') ++i;
    return i;
}

} // namespace

void undo_save_option() {
    if (image != undo) std::memcpy(undo, image, image_pixels() * sizeof *image);
    std::memcpy(disp.undo_process_info, disp.process_info, sizeof disp.process_info);
    disp.undo_ready = 1;
}

bool restore_image() {
    // One level: a second Undo would keep the pixels but lose history lines
    // that still describe them.
    if (!disp.undo_ready) return false;
    if (image != undo) std::memcpy(image, undo, image_pixels() * sizeof *image);
    std::memcpy(disp.process_info, disp.undo_process_info, sizeof disp.process_info);
    disp.undo_ready = 0;
    return true;
}

void update_history(const char* text) {
    if (!text) return;
    const int i = first_empty();
    if (i == HISTORY_USED) return;
    std::strncpy(disp.process_info[i], text, HISTORY_TEXT - 1);
    disp.process_info[i][HISTORY_TEXT - 1] = '\0';
}

void remove_last_history() {
    const int i = first_empty();
    if (i > 0 && i < HISTORY_USED) disp.process_info[i - 1][0] = '\0';
}

std::size_t compose_history_text(char* out, std::size_t cap) {
    if (!out || cap == 0) return 0;
    std::size_t len = 0;
    out[0] = '\0';
    for (int i = 0; i < HISTORY_USED; ++i) {
        const char* entry = disp.process_info[i];
        const std::size_t n = strnlen(entry, HISTORY_TEXT - 1);
        if (len + n + 2 >= cap) break; // a line that does not fit whole is left out
        std::memcpy(out + len, entry, n);
        std::memcpy(out + len + n, " \n", 2);
        len += n + 2;
        out[len] = '\0';
        if (strnlen(disp.process_info[i + 1], 2) < 2) break;
    }
    return len;
}
