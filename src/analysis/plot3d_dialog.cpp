#include "analysis/plot3d_dialog.h"

#include "analysis/analysis_state.h"
#include "dialogs/controls.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QPointer<T3DDialog> instance;

} // namespace

// The off-screen relief and its copy to the window. The bitmap has the
// screen's device pixels, so the fixed coordinates stay sharp on HiDPI.
class ReliefView : public QWidget {
  public:
    explicit ReliefView(QWidget* parent) : QWidget(parent) {
        setObjectName("plot");
        setFixedSize(RELIEF_WIDTH, RELIEF_HEIGHT);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void start() {
        const qreal dpr = devicePixelRatioF();
        bitmap_ = QPixmap(QSize(RELIEF_WIDTH, RELIEF_HEIGHT) * dpr);
        bitmap_.setDevicePixelRatio(dpr);
        bitmap_.fill(Qt::white);
    }

    void draw(const std::vector<PlotLine>& lines) {
        QPainter p(&bitmap_);
        draw_lines(p, lines);
    }

    const QPixmap& bitmap() const { return bitmap_; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (bitmap_.isNull())
            p.fillRect(rect(), Qt::white);
        else
            p.drawPixmap(0, 0, bitmap_);
    }

  private:
    QPixmap bitmap_;
};

T3DDialog::T3DDialog(QWidget* parent) : TToolWindow(parent) {
    setWindowTitle("3-D Intensity Plot");
    view_ = new ReliefView(this);
    auto* finished = make_button(nullptr, plot3d_id::Finished, "Finished");
    auto* help = make_button(nullptr, plot3d_id::Help, "Help");
    connect(finished, &QPushButton::clicked, this, &T3DDialog::IntKill);
    connect(help, &QPushButton::clicked, this, &T3DDialog::Dialog11Help);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(finished);
    buttons->addWidget(help);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(10, 10, 10, 10);
    top->addWidget(view_);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);
}

void T3DDialog::showEvent(QShowEvent* e) {
    TToolWindow::showEvent(e);
    if (!first_paint_) return;
    first_paint_ = false;
    // Once the window is on the screen, so that each row shows as it is drawn.
    QTimer::singleShot(0, this, &T3DDialog::build);
}

void T3DDialog::build() {
    view_->start();
    std::vector<PlotLine> lines;
    int prev_b = 0;
    for (int k = RELIEF_FIRST_ROW; k <= RELIEF_LAST_ROW; ++k) {
        lines.clear();
        relief_row(ana.externptr, k, prev_b, lines);
        view_->draw(lines);
        if (view_->isVisible()) view_->repaint();
    }
    built_ = true;
    view_->update();
}

QImage T3DDialog::relief() const {
    return view_->bitmap().toImage();
}

void T3DDialog::IntKill() {
    ana.intensity_plot = 0;
    if (instance == this) instance = nullptr;
    finish();
}

void T3DDialog::Dialog11Help() {
    show_tool_help("Nocteris - 3-D Plot",
                   "This shows a 3-D Intensity Plot of the values in the current main window.");
}

void cm_3d(QWidget* parent) {
    if (!start_intensity_plot()) return;
    instance = new T3DDialog(parent);
    instance->show();
}

T3DDialog* plot3d_dialog() {
    return instance.data();
}
