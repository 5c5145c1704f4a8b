#include "dialogs/guide_graph.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const QColor X_COLOUR(220, 80, 60);
const QColor Y_COLOUR(60, 130, 230);
const QColor BACKGROUND(20, 22, 30);
const QColor GRID(70, 74, 90);
const QColor TEXT(220, 220, 220);

} // namespace

GuideGraph::GuideGraph(QWidget* parent) : QWidget(parent) {
    setObjectName("guideGraph");
    setMinimumSize(420, 230);
    samples_.reserve(FRAMES);
}

void GuideGraph::add(double ex, double ey, int ra_ms, int dec_ms) {
    if (static_cast<int>(samples_.size()) == FRAMES) samples_.erase(samples_.begin());
    samples_.push_back({ex, ey, ra_ms, dec_ms});
    update();
}

void GuideGraph::clear() {
    samples_.clear();
    update();
}

void GuideGraph::set_scale(double arcsec_per_pixel) {
    scale_ = arcsec_per_pixel > 0 ? arcsec_per_pixel : 0;
    update();
}

double GuideGraph::rms_x() const {
    if (samples_.empty()) return 0;
    double s = 0;
    for (const Sample& v : samples_) s += v.ex * v.ex;
    return std::sqrt(s / samples_.size());
}

double GuideGraph::rms_y() const {
    if (samples_.empty()) return 0;
    double s = 0;
    for (const Sample& v : samples_) s += v.ey * v.ey;
    return std::sqrt(s / samples_.size());
}

double GuideGraph::rms_total() const {
    return std::hypot(rms_x(), rms_y());
}

QString GuideGraph::rms_text() const {
    auto one = [this](const char* name, double px) {
        QString t = QString("%1 %2 px").arg(name).arg(px, 0, 'f', 2);
        if (scale_ > 0) t += QString(" (%1\")").arg(px * scale_, 0, 'f', 2);
        return t;
    };
    return QString("RMS over %1 frames:  ").arg(samples_.size()) + one("x", rms_x()) + "   " +
           one("y", rms_y()) + "   " + one("total", rms_total());
}

void GuideGraph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), BACKGROUND);
    const QFontMetrics fm(font());
    const int line = fm.height();
    const int left = fm.horizontalAdvance("-0.0\"") + 8;
    const int right = width() - 8;
    const int top = line + 8;
    const int bars_h = std::max(30, height() / 5);
    const int plot_bottom = height() - bars_h - line - 8;
    const int bars_top = plot_bottom + 6;
    const int bars_bottom = height() - line - 4;

    p.setPen(TEXT);
    p.drawText(QRect(4, 2, width() - 8, line), Qt::AlignLeft, rms_text());

    // The error scale: at least a pixel either way, growing with the errors.
    double span = 1;
    int pulse_span = 100;
    for (const Sample& v : samples_) {
        span = std::max({span, std::abs(v.ex), std::abs(v.ey)});
        pulse_span = std::max({pulse_span, std::abs(v.ra_ms), std::abs(v.dec_ms)});
    }
    span = std::ceil(span);
    const double mid = (top + plot_bottom) / 2.0;
    const double half = (plot_bottom - top) / 2.0;
    auto ypos = [&](double e) { return mid - e / span * half; };
    const double step = static_cast<double>(right - left) / (FRAMES - 1);
    auto xpos = [&](int i) { return left + i * step; };

    p.setPen(GRID);
    p.drawRect(left, top, right - left, plot_bottom - top);
    p.drawLine(QPointF(left, mid), QPointF(right, mid));
    p.setPen(TEXT);
    auto axis_label = [&](double e) {
        QString t = scale_ > 0 ? QString("%1\"").arg(e * scale_, 0, 'f', 1)
                               : QString("%1").arg(e, 0, 'f', 0);
        p.drawText(QRectF(0, ypos(e) - line / 2.0, left - 4, line), Qt::AlignRight, t);
    };
    axis_label(span);
    axis_label(0);
    axis_label(-span);
    p.drawText(QRect(left, bars_bottom, right - left, line), Qt::AlignLeft,
               QString("pulses (to %1 ms)").arg(pulse_span));
    p.setPen(X_COLOUR);
    p.drawText(QRect(left, bars_bottom, right - left, line), Qt::AlignHCenter, "x / RA");
    p.setPen(Y_COLOUR);
    p.drawText(QRect(left, bars_bottom, right - left, line), Qt::AlignRight, "y / Dec");

    // Pulse bars: RA above the centre line of the bar strip, Dec below.
    const double bars_mid = (bars_top + bars_bottom) / 2.0;
    const double bars_half = (bars_bottom - bars_top) / 2.0;
    p.setPen(GRID);
    p.drawLine(QPointF(left, bars_mid), QPointF(right, bars_mid));
    for (int i = 0; i < static_cast<int>(samples_.size()); ++i) {
        const Sample& v = samples_[i];
        const double w = std::max(1.0, step * 0.8);
        if (v.ra_ms)
            p.fillRect(
                QRectF(xpos(i) - w, bars_mid, w, -std::abs(v.ra_ms) * bars_half / pulse_span),
                X_COLOUR);
        if (v.dec_ms)
            p.fillRect(QRectF(xpos(i), bars_mid, w, std::abs(v.dec_ms) * bars_half / pulse_span),
                       Y_COLOUR);
    }

    // The two error traces.
    p.setRenderHint(QPainter::Antialiasing);
    for (int axis = 0; axis < 2; ++axis) {
        QPainterPath path;
        for (int i = 0; i < static_cast<int>(samples_.size()); ++i) {
            const double e = axis ? samples_[i].ey : samples_[i].ex;
            const QPointF pt(xpos(i), ypos(e));
            if (i == 0)
                path.moveTo(pt);
            else
                path.lineTo(pt);
        }
        p.setPen(QPen(axis ? Y_COLOUR : X_COLOUR, 1.5));
        p.drawPath(path);
    }
}
