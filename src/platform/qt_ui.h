#pragma once
#include "platform/ui.h"

#include <QObject>
#include <functional>
#include <memory>

class QUrl;
class QWidget;
class THelpWindow;
class TProgressDialog;

namespace platform {

// The desktop implementation: real boxes and dialogs; pumping runs the Qt
// event loop and counts the key and mouse-button presses it dispatched.
class QtUi : public QObject, public Ui {
    Q_OBJECT
  public:
    QtUi();
    ~QtUi() override;

    // The window whose cursor the program sets and that receives commands.
    void set_main_window(QWidget* w, std::function<void(int)> dispatch);

    BoxResult message_box(const std::string& text, const std::string& caption, BoxIcon icon,
                          BoxButtons buttons) override;
    int pump_messages() override;
    void keep_painted() override;
    void beep() override;
    Point cursor_pos() override;
    void set_cursor_pos(Point p) override;
    void set_cursor(CursorShape shape) override;
    FileDialogResult file_dialog(const FileDialogRequest& req) override;
    // The desktop's viewer when it has one for HTML, else our own window.
    bool open_help(const std::string& path) override;
    // What opens a page with the desktop's viewer; false when it has none.
    void set_desktop_opener(std::function<bool(const QUrl&)> open);
    // The program's own help window, once it has been needed.
    THelpWindow* help_window() const { return help_.get(); }
    void send_command(int id) override;
    void progress_open(const std::string& caption) override;
    void progress_update(int value, const std::string& caption) override;
    void progress_close() override;

  protected:
    bool eventFilter(QObject* obj, QEvent* ev) override;

  private:
    QWidget* main_ = nullptr;
    std::unique_ptr<::TProgressDialog> progress_;
    std::unique_ptr<::THelpWindow> help_;
    std::function<bool(const QUrl&)> desktop_open_;
    std::function<void(int)> dispatch_;
    int presses_ = 0;
    int held_presses_ = 0;
    int pumping_ = 0;
    int painting_ = 0;
};

} // namespace platform
