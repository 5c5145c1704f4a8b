#pragma once
#include "analysis/plot_dialog.h"

class QLineEdit;
class QScrollArea;
class RowView;

// Control ids of the row plot window.
namespace row_id {
constexpr int Finished = 2;
constexpr int Help = 9;
constexpr int Row = 101;
} // namespace row_id

// "INTENSITY PROFILE OF ONE ROW": the profile of row `obj_y` of the image
// the window opened on; a click on the main window chooses the row. The
// plot is as wide as the image, so it scrolls on a narrower screen.
class TRowDialog : public TToolWindow {
    Q_OBJECT
  public:
    explicit TRowDialog(QWidget* parent = nullptr);

    // Shows the row number and redraws the profile.
    void IntDraw();
    void RowKill();
    void Dialog12Help();

  protected:
    void kill() override { RowKill(); }

  private:
    RowView* view_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QLineEdit* row_ = nullptr;
};

// Command 16: starts row plot mode and opens its window, or refuses
// (messages 47, 48; nothing while a plot is open). `merging` and `fit` are
// the main window's.
void cm_row_int(QWidget* parent, int merging, int fit);
// The open row plot window, or nullptr.
TRowDialog* row_plot_dialog();
// After a row click in the main window: redraw the open row plot.
void row_plot_refresh();
