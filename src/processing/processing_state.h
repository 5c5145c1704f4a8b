#pragma once
#include <cstdint>

constexpr int STRETCH_TABLE_SIZE = 32768;

// State of the processing commands that outlives one command.
struct ProcessingState {
    // The contrast lookup table: index = pixel / 2, new pixel = 2 * entry.
    std::uint16_t stretch_table[STRETCH_TABLE_SIZE] = {};
    // Normal-stretch limits in display levels (0..255 and 1..300); the
    // non-linear stretch keeps its power (2..50) in `white`.
    unsigned black = 0;
    unsigned white = 255;
    // Where the Normal Stretch dialog last drew its markers.
    unsigned oldblack = 0;
    unsigned oldwhite = 255;
    // Power-law exponent, 0.1..3.0.
    double power_str = 1.0;
    // Threads the apply step may use; 0 means one per core.
    int apply_threads = 0;
};

extern ProcessingState proc;

void reset_processing_state();
