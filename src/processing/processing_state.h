#pragma once

// State of the processing commands that outlives one command.
struct ProcessingState {
    int dummy_ = 0;
};

extern ProcessingState proc;

void reset_processing_state();
