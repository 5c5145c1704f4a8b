#pragma once
#include <ctime>

// What the file commands remember between calls.
struct FileState {
    char lastfile[100] = "";
    char lastdir[100] = "";
    int Filter_Index = 3; // 1 native, 2 FITS, 3 all files
    char DarkFileName[256] = "";
    char FlatFileName[256] = "";
    char ComparisonFileName[256] = "";
    char file_name[256] = "";
    int comparison_loaded = 0;
    int bin_type = 1;

    // Purpose of the current shared file pick (set for one command only).
    int load_darkframe = 0;
    int load_flatfield = 0;
    int load_comparison = 0;
    int delete_file = 0;
    int save_tif = 0;
    int save_FITS = 0;

    // Exposure start and end (calendar seconds), set by the exposure sequence;
    // the automatic save stamps the file with their mid-point.
    std::time_t start_exp = 0;
    std::time_t end_exp = 0;
    char auto_save_name[10] = "IMG"; // stem of automatic save names
};

extern FileState files;

void reset_file_state();
