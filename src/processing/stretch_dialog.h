#pragma once
#include <QDialog>
#include <cstdint>

class QCheckBox;
class QLineEdit;
class QScrollBar;

// The contrast-stretch dialogs. Controls keep their ids as object names:
// OK "id1", Cancel "id2", Help "id9"; the scroll bars and edits are listed
// with each dialog.

// "Normal Stretch": black bar id101 (0..255), white bar id102 (1..300), their
// numbers id103 and id104, over the image's histogram with a marker at black
// and at white (at most 255).
class TStretchDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TStretchDialog(QWidget* parent = nullptr);

  private:
    void show_values();

    QScrollBar* black_bar_ = nullptr;
    QScrollBar* white_bar_ = nullptr;
    QLineEdit* black_edit_ = nullptr;
    QLineEdit* white_edit_ = nullptr;
    QWidget* histogram_ = nullptr;
};

// "Power Law Stretch": bar id101 (1..30, tenths of the power), edit id102.
class TPowerDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TPowerDialog(QWidget* parent = nullptr);

  private:
    void show_values();

    QScrollBar* bar_ = nullptr;
    QLineEdit* edit_ = nullptr;
};

// "Non-Linear Stretch": bar id101 (2..50), edit id102; OK takes what the
// edit holds.
class TNonLiniarDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TNonLiniarDialog(QWidget* parent = nullptr);

  private:
    void show_values();
    void ok();

    QScrollBar* bar_ = nullptr;
    QLineEdit* edit_ = nullptr;
};

// "Stretch Display" (modeless): factor bar id101 (2..50), its value id102,
// "Activate stretch display" id103, Close id2. Never touches pixel data: it
// asks the main window to redraw (1907) or to toggle the display stretch
// (1906).
class TMaxDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TMaxDialog(QWidget* parent = nullptr);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void show_values();

    QScrollBar* bar_ = nullptr;
    QLineEdit* edit_ = nullptr;
    QCheckBox* activate_ = nullptr;
};

// Command entry points. Each returns whether the caller must still rebuild
// the display: the table builders apply through command 888, whose handler
// rebuilds it.
bool cm_contrast_normal(QWidget* parent);  // 1
bool cm_contrast_power(QWidget* parent);   // 2
bool cm_contrast_tolvern(QWidget* parent); // 117: true after OK
// 726: shows the one "Stretch Display" window (raised when already open).
// Returns the window; it deletes itself when closed.
TMaxDialog* cm_stretch_max(QWidget* parent);
