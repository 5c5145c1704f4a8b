#include "acquisition/info_dialog.h"

#include "dialogs/controls.h"
#include "dialogs/dib_image.h"
#include "dialogs/guide_graph.h"
#include "display/dib.h"
#include "display/image_store.h"
#include "guiding/guide_scale.h"
#include "platform/host_path.h"
#include "star/star_state.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int SCALE = 2; // the 128-pixel guide frame is small on today's screens

// The focus bitmap with the guide star marked.
class FocusView : public QWidget {
  public:
    FocusView(QWidget* parent, const QImage& image) : QWidget(parent), image_(image) {
        setObjectName("picture");
        setFixedSize(128 * SCALE, 128 * SCALE);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(24, 24, 32));
        if (image_.isNull()) return;
        p.drawImage(rect(), image_);
        const double sx = static_cast<double>(width()) / image_.width();
        const double sy = static_cast<double>(height()) / image_.height();
        const int x = static_cast<int>((guide.xcent + guide.xcentdec / 10.0) * sx);
        const int y = static_cast<int>((guide.ycent + guide.ycentdec / 10.0) * sy);
        p.setPen(QColor(255, 60, 60));
        p.drawLine(x - 10, y, x + 10, y);
        p.drawLine(x, y - 10, x, y + 10);
    }

  private:
    const QImage& image_;
};

} // namespace

TInfoDialog::TInfoDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Guiding Info");
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* top = new QHBoxLayout;
    picture_ = new FocusView(this, focus_);
    top->addWidget(picture_, 0, Qt::AlignTop);
    auto* readouts = new QVBoxLayout;
    star_ = make_label(this, 101);
    slews_ = make_label(this, 102);
    ao_ = make_label(this, 103);
    for (QLabel* l : {star_, slews_, ao_}) {
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        readouts->addWidget(l);
    }
    auto* focal_row = new QHBoxLayout;
    focal_row->addWidget(new QLabel("Focal length", this));
    focal_ = make_edit(this, 109, {6, 16, true});
    focal_->setText(QString::number(guide_focal_length_mm(), 'f', 0));
    focal_row->addWidget(focal_);
    focal_row->addWidget(new QLabel("mm", this));
    focal_row->addStretch(1);
    readouts->addLayout(focal_row);
    readouts->addStretch(1);
    top->addSpacing(8);
    top->addLayout(readouts, 1);
    layout->addLayout(top);
    graph_ = new GuideGraph(this);
    graph_->setMinimumSize(520, 240);
    graph_->set_scale(guide_arcsec_per_pixel());
    layout->addWidget(graph_);
    QPushButton* stop = make_button(this, 108, "Stop");
    layout->addWidget(stop, 0, Qt::AlignRight);
    connect(stop, &QPushButton::clicked, this, [this] {
        guide.guider_guiding_standalone = 0;
        stop_pressed_ = true;
    });
    connect(focal_, &QLineEdit::editingFinished, this, [this] { take_focal_length(); });
    InfoUpdate(0, 0, 0, 0);
}

void TInfoDialog::take_focal_length() {
    bool ok = false;
    const double mm = focal_->text().trimmed().toDouble(&ok);
    if (ok && mm > 0) set_guide_focal_length_mm(mm);
    focal_->setText(QString::number(guide_focal_length_mm(), 'f', 0));
    graph_->set_scale(guide_arcsec_per_pixel());
}

void TInfoDialog::show_frame(const unsigned short* pixels, int width, int height) {
    if (width <= 0 || height <= 0) return;
    const int n = width * height;
    std::vector<unsigned short> sorted(pixels, pixels + n);
    std::nth_element(sorted.begin(), sorted.begin() + n / 2, sorted.end());
    const double low = sorted[n / 2];
    const double high =
        std::max(low + 1.0, static_cast<double>(*std::max_element(pixels, pixels + n)));
    QImage frame(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y) {
        uchar* row = frame.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const double v = std::clamp((pixels[y * width + x] - low) / (high - low), 0.0, 1.0);
            row[x] = static_cast<uchar>(std::sqrt(v) * 255); // faint wings stay visible
        }
    }
    focus_ = frame;
    picture_->update();
}

void TInfoDialog::add_frame(double ex, double ey, int ra_ms, int dec_ms) {
    graph_->add(ex, ey, ra_ms, dec_ms);
}

void TInfoDialog::InfoUpdate(int slew_time_x, int slew_time_y, int ao_ns, int ao_ew) {
    char text[120];
    std::snprintf(text, sizeof text, "Guide star  x %1.1f   y %1.1f",
                  guide.xcent + guide.xcentdec / 10.0, guide.ycent + guide.ycentdec / 10.0);
    star_->setText(text);
    std::snprintf(text, sizeof text, "Last corrections  x %1.1f s   y %1.1f s",
                  slew_time_x / 1000.0, slew_time_y / 1000.0);
    slews_->setText(text);
    std::snprintf(text, sizeof text, "AO unit  n/s %5d   e/w %5d", ao_ns, ao_ew);
    ao_->setText(text);

    focus_ = QImage();
    Dib dib;
    if (load_dib(platform::host_path(disp.BMPname_focus), dib)) focus_ = dib_image(dib);
    picture_->update();
}
