#include "guiding/guider_info_dialog.h"

#include "dialogs/controls.h"
#include "dialogs/dib_image.h"
#include "dialogs/guide_graph.h"
#include "display/dib.h"
#include "display/image_store.h"
#include "guiding/guide_scale.h"
#include "guiding/guider_controls.h"
#include "guiding/guiding_state.h"
#include "platform/host_path.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {

constexpr int CANVAS_W = 690;
constexpr int CANVAS_H = GUIDER_FRAME_Y + GUIDER_HEIGHT + 10;

// A cross of arms 20 at (x, y); while guiding its centre is left open by 5
// pixels so the star itself stays visible.
void draw_cross(QPainter& p, int x, int y, int arm, int gap) {
    p.drawLine(x - arm, y, x - gap, y);
    p.drawLine(x + gap, y, x + arm, y);
    p.drawLine(x, y - arm, x, y - gap);
    p.drawLine(x, y + gap, x, y + arm);
}

// The frame and the error plot, both at their dialog points.
class GuiderInfoCanvas : public QWidget {
  public:
    GuiderInfoCanvas(QWidget* parent, const QImage& frame) : QWidget(parent), frame_(frame) {
        setObjectName("picture");
        setGeometry(0, 0, CANVAS_W, CANVAS_H);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect picture(GUIDER_FRAME_X, GUIDER_FRAME_Y, 500, GUIDER_HEIGHT);
        p.fillRect(picture, QColor(24, 24, 32));
        if (!frame_.isNull()) p.drawImage(picture.topLeft(), frame_);
        const int sx = guide.guider_pick_xcent + GUIDER_FRAME_X;
        const int sy = guide.guider_pick_ycent + GUIDER_FRAME_Y;
        const bool guiding =
            autoguide.guided_image && (guide.guider_guiding || guide.guider_guiding_standalone);
        p.setPen(QPen(QColor(255, 60, 60), 1));
        draw_cross(p, sx, sy, 20, guiding ? 5 : 0);

        constexpr int X = TGInfoDialog::PLOT_X, Y = TGInfoDialog::PLOT_Y;
        constexpr int S = TGInfoDialog::PLOT_SIDE, C = S / 2;
        p.fillRect(X, Y, S, S, palette().color(QPalette::Base));
        p.setPen(palette().color(QPalette::Text));
        p.drawRect(X, Y, S, S);
        p.drawLine(X, Y + C, X + S, Y + C);
        p.drawLine(X + C, Y, X + C, Y + S);
        // A tick every pixel of error (10 plot pixels).
        for (int d = 10; d < C; d += 10)
            for (int s : {-d, d}) {
                p.drawLine(X + C + s, Y + C - 2, X + C + s, Y + C + 2);
                p.drawLine(X + C - 2, Y + C + s, X + C + 2, Y + C + s);
            }
        p.drawText(QRect(X, Y + S + 2, S, 16), Qt::AlignCenter, "error, 1 px a tick");
        int px = 0, py = 0;
        if (guider_error_plot_point(X + C, Y + C, &px, &py)) {
            p.setPen(QPen(QColor(220, 40, 40), 2));
            draw_cross(p, px, py, 7, 0);
        }
    }

  private:
    const QImage& frame_;
};

} // namespace

TGInfoDialog::TGInfoDialog(QWidget* parent) : QDialog(parent) {
    canvas_ = new GuiderInfoCanvas(this, frame_);

    auto* values = new QWidget(this);
    auto* grid = new QGridLayout(values);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    const char* names[9] = {"Star x",    "Star y", "Error x", "Error y", "RA pulse",
                            "Dec pulse", "AO e/w", "AO n/s",  "Offload"};
    // The wider unit first, so that the column has room for either.
    const char* units[9] = {"", "", "px", "px", "steps", "steps", "", "", ""};
    for (int i = 0; i < 9; ++i) {
        grid->addWidget(new QLabel(names[i], values), i, 0);
        values_[i] = make_label(values, 111 + i);
        values_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        values_[i]->setMinimumWidth(values_[i]->fontMetrics().horizontalAdvance("0000000"));
        grid->addWidget(values_[i], i, 1);
        auto* unit = new QLabel(units[i], values);
        grid->addWidget(unit, i, 2);
        if (i == 4 || i == 5) pulse_units_[i - 4] = unit;
    }
    values->adjustSize();
    values->move(PLOT_X - 6, PLOT_Y + PLOT_SIDE + 22);

    graph_ = new GuideGraph(this);
    graph_->set_scale(guider_arcsec_per_pixel());
    const int graph_y = std::max(CANVAS_H, values->y() + values->height() + 6);
    graph_->setGeometry(GUIDER_FRAME_X, graph_y, CANVAS_W - 2 * GUIDER_FRAME_X, 240);

    stop_ = make_button(this, 108, "Stop");
    stop_->adjustSize();
    stop_->move(CANVAS_W - GUIDER_FRAME_X - stop_->width(), graph_->geometry().bottom() + 8);
    setFixedSize(CANVAS_W, stop_->geometry().bottom() + 10);
    connect(stop_, &QPushButton::clicked, this, &TGInfoDialog::StopGuiderGuiding);

    InfoCaption();
    InfoUpdate();
}

void TGInfoDialog::InfoCaption() {
    setWindowTitle(QString::fromLatin1(autoguide.guider_info_caption));
}

void TGInfoDialog::CeStop() {
    stop_->setEnabled(guide.guider_guiding_standalone != 0);
}

void TGInfoDialog::StopGuiderGuiding() {
    guide.guider_guiding_standalone = 0;
    CeStop();
}

void TGInfoDialog::InfoUpdate(int ao_ew, int ao_ns, const char* offload, std::uint32_t offload_at) {
    const GuiderInfoTexts t = guider_info_texts(ao_ew, ao_ns, offload, offload_at);
    const char* texts[9] = {t.x, t.y, t.ex, t.ey, t.slew_x, t.slew_y, t.ao_ew, t.ao_ns, t.offload};
    for (int i = 0; i < 9; ++i) values_[i]->setText(QString::fromLatin1(texts[i]).trimmed());
    for (QLabel* unit : pulse_units_) unit->setText(cfg.GuiderMode == 'T' ? "ms" : "steps");
    frame_ = QImage();
    Dib dib;
    if (load_dib(platform::host_path(disp.BMPname_guide), dib)) frame_ = dib_image(dib);
    InfoCaption();
    CeStop();
    canvas_->repaint();
}
