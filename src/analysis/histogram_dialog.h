#pragma once
#include "analysis/plot_dialog.h"

// Control ids of the histogram window.
namespace hist_id {
constexpr int Help = 9;
constexpr int Close = 101;
} // namespace hist_id

// "Histogram of Current Image": the display bytes' histogram of the last
// paint of the main window, drawn at every paint, with the list of the
// values whose bars are cut.
class THistDialog : public TToolWindow {
    Q_OBJECT
  public:
    explicit THistDialog(QWidget* parent = nullptr);

    void HistKill();
    void Dialog1Help();

  protected:
    void kill() override { HistKill(); }
};

// Command 6: opens the one histogram window; nothing while it is open.
void cm_histogram(QWidget* parent);
// The open histogram window, or nullptr.
THistDialog* histogram_dialog();
