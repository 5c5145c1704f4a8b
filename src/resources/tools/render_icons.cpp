// Writes the drawn icons out as PNG files:
//   render_icons app-icons DIR     nocteris-<n>.png for the desktop's icon theme
//   render_icons help-images DIR   toolbar-<id>.png (48 px) for the help pages
//   render_icons sheet FILE        every tool-bar icon at 24 and 48 px, labelled,
//                                  on light and dark backgrounds, for checking by eye
#include "resources/icon_painter.h"
#include "resources/toolbar_icons.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <map>
#include <string>

namespace {

const std::map<int, const char*> names = {
    {24333, "Save"},      {24336, "Save FITS"},   {24332, "Open"},
    {1000, "Camera"},     {1907, "Half size on"}, {1908, "Half size off"},
    {1002, "Stretch on"}, {1003, "Stretch off"},  {1904, "Stretch dialog"},
    {121, "Defaults"},    {1903, "Photometry"},   {1, "Normal"},
    {117, "Non-linear"},  {2, "Power law"},       {120, "Background"},
    {106, "Unsharp"},     {3, "Median"},          {110, "Subtract dark"},
    {115, "Flat field"},  {111, "Merge"},         {24, "Telescope"},
};

bool save(const QImage& img, const QString& path) {
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

int app_icons(const QString& dir) {
    QDir().mkpath(dir);
    for (int size : {16, 32, 48, 64, 128, 256})
        if (!save(icon_art::application_image(size),
                  dir + QStringLiteral("/nocteris-%1.png").arg(size)))
            return 1;
    return 0;
}

int help_images(const QString& dir) {
    QDir().mkpath(dir);
    for (int id : icon_art::toolbar_ids())
        if (!save(icon_art::toolbar_image(id, 48), dir + QStringLiteral("/toolbar-%1.png").arg(id)))
            return 1;
    return save(icon_art::application_image(64), dir + QStringLiteral("/nocteris.png")) ? 0 : 1;
}

int sheet(const QString& file) {
    const auto& ids = icon_art::toolbar_ids();
    const int cell_w = 112, cell_h = 96, cols = 7;
    const int rows = int(ids.size() + cols - 1) / cols;
    const int band = rows * cell_h;
    QImage img(cols * cell_w, 2 * band + 160, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(0xef, 0xf0, 0xf1));
    QPainter p(&img);
    p.fillRect(QRect(0, band, img.width(), band), QColor(0x31, 0x36, 0x3b));
    QFont f = p.font();
    f.setPixelSize(11);
    p.setFont(f);
    for (int half = 0; half < 2; ++half) {
        p.setPen(half == 0 ? Qt::black : Qt::white);
        for (size_t i = 0; i < ids.size(); ++i) {
            const int x = int(i % cols) * cell_w, y = half * band + int(i / cols) * cell_h;
            // the icon as a tool bar shows it: through QIcon, at 24 and at 48 pixels
            const QIcon icon = toolbar_icon(ids[i]);
            p.drawPixmap(x + 10, y + 22, icon.pixmap(24, 24));
            p.drawPixmap(x + 50, y + 10, icon.pixmap(48, 48));
            p.drawPixmap(x + 10, y + 52, icon.pixmap(QSize(24, 24), QIcon::Disabled));
            p.drawText(QRect(x, y + 62, cell_w, 30), Qt::AlignHCenter | Qt::AlignBottom,
                       QStringLiteral("%1 %2").arg(ids[i]).arg(names.at(ids[i])));
        }
    }
    const int y = 2 * band + 8;
    int x = 10;
    for (int size : {16, 32, 48, 64, 128}) {
        p.drawImage(x, y + 128 - size, icon_art::application_image(size));
        x += size + 16;
    }
    p.end();
    return save(img, file) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    // The PNG files are painted on plain images and need no application object,
    // so the build does not depend on a display or a platform plugin. The sheet
    // goes through QIcon and writes labels, which need one.
    if (mode == "app-icons") return app_icons(QString::fromLocal8Bit(argv[2]));
    if (mode == "help-images") return help_images(QString::fromLocal8Bit(argv[2]));
    if (mode == "sheet") {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return sheet(QString::fromLocal8Bit(argv[2]));
    }
    std::fprintf(stderr, "usage: render_icons app-icons DIR | help-images DIR | sheet FILE\n");
    return 2;
}
