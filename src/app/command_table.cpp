#include "app/main_window.h"
#include "platform/command_ids.h"

// The command table: every menu item, tool-bar button, accelerator and
// internal request of the main window, in menu order. Rows without a handler
// belong to capabilities still to come and are shown greyed.
using W = TNocterisWindow;

namespace {

const std::vector<CommandEntry> table = {
    {CM_FILE_OPEN, "&File", "&Open...", "CTL+O", false, &W::CmFileOpen, nullptr},
    {CM_FILE_SAVE, "&File", "&Save...", "CTL+S", false, &W::CmFileSave, nullptr},
    {CM_TIF_SAVE, "&File", "Save as &Tiff file...", nullptr, false, &W::CmTifSave, nullptr},
    {CM_FITS_SAVE, "&File", "S&ave as FITS file...", nullptr, false, &W::CmFITSSave, nullptr},
    {CM_SAVE_AS_FITS, "&File", "&Quick Save as FITS...", "Ctl+Q ", true, &W::CmSaveAsFits, nullptr},
    {CM_FILE_DELETE, "&File", "&Delete File...", nullptr, false, &W::CmFileDelete, nullptr},
    {CM_EDIT_FITS_TEXT, "&File", "&Load/Edit AutoSave FITS text", nullptr, false,
     &W::CmEditFITSText, nullptr},
    {CM_DARK_FILE, "&File", "Select Dark &Frame...", nullptr, false, &W::CmDarkFile, nullptr},
    {CM_FLAT_FIELD, "&File", "Select Auto-Flat File...", nullptr, false, &W::CmFlatField, nullptr},
    {CM_FILE_COMPARISON, "&File", "Load Comparison Image", nullptr, true, &W::CmFileComparison,
     nullptr},
    {CM_INI, "&File", "Set Program Defa&ults", nullptr, false, &W::CmINI, nullptr},
    {CM_CAMERA_INTERFACE, "&File", "Nocteris Camera &Interface", "CTL+Z", false, &W::QV_Control,
     nullptr},
    {CM_PICK_STAR, "&File", "Pic&k Guide Star", "CTL+P", false, &W::CmPickStar, &W::CePickStar},
    {CM_FOCUS_FRAME, "&File", "Focus Frame Centre", "CTL+W", false, &W::CmFocusFrame, nullptr},
    {CM_FOCUS_FRAME_RESET, "&File", "Default Focus Frame Centre", nullptr, true,
     &W::CmFocusFrameReset, nullptr},
    {CM_TRAIN_GUIDE, "&File", "Train Auto-Guiding", nullptr, false, &W::CmTrainGuide,
     &W::CeTelescope},
    {CM_START_GUIDE, "&File", "Start Auto-Guiding", nullptr, false, &W::CmStartGuide,
     &W::CeTelescope},
    {CM_TELESCOPE_CONTROL, "&File", "Telescope &Control", nullptr, true, &W::CmControl,
     &W::CeTelescope},
    {CM_PRINT_SETUP, "&File", "P&rint setup...", nullptr, false, &W::CmPrintSetup, nullptr},
    {CM_PRINT, "&File", "&Print...", nullptr, true, &W::CmPrint, nullptr},
    {CM_EXIT, "&File", "E&xit", nullptr, false, &W::cmExit, nullptr},

    {CM_UNDO, "&Edit", "&Undo Last Filter", "CTL+U", false, &W::undo_restore_option, nullptr},
    {CM_COPY, "&Edit", "&Copy", "Shift+Ins", false, &W::CmCopy, &W::CeCopy},

    {CM_FIT, "&View", "&Fit to window", nullptr, false, &W::CmFit, &W::CeFit},
    {CM_BIN_DISPLAY, "&View", "bin display", nullptr, false, &W::CmBinDisplay, &W::CeBin},
    {CM_COL_PAL, "&View", "False Colour P&alette", nullptr, false, &W::CmColPal, &W::CeColPal},
    {CM_STRETCH_PAL, "&View", "&Auto contrast stretch image", nullptr, false, &W::CmStretchPal,
     &W::CeStretchPal},
    {CM_STRETCH_MAX, "&View", "Max Palette Stretch", "CTL+M", false, &W::CmStretchMax, nullptr},
    {CM_MIRROR, "&View", "&Mirror Image", nullptr, true, &W::CmMirror, nullptr},
    {CM_PHOTOMETRY, "&View", "&Photometry of Image", nullptr, true, &W::CmPhotometry, nullptr},
    {CM_BLINK_COMPARISON, "&View", "Blink Comparison", nullptr, true, &W::blink_comparison,
     nullptr},
    {CM_3D_PLOT, "&View", "3-D &Intensity Plot", nullptr, false, &W::Cm3D, nullptr},
    {CM_ROW_PLOT, "&View", "Intensity Plot of Current R&ow", nullptr, true, &W::CmRowInt, nullptr},
    {CM_HISTORY, "&View", "Processing &History", nullptr, false, &W::Info, nullptr},
    {CM_VIEW_FITS_TEXT, "&View", "&Show/Edit Current Image FITS details", nullptr, false,
     &W::CmViewFITSText, nullptr},

    {CM_LABEL, "", "&Label", nullptr, false, &W::label_image, nullptr},

    {CM_CONTRAST_NORMAL, "&Contrast", "&Normal Stretch", "CTL+N", false, &W::CmContrastNormal,
     nullptr},
    {CM_CONTRAST_POWER, "&Contrast", "&Power Law Stretch", nullptr, false, &W::CmContrastPower,
     nullptr},
    {CM_CONTRAST_SINE, "&Contrast", "&Sine Law Stretch", nullptr, false, &W::CmContrastSine,
     nullptr},
    {CM_CONTRAST_BACKGROUND, "&Contrast", "&Remove Background", "CTL+B ", false,
     &W::CmContrastBackGround, nullptr},
    {CM_CONTRAST_TOLVERN, "&Contrast", "N&on-Linear Stretch", nullptr, false, &W::CmContrastTolvern,
     nullptr},
    {CM_CONTRAST_LOG, "&Contrast", "&Logarithmic Stretch", nullptr, false, &W::CmContrastLog,
     nullptr},
    {CM_CONTRAST_ANTILOG, "&Contrast", "&Antilogarithmic Stretch", nullptr, false,
     &W::CmContrastAntiLog, nullptr},
    {CM_CONTRAST_INVERT, "&Contrast", "&Invert image to Negative", nullptr, false,
     &W::CmContrastInvert, nullptr},

    {CM_UNSHARP, "Filter&s ", "&Unsharp masking HPF", nullptr, false, &W::unsharp_enhance, nullptr},
    {CM_HIGHLOW, "Filter&s ", "&High Pass, Low Power", nullptr, false, &W::highlow_enhance,
     nullptr},
    {CM_HIGHHIGH, "Filter&s ", "High Pass, High &Power", nullptr, false, &W::highhigh_enhance,
     nullptr},
    {CM_SMOOTHSHARP, "Filter&s ", "&Smoother/Sharper Filter", nullptr, true,
     &W::smoothsharp_enhance, nullptr},
    {CM_MEDIAN, "Filter&s ", "&Median Filter - Noise Reduction", nullptr, false, &W::median_enhance,
     nullptr},
    {CM_GAUSSIAN, "Filter&s ", "&Gaussian Smoother Filter", nullptr, false, &W::gaussian_enhance,
     nullptr},
    {CM_LOWPASS, "Filter&s ", "Low Pass &Weighted Mean &Smoother", nullptr, true,
     &W::lowpass_enhance, nullptr},
    {CM_BASRELIEF, "Filter&s ", "&Bas Relief Generator", nullptr, false, &W::basrelief_enhance,
     nullptr},
    {CM_GRADIENT, "Filter&s ", "Gradient &Filter", nullptr, false, &W::gradient_enhance, nullptr},
    {CM_VENETIAN, "Filter&s ", "&Vertical Smoothing", nullptr, false, &W::venetian_enhance,
     nullptr},

    {CM_SUBTRACT_IMAGE, "&Merging", "&Subtract Image (Dark Frame)", nullptr, false,
     &W::Subtract_Image, nullptr},
    {CM_FLAT_IMAGE, "&Merging", "Apply &Flat Field", nullptr, true, &W::Flat_Image, nullptr},
    {CM_ADD_IMAGE, "&Merging", "Merge two Images &together", nullptr, false, &W::Add_Image,
     nullptr},
    {CM_AVERAGE_IMAGE, "&Merging", "Average &with current Image", nullptr, false, &W::Average_Image,
     nullptr},

    {CM_HISTOGRAM, "", "&Histogram", nullptr, false, &W::CmHistogram, nullptr},

    {CM_HELP_USING, "Help", "Help in using Nocteris", nullptr, false, &W::Help_Using, nullptr},
    {CM_HELP_ABOUT, "Help", "About Nocteris", nullptr, false, &W::Help_About, nullptr},

    // Not in the menu: accelerator, tool bar and internal commands.
    {CM_GUIDER_CAMERA, nullptr, nullptr, nullptr, false, &W::QV_Guider_Control, nullptr},
    {CM_CONTRAST_STRETCH, nullptr, nullptr, nullptr, false, &W::CmContrastStretch, nullptr},
    {CM_GUIDE_TELESCOPE, nullptr, nullptr, nullptr, false, &W::GuideTelescope, nullptr},
    {CM_GUIDER_GUIDE, nullptr, nullptr, nullptr, false, &W::Guider_Start_Standalone, nullptr},
    {CM_BLINK_NEXT, nullptr, nullptr, nullptr, false, &W::BlinkOriginal, nullptr},
    {CM_BLINK_STOP, nullptr, nullptr, nullptr, false, &W::BlinkComparison, nullptr},
    {CM_STRETCH_ON, nullptr, nullptr, nullptr, false, &W::CmMaxStretchToggle, nullptr},
    {CM_STRETCH_OFF, nullptr, nullptr, nullptr, false, &W::CmMaxStretchToggle, nullptr},
    {CM_STRETCH_TOGGLE, nullptr, nullptr, nullptr, false, &W::CmMaxStretchToggle, nullptr},
    {CM_STRETCH_PAINT, nullptr, nullptr, nullptr, false, &W::CmStretchPaint, nullptr},
    {CM_WRITE_BITMAP, nullptr, nullptr, nullptr, false, &W::write_bitmap, nullptr},
    {CM_PAINT, nullptr, nullptr, nullptr, false, &W::PaintIt, nullptr},
    {CM_CAMERA_GEOMETRY, nullptr, nullptr, nullptr, false, &W::Nocteris_Camera, nullptr},
};

struct Hint {
    int id;
    const char* text;
};

const Hint hints[] = {
    {CM_CONTRAST_NORMAL, "Adjust the Contrast manually. setting max and min values"},
    {CM_CONTRAST_POWER, "Power Law contrast stretch"},
    {CM_MEDIAN, "Median Filter - use to reduce electronic noise in image"},
    {CM_CAMERA_INTERFACE, "Camera Control"},
    {CM_PHOTOMETRY, "Photometry of image - caution, use with unstretched images "},
    {CM_TELESCOPE_CONTROL, "Control a LX200 telescope or Autoguider port"},
    {CM_DARK_FILE, "Select a file to be used as a dark frame for automatic processing"},
    {CM_UNSHARP, "Apply an unsharp mask - good for enhancing planetary detail"},
    {CM_SUBTRACT_IMAGE, "Subtract a dark frame from currently displayed image"},
    {CM_ADD_IMAGE, "Merge current image with one already saved"},
    {CM_FLAT_IMAGE, "Apply a flatfield to the currently displayed image"},
    {CM_CONTRAST_TOLVERN, "Apply a non-linear stretch - good for nebulae"},
    {CM_CONTRAST_BACKGROUND, "Automatically make background black"},
    {CM_INI, "View and change most program variables"},
    {CM_FLAT_FIELD, "Select a Flatfield frame to be used for automatic processing"},
    {CM_STRETCH_MAX, "Apply non-linear stretch to display only, data is not changed"},
    {TB_CAMERA, "Camera Control"},
    {CM_STRETCH_ON, "Use Display Stretch"},
    {CM_STRETCH_OFF, "Dont use Display Stretch"},
    {CM_FILE_OPEN, "Get an image from Disk"},
    {CM_FILE_SAVE, "Save Image in Raw data format"},
    {CM_FITS_SAVE, "Save Image as a FITs file"},
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
