#pragma once

// Mouse modes and click results of the main window.
struct AppState {
    int photometry = 0;
    int row_plot = 0;
    int merging = 0;
    int orig = 0;
    int merge_centre = 0;
};

extern AppState app;

void reset_app_state();
