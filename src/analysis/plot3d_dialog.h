#pragma once
#include "analysis/plot_dialog.h"

#include <QImage>

class ReliefView;

// Control ids of the 3-D plot window.
namespace plot3d_id {
constexpr int Finished = 2;
constexpr int Help = 9;
} // namespace plot3d_id

// "3-D Intensity Plot": a relief of the top-left patch of the image the
// window opened on, built row by row into an off-screen bitmap on the first
// paint; later paints only copy the bitmap.
class T3DDialog : public TToolWindow {
    Q_OBJECT
  public:
    explicit T3DDialog(QWidget* parent = nullptr);

    void IntKill();
    void Dialog11Help();

    // Whether the relief is complete, and the relief as drawn.
    bool built() const { return built_; }
    QImage relief() const;

  protected:
    void kill() override { IntKill(); }
    void showEvent(QShowEvent* e) override;

  private:
    void build();

    ReliefView* view_ = nullptr;
    bool first_paint_ = true;
    bool built_ = false;
};

// Command 15: opens the one 3-D plot on the current image; nothing while it
// or the row plot is open.
void cm_3d(QWidget* parent);
// The open 3-D plot window, or nullptr.
T3DDialog* plot3d_dialog();
