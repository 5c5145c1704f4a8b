#include "app/main_window.h"

// The command table: every menu item, tool-bar button, accelerator and
// internal request of the main window, in menu order. Rows without a handler
// belong to capabilities still to come and are shown greyed.
using W = TNocterisWindow;

namespace {

const std::vector<CommandEntry> table = {
    {24332, "&File", "&Open...", "CTL+O", false, &W::CmFileOpen, nullptr},
    {24333, "&File", "&Save...", "CTL+S", false, &W::CmFileSave, nullptr},
    {24334, "&File", "Save as &Tiff file...", nullptr, false, &W::CmTifSave, nullptr},
    {24335, "&File", "S&ave as FITS file...", nullptr, false, &W::CmFITSSave, nullptr},
    {24336, "&File", "&Quick Save as FITS...", "Ctl+Q ", true, &W::CmSaveAsFits, nullptr},
    {13, "&File", "&Delete File...", nullptr, false, &W::CmFileDelete, nullptr},
    {19, "&File", "&Load/Edit AutoSave FITS text", nullptr, false, &W::CmEditFITSText, nullptr},
    {104, "&File", "Select Dark &Frame...", nullptr, false, &W::CmDarkFile, nullptr},
    {122, "&File", "Select Auto-Flat File...", nullptr, false, &W::CmFlatField, nullptr},
    {124, "&File", "Load Comparison Image", nullptr, true, &W::CmFileComparison, nullptr},
    {121, "&File", "Set Program Defa&ults", nullptr, false, &W::CmINI, nullptr},
    {12, "&File", "Nocteris Camera &Interface", "CTL+Z", false, &W::QV_Control, nullptr},
    {21, "&File", "Pic&k Guide Star", "CTL+P", false, &W::CmPickStar, &W::CePickStar},
    {25, "&File", "Focus Frame Centre", "CTL+W", false, &W::CmFocusFrame, nullptr},
    {26, "&File", "Default Focus Frame Centre", nullptr, true, &W::CmFocusFrameReset, nullptr},
    {22, "&File", "Train Auto-Guiding", nullptr, false, nullptr, &W::CeTelescope},
    {23, "&File", "Start Auto-Guiding", nullptr, false, nullptr, &W::CeTelescope},
    {24, "&File", "Telescope &Control", nullptr, true, nullptr, &W::CeTelescope},
    {114, "&File", "P&rint setup...", nullptr, false, &W::CmPrintSetup, nullptr},
    {116, "&File", "&Print...", nullptr, true, &W::CmPrint, nullptr},
    {24310, "&File", "E&xit", nullptr, false, &W::cmExit, nullptr},

    {9, "&Edit", "&Undo Last Filter", "CTL+U", false, &W::undo_restore_option, nullptr},
    {24359, "&Edit", "&Copy", "Shift+Ins", false, &W::CmCopy, &W::CeCopy},

    {301, "&View", "&Fit to window", nullptr, false, &W::CmFit, &W::CeFit},
    {123, "&View", "bin display", nullptr, false, &W::CmBinDisplay, &W::CeBin},
    {118, "&View", "False Colour P&alette", nullptr, false, &W::CmColPal, &W::CeColPal},
    {119, "&View", "&Auto contrast stretch image", nullptr, false, &W::CmStretchPal,
     &W::CeStretchPal},
    {726, "&View", "Max Palette Stretch", "CTL+M", false, &W::CmStretchMax, nullptr},
    {302, "&View", "&Mirror Image", nullptr, true, &W::CmMirror, nullptr},
    {14, "&View", "&Photometry of Image", nullptr, true, nullptr, nullptr},
    {125, "&View", "Blink Comparison", nullptr, true, nullptr, nullptr},
    {15, "&View", "3-D &Intensity Plot", nullptr, false, nullptr, nullptr},
    {16, "&View", "Intensity Plot of Current R&ow", nullptr, true, nullptr, nullptr},
    {17, "&View", "Processing &History", nullptr, false, &W::Info, nullptr},
    {20, "&View", "&Show/Edit Current Image FITS details", nullptr, false, &W::CmViewFITSText,
     nullptr},

    {8, "", "&Label", nullptr, false, nullptr, nullptr},

    {1, "&Contrast", "&Normal Stretch", "CTL+N", false, &W::CmContrastNormal, nullptr},
    {2, "&Contrast", "&Power Law Stretch", nullptr, false, &W::CmContrastPower, nullptr},
    {101, "&Contrast", "&Sine Law Stretch", nullptr, false, &W::CmContrastSine, nullptr},
    {120, "&Contrast", "&Remove Background", "CTL+B ", false, &W::CmContrastBackGround, nullptr},
    {117, "&Contrast", "N&on-Linear Stretch", nullptr, false, &W::CmContrastTolvern, nullptr},
    {102, "&Contrast", "&Logarithmic Stretch", nullptr, false, &W::CmContrastLog, nullptr},
    {103, "&Contrast", "&Antilogarithmic Stretch", nullptr, false, &W::CmContrastAntiLog, nullptr},
    {105, "&Contrast", "&Invert image to Negative", nullptr, false, &W::CmContrastInvert, nullptr},

    {106, "Filter&s ", "&Unsharp masking HPF", nullptr, false, &W::unsharp_enhance, nullptr},
    {107, "Filter&s ", "&High Pass, Low Power", nullptr, false, &W::highlow_enhance, nullptr},
    {108, "Filter&s ", "High Pass, High &Power", nullptr, false, &W::highhigh_enhance, nullptr},
    {109, "Filter&s ", "&Smoother/Sharper Filter", nullptr, true, &W::smoothsharp_enhance, nullptr},
    {3, "Filter&s ", "&Median Filter - Noise Reduction", nullptr, false, &W::median_enhance,
     nullptr},
    {4, "Filter&s ", "&Gaussian Smoother Filter", nullptr, false, &W::gaussian_enhance, nullptr},
    {5, "Filter&s ", "Low Pass &Weighted Mean &Smoother", nullptr, true, &W::lowpass_enhance,
     nullptr},
    {7, "Filter&s ", "&Bas Relief Generator", nullptr, false, &W::basrelief_enhance, nullptr},
    {18, "Filter&s ", "Gradient &Filter", nullptr, false, &W::gradient_enhance, nullptr},
    {29, "Filter&s ", "&Vertical Smoothing", nullptr, false, &W::venetian_enhance, nullptr},

    {110, "&Merging", "&Subtract Image (Dark Frame)", nullptr, false, &W::Subtract_Image, nullptr},
    {115, "&Merging", "Apply &Flat Field", nullptr, true, &W::Flat_Image, nullptr},
    {111, "&Merging", "Merge two Images &together", nullptr, false, &W::Add_Image, nullptr},
    {126, "&Merging", "Average &with current Image", nullptr, false, &W::Average_Image, nullptr},

    {6, "", "&Histogram", nullptr, false, nullptr, nullptr},

    {112, "Help", "Help in using Nocteris", nullptr, false, &W::Help_Using, nullptr},
    {113, "Help", "About Nocteris", nullptr, false, &W::Help_About, nullptr},

    // Not in the menu: accelerator, tool bar and internal commands.
    {27, nullptr, nullptr, nullptr, false, nullptr, nullptr},
    {888, nullptr, nullptr, nullptr, false, &W::CmContrastStretch, nullptr},
    {889, nullptr, nullptr, nullptr, false, nullptr, nullptr},
    {890, nullptr, nullptr, nullptr, false, nullptr, nullptr},
    {925, nullptr, nullptr, nullptr, false, nullptr, nullptr},
    {926, nullptr, nullptr, nullptr, false, nullptr, nullptr},
    {1901, nullptr, nullptr, nullptr, false, &W::CmMaxStretchToggle, nullptr},
    {1902, nullptr, nullptr, nullptr, false, &W::CmMaxStretchToggle, nullptr},
    {1906, nullptr, nullptr, nullptr, false, &W::CmMaxStretchToggle, nullptr},
    {1907, nullptr, nullptr, nullptr, false, &W::CmStretchPaint, nullptr},
    {7102, nullptr, nullptr, nullptr, false, &W::write_bitmap, nullptr},
    {891, nullptr, nullptr, nullptr, false, &W::PaintIt, nullptr},
    {16102, nullptr, nullptr, nullptr, false, &W::Nocteris_Camera, nullptr},
};

struct Hint {
    int id;
    const char* text;
};

const Hint hints[] = {
    {1, "Adjust the Contrast manually. setting max and min values"},
    {2, "Power Law contrast stretch"},
    {3, "Median Filter - use to reduce electronic noise in image"},
    {12, "Camera Control"},
    {14, "Photometry of image - caution, use with unstretched images "},
    {24, "Control a LX200 telescope or Autoguider port"},
    {104, "Select a file to be used as a dark frame for automatic processing"},
    {106, "Apply an unsharp mask - good for enhancing planetary detail"},
    {110, "Subtract a dark frame from currently displayed image"},
    {111, "Merge current image with one already saved"},
    {115, "Apply a flatfield to the currently displayed image"},
    {117, "Apply a non-linear stretch - good for nebulae"},
    {120, "Automatically make background black"},
    {121, "View and change most program variables"},
    {122, "Select a Flatfield frame to be used for automatic processing"},
    {726, "Apply non-linear stretch to display only, data is not changed"},
    {1000, "Camera Control"},
    {1901, "Use Display Stretch"},
    {1902, "Dont use Display Stretch"},
    {24332, "Get an image from Disk"},
    {24333, "Save Image in Raw data format"},
    {24335, "Save Image as a FITs file"},
};

} // namespace

const std::vector<CommandEntry>& command_table() {
    return table;
}

const char* command_hint(int id) {
    for (const auto& h : hints)
        if (h.id == id) return h.text;
    return "";
}
