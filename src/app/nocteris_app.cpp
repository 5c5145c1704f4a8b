#include "app/nocteris_app.h"

#include "app/app_logic.h"
#include "app/main_window.h"
#include "display/image_store.h"
#include "settings/ini_file.h"

#include "platform/qt_ui.h"
#include "settings/settings.h"
#include <clocale>

#include "resources/toolbar_icons.h"

TNocterisApp::TNocterisApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Nocteris");
    setApplicationDisplayName("Nocteris");
    setDesktopFileName("nocteris");
    // Qt adopts the user's locale; numbers in files and messages stay in C form.
    std::setlocale(LC_NUMERIC, "C");
    setWindowIcon(application_icon());
    ui_ = std::make_unique<platform::QtUi>();
    platform::install_ui(ui_.get());
}

TNocterisApp::~TNocterisApp() {
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
}

void TNocterisApp::InitInstance() {
    bind_buffers();
    for (auto& c : disp.table) c = 0;
    startup_pattern();
}
