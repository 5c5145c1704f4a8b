// The telescope command of the File menu and the tool bar.
#include "app/main_window.h"

#include "telescope/telescope_dialog.h"

void TNocterisWindow::CmControl() {
    ::CmControl(this);
}
