#pragma once
#include <QDialog>

class QLabel;
class QProgressBar;

// The progress window of long operations: a caption and a bar of 0..256
// between "0%" and "100%".
class TProgressDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TProgressDialog(QWidget* parent = nullptr);
    void setCaption(const QString& caption);
    void setProgress(int value);
    int progress() const;
    QString caption() const;

  private:
    QLabel* caption_;
    QProgressBar* bar_;
};
