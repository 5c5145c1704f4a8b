#pragma once
#include "analysis/plots.h"

#include <QColor>
#include <QDialog>
#include <vector>

class QPainter;
class QPushButton;

// What the plot windows share: the fixed colours, drawing the plot lines,
// and the window that closes through its own close handler whichever way
// it is closed.

QColor plot_colour(PlotColour c);
// Lines one pixel wide in device-independent pixels: on a HiDPI screen Qt
// scales them with everything else.
void draw_lines(QPainter& p, const std::vector<PlotLine>& lines);

// A modeless tool window. Its close button, the title bar's close and
// Escape all run kill(), which clears the window's guard and discards it.
class TToolWindow : public QDialog {
    Q_OBJECT
  public:
    explicit TToolWindow(QWidget* parent);
    // Hides and discards the window; `kill` has cleared the guard.
    void finish();

  protected:
    virtual void kill() = 0;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;
};

// The Help box of a tool window: an OK box with the window's caption.
void show_tool_help(const char* caption, const char* text);
