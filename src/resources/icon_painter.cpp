#include "resources/icon_painter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>
#include <cmath>
#include <numbers>

namespace icon_art {
namespace {

// One small palette for the whole tool bar, so the buttons read as a set.
const QColor ink(0x26, 0x32, 0x38);   // outlines
const QColor paper(0xfa, 0xfb, 0xfc); // white areas
const QColor sky(0x1a, 0x23, 0x40);   // night-sky panels
const QColor steel(0x78, 0x90, 0x9c); // metal parts
const QColor light_steel(0xcf, 0xd8, 0xdc);
const QColor blue(0x1e, 0x78, 0xd8);
const QColor teal(0x00, 0x89, 0x7b);
const QColor green(0x43, 0xa0, 0x47);
const QColor orange(0xfb, 0x8c, 0x00);
const QColor red(0xe5, 0x39, 0x35);
const QColor purple(0x8e, 0x24, 0xaa);
const QColor star_yellow(0xff, 0xd5, 0x4f);

QPen outline(qreal width = 1.0) {
    QPen pen(ink, width);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

QPen stroke(const QColor& c, qreal width, Qt::PenCapStyle cap = Qt::RoundCap) {
    QPen pen(c, width);
    pen.setCapStyle(cap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QPainterPath star_path(QPointF c, qreal outer, qreal inner, int points) {
    QPainterPath path;
    for (int i = 0; i < 2 * points; ++i) {
        const qreal r = (i % 2 == 0) ? outer : inner;
        const qreal a = -std::numbers::pi / 2 + i * std::numbers::pi / points;
        const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    return path;
}

// A bright star: a soft glow with a hard core, as stars look on a CCD frame.
void glow_star(QPainter& p, QPointF c, qreal core, qreal glow) {
    QRadialGradient g(c, glow);
    g.setColorAt(0.0, QColor(255, 255, 255, 230));
    g.setColorAt(0.4, QColor(255, 244, 200, 120));
    g.setColorAt(1.0, QColor(255, 244, 200, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(c, glow, glow);
    p.setBrush(Qt::white);
    p.drawEllipse(c, core, core);
}

// Display-stretch curve y = S x / (x (S - 1) + 1), mapped into `box`
// (x to the right, y upwards).
QPainterPath hyperbola(const QRectF& box, qreal s) {
    QPainterPath path;
    const int steps = 32;
    for (int i = 0; i <= steps; ++i) {
        const qreal x = qreal(i) / steps;
        const qreal y = s * x / (x * (s - 1) + 1);
        const QPointF pt(box.left() + x * box.width(), box.bottom() - y * box.height());
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    return path;
}

QPainterPath power_curve(const QRectF& box, qreal power) {
    QPainterPath path;
    const int steps = 32;
    for (int i = 0; i <= steps; ++i) {
        const qreal x = qreal(i) / steps;
        const QPointF pt(box.left() + x * box.width(),
                         box.bottom() - std::pow(x, power) * box.height());
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    return path;
}

// ---- file buttons ---------------------------------------------------------

void floppy(QPainter& p, const QColor& body, bool star_label) {
    QPainterPath shell;
    shell.moveTo(3.5, 3.5);
    shell.lineTo(17.5, 3.5);
    shell.lineTo(20.5, 6.5);
    shell.lineTo(20.5, 20.5);
    shell.lineTo(3.5, 20.5);
    shell.closeSubpath();
    p.setPen(outline());
    p.setBrush(body);
    p.drawPath(shell);

    // metal shutter with its window
    p.setBrush(light_steel);
    p.drawRect(QRectF(7.5, 3.5, 9, 6));
    p.setPen(Qt::NoPen);
    p.setBrush(body.darker(140));
    p.drawRect(QRectF(13, 5, 2, 3.5));

    // label
    p.setPen(outline());
    p.setBrush(paper);
    p.drawRect(QRectF(6.5, 12.5, 11, 8));
    if (star_label) {
        p.setPen(QPen(orange.darker(130), 0.6));
        p.setBrush(orange);
        p.drawPath(star_path(QPointF(12, 16.7), 3.6, 1.5, 5));
    } else {
        p.setPen(QPen(steel, 1));
        p.drawLine(QPointF(8.5, 15.5), QPointF(15.5, 15.5));
        p.drawLine(QPointF(8.5, 17.5), QPointF(15.5, 17.5));
    }
}

void paint_save(QPainter& p) {
    floppy(p, blue, false);
}
void paint_save_fits(QPainter& p) {
    floppy(p, teal, true);
}

void paint_open(QPainter& p) {
    const QColor back(0xe0, 0x9c, 0x1a);
    const QColor front(0xff, 0xd4, 0x5c);
    QPainterPath rear;
    rear.moveTo(2.5, 19.5);
    rear.lineTo(2.5, 4.5);
    rear.lineTo(8.5, 4.5);
    rear.lineTo(10.5, 6.5);
    rear.lineTo(18.5, 6.5);
    rear.lineTo(18.5, 19.5);
    rear.closeSubpath();
    p.setPen(outline());
    p.setBrush(back);
    p.drawPath(rear);

    // a sheet inside the folder
    p.setBrush(paper);
    p.drawRect(QRectF(5.5, 8.5, 10, 8));

    QPainterPath flap;
    flap.moveTo(2.5, 19.5);
    flap.lineTo(6.5, 11.5);
    flap.lineTo(22.5, 11.5);
    flap.lineTo(18.5, 19.5);
    flap.closeSubpath();
    p.setBrush(front);
    p.drawPath(flap);
}

// ---- camera and telescope -------------------------------------------------

void paint_camera(QPainter& p) {
    // cooling fins along the top of the head
    p.setPen(Qt::NoPen);
    p.setBrush(steel);
    for (int x : {5, 9, 13, 17}) p.drawRect(QRectF(x, 2, 2, 3));

    QLinearGradient body(0, 4, 0, 21);
    body.setColorAt(0, QColor(0x60, 0x7d, 0x8b));
    body.setColorAt(1, QColor(0x37, 0x47, 0x4f));
    p.setPen(outline());
    p.setBrush(body);
    p.drawRoundedRect(QRectF(2.5, 4.5, 19, 16), 2.5, 2.5);

    // front window with the sensor behind it
    const QPointF c(12, 12.5);
    p.setBrush(light_steel);
    p.drawEllipse(c, 6, 6);
    p.setBrush(QColor(0x0d, 0x1b, 0x2a));
    p.drawEllipse(c, 4.5, 4.5);
    QLinearGradient chip(9, 10, 15, 15);
    chip.setColorAt(0, QColor(0x9f, 0xa8, 0xff));
    chip.setColorAt(1, QColor(0x5e, 0x35, 0xb1));
    p.setPen(Qt::NoPen);
    p.setBrush(chip);
    p.drawRect(QRectF(9.5, 10, 5, 5));

    // power lamp
    p.setBrush(QColor(0xff, 0x52, 0x52));
    p.drawEllipse(QPointF(5, 7.5), 1, 1);
}

void paint_telescope(QPainter& p) {
    // tripod, in a mid tone that shows on light and dark tool bars
    p.setPen(stroke(QColor(0x60, 0x7d, 0x8b), 1.5));
    p.drawLine(QPointF(11, 13), QPointF(5, 21.5));
    p.drawLine(QPointF(11, 13), QPointF(17, 21.5));
    p.drawLine(QPointF(11, 13), QPointF(11, 21.5));

    // the star it is pointing at
    p.setPen(QPen(star_yellow.darker(140), 0.5));
    p.setBrush(star_yellow);
    p.drawPath(star_path(QPointF(20, 4), 3.5, 1.0, 4));

    p.save();
    p.translate(11, 11);
    p.rotate(-30);
    QLinearGradient tube(0, -2.5, 0, 2.5);
    tube.setColorAt(0, Qt::white);
    tube.setColorAt(1, QColor(0xb0, 0xbe, 0xc5));
    p.setPen(outline());
    p.setBrush(tube);
    p.drawRect(QRectF(-7, -2.5, 12, 5));
    p.setBrush(steel);
    p.drawRect(QRectF(5, -3.2, 3.5, 6.4)); // dew shield
    p.setBrush(ink);
    p.drawRect(QRectF(-9.5, -1.2, 2.5, 2.4)); // focuser
    p.restore();

    p.setPen(outline());
    p.setBrush(steel);
    p.drawEllipse(QPointF(11, 12.5), 1.6, 1.6);
}

// ---- display buttons ------------------------------------------------------

// Magnifier: minus shows the image at half size, plus brings it back to full size.
void magnifier(QPainter& p, bool plus) {
    p.setPen(stroke(ink, 4));
    p.drawLine(QPointF(15.5, 15.5), QPointF(20.5, 20.5));
    p.setPen(QPen(ink, 2));
    p.setBrush(QColor(0xe3, 0xf2, 0xfd));
    p.drawEllipse(QPointF(10, 10), 7, 7);
    p.setPen(stroke(plus ? green.darker(115) : red, 3, Qt::FlatCap));
    p.drawLine(QPointF(6, 10), QPointF(14, 10));
    if (plus) p.drawLine(QPointF(10, 6), QPointF(10, 14));
}

void paint_bin_on(QPainter& p) {
    magnifier(p, false);
}
void paint_bin_off(QPainter& p) {
    magnifier(p, true);
}

void screen_panel(QPainter& p) {
    p.setPen(outline());
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(2.5, 2.5, 19, 19), 2, 2);
}

void paint_stretch_use(QPainter& p) {
    screen_panel(p);
    p.setBrush(Qt::NoBrush);
    p.setPen(stroke(star_yellow, 2));
    p.drawPath(hyperbola(QRectF(5.5, 5.5, 13, 13), 6));
}

void paint_stretch_dont(QPainter& p) {
    screen_panel(p);
    p.setBrush(Qt::NoBrush);
    p.setPen(stroke(QColor(0x90, 0xa4, 0xae), 1.5));
    p.drawPath(hyperbola(QRectF(5.5, 5.5, 13, 13), 6));
    // struck through: go back to the plain display
    p.setPen(stroke(red, 2.5));
    p.drawLine(QPointF(5, 19), QPointF(19, 5));
}

void paint_max_stretch(QPainter& p) {
    p.setPen(outline());
    p.setBrush(paper);
    p.drawRect(QRectF(2.5, 2.5, 19, 13));
    p.setBrush(Qt::NoBrush);
    p.setPen(stroke(orange, 1.8));
    p.drawPath(hyperbola(QRectF(4.5, 4.5, 15, 9.5), 9));

    // slider setting the strength
    p.setPen(stroke(QColor(0x90, 0xa4, 0xae), 2));
    p.drawLine(QPointF(4, 19.5), QPointF(20, 19.5));
    p.setPen(stroke(orange, 2));
    p.drawLine(QPointF(4, 19.5), QPointF(14, 19.5));
    p.setPen(outline());
    p.setBrush(paper);
    p.drawEllipse(QPointF(14, 19.5), 2.5, 2.5);
}

// ---- settings and measuring -----------------------------------------------

void paint_settings(QPainter& p) {
    const QPointF c(12, 12);
    QPainterPath gear;
    gear.addEllipse(c, 7.5, 7.5);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRoundedRect(QRectF(-2, -10.5, 4, 6), 0.8, 0.8);
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotate(i * 45.0);
        gear = gear.united(t.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(c, 3, 3);
    gear = gear.subtracted(hole);

    QLinearGradient metal(4, 4, 20, 20);
    metal.setColorAt(0, QColor(0xb0, 0xbe, 0xc5));
    metal.setColorAt(1, QColor(0x54, 0x6e, 0x7a));
    p.setPen(outline());
    p.setBrush(metal);
    p.drawPath(gear);
}

void paint_photometry(QPainter& p) {
    screen_panel(p);
    glow_star(p, QPointF(9.5, 9.5), 1.5, 3.8);
    glow_star(p, QPointF(17, 17), 1.0, 2.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x76, 0xff, 0x03), 1));
    p.drawRect(QRectF(5.5, 5.5, 8, 8));
    p.setPen(QPen(QColor(0xff, 0xab, 0x40), 1));
    p.drawRect(QRectF(14.5, 14.5, 5, 5));
}

// ---- stretches ------------------------------------------------------------

// A graph of output level against input level, with the grey scale beneath.
const QRectF plot_box(4.5, 4.5, 15, 11.5);

void graph_card(QPainter& p) {
    p.setPen(outline());
    p.setBrush(paper);
    p.drawRect(QRectF(2.5, 2.5, 19, 19));
    QLinearGradient ramp(3, 0, 21, 0);
    ramp.setColorAt(0, Qt::black);
    ramp.setColorAt(1, Qt::white);
    p.setPen(Qt::NoPen);
    p.setBrush(ramp);
    p.drawRect(QRectF(3, 18, 18, 3));
    p.setPen(QPen(ink, 1));
    p.drawLine(QPointF(3, 17.5), QPointF(21, 17.5));
    p.setBrush(Qt::NoBrush);
}

void paint_normal_stretch(QPainter& p) {
    graph_card(p);
    QPainterPath ramp;
    ramp.moveTo(plot_box.left(), plot_box.bottom());
    ramp.lineTo(8.5, plot_box.bottom());
    ramp.lineTo(15.5, plot_box.top());
    ramp.lineTo(plot_box.right(), plot_box.top());
    p.setPen(stroke(blue, 2));
    p.drawPath(ramp);
}

void paint_power_stretch(QPainter& p) {
    graph_card(p);
    p.setPen(stroke(purple, 2));
    p.drawPath(power_curve(plot_box, 2.4));
}

void paint_nonlinear_stretch(QPainter& p) {
    graph_card(p);
    p.setPen(stroke(QColor(0xe6, 0x4a, 0x19), 2));
    p.drawPath(hyperbola(plot_box, 10));
}

void paint_remove_background(QPainter& p) {
    const QRectF frame(2.5, 2.5, 19, 19);
    p.save();
    QPainterPath clip;
    clip.addRect(frame);
    p.setClipPath(clip);
    p.fillRect(frame, Qt::black);
    // the hazy grey sky above the diagonal is what the stretch takes away
    QPainterPath haze;
    haze.moveTo(2.5, 2.5);
    haze.lineTo(21.5, 2.5);
    haze.lineTo(2.5, 21.5);
    haze.closeSubpath();
    QLinearGradient grey(2.5, 2.5, 12, 12);
    grey.setColorAt(0, QColor(0xa8, 0xb0, 0xb8));
    grey.setColorAt(1, QColor(0x74, 0x7c, 0x86));
    p.setPen(Qt::NoPen);
    p.setBrush(grey);
    p.drawPath(haze);
    p.restore();
    glow_star(p, QPointF(7.5, 7), 1.2, 2.6);
    glow_star(p, QPointF(16.5, 15.5), 1.4, 3.0);
    glow_star(p, QPointF(11, 18.5), 0.9, 2.0);
    p.setPen(outline());
    p.setBrush(Qt::NoBrush);
    p.drawRect(frame);
}

// ---- filters --------------------------------------------------------------

void planet(QPainter& p, QPointF c, qreal r) {
    QPainterPath disc;
    disc.addEllipse(c, r, r);
    p.save();
    p.setClipPath(disc);
    p.fillRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), QColor(0xf3, 0xcf, 0x8e));
    const QColor band(0xc0, 0x7a, 0x3e);
    p.fillRect(QRectF(c.x() - r, c.y() - 0.35 * r, 2 * r, 0.3 * r), band);
    p.fillRect(QRectF(c.x() - r, c.y() + 0.25 * r, 2 * r, 0.25 * r), band);
    p.fillRect(QRectF(c.x() - r, c.y() - 0.8 * r, 2 * r, 0.15 * r), band.lighter(115));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd8, 0x43, 0x15));
    p.drawEllipse(QPointF(c.x() + 0.3 * r, c.y() + 0.42 * r), 0.22 * r, 0.13 * r);
    p.restore();
}

// Separable box blur of a premultiplied image, `radius` pixels each way.
void box_blur(QImage& img, int radius) {
    const int w = img.width(), h = img.height();
    QImage src = img.copy();
    for (int pass = 0; pass < 2; ++pass) {
        const bool horizontal = pass == 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                int sum[4] = {0, 0, 0, 0}, n = 0;
                for (int d = -radius; d <= radius; ++d) {
                    const int sx = horizontal ? x + d : x, sy = horizontal ? y : y + d;
                    if (sx < 0 || sy < 0 || sx >= w || sy >= h) continue;
                    const QRgb v = reinterpret_cast<const QRgb*>(src.constScanLine(sy))[sx];
                    sum[0] += qRed(v), sum[1] += qGreen(v), sum[2] += qBlue(v), sum[3] += qAlpha(v);
                    ++n;
                }
                reinterpret_cast<QRgb*>(img.scanLine(y))[x] =
                    qRgba(sum[0] / n, sum[1] / n, sum[2] / n, sum[3] / n);
            }
        }
        src = img.copy();
    }
}

void paint_unsharp(QPainter& p) {
    const QPointF c(12, 12);
    // Left half soft, right half sharp: what the mask does to planetary detail.
    // The soft half is blurred in device pixels so it looks the same at any size.
    const QTransform t = p.transform();
    const qreal scale = std::hypot(t.m11(), t.m12());
    const int side = qMax(12, qRound(24 * scale));
    QImage soft(side, side, QImage::Format_ARGB32_Premultiplied);
    soft.fill(Qt::transparent);
    {
        QPainter q(&soft);
        q.setRenderHint(QPainter::Antialiasing, true);
        q.scale(side / 24.0, side / 24.0);
        planet(q, c, 8);
    }
    box_blur(soft, qMax(1, qRound(side / 24.0)));
    p.save();
    p.setClipRect(QRectF(0, 0, 12, 24));
    p.drawImage(QRectF(0, 0, 24, 24), soft);
    p.restore();

    p.save();
    p.setClipRect(QRectF(12, 0, 12, 24));
    planet(p, c, 8);
    p.setPen(outline());
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 8, 8);
    p.restore();
}

void paint_median(QPainter& p) {
    // a 3 x 3 neighbourhood of noisy values; the centre takes their median
    static const int greys[9] = {0x8f, 0xb4, 0x9c, 0xc2, 0, 0xa6, 0x7e, 0xb0, 0x98};
    for (int i = 0; i < 9; ++i) {
        const QRectF cell(2.5 + (i % 3) * 6, 2.5 + (i / 3) * 6, 6, 6);
        p.setPen(outline());
        if (i == 4)
            p.setBrush(orange);
        else
            p.setBrush(QColor(greys[i], greys[i] + 6, greys[i] + 12));
        p.drawRect(cell);
    }
    // a noise spike in a corner cell, for the filter to take out
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 16.5, 2, 2));
    p.drawRect(QRectF(16.5, 4.5, 2, 2));
}

