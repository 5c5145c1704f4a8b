// The File menu's camera and guide-star commands.
#include "app/main_window.h"

#include "acquisition/camera_dialog.h"
#include "acquisition/sequence.h"
#include "acquisition/wait_dialog.h"
#include "app/app_logic.h"
#include "devices/transport.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <QApplication>

namespace {

// The camera sequence as the window runs it: the dialog over the window, each
// image shown in it.
class WindowSequenceHost : public SequenceHost {
  public:
    WindowSequenceHost(TNocterisWindow* w, QWidget* notice) : w_(w), notice_(notice) {}
    bool run_dialog() override {
        if (notice_) notice_->close();
        return run_camera_dialog(w_);
    }
    void show_image() override { w_->image_prepare(); }
    void redraw() override { w_->viewport()->update(); }
    void adjust_scroller() override { w_->AdjustScroller(false); }

  private:
    TNocterisWindow* w_;
    QWidget* notice_;
};

} // namespace

void TNocterisWindow::CmPickStar() {
    cm_pick_star(fit_);
}
void TNocterisWindow::CmFocusFrame() {
    cm_focus_frame();
}
void TNocterisWindow::CmFocusFrameReset() {
    cm_focus_frame_reset();
}

void TNocterisWindow::Nocteris_Camera() {
    nocteris_camera();
}

void TNocterisWindow::QV_Control() {
    // The sequence pumps events while it waits, so the camera button can be
    // pressed inside it: that press stops the running sequence, and must not
    // start a second one within the first.
    static bool running = false;
    if (running) return;
    running = true;
    struct Done {
        ~Done() { running = false; }
    } done;
    // The camera search can take a few seconds the first time.
    std::unique_ptr<TWaitDialog> notice;
    if (!usbt.got_qv) {
        notice = std::make_unique<TWaitDialog>(this);
        notice->show();
        QApplication::processEvents();
    }
    WindowSequenceHost host(this, notice.get());
    ::QV_Control(host);
    if (notice) notice->close();
    if (frame_) frame_->updateEnablers();
}

bool TNocterisWindow::CeTelescope(bool&) const {
    return cfg.telescope != 'n';
}
bool TNocterisWindow::CePickStar(bool& checked) const {
    checked = guide.pick_star == 1;
    return true;
}
