// The View menu and the display-stretch buttons.
#include "app/main_window.h"

#include "analysis/analysis_state.h"
#include "display/display_pipeline.h"
#include "display/history.h"
#include "display/image_store.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "processing/stretch_dialog.h"

void TNocterisWindow::CmFit() {
    if (ana.photometry) return;
    fit_ = !fit_;
    AdjustScroller(false);
}

void TNocterisWindow::CmBinDisplay() {
    disp.bin_display = !disp.bin_display;
    if (frame_) frame_->swapBinButton(disp.bin_display);
    image_prepare();
    AdjustScroller(false);
}

void TNocterisWindow::CmColPal() {
    disp.colour_palette = !disp.colour_palette;
    image_prepare();
    AdjustScroller(false);
}

void TNocterisWindow::CmStretchPal() {
    disp.stretch_palette = !disp.stretch_palette;
    image_prepare();
    AdjustScroller(false);
}

void TNocterisWindow::CmStretchMax() {
    cm_stretch_max(this);
}

void TNocterisWindow::CmMirror() {
    platform::ui().set_cursor(platform::CursorShape::Wait);
    mirror_image(image, trial);
    image_prepare();
    platform::ui().set_cursor(platform::CursorShape::Arrow);
}

void TNocterisWindow::Info() {
    char text[500];
    compose_history_text(text, sizeof text);
    messages(50, text);
}

void TNocterisWindow::CmMaxStretchToggle() {
    disp.max_stretch = !disp.max_stretch;
    if (frame_) frame_->swapStretchButton(disp.max_stretch);
    viewport()->update();
    image_prepare();
    AdjustScroller(false);
}

void TNocterisWindow::CmStretchPaint() {
    image_prepare();
    PaintIt();
    AdjustScroller(false);
}

bool TNocterisWindow::CeFit(bool& checked) const {
    checked = fit_ == 1;
    return true;
}
bool TNocterisWindow::CeBin(bool& checked) const {
    checked = disp.bin_display == 1;
    return true;
}
bool TNocterisWindow::CeColPal(bool& checked) const {
    checked = disp.colour_palette == 1;
    return true;
}
bool TNocterisWindow::CeStretchPal(bool& checked) const {
    checked = disp.stretch_palette == 1;
    return true;
}
