#pragma once
#include <QDialog>
#include <functional>

class QGridLayout;

// The parameter dialogs of the Filters menu: two values, each with arrows
// and an edit field that shows it, and OK, Cancel and Help (object names
// "id1", "id2", "id9"). The arrows change the value in `filt` at once.
class TEnhanceDialog : public QDialog {
    Q_OBJECT
  public:
    struct Param {
        const char* label;
        int* value;
        int low, high;
        std::function<QString(int)> shown;
    };
    TEnhanceDialog(QWidget* parent, const char* title, Param radius, Param power,
                   const char* help_text, const char* help_caption);

  private:
    void add_row(QGridLayout* grid, int row, const Param& p, const char* name);
    const char* help_text_;
    const char* help_caption_;
};

// "Unsharp Mask Filter": radius in filt.white (1..7), power in filt.black (1..7).
class TUnsharpDialog : public TEnhanceDialog {
    Q_OBJECT
  public:
    explicit TUnsharpDialog(QWidget* parent = nullptr);
};

// "Median Filter": radius in filt.white (1..3), power in filt.black in tenths
// (1..10, shown as 0.1..1.0).
class TMedianDialog : public TEnhanceDialog {
    Q_OBJECT
  public:
    explicit TMedianDialog(QWidget* parent = nullptr);
};

// Command 106: radius 3 and power 1, the dialog, then the unsharp mask.
// Returns true when the image changed (the caller rebuilds the display).
bool unsharp_enhance(QWidget* parent);

// Command 3: radius 1 and power 6, the dialog, then a repaint of `parent` and
// the median filter. Returns true when the image changed.
bool median_enhance(QWidget* parent);
