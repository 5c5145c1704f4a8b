#include "analysis/histogram_dialog.h"

#include "analysis/analysis_state.h"
#include "dialogs/controls.h"
#include "display/image_store.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPointer<THistDialog> instance;

const char* const HELP_CAPTION = "Ravlo_5 - Display Histogram";
const char* const HELP_TEXT =
    "This shows a histogram of the values in the current main window. The horizontal scale "
    "represents values from black (0) to white (256), whilst the vertical scale shows the number "
    "of pixels with a particular value. The vertical scale goes from 0 to 1000, where there are "
    "more than 1000 pixels with the same value the line is truncated and shown in red.\n\nThe "
    "first 15 values where the pixel count exceeds 1000 are also listed next to the "
    "Histogram\n\nShort key - CTL+H";

// The list's lines are columns of digits: a fixed-pitch font, as large as
// lets the widest line fit the list's 80 pixels.
QFont list_font() {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const int width = HIST_LIST_RECT.right - HIST_LIST_RECT.left;
    for (int px = 13; px >= 8; --px) {
        f.setPixelSize(px);
        if (QFontMetrics(f).horizontalAdvance("000  000000") <= width) break;
    }
    return f;
}

class HistogramView : public QWidget {
  public:
    explicit HistogramView(QWidget* parent) : QWidget(parent), font_(list_font()) {
        setObjectName("plot");
        setFixedSize(HIST_PLOT_WIDTH, HIST_PLOT_HEIGHT);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        draw_lines(p, histogram_lines(disp.table, ana.workfld2, sizeof ana.workfld2));
        p.setPen(Qt::black);
        p.setFont(font_);
        const PlotRect& r = HIST_LIST_RECT;
        p.drawText(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top),
                   Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(ana.workfld2));
    }

  private:
    QFont font_;
};

} // namespace

THistDialog::THistDialog(QWidget* parent) : TToolWindow(parent) {
    setWindowTitle("Histogram of Current Image");
    auto* close = make_button(nullptr, hist_id::Close, "Close");
    auto* help = make_button(nullptr, hist_id::Help, "Help");
    connect(close, &QPushButton::clicked, this, &THistDialog::HistKill);
    connect(help, &QPushButton::clicked, this, &THistDialog::Dialog1Help);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    buttons->addWidget(help);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(10, 10, 10, 10);
    top->addWidget(new HistogramView(this));
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);
}

void THistDialog::HistKill() {
    ana.hist_already = 0;
    if (instance == this) instance = nullptr;
    finish();
}

void THistDialog::Dialog1Help() {
    show_tool_help(HELP_CAPTION, HELP_TEXT);
}

void cm_histogram(QWidget* parent) {
    if (!start_histogram()) return;
    instance = new THistDialog(parent);
    instance->show();
}

THistDialog* histogram_dialog() {
    return instance.data();
}
