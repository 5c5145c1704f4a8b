// The analysis windows, photometry and labels: the View menu's measuring
// tools, the Label and Histogram commands, and the blink window's requests.
#include "app/main_window.h"

#include "analysis/blink_dialog.h"
#include "analysis/histogram_dialog.h"
#include "analysis/label_dialog.h"
#include "analysis/photometry_dialog.h"
#include "analysis/plot3d_dialog.h"
#include "analysis/row_plot_dialog.h"
#include "display/image_store.h"
#include "processing/stacking.h"

void TNocterisWindow::CmHistogram() {
    cm_histogram(this);
}

void TNocterisWindow::Cm3D() {
    cm_3d(this);
}

void TNocterisWindow::CmRowInt() {
    cm_row_int(this, stacking.merging, fit_);
}

void TNocterisWindow::blink_comparison() {
    cm_blink(this);
}

void TNocterisWindow::BlinkOriginal() {
    image_prepare();
}

void TNocterisWindow::BlinkComparison() {
    // The display bytes come from the comparison image; the rebuild puts
    // `image` back on the current one.
    image = comparison;
    image_prepare();
    image = image_int;
}

void TNocterisWindow::CmPhotometry() {
    cm_photometry(this, stacking.merging, fit_);
}

void TNocterisWindow::label_image() {
    if (cm_label_image(this)) image_prepare();
}
