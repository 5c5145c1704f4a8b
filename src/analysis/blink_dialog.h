#pragma once
#include "analysis/plot_dialog.h"

class QPushButton;

// Control ids of the blink window.
namespace blink_id {
constexpr int Finished = 1;
constexpr int Comparison = 102;
} // namespace blink_id

// "Blink Comparison": its button switches the main window between the
// current image and the comparison image; the caption says which shows.
class TBLDialog : public TToolWindow {
    Q_OBJECT
  public:
    explicit TBLDialog(QWidget* parent = nullptr);

    void Blink_Comparison();
    void BlinkKill();

  protected:
    void kill() override { BlinkKill(); }

  private:
    QPushButton* button_ = nullptr;
    int next_comparison_ = 1;
};

// Command 125: opens the one blink window; nothing while it is open.
void cm_blink(QWidget* parent);
// The open blink window, or nullptr.
TBLDialog* blink_dialog();
