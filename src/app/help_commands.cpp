// The Help menu, printing, program defaults and Exit.
#include "app/main_window.h"

#include "app/about_dialog.h"
#include "devices/transport.h"
#include "display/image_store.h"
#include "platform/host_path.h"
#include "platform/ui.h"
#include "resources/help_location.h"
#include "settings/settings.h"
#include "settings/settings_dialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <cstring>

namespace {

// The help page of each window; the main window's is the contents.
const std::pair<const char*, const char*> help_pages[] = {
    {"TQVDialog", "file.html#camera"},
    {"TINIDialog", "file.html#defaults"},
    {"TFITSDialog", "file.html#fits"},
    {"TDeleteDialog", "file.html#delete"},
    {"TStretchDialog", "contrast.html#normal"},
    {"TPowerDialog", "contrast.html#power"},
    {"TNonLiniarDialog", "contrast.html#nonlinear"},
    {"TMaxDialog", "view.html#maxstretch"},
    {"TMergeDialog", "merging.html#merge"},
    {"TEnhanceDialog", "filters.html"},
    {"TUnsharpDialog", "filters.html#unsharp"},
    {"TMedianDialog", "filters.html#median"},
    {"TBLDialog", "view.html#blink"},
    {"TRowDialog", "view.html#rowplot"},
    {"TPHDialog", "view.html#photometry"},
    {"THistDialog", "histogram.html"},
    {"TLabelDialog", "label.html"},
    {"TMTDialog", "file.html#telescope"},
    {"TCBDialog", "file.html#socket"},
    {"TAboutDialog", "help-menu.html#about"},
};

void open_help_page(const std::string& page) {
    const std::string index = help_index_path();
    const auto slash = index.rfind('/');
    const std::string path =
        page.empty() || slash == std::string::npos ? index : index.substr(0, slash + 1) + page;
    if (index.empty() || !platform::ui().open_help(path))
        platform::ui().message_box("WinHelp failed!", "Nocteris", platform::BoxIcon::Stop);
}

} // namespace

std::string help_page_for(const QWidget* window) {
    for (const QWidget* w = window; w; w = w->parentWidget()) {
        const char* name = w->metaObject()->className();
        for (const auto& [cls, page] : help_pages)
            if (std::strcmp(cls, name) == 0) return page;
    }
    return {};
}

bool HelpKeyFilter::eventFilter(QObject* obj, QEvent* ev) {
    if (ev->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(ev)->key() == Qt::Key_F1 &&
        obj->isWidgetType() && static_cast<QWidget*>(obj)->isWindow()) {
        open_help_page(help_page_for(QApplication::activeWindow()));
        return true;
    }
    return QObject::eventFilter(obj, ev);
}

void TNocterisWindow::Help_Using() {
    open_help_page({});
}

void TNocterisWindow::Help_About() {
    TAboutDialog dlg(this);
    dlg.exec();
}

void TNocterisWindow::CmPrintSetup() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPageSetupDialog dlg(printer_.get(), this);
    dlg.exec();
}

void TNocterisWindow::CmPrint() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dlg(printer_.get(), this);
    if (dlg.exec() != QDialog::Accepted) return;
    // What is printed is the display bitmap file; a failure is not reported.
    QImage img(QString::fromStdString(platform::host_path(disp.BMPname_main)));
    if (img.isNull()) return;
    QPainter p;
    if (!p.begin(printer_.get())) return;
    const QRect page = p.viewport();
    QSize size = img.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    p.setViewport(page.x(), page.y(), size.width(), size.height());
    p.setWindow(img.rect());
    p.drawImage(0, 0, img);
}

void TNocterisWindow::cmExit() {
    CloseUSBdevice();
    if (frame_) frame_->close();
    QApplication::quit();
}

void TNocterisWindow::CmINI() {
    run_settings_dialog(this);
    if (frame_) frame_->showTelescopeButton(cfg.telescope != 'n');
    disp.back_changed = 1;
    viewport()->update();
}
