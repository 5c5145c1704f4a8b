// The Merging menu.
#include "app/main_window.h"

#include "analysis/analysis_state.h"
#include "processing/calibration.h"
#include "processing/merge_dialog.h"
#include "processing/stacking.h"

void TNocterisWindow::Subtract_Image() {
    if (::Subtract_Image()) image_prepare();
}

void TNocterisWindow::Flat_Image() {
    if (::Flat_Image()) image_prepare();
}

void TNocterisWindow::Average_Image() {
    if (::Average_Image()) image_prepare();
}

void TNocterisWindow::Add_Image() {
    cm_add_image(this, ana.photometry, ana.row_plot, fit_);
}
