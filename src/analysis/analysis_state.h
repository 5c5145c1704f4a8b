#pragma once

// The analysis windows' guards and the photometry clicks: the object,
// comparison and background points with their sums, and the last click.
struct AnalysisState {
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
};

extern AnalysisState ana;

void reset_analysis_state();
