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
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

void TNocterisWindow::Help_Using() {
    if (!platform::ui().open_help(help_index_path()))
        platform::ui().message_box("WinHelp failed!", "Nocteris", platform::BoxIcon::Stop);
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
