#pragma once

// Every command the main window dispatches: menu items, tool-bar buttons,
// accelerators and the internal requests that dialogs and long loops send
// it (platform::ui().send_command). The numbers are the program's own.
enum CommandId : int {
    // File
    CM_FILE_OPEN = 24332,
    CM_FILE_SAVE = 24333,
    CM_TIF_SAVE = 24334,
    CM_FITS_SAVE = 24335,
    CM_SAVE_AS_FITS = 24336, // Quick Save
    CM_FILE_DELETE = 13,
    CM_EDIT_FITS_TEXT = 19,
    CM_DARK_FILE = 104,
    CM_FLAT_FIELD = 122,
    CM_FILE_COMPARISON = 124,
    CM_INI = 121,
    CM_CAMERA_INTERFACE = 12,
    CM_PICK_STAR = 21,
    CM_FOCUS_FRAME = 25,
    CM_FOCUS_FRAME_RESET = 26,
    CM_TRAIN_GUIDE = 22,
    CM_START_GUIDE = 23,
    CM_TELESCOPE_CONTROL = 24,
    CM_PRINT_SETUP = 114,
    CM_PRINT = 116,
    CM_EXIT = 24310,
    // Edit
    CM_UNDO = 9,
    CM_COPY = 24359,
    // View
    CM_FIT = 301,
    CM_BIN_DISPLAY = 123,
    CM_COL_PAL = 118,
    CM_STRETCH_PAL = 119,
    CM_STRETCH_MAX = 726,
    CM_MIRROR = 302,
    CM_PHOTOMETRY = 14,
    CM_BLINK_COMPARISON = 125,
    CM_3D_PLOT = 15,
    CM_ROW_PLOT = 16,
    CM_HISTORY = 17,
    CM_VIEW_FITS_TEXT = 20,
    CM_LABEL = 8,
    CM_HISTOGRAM = 6,
    // Contrast
    CM_CONTRAST_NORMAL = 1,
    CM_CONTRAST_POWER = 2,
    CM_CONTRAST_SINE = 101,
    CM_CONTRAST_BACKGROUND = 120,
    CM_CONTRAST_TOLVERN = 117,
    CM_CONTRAST_LOG = 102,
    CM_CONTRAST_ANTILOG = 103,
    CM_CONTRAST_INVERT = 105,
    // Filters
    CM_UNSHARP = 106,
    CM_HIGHLOW = 107,
    CM_HIGHHIGH = 108,
    CM_SMOOTHSHARP = 109,
    CM_MEDIAN = 3,
    CM_GAUSSIAN = 4,
    CM_LOWPASS = 5,
    CM_BASRELIEF = 7,
    CM_GRADIENT = 18,
    CM_VENETIAN = 29,
    // Merging
    CM_SUBTRACT_IMAGE = 110,
    CM_FLAT_IMAGE = 115,
    CM_ADD_IMAGE = 111,
    CM_AVERAGE_IMAGE = 126,
    // Help
    CM_HELP_USING = 112,
    CM_HELP_ABOUT = 113,

    // Accelerator, tool bar and internal requests.
    CM_GUIDER_CAMERA = 27,
    CM_CONTRAST_STRETCH = 888, // apply the stretch table just built
    CM_GUIDE_TELESCOPE = 889,  // take one guide image
    CM_GUIDER_GUIDE = 890,     // stand-alone guider guiding
    CM_PAINT = 891,
    CM_BLINK_NEXT = 925,
    CM_BLINK_STOP = 926,
    CM_STRETCH_ON = 1901,
    CM_STRETCH_OFF = 1902,
    CM_STRETCH_TOGGLE = 1906, // display-stretch repaint from a dialog
    CM_STRETCH_PAINT = 1907,
    CM_WRITE_BITMAP = 7102,
    CM_CAMERA_GEOMETRY = 16102, // camera geometry set-up once discovery knows the model
};

// Tool-bar buttons are named by their bitmaps; most share their command's
// number, these do not.
enum ToolBitmapId : int {
    TB_CAMERA = 1000,
    TB_STRETCH_ON = 1002,
    TB_STRETCH_OFF = 1003,
    TB_PHOTOMETRY = 1903,
    TB_STRETCH_MAX = 1904,
    TB_BIN_OFF = 1907,
    TB_BIN_ON = 1908,
};
