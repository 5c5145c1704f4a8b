#pragma once
#include <QDialog>

class QCheckBox;
class QLineEdit;

// "Label Current Image": the label text (id 4090), "Auto Date" (102) and
// "Use FITs Date" (103), OK (104) and Cancel (2). Modal.
class TLabelDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TLabelDialog(QWidget* parent = nullptr);

    void SetAutoDate();
    void SetFITSDate();
    // OK: the text becomes the label text and the dialog closes with success.
    void EndDialog();

  private:
    void show_flags();

    QLineEdit* text_ = nullptr;
    QCheckBox* auto_date_ = nullptr;
    QCheckBox* fits_date_ = nullptr;
};

// Command 8: runs the dialog; after OK the label is drawn into `image`.
// Returns whether the image changed (the caller rebuilds the display).
bool cm_label_image(QWidget* parent);
