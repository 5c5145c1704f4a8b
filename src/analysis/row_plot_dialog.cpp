#include "analysis/row_plot_dialog.h"

#include "analysis/analysis_state.h"
#include "dialogs/controls.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPointer<TRowDialog> instance;

} // namespace

class RowView : public QWidget {
  public:
    explicit RowView(QWidget* parent) : QWidget(parent) {
        setObjectName("plot");
        setAttribute(Qt::WA_OpaquePaintEvent);
        fit();
    }

    // The frame reaches width1 + 150: the plot follows the image's width.
    void fit() {
        const PlotRect f = row_plot_frame();
        setFixedSize(f.right + 2, ROW_PLOT_HEIGHT + 2);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        const PlotRect f = row_plot_frame();
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawRect(f.left, f.top, f.right - f.left, f.bottom - f.top);
        row_profile(ana.externptr, ana.obj_y, points_);
        if (points_.size() < 2) return;
        QPolygon line(static_cast<int>(points_.size()));
        for (std::size_t i = 0; i < points_.size(); ++i)
            line.setPoint(static_cast<int>(i), points_[i].x, points_[i].y);
        p.setPen(QPen(plot_colour(PlotColour::Grey), 1));
        p.drawPolyline(line);
    }

  private:
    std::vector<PlotPoint> points_;
};

TRowDialog::TRowDialog(QWidget* parent) : TToolWindow(parent) {
    setWindowTitle("INTENSITY PROFILE OF ONE ROW");
    view_ = new RowView(nullptr);
    scroll_ = new QScrollArea;
    scroll_->setWidget(view_);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setFrameShape(QFrame::NoFrame);

    row_ = make_readout(nullptr, row_id::Row, {.digits = 5, .right = true});
    auto* finished = make_button(nullptr, row_id::Finished, "Finished");
    auto* help = make_button(nullptr, row_id::Help, "Help");
    connect(finished, &QPushButton::clicked, this, &TRowDialog::RowKill);
    connect(help, &QPushButton::clicked, this, &TRowDialog::Dialog12Help);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel("Row"));
    bottom->addWidget(row_);
    bottom->addStretch();
    bottom->addWidget(finished);
    bottom->addWidget(help);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(10, 10, 10, 10);
    top->addWidget(scroll_);
    top->addLayout(bottom);
    IntDraw();
}

void TRowDialog::IntDraw() {
    row_->setText(QString::number(ana.obj_y));
    view_->fit();
    // As wide as the plot, but no wider than the screen leaves room for.
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const int room = s ? s->availableGeometry().width() - 40 : view_->width();
    const int bar = scroll_->horizontalScrollBar()->sizeHint().height();
    scroll_->setFixedSize(std::min(view_->width(), std::max(400, room)),
                          view_->height() + (view_->width() > room ? bar : 0));
    view_->update();
}

void TRowDialog::RowKill() {
    end_row_plot();
    if (instance == this) instance = nullptr;
    finish();
}

void TRowDialog::Dialog12Help() {
    show_tool_help("Nocteris - Intensity Profile", "Select the row you wish to see an intensity "
                                                   "plot of by pressing the left mouse button");
}

void cm_row_int(QWidget* parent, int merging, int fit) {
    if (!start_row_plot(merging, fit)) return;
    instance = new TRowDialog(parent);
    instance->show();
}

TRowDialog* row_plot_dialog() {
    return instance.data();
}

void row_plot_refresh() {
    if (instance) instance->IntDraw();
}
