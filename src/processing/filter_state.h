#pragma once

// State of the enhancement filters that outlives one command.
struct FilterState {
    // Radius and power of the unsharp mask and the median filter. Each dialog
    // puts its defaults here before it opens, so no value carries over from
    // another command.
    int white = 3;
    int black = 1;
    // Direction of the next vertical smoothing; toggled on every use.
    int venetian_flipflop = 0;
    // Worker threads of the filters; 0 uses every core. The result does not
    // depend on it.
    int threads = 0;
    // Use the AVX2 copies of the hot loops where the processor has them;
    // tests turn it off to check the baseline copies too.
    bool use_avx2 = true;
};

extern FilterState filt;

void reset_filter_state();
