#pragma once
#include <functional>
#include <string>
#include <vector>

// Everything the program asks of the desktop: boxes, message pumping, beeps,
// the cursor, file dialogs, the help viewer and internal commands to the main
// window. The program installs the Qt implementation; tests install ScriptedUi.
namespace platform {

enum class BoxIcon { None, Stop, Question, Information, Exclamation };
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class BoxResult { Ok = 1, Cancel = 2, Yes = 6, No = 7 };
enum class CursorShape { Arrow, Cross, Wait, UpArrow };

struct Point {
    int x = 0;
    int y = 0;
};

// One file-dialog request. Filters come in pairs of a name and glob patterns
// separated by ';' ("FITS files", "*.fit;*.fits"), matched against file names
// as they stand: a pattern that should ignore case says so ("*.[fF][iI][tT]").
struct FileDialogRequest {
    bool save = false;
    std::string title;
    std::vector<std::pair<std::string, std::string>> filters;
    int filter_index = 1; // 1-based, as the program keeps it
    std::string initial_dir;
    std::string initial_name;
    // Added (after a dot) to a saved name typed without an extension.
    std::string default_extension;
};

struct FileDialogResult {
    bool accepted = false;
    std::string path;     // host path
    int filter_index = 1; // the filter the user ended on
};

class Ui {
  public:
    virtual ~Ui() = default;
    virtual BoxResult message_box(const std::string& text, const std::string& caption,
                                  BoxIcon icon = BoxIcon::None,
                                  BoxButtons buttons = BoxButtons::Ok) = 0;
    // Processes every pending event. Returns how many key or mouse-button
    // presses were among them: those stop the running loops.
    virtual int pump_messages() = 0;
    // Repaints what needs it and runs due timers, leaving user input queued
    // for the next pump_messages. Long waits call it through while_waiting.
    virtual void keep_painted() {}
    virtual void beep() = 0;
    virtual Point cursor_pos() = 0;
    virtual void set_cursor_pos(Point p) = 0;
    virtual void set_cursor(CursorShape shape) = 0;
    virtual FileDialogResult file_dialog(const FileDialogRequest& req) = 0;
    // Opens a help page with the desktop's viewer; false when nothing could start.
    virtual bool open_help(const std::string& path) = 0;
    // Delivers an internal command id to the main window's command table.
    virtual void send_command(int id) = 0;

    // The progress window of long operations: a bar of 0..256 under a caption.
    virtual void progress_open(const std::string& caption) = 0;
    // Moves the bar; a non-empty caption replaces the old one.
    virtual void progress_update(int value, const std::string& caption = {}) = 0;
    virtual void progress_close() = 0;
};

Ui& ui();
// Installs the implementation (not owned). Without one, a ScriptedUi is used.
void install_ui(Ui* impl);

// Called by every long wait between its slices (sleeps, device reads): on the
// program's main thread, at most every WAIT_SERVICE_MS of real time, it runs
// the wait's activity (a countdown) and Ui::keep_painted, so the window
// never freezes while the camera exposes or reads out.
constexpr int WAIT_SERVICE_MS = 15;
void while_waiting();

// What while_waiting does besides repainting, for the life of the object (the
// innermost one counts).
class WaitActivity {
  public:
    explicit WaitActivity(std::function<void()> step);
    ~WaitActivity();
    WaitActivity(const WaitActivity&) = delete;
    WaitActivity& operator=(const WaitActivity&) = delete;

  private:
    friend void while_waiting();
    std::function<void()> step_;
    WaitActivity* outer_;
};

} // namespace platform
