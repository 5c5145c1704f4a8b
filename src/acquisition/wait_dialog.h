#pragma once
#include <QDialog>

// The start-up notice "Initialisation in Progress", shown while the camera is
// being found.
class TWaitDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TWaitDialog(QWidget* parent = nullptr);
};
