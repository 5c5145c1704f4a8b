#include "resources/toolbar_icons.h"

#include "resources/icon_painter.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>

namespace {

// Draws the picture at whatever size is asked for, instead of scaling one
// bitmap: tool bars ask for 16 to 32 pixels, high-density screens twice that.
class DrawnIconEngine : public QIconEngine {
  public:
    // id 0 is the application icon; anything else a tool-bar bitmap id.
    explicit DrawnIconEngine(int id) : id_(id) {}

    QIconEngine* clone() const override { return new DrawnIconEngine(id_); }
    QString key() const override { return QStringLiteral("nocteris-drawn"); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap pm = pixmap(rect.size() * dpr, mode, state);
        pm.setDevicePixelRatio(dpr);
        painter->drawPixmap(rect, pm);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        const int side = qMin(size.width(), size.height());
        if (side <= 0) return QPixmap();
        const QString cache_key = QStringLiteral("nocteris-icon-%1-%2-%3")
                                      .arg(id_)
                                      .arg(side)
                                      .arg(mode == QIcon::Disabled ? 1 : 0);
        QPixmap pm;
        if (QPixmapCache::find(cache_key, &pm)) return pm;

        const QImage img =
            id_ == 0 ? icon_art::application_image(side) : icon_art::toolbar_image(id_, side);
        pm = QPixmap::fromImage(img);
        if (mode == QIcon::Disabled) {
            // The style knows how this desktop greys out a button's picture.
            if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
                QStyleOption opt;
                opt.palette = QApplication::palette();
                pm = app->style()->generatedIconPixmap(QIcon::Disabled, pm, &opt);
            }
        }
        QPixmapCache::insert(cache_key, pm);
        return pm;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = qMin(size.width(), size.height());
        return QSize(side, side);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        // Window managers pick from these; any other size is drawn as well.
        if (id_ == 0)
            return {{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}};
        return {{16, 16}, {24, 24}, {32, 32}, {48, 48}};
    }

  private:
    int id_;
};

bool has_picture(int bitmap_id) {
    for (int id : icon_art::toolbar_ids())
        if (id == bitmap_id) return true;
    return false;
}

} // namespace

QIcon toolbar_icon(int bitmap_id) {
    if (bitmap_id == 0 || !has_picture(bitmap_id)) return QIcon();
    return QIcon(new DrawnIconEngine(bitmap_id));
}

QIcon application_icon() {
    return QIcon(new DrawnIconEngine(0));
}
