#pragma once
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QScrollBar;

// "FITS DETAILS": edits the FITS detail fields of the current image (or the
// stored auto-save defaults). The controls are found by the names of the
// fields they edit ("FITS_Obj", ..., "FITS_Diff" and its scroll bar
// "FITS_Diff_bar", the check boxes "eightbit" and "FITS_SBIG") and the
// buttons "continue" and "abort". The check boxes change their flags at once;
// everything else is copied back only by "Continue".
class TFITSDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TFITSDialog(QWidget* parent = nullptr);

  private:
    QLineEdit* line(const char* name, int max);
    QPlainTextEdit* block(const char* name);
    QLineEdit* number(const char* name);
    void fill();
    void copy_back();

    QLineEdit* obj_ = nullptr;
    QLineEdit* obs_ = nullptr;
    QLineEdit* date_ = nullptr;
    QLineEdit* time_ = nullptr;
    QLineEdit* src_ = nullptr;
    QLineEdit* tel_ = nullptr;
    QLineEdit* ins_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QPlainTextEdit* com_ = nullptr;
    QPlainTextEdit* his_ = nullptr;
    QLineEdit* focallen_ = nullptr;
    QLineEdit* aperture_ = nullptr;
    QLineEdit* exptime_ = nullptr;
    QLineEdit* diff_text_ = nullptr;
    QScrollBar* diff_bar_ = nullptr;
    QCheckBox* eightbit_ = nullptr;
    QCheckBox* sbig_ = nullptr;
};

// Shows the dialog modally; 1 after "Continue", 0 after "Abort" or closing.
int run_fits_dialog(QWidget* parent);
