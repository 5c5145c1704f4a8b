#pragma once
#include "processing/stacking.h"

// Mouse modes and click results of the main window (merging keeps its own
// state with the stacking code).
struct AppState {
    int photometry = 0;
    int row_plot = 0;
    char ph_object = 'o';

    int obj_x = 0, obj_y = 0;
    long obj_val = 0;
    int comp_x = 0, comp_y = 0;
    long comp_val = 0;
    int back_x = 0, back_y = 0;
    long back_val = 0;
    int mast_x = 0, mast_y = 0, mast_val = 0;

    // The self-guiding information window is open (closed by the abort rule).
};

extern AppState app;

void reset_app_state();
