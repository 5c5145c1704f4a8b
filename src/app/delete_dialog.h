#pragma once
#include <QDialog>

class QLineEdit;

// "DELETE FILE DIALOG": asks before a file is deleted, showing its path.
class TDeleteDialog : public QDialog {
    Q_OBJECT
  public:
    TDeleteDialog(QWidget* parent, const QString& path);
};
