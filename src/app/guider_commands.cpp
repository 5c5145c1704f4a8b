// The guider camera's command (Ctrl+G, and the camera dialog's hand-over).
#include "app/main_window.h"

#include "guiding/guider_controls.h"
#include "guiding/guider_dialog.h"

#include <QTimer>

void TNocterisWindow::QV_Guider_Control() {
    // The preview pumps events, so Ctrl+G can arrive inside the dialog's run.
    static bool running = false;
    if (running) return;
    running = true;
    // The camera dialog or guiding it hands over to runs once this command
    // has returned, not inside it: the two dialogs can then hand over to
    // each other any number of times.
    ::QV_Guider_Control(
        [this] { run_guider_dialog(this); },
        [this](int id) { QTimer::singleShot(0, this, [this, id] { dispatch(id); }); });
    running = false;
    viewport()->update();
    if (frame_) frame_->updateEnablers();
}
