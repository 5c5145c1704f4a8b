#pragma once
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

// Control ids of the merge window.
namespace merge_id {
constexpr int Merge = 1;
constexpr int Cancel = 2;
constexpr int Help = 9;
constexpr int OriginalImage = 101;
constexpr int MergeImage = 102;
constexpr int OrigX = 103;
constexpr int OrigY = 104;
constexpr int MergeX = 105;
constexpr int MergeY = 106;
constexpr int Average = 107;
constexpr int CentreOnStar = 108;
} // namespace merge_id

// "MERGE IMAGES": the modeless window of merge mode. It shows which image
// the marks go to and the two marks, toggles averaging and the snap to the
// star, and runs or cancels the merge.
class TMergeDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TMergeDialog(QWidget* parent = nullptr);

    // Shows the current merge state (after a mark or Open).
    void refresh();

    void Merge();
    void Cancel();
    void Help();
    // Closes and discards the window (merge mode has ended).
    void finish();

  protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

  private:
    QRadioButton* original_ = nullptr;
    QRadioButton* second_ = nullptr;
    QLineEdit* marks_[4] = {};
    QCheckBox* average_ = nullptr;
    QCheckBox* centre_ = nullptr;
};

// Command 111 "Merge two Images together": refuses (messages 37, 43, 44) or
// enters merge mode and opens the window.
void cm_add_image(QWidget* parent, int photometry, int row_plot, int fit);

// The open merge window, or nullptr.
TMergeDialog* merge_dialog();

// After a merge-mode click (merge_mark): repaints the merge window.
void merge_dialog_refresh();

// Open while merging, before the file is loaded: the current image becomes
// the first image and the window shows that marks now go to the second.
// Does nothing outside merge mode.
void merge_open_in_merge_mode();
