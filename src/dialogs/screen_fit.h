#pragma once
#include <QObject>

class QDialog;

// Every dialog as it is first shown: centred on the window it belongs to
// (the main window for those without one), and when it is larger than the
// screen's free area, its contents put into a scroll area that fits there,
// so that no button is ever off screen, at any scale.
class ScreenFitter : public QObject {
    Q_OBJECT
  public:
    // The window dialogs without a parent are centred on.
    void set_main_window(QWidget* w) { main_ = w; }

  protected:
    bool eventFilter(QObject* obj, QEvent* ev) override;

  private:
    QWidget* main_ = nullptr;
};

// The two steps on their own, for the dialogs shown before the filter runs.
void fit_to_screen(QDialog* d);
void centre_on(QWidget* w, const QWidget* over);