// ---- calibration and merging ----------------------------------------------

void badge(QPainter& p, const QColor& c, char sign) {
    const QPointF centre(17.5, 17.5);
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(c);
    p.drawEllipse(centre, 5, 5);
    p.setPen(stroke(Qt::white, 2, Qt::FlatCap));
    p.drawLine(QPointF(14.8, 17.5), QPointF(20.2, 17.5));
    if (sign == '+') p.drawLine(QPointF(17.5, 14.8), QPointF(17.5, 20.2));
    if (sign == '/') {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(17.5, 15.2), 1, 1);
        p.drawEllipse(QPointF(17.5, 19.8), 1, 1);
    }
}

void star_frame(QPainter& p, const QRectF& r, const QColor& fill, QPointF star) {
    p.setPen(outline());
    p.setBrush(fill);
    p.drawRect(r);
    glow_star(p, star, 1.2, 2.6);
}

void paint_subtract_dark(QPainter& p) {
    star_frame(p, QRectF(2.5, 2.5, 12, 12), QColor(0x45, 0x5a, 0x64), QPointF(7, 7));
    // the dark frame: black with a few hot pixels
    p.setPen(outline());
    p.setBrush(Qt::black);
    p.drawRect(QRectF(7.5, 7.5, 12, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0x8a, 0x80));
    p.drawRect(QRectF(9, 9, 1, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(13, 10, 1, 1));
    p.drawRect(QRectF(10, 13, 1, 1));
    badge(p, red, '-');
}

void paint_flat_field(QPainter& p) {
    const QRectF r(2.5, 2.5, 16, 16);
    QRadialGradient vignette(r.center(), 11.5);
    vignette.setColorAt(0.0, Qt::white);
    vignette.setColorAt(0.55, QColor(0xdc, 0xe3, 0xe8));
    vignette.setColorAt(1.0, QColor(0x6f, 0x7f, 0x8a));
    p.setPen(outline());
    p.setBrush(vignette);
    p.drawRect(r);
    badge(p, teal, '/');
}

void paint_merge(QPainter& p) {
    star_frame(p, QRectF(2.5, 2.5, 12, 12), sky, QPointF(6.5, 7));
    star_frame(p, QRectF(7.5, 7.5, 12, 12), QColor(0x28, 0x35, 0x93), QPointF(11.5, 12));
    badge(p, green, '+');
}

using Painter = void (*)(QPainter&);

struct Entry {
    int id;
    Painter paint;
};

// Tool-bar order.
const Entry entries[] = {
    {24333, paint_save},
    {24336, paint_save_fits},
    {24332, paint_open},
    {1000, paint_camera},
    {1907, paint_bin_on},
    {1908, paint_bin_off},
    {1002, paint_stretch_use},
    {1003, paint_stretch_dont},
    {1904, paint_max_stretch},
    {121, paint_settings},
    {1903, paint_photometry},
    {1, paint_normal_stretch},
    {117, paint_nonlinear_stretch},
    {2, paint_power_stretch},
    {120, paint_remove_background},
    {106, paint_unsharp},
    {3, paint_median},
    {110, paint_subtract_dark},
    {115, paint_flat_field},
    {111, paint_merge},
    {24, paint_telescope},
};

Painter find(int id) {
    for (const Entry& e : entries)
        if (e.id == id) return e.paint;
    return nullptr;
}

// ---- application icon (256-unit grid) -------------------------------------

void application_art(QPainter& p) {
    const QPointF centre(128, 128);
    QRadialGradient night(QPointF(128, 100), 150);
    night.setColorAt(0.0, QColor(0x2c, 0x44, 0x86));
    night.setColorAt(0.6, QColor(0x12, 0x1d, 0x42));
    night.setColorAt(1.0, QColor(0x08, 0x0d, 0x22));
    p.setPen(QPen(QColor(0x5c, 0x7c, 0xc9), 6));
    p.setBrush(night);
    p.drawEllipse(centre, 119, 119);

    QPainterPath disc;
    disc.addEllipse(centre, 116, 116);
    p.save();
    p.setClipPath(disc);

    // background stars
    struct Dot {
        qreal x, y, r;
    };
    static const Dot dots[] = {{60, 62, 3},   {92, 38, 2},   {132, 58, 2.5}, {44, 112, 2},
                               {210, 128, 3}, {222, 88, 2},  {150, 28, 2},   {72, 160, 2.5},
                               {196, 186, 2}, {118, 96, 1.8}};
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 210));
    for (const Dot& d : dots) p.drawEllipse(QPointF(d.x, d.y), d.r, d.r);

    // the target star
    const QPointF target(188, 64);
    QRadialGradient halo(target, 38);
    halo.setColorAt(0.0, QColor(255, 240, 190, 200));
    halo.setColorAt(1.0, QColor(255, 240, 190, 0));
    p.setBrush(halo);
    p.drawEllipse(target, 38, 38);
    p.setBrush(QColor(0xff, 0xf3, 0xc4));
    p.drawPath(star_path(target, 28, 6, 4));
    p.setBrush(Qt::white);
    p.drawEllipse(target, 6, 6);

    // tripod
    const QPointF mount(132, 146);
    QPen leg(QColor(0xcf, 0xd8, 0xdc), 9);
    leg.setCapStyle(Qt::FlatCap);
    p.setPen(leg);
    p.drawLine(mount, QPointF(88, 250));
    p.drawLine(mount, QPointF(176, 250));
    p.drawLine(mount, QPointF(132, 250));

    // telescope, aimed at the star, with the camera at its focus
    p.save();
    p.translate(mount.x(), mount.y() - 8);
    p.rotate(-40);
    const QColor edge(0x0d, 0x1b, 0x2a);
    QLinearGradient tube(0, -20, 0, 20);
    tube.setColorAt(0, Qt::white);
    tube.setColorAt(1, QColor(0xa7, 0xb6, 0xbf));
    p.setPen(QPen(edge, 4));
    p.setBrush(tube);
    p.drawRect(QRectF(-40, -20, 72, 40));
    QLinearGradient shield(0, -26, 0, 26);
    shield.setColorAt(0, QColor(0xcf, 0xd8, 0xdc));
    shield.setColorAt(1, QColor(0x78, 0x90, 0x9c));
    p.setBrush(shield);
    p.drawRect(QRectF(32, -26, 24, 52));
    p.setBrush(QColor(0x45, 0x5a, 0x64));
    p.drawRect(QRectF(-54, -9, 14, 18)); // focuser
    QLinearGradient cam(0, -26, 0, 26);
    cam.setColorAt(0, QColor(0xff, 0xa7, 0x26));
    cam.setColorAt(1, QColor(0xe6, 0x51, 0x00));
    p.setBrush(cam);
    p.drawRoundedRect(QRectF(-90, -26, 36, 52), 6, 6);
    p.setPen(QPen(edge, 3));
    for (int x : {-81, -72, -63}) p.drawLine(QPointF(x, -16), QPointF(x, 16));
    p.restore();

    p.setPen(QPen(edge, 4));
    p.setBrush(QColor(0x78, 0x90, 0x9c));
    p.drawEllipse(mount, 10, 10);
    p.restore();
}

} // namespace

const std::vector<int>& toolbar_ids() {
    static const std::vector<int> ids = [] {
        std::vector<int> v;
        for (const Entry& e : entries) v.push_back(e.id);
        return v;
    }();
    return ids;
}

bool paint_toolbar(QPainter& p, int bitmap_id, qreal size) {
    const Painter paint = find(bitmap_id);
    if (!paint) return false;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 24.0, size / 24.0);
    paint(p);
    p.restore();
    return true;
}

void paint_application(QPainter& p, qreal size) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 256.0, size / 256.0);
    application_art(p);
    p.restore();
}

QImage toolbar_image(int bitmap_id, int size) {
    if (!find(bitmap_id) || size <= 0) return QImage();
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paint_toolbar(p, bitmap_id, size);
    return img;
}

QImage application_image(int size) {
    if (size <= 0) return QImage();
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paint_application(p, size);
    return img;
}

} // namespace icon_art
