#include "files/file_state.h"

FileState files;

void reset_file_state() {
    files = FileState{};
}
