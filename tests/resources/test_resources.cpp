// Icons, help pages and desktop files: what the program and the installer rely on.
#include "resources/help_location.h"
#include "resources/icon_painter.h"
#include "resources/toolbar_icons.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>
#include <array>
#include <cstdlib>

namespace {

const QString res_dir = QStringLiteral(NOCTERIS_RESOURCES_DIR);

// The bitmaps the main window's tool bar is built from.
const int toolbar_bitmaps[] = {24333, 24336, 24332, 1000, 1907, 1908, 1002, 1003, 1904, 121, 1903,
                               1,     117,   2,     120,  106,  3,    110,  115,  111,  24};

QImage render(int id, int size) {
    return toolbar_icon(id).pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

int opaque_pixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += qAlpha(img.pixel(x, y)) > 128;
    return n;
}

// Share of pixels that a user would see as different (composited on a mid-grey
// tool bar, some channel differs by more than a quarter of the range).
double visible_difference(const QImage& a, const QImage& b) {
    auto on_grey = [](QRgb p) {
        const int al = qAlpha(p);
        auto ch = [al](int c) { return (c * al + 0xc0 * (255 - al)) / 255; };
        return std::array<int, 3>{ch(qRed(p)), ch(qGreen(p)), ch(qBlue(p))};
    };
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const auto pa = on_grey(a.pixel(x, y)), pb = on_grey(b.pixel(x, y));
            for (int c = 0; c < 3; ++c)
                if (std::abs(pa[c] - pb[c]) > 64) {
                    ++n;
                    break;
                }
        }
    return double(n) / (a.width() * a.height());
}

double mean_difference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q)) + std::abs(qAlpha(p) - qAlpha(q));
        }
    return sum / (a.width() * a.height());
}

double mean_saturation(const QImage& img) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = QColor::fromRgba(img.pixel(x, y));
            if (c.alpha() < 128) continue;
            sum += c.hsvSaturationF();
            ++n;
        }
    return n ? sum / n : 0;
}

QString read_text(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}

} // namespace

class ResourcesTest : public QObject {
    Q_OBJECT

  private slots:
    void everyToolbarBitmapHasAVisibleIcon() {
        for (int id : toolbar_bitmaps) {
            const QIcon icon = toolbar_icon(id);
            QVERIFY2(!icon.isNull(), qPrintable(QString::number(id)));
            for (int size : {16, 24, 32, 48}) {
                const QImage img = render(id, size);
                QCOMPARE(img.size(), QSize(size, size));
                // something a user can see, not a blank or a speck
                QVERIFY2(opaque_pixels(img) > size * size / 6,
                         qPrintable(
                             QStringLiteral("icon %1 at %2 px is nearly empty").arg(id).arg(size)));
            }
        }
    }

    void idsWithoutAPictureGiveANullIcon() {
        // command ids that are easily confused with the bitmap ids of their buttons
        for (int id : {0, -1, 12, 123, 726, 1901, 1902, 24335, 9999})
            QVERIFY2(toolbar_icon(id).isNull(), qPrintable(QString::number(id)));
    }

    void highDensityScreensGetTwiceThePixels() {
        const QPixmap pm = toolbar_icon(24333).pixmap(QSize(24, 24), 2.0);
        QCOMPARE(pm.size(), QSize(48, 48));
        QCOMPARE(pm.devicePixelRatio(), 2.0);
        // drawn afresh at 48 pixels, not a 24 pixel picture blown up
        const QImage big = pm.toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage sharp =
            icon_art::toolbar_image(24333, 48).convertToFormat(QImage::Format_ARGB32);
        const QImage blown_up = render(24333, 24).scaled(48, 48);
        QVERIFY(mean_difference(big, sharp) < 0.25 * mean_difference(big, blown_up));
    }

