#include "analysis/plot_dialog.h"

#include "platform/ui.h"

#include <QCloseEvent>
#include <QPainter>

QColor plot_colour(PlotColour c) {
    switch (c) {
    case PlotColour::White:
        return {255, 255, 255};
    case PlotColour::Red:
        return {255, 0, 0};
    case PlotColour::Blue:
        return {0, 0, 255};
    case PlotColour::Grey:
        return {128, 128, 128};
    case PlotColour::LightGrey:
        return {192, 192, 192};
    case PlotColour::Black:
        break;
    }
    return {0, 0, 0};
}

void draw_lines(QPainter& p, const std::vector<PlotLine>& lines) {
    QPen pen(Qt::black, 1);
    pen.setCapStyle(Qt::FlatCap);
    PlotColour current = PlotColour::Black;
    p.setPen(pen);
    for (const PlotLine& l : lines) {
        if (l.colour != current) {
            current = l.colour;
            pen.setColor(plot_colour(current));
            p.setPen(pen);
        }
        p.drawLine(l.x1, l.y1, l.x2, l.y2);
    }
}

TToolWindow::TToolWindow(QWidget* parent) : QDialog(parent) {
    setModal(false);
}

void TToolWindow::finish() {
    hide();
    deleteLater();
}

void TToolWindow::closeEvent(QCloseEvent* e) {
    e->ignore();
    kill();
}

void TToolWindow::reject() {
    kill();
}

void show_tool_help(const char* caption, const char* text) {
    platform::ui().message_box(text, caption);
}
