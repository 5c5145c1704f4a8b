#pragma once
#include <QDialog>

class TAboutDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TAboutDialog(QWidget* parent = nullptr);
};
