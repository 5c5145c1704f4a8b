// The Edit menu.
#include "app/main_window.h"

#include "display/history.h"

#include <QApplication>
#include <QClipboard>

void TNocterisWindow::undo_restore_option() {
    if (restore_image()) image_prepare();
}

void TNocterisWindow::CmCopy() {
    if (dib_.isNull()) return;
    QApplication::clipboard()->setImage(dib_);
}

bool TNocterisWindow::CeCopy(bool&) const {
    return !dib_.isNull();
}