    void drawingsStayInsideTheirSquare() {
        for (int id : toolbar_bitmaps) {
            QImage canvas(40, 40, QImage::Format_ARGB32_Premultiplied);
            canvas.fill(Qt::transparent);
            QPainter p(&canvas);
            p.translate(8, 8);
            QVERIFY(icon_art::paint_toolbar(p, id, 24));
            p.end();
            int outside = 0;
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 40; ++x)
                    if ((x < 8 || x >= 32 || y < 8 || y >= 32) && qAlpha(canvas.pixel(x, y)) > 8)
                        ++outside;
            QVERIFY2(outside == 0,
                     qPrintable(QStringLiteral("icon %1 draws %2 pixels outside its square")
                                    .arg(id)
                                    .arg(outside)));
        }
    }

    void statePairsAreEasyToTellApart() {
        // each pair replaces one another on the tool bar when the state changes
        QVERIFY(visible_difference(render(1907, 24), render(1908, 24)) > 0.04);
        QVERIFY(visible_difference(render(1002, 24), render(1003, 24)) > 0.08);
    }

    void noTwoButtonsLookAlike() {
        for (size_t i = 0; i < std::size(toolbar_bitmaps); ++i)
            for (size_t j = i + 1; j < std::size(toolbar_bitmaps); ++j) {
                const int a = toolbar_bitmaps[i], b = toolbar_bitmaps[j];
                QVERIFY2(visible_difference(render(a, 24), render(b, 24)) > 0.04,
                         qPrintable(QStringLiteral("icons %1 and %2 look alike").arg(a).arg(b)));
            }
    }

    void disabledButtonsAreGreyed() {
        for (int id : {24333, 1000, 1903, 24}) {
            const QIcon icon = toolbar_icon(id);
            const QImage normal = icon.pixmap(24, 24).toImage();
            const QImage disabled = icon.pixmap(QSize(24, 24), QIcon::Disabled).toImage();
            QCOMPARE(disabled.size(), QSize(24, 24));
            QVERIFY2(mean_saturation(disabled) < 0.5 * mean_saturation(normal),
                     qPrintable(QString::number(id)));
        }
    }

    void applicationIconIsARoundBadge() {
        const QIcon icon = application_icon();
        QVERIFY(!icon.isNull());
        for (int size : {16, 48, 256}) {
            const QImage img =
                icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(img.size(), QSize(size, size));
            QCOMPARE(qAlpha(img.pixel(size / 2, size / 2)), 255);
            QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(img.pixel(size - 1, size - 1)), 0);
        }
    }

    void helpPicturesMatchTheButtons() {
        for (int id : toolbar_bitmaps) {
            const QString path = res_dir + QStringLiteral("/help/images/toolbar-%1.png").arg(id);
            QImage shipped(path);
            QVERIFY2(!shipped.isNull(), qPrintable(path));
            shipped = shipped.convertToFormat(QImage::Format_ARGB32);
            const QImage drawn =
                icon_art::toolbar_image(id, 48).convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(shipped.size(), drawn.size());
            QVERIFY2(
                visible_difference(shipped, drawn) < 0.01,
                qPrintable(
                    QStringLiteral("%1 is out of date: build the help_images target").arg(path)));
        }
    }

    void helpLinksAndAnchorsResolve() {
        const QDir help(res_dir + QStringLiteral("/help"));
        const QStringList pages = help.entryList({QStringLiteral("*.html")}, QDir::Files);
        QVERIFY(pages.size() >= 11);
        static const QRegularExpression ref(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
        for (const QString& page : pages) {
            const QString text = read_text(help.filePath(page));
            QVERIFY2(text.contains(QStringLiteral("href=\"help.css\"")), qPrintable(page));
            QVERIFY2(text.contains(QStringLiteral("href=\"index.html\"")), qPrintable(page));
            for (auto it = ref.globalMatch(text); it.hasNext();) {
                const QString target = it.next().captured(1);
                if (target.startsWith(QStringLiteral("http"))) continue;
                const QString file = target.section(QLatin1Char('#'), 0, 0);
                const QString anchor = target.section(QLatin1Char('#'), 1);
                const QString file_path =
                    file.isEmpty() ? help.filePath(page) : help.filePath(file);
                QVERIFY2(QFile::exists(file_path),
                         qPrintable(page + QStringLiteral(": ") + target));
                if (!anchor.isEmpty())
                    QVERIFY2(read_text(file_path).contains(QStringLiteral("id=\"%1\"").arg(anchor)),
                             qPrintable(page + QStringLiteral(": ") + target));
            }
        }
    }

    void helpCoversEveryCommand() {
        const QMap<QString, QStringList> pages = {
            {"file.html",
             {"Open...",
              "Save...",
              "Save as Tiff file...",
              "Save as FITS file...",
              "Quick Save as FITS...",
              "Delete File...",
              "Load/Edit AutoSave FITS text",
              "Select Dark Frame...",
              "Select Auto-Flat File...",
              "Load Comparison Image",
              "Set Program Defaults",
              "Nocteris Camera Interface",
              "Pick Guide Star",
              "Focus Frame Centre",
              "Default Focus Frame Centre",
              "Train Auto-Guiding",
              "Start Auto-Guiding",
              "Telescope Control",
              "Print setup...",
              "Print...",
              "Exit",
              "Ctrl+G"}},
            {"edit.html", {"Undo Last Filter", "Copy"}},
            {"view.html",
             {"Fit to window", "bin display", "False Colour Palette", "Auto contrast stretch image",
              "Max Palette Stretch", "Mirror Image", "Photometry of Image", "Blink Comparison",
              "3-D Intensity Plot", "Intensity Plot of Current Row", "Processing History",
              "Show/Edit Current Image FITS details"}},
            {"label.html", {"Label"}},
            {"contrast.html",
             {"Normal Stretch", "Power Law Stretch", "Sine Law Stretch", "Remove Background",
              "Non-Linear Stretch", "Logarithmic Stretch", "Antilogarithmic Stretch",
              "Invert image to Negative"}},
            {"filters.html",
             {"Unsharp masking HPF", "High Pass, Low Power", "High Pass, High Power",
              "Smoother/Sharper Filter", "Median Filter - Noise Reduction",
              "Gaussian Smoother Filter", "Low Pass Weighted Mean Smoother", "Bas Relief Generator",
              "Gradient Filter", "Vertical Smoothing"}},
            {"merging.html",
             {"Subtract Image (Dark Frame)", "Apply Flat Field", "Merge two Images together",
              "Average with current Image"}},
            {"histogram.html", {"Histogram"}},
            {"help-menu.html", {"Help in using Nocteris", "About Nocteris"}},
            {"index.html",
             {"Ctrl+Z", "Ctrl+G", "Alt+X", "Ctrl+H", "Ctrl+L", "Ctrl+Q", "Ctrl+P", "Ctrl+W",
              "Ctrl+S", "Ctrl+U", "Ctrl+N", "Ctrl+B", "Ctrl+O", "Ctrl+M", "Shift+Ins"}},
        };
        for (auto it = pages.begin(); it != pages.end(); ++it) {
            const QString text = read_text(res_dir + QStringLiteral("/help/") + it.key());
            QVERIFY2(!text.isEmpty(), qPrintable(it.key()));
            for (const QString& command : it.value())
                QVERIFY2(text.contains(command),
                         qPrintable(it.key() + QStringLiteral(": ") + command));
        }
        const QString toolbar = read_text(res_dir + QStringLiteral("/help/toolbar.html"));
        for (int id : toolbar_bitmaps)
            QVERIFY2(toolbar.contains(QStringLiteral("images/toolbar-%1.png").arg(id)),
                     qPrintable(QString::number(id)));
    }

    void helpLookupTakesTheFirstFileThatExists() {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const std::string dir = tmp.path().toStdString();
        for (const char* name : {"/a.html", "/b.html"}) {
            QFile f(QString::fromStdString(dir + name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(
            first_existing_file({dir + "/missing.html", dir, dir + "/b.html", dir + "/a.html"}),
            dir + "/b.html");
        QCOMPARE(first_existing_file({"", dir + "/missing.html"}), std::string());
        QCOMPARE(first_existing_file({}), std::string());

        // built here, the help is found at least in the source tree
        const QString found = QString::fromStdString(help_index_path());
        QVERIFY(found.endsWith(QStringLiteral("/index.html")));
        QVERIFY(QFile::exists(found));
    }

    void desktopEntryNamesTheInstalledIconAndProgram() {
        const QString text = read_text(res_dir + QStringLiteral("/nocteris.desktop"));
        const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
        QMap<QString, QString> keys;
        for (const QString& line : lines.mid(1)) {
            QVERIFY2(line.contains(QLatin1Char('=')), qPrintable(line));
            QVERIFY2(!keys.contains(line.section(QLatin1Char('='), 0, 0)), qPrintable(line));
            keys[line.section(QLatin1Char('='), 0, 0)] = line.section(QLatin1Char('='), 1);
        }
        QCOMPARE(keys.value("Type"), QStringLiteral("Application"));
        QCOMPARE(keys.value("Name"), QStringLiteral("Nocteris"));
        QCOMPARE(keys.value("Exec"), QStringLiteral("nocteris"));
        // the icon theme looks the name up among the files installed as nocteris.*
        QVERIFY(QFile::exists(res_dir + QStringLiteral("/icons/") + keys.value("Icon") + ".svg"));
        QVERIFY(keys.value("Categories").endsWith(QLatin1Char(';')));
        QVERIFY(!keys.value("Comment").isEmpty());
    }

    void scalableIconIsWellFormedSvg() {
        QFile f(res_dir + QStringLiteral("/icons/nocteris.svg"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&f);
        bool root_seen = false;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && !root_seen) {
                root_seen = true;
                QCOMPARE(xml.name().toString(), QStringLiteral("svg"));
                QCOMPARE(xml.attributes().value("viewBox").toString(),
                         QStringLiteral("0 0 256 256"));
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(root_seen);
    }
};

QTEST_MAIN(ResourcesTest)
#include "test_resources.moc"
