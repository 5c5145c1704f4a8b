#include "platform/qt_ui.h"
#include "platform/qt_help.h"
#include "platform/qt_progress.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

namespace platform {

QtUi::QtUi() {
    qApp->installEventFilter(this);
}

QtUi::~QtUi() {
    if (qApp) qApp->removeEventFilter(this);
}

void QtUi::progress_open(const std::string& caption) {
    if (!progress_) progress_ = std::make_unique<TProgressDialog>(main_);
    progress_->setCaption(QString::fromStdString(caption));
    progress_->setProgress(0);
    progress_->show();
    progress_->raise();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtUi::progress_update(int value, const std::string& caption) {
    if (!progress_) return;
    if (!caption.empty()) progress_->setCaption(QString::fromStdString(caption));
    progress_->setProgress(value);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtUi::progress_close() {
    if (progress_) progress_->hide();
}

void QtUi::set_main_window(QWidget* w, std::function<void(int)> dispatch) {
    main_ = w;
    dispatch_ = std::move(dispatch);
}

bool QtUi::eventFilter(QObject* obj, QEvent* ev) {
    // Only presses dispatched while the program pumps stop its loops; a press
    // reaches each widget up the parent chain, so count it once, at a window.
    // A press that reaches a window while a wait repaints (posted rather than
    // queued by the window system) is held for the next pump.
    if ((pumping_ > 0 || painting_ > 0) && obj->isWidgetType() &&
        static_cast<QWidget*>(obj)->isWindow()) {
        int& count = pumping_ > 0 ? presses_ : held_presses_;
        if (ev->type() == QEvent::KeyPress) {
            ++count;
        } else if (ev->type() == QEvent::MouseButtonPress) {
            auto* me = static_cast<QMouseEvent*>(ev);
            if (me->button() == Qt::LeftButton || me->button() == Qt::RightButton) ++count;
        }
    }
    return QObject::eventFilter(obj, ev);
}

BoxResult QtUi::message_box(const std::string& text, const std::string& caption, BoxIcon icon,
                            BoxButtons buttons) {
    QMessageBox box(main_);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromLocal8Bit(text.c_str()));
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case BoxIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case BoxIcon::Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    case BoxIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case BoxIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case BoxIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    }
    switch (buttons) {
    case BoxButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case BoxButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case BoxButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case BoxButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return BoxResult::Cancel;
    case QMessageBox::Yes:
        return BoxResult::Yes;
    case QMessageBox::No:
        return BoxResult::No;
    default:
        return BoxResult::Ok;
    }
}

int QtUi::pump_messages() {
    presses_ = held_presses_;
    held_presses_ = 0;
    ++pumping_;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --pumping_;
    return presses_;
}

void QtUi::keep_painted() {
    // Input stays queued for the stop rule's next pump.
    ++painting_;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    --painting_;
}

void QtUi::beep() {
    QApplication::beep();
}

Point QtUi::cursor_pos() {
    QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

void QtUi::set_cursor_pos(Point p) {
    QCursor::setPos(p.x, p.y);
}

void QtUi::set_cursor(CursorShape shape) {
    if (!main_) return;
    switch (shape) {
    case CursorShape::Arrow:
        main_->setCursor(Qt::ArrowCursor);
        break;
    case CursorShape::Cross:
        main_->setCursor(Qt::CrossCursor);
        break;
    case CursorShape::Wait:
        main_->setCursor(Qt::WaitCursor);
        break;
    case CursorShape::UpArrow:
        main_->setCursor(Qt::UpArrowCursor);
        break;
    }
}

FileDialogResult QtUi::file_dialog(const FileDialogRequest& req) {
    QFileDialog dlg(main_, QString::fromStdString(req.title),
                    QString::fromStdString(req.initial_dir));
    dlg.setAcceptMode(req.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(req.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters;
    for (const auto& [label, pattern] : req.filters) {
        QString pat = QString::fromStdString(pattern);
        pat.replace(';', ' ');
        filters << QString::fromStdString(label) + " (" + pat + ")";
    }
    // The names say what each filter is; the patterns spell every case.
    dlg.setOption(QFileDialog::HideNameFilterDetails);
    if (!req.default_extension.empty())
        dlg.setDefaultSuffix(QString::fromStdString(req.default_extension));
    if (!filters.isEmpty()) {
        dlg.setNameFilters(filters);
        int idx = req.filter_index - 1;
        if (idx >= 0 && idx < filters.size()) dlg.selectNameFilter(filters[idx]);
    }
    // A wildcard name ("*.FIT") presets a filter on the original's dialogs;
    // here it would be taken as the name to save under.
    if (!req.initial_name.empty() && req.initial_name.find_first_of("*?") == std::string::npos)
        dlg.selectFile(QString::fromStdString(req.initial_name));
    FileDialogResult r;
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return r;
    r.accepted = true;
    r.path = dlg.selectedFiles().front().toStdString();
    r.filter_index = static_cast<int>(filters.indexOf(dlg.selectedNameFilter())) + 1;
    if (r.filter_index < 1) r.filter_index = req.filter_index;
    return r;
}

namespace {

// Whether the desktop names a viewer for HTML: without one xdg-open may still
// start and then show nothing.
bool desktop_has_html_viewer() {
    static const bool has = [] {
        if (QStandardPaths::findExecutable("xdg-open").isEmpty()) return false;
        QProcess q;
        q.start("xdg-mime", {"query", "default", "text/html"});
        return q.waitForFinished(2000) && q.exitCode() == 0 &&
               !q.readAllStandardOutput().trimmed().isEmpty();
    }();
    return has;
}

} // namespace

void QtUi::set_desktop_opener(std::function<bool(const QUrl&)> open) {
    desktop_open_ = std::move(open);
}

bool QtUi::open_help(const std::string& path) {
    if (path.empty()) return false;
    // "page.html#anchor": the anchor is no part of the file's name.
    const QString text = QString::fromStdString(path);
    const qsizetype hash = text.indexOf('#');
    QUrl url = QUrl::fromLocalFile(hash < 0 ? text : text.left(hash));
    if (hash >= 0) url.setFragment(text.mid(hash + 1));
    if (!desktop_open_)
        desktop_open_ = [](const QUrl& u) {
            return desktop_has_html_viewer() && QDesktopServices::openUrl(u);
        };
    if (desktop_open_(url)) return true;
    if (!help_) help_ = std::make_unique<THelpWindow>();
    return help_->showPage(url);
}

void QtUi::send_command(int id) {
    if (dispatch_) dispatch_(id);
}

} // namespace platform
