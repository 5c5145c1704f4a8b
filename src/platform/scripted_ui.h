#pragma once
#include "platform/ui.h"

#include <cstdint>
#include <deque>
#include <functional>

namespace platform {

// Test implementation: records what the program shows and answers from a script.
class ScriptedUi : public Ui {
  public:
    struct Box {
        std::string text;
        std::string caption;
        BoxIcon icon;
        BoxButtons buttons;
    };

    std::vector<Box> boxes;
    std::deque<BoxResult> box_answers;         // default: Ok / Yes
    std::deque<FileDialogResult> file_answers; // default: cancelled
    std::vector<FileDialogRequest> file_requests;
    std::deque<int> presses;      // presses reported by successive pumps
    std::function<int()> on_pump; // when set, answers every pump instead
    int pumps = 0;
    int repaints = 0;                 // keep_painted calls
    std::function<void()> on_repaint; // optional: what a repaint does
    int beeps = 0;
    Point cursor;
    CursorShape cursor_shape = CursorShape::Arrow;
    bool help_ok = true;
    std::vector<std::string> help_opened;
    std::vector<int> commands;
    std::function<void(int)> on_command; // optional: dispatch commands for real
    bool progress_shown = false;
    std::vector<std::string> progress_captions; // every caption shown, in order
    std::vector<int> progress_values;           // every bar position, in order
    std::vector<std::uint32_t> progress_times;  // clock reading at each of them

    BoxResult message_box(const std::string& text, const std::string& caption, BoxIcon icon,
                          BoxButtons buttons) override;
    int pump_messages() override;
    void keep_painted() override {
        ++repaints;
        if (on_repaint) on_repaint();
    }
    void beep() override { ++beeps; }
    Point cursor_pos() override { return cursor; }
    void set_cursor_pos(Point p) override { cursor = p; }
    void set_cursor(CursorShape shape) override { cursor_shape = shape; }
    FileDialogResult file_dialog(const FileDialogRequest& req) override;
    bool open_help(const std::string& path) override;
    void send_command(int id) override;
    void progress_open(const std::string& caption) override;
    void progress_update(int value, const std::string& caption) override;
    void progress_close() override { progress_shown = false; }
};

} // namespace platform
