#pragma once
#include <cstddef>

// The undo copy and the processing history (`process_info`): up to 15 texts
// of at most 39 characters, filled from the front; an empty text ends the list.

// Size of the text box that shows the history.
constexpr std::size_t HISTORY_BOX_CHARS = 500;

// Copies `intlength` pixels from `image` to `undo`, before a change, with
// the processing history as it stands.
void undo_save_option();

// The Undo command: puts back the pixels and the history of the last
// undo_save_option, once. False (and nothing changed) when there is nothing
// to go back to: before any change, or after the Undo of the last one. The
// caller rebuilds the display.
bool restore_image();

// Adds `text` (cut to 39 characters) in the first empty entry; dropped when
// all 15 are in use.
void update_history(const char* text);

// Clears the entry before the first empty one. Nothing happens when the
// history is empty, nor when all 15 entries are in use.
void remove_last_history();

// The text the history command shows: each entry followed by " \n", from
// the first, stopping after the entry whose successor is shorter than two
// characters. Only whole lines are taken, as many as fit in `cap` bytes with
// the terminating NUL. Returns the length written.
std::size_t compose_history_text(char* out, std::size_t cap);
