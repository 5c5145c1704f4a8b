// The Contrast menu.
#include "app/main_window.h"

#include "processing/stretch.h"
#include "processing/stretch_dialog.h"

// The stretch builders apply their curve through command 888, which rebuilds
// the display; only the non-linear stretch applies by itself.
void TNocterisWindow::CmContrastNormal() {
    cm_contrast_normal(this);
}
void TNocterisWindow::CmContrastPower() {
    cm_contrast_power(this);
}
void TNocterisWindow::CmContrastSine() {
    cm_contrast_sine();
}
void TNocterisWindow::CmContrastBackGround() {
    cm_contrast_background();
}
void TNocterisWindow::CmContrastTolvern() {
    if (cm_contrast_tolvern(this)) image_prepare();
}
void TNocterisWindow::CmContrastLog() {
    cm_contrast_log();
}
void TNocterisWindow::CmContrastAntiLog() {
    cm_contrast_antilog();
}
void TNocterisWindow::CmContrastInvert() {
    cm_contrast_invert();
}
void TNocterisWindow::CmContrastStretch() {
    if (cm_contrast_stretch()) image_prepare();
}
