#pragma once

// Persistent options (the settings file) and their start-up defaults.
struct Settings {
    short star_mask = 8;
    char default_back = 'l';
    char telescope = 'n';
    short ignore_small = 0;
    short Debug_Mode = 0;
};

extern Settings cfg;

void reset_settings();
