#pragma once

constexpr int LABEL_TEXT_MAX = 31;  // characters of a label text
constexpr int HIST_LIST_TEXT = 600; // the list beside the histogram

// The analysis windows' guards, the photometry clicks (the object,
// comparison and background points with their sums, and the last pointer
// position) and the label options.
struct AnalysisState {
    // One window of each kind: 1 exactly while it exists.
    int hist_already = 0;
    int intensity_plot = 0;
    int row_plot = 0;
    int blinking = 0;
    int photometry = 0;

    // The image the plot windows read, taken when they open.
    const unsigned short* externptr = nullptr;
    char workfld2[HIST_LIST_TEXT] = {};

    char ph_object = 'o';
    int obj_x = 0, obj_y = 0;
    long obj_val = 0;
    int comp_x = 0, comp_y = 0;
    long comp_val = 0;
    int back_x = 0, back_y = 0;
    long back_val = 0;
    int back_select = 0;
    int mast_x = 0, mast_y = 0, mast_val = 0;

    char txtbuffer[LABEL_TEXT_MAX + 1] = {};
    int auto_date = 1;
    int auto_FITS_date = 0;
};

extern AnalysisState ana;

void reset_analysis_state();
