#include "processing/processing_state.h"

ProcessingState proc;

void reset_processing_state() {
    proc = ProcessingState{};
}
