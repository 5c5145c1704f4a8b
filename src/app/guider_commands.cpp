// The guider camera's command (Ctrl+G, and the camera dialog's hand-over).
#include "app/main_window.h"

#include "dialogs/guide_graph.h"
#include "guiding/guide_loop.h"
#include "guiding/guider_controls.h"
#include "guiding/guider_dialog.h"
#include "guiding/guider_guiding.h"
#include "guiding/guider_info_dialog.h"
#include "guiding/guiding_state.h"
#include "guiding/sequence_guiding.h"
#include "telescope/ao_state.h"

#include <QTimer>

#include <cstdio>
#include <memory>

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

namespace {

// The guider's guiding shown in "AutoGuider Camera Guiding", standalone or
// through the main camera's exposures.
class WindowGuiderHost : public GuideHost {
  public:
    void set_parent(QWidget* parent) { parent_ = parent; }
    void show_frame() override { guider_render(); }
    void info_open(const char* caption) override {
        set_caption(caption);
        info_ = std::make_unique<TGInfoDialog>(parent_);
        info_->show();
    }
    void info_caption(const char* caption) override {
        set_caption(caption);
        if (info_) info_->InfoCaption();
    }
    void info_refresh(const GuideFrame& f) override {
        if (!info_) return;
        info_->InfoUpdate(ao.AO_ew, ao.AO_ns, ao.AOUnit_sendtomount, ao.AOUnit_lastsent);
        info_->graph()->add(f.dx / 1000.0, f.dy / 1000.0, f.ra_bar(), f.dec_bar());
        info_->CeStop();
    }
    void info_close() override { info_.reset(); }

  private:
    static void set_caption(const char* caption) {
        std::snprintf(autoguide.guider_info_caption, sizeof autoguide.guider_info_caption, "%s",
                      caption);
    }
    QWidget* parent_ = nullptr;
    std::unique_ptr<TGInfoDialog> info_;
};

// One host for both: a main exposure taken while the guider guides on its
// own refreshes the window that standalone guiding opened.
WindowGuiderHost& window_guider_host(QWidget* parent) {
    static WindowGuiderHost host;
    if (parent) host.set_parent(parent);
    return host;
}

} // namespace

void TNocterisWindow::Guider_Start_Standalone() {
    ::Guider_Start_Standalone(window_guider_host(this));
    viewport()->update();
    if (frame_) frame_->updateEnablers();
}

void install_window_guider_host(QWidget* window) {
    install_guider_hooks(&window_guider_host(window));
}
