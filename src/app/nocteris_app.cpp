#include "app/nocteris_app.h"

#include "app/app_logic.h"
#include "app/main_window.h"
#include "display/image_store.h"
#include "settings/ini_file.h"

#include "platform/qt_ui.h"
#include "settings/settings.h"
#include <clocale>

#include "dialogs/screen_fit.h"
#include "platform/host_path.h"
#include "resources/toolbar_icons.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include <algorithm>

TNocterisApp::TNocterisApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Nocteris");
    // No display name: Qt would add " - Nocteris" to every caption.
    setDesktopFileName("nocteris");
    // Qt adopts the user's locale; numbers in files and messages stay in C form.
    std::setlocale(LC_NUMERIC, "C");
    setWindowIcon(application_icon());
    ui_ = std::make_unique<platform::QtUi>();
    platform::install_ui(ui_.get());
    help_keys_ = std::make_unique<HelpKeyFilter>();
    installEventFilter(help_keys_.get());
    fitter_ = std::make_unique<ScreenFitter>();
    installEventFilter(fitter_.get());
    connect(this, &QApplication::aboutToQuit, this, [this] {
        if (frame_) keep_main_window_place(frame_);
    });
}

TNocterisApp::~TNocterisApp() {
    removeEventFilter(help_keys_.get());
    removeEventFilter(fitter_.get());
    platform::install_ui(nullptr);
    delete frame_;
}

void prepare_main_window_state() {
    // A missing folder or file is created from the defaults; a damaged one
    // has been reported by the loader. The program starts either way.
    LoadINIFile(cfg.ini_file);
    nocteris_camera();
}

void TNocterisApp::InitMainWindow() {
    prepare_main_window_state();
    window_ = new TNocterisWindow;
    frame_ = new TNocterisFrame(window_);
    window_->SetCaption("");
    ui_->set_main_window(window_->viewport(), [this](int id) { window_->dispatch(id); });
    fitter_->set_main_window(frame_);
    place_main_window(frame_);
}

void place_main_window(QWidget* frame) {
    const QSettings kept(QString::fromStdString(platform::host_path(WINDOW_PLACE_FILE)),
                         QSettings::IniFormat);
    if (frame->restoreGeometry(kept.value("geometry").toByteArray())) {
        // A screen that has gone since must not keep the window out of sight.
        for (const QScreen* s : QGuiApplication::screens())
            if (s->availableGeometry().intersects(frame->frameGeometry())) return;
    }
    const QScreen* s = QGuiApplication::primaryScreen();
    if (!s) return;
    const QRect area = s->availableGeometry();
    // The image with the menu, tool and status bars, but at most 85 % of the screen.
    QSize size(std::max(disp.width1 + 40, 640), std::max(disp.height1 + 140, 480));
    size = size.boundedTo(area.size() * 85 / 100);
    frame->resize(size);
    frame->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

void keep_main_window_place(const QWidget* frame) {
    QSettings kept(QString::fromStdString(platform::host_path(WINDOW_PLACE_FILE)),
                   QSettings::IniFormat);
    kept.setValue("geometry", frame->saveGeometry());
}

void TNocterisApp::InitInstance() {
    bind_buffers();
    for (auto& c : disp.table) c = 0;
    startup_pattern();
}
