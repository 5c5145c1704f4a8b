// The File menu's guiding commands: training and main-camera guiding, shown
// in the main window with the "Guiding Info" window beside it.
#include "app/main_window.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/info_dialog.h"
#include "display/image_store.h"
#include "guiding/guide_log.h"
#include "guiding/guide_loop.h"
#include "guiding/guiding_state.h"
#include "star/star_state.h"
#include "telescope/ao_state.h"

#include <memory>

namespace {

class WindowGuideHost : public GuideHost {
  public:
    explicit WindowGuideHost(TNocterisWindow* w) : w_(w) {}
    void show_frame() override { w_->image_prepare(); }
    void redraw() override { w_->viewport()->update(); }
    void info_open(const char* caption) override {
        info_ = std::make_unique<TInfoDialog>(w_);
        info_->setWindowTitle(caption);
        info_->show();
    }
    void info_refresh(const GuideFrame& f) override {
        if (!info_) return;
        info_->InfoUpdate(autoguide.slew_time_x, autoguide.slew_time_y, ao.AO_ns, ao.AO_ew);
        info_->show_frame(image, FOCUS_FRAME_SIDE, FOCUS_FRAME_SIDE);
        info_->add_frame(f.dx / 1000.0, f.dy / 1000.0, f.ra_bar(), f.dec_bar());
    }
    void info_close() override { info_.reset(); }
    bool stop_requested() override { return info_ && info_->stop_pressed(); }

  private:
    TNocterisWindow* w_;
    std::unique_ptr<TInfoDialog> info_;
};

} // namespace

void TNocterisWindow::CmTrainGuide() {
    if (guide.guiding || guide.training) return; // already inside a run
    WindowGuideHost host(this);
    GuideLog log;
    ::CmTrainGuide(host, &log);
    image_prepare();
    if (frame_) frame_->updateEnablers();
}

void TNocterisWindow::CmStartGuide() {
    if (guide.guiding || guide.training) return;
    WindowGuideHost host(this);
    GuideLog log;
    ::CmStartGuide(host, &log);
    image_prepare();
    if (frame_) frame_->updateEnablers();
}

void TNocterisWindow::GuideTelescope() {
    WindowGuideHost host(this);
    ::GuideTelescope(host);
}
