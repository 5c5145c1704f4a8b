#pragma once
#include "platform/command_ids.h"
#include "platform/ui.h"
#include "processing/stretch.h"

#include <algorithm>
#include <ostream>
#include <string>

// The desktop as nocteris-cli has it: boxes become lines on standard error,
// as there is nobody to answer a dialog.
class CliUi : public platform::Ui {
  public:
    explicit CliUi(std::ostream& err) : err_(err) {}
    platform::BoxResult message_box(const std::string& text, const std::string&, platform::BoxIcon,
                                    platform::BoxButtons) override {
        std::string line = text;
        line.erase(line.find_last_not_of('\n') + 1);
        std::replace(line.begin(), line.end(), '\n', ' ');
        err_ << "nocteris-cli: " << line << "\n";
        err_.flush();
        ++shown;
        return platform::BoxResult::Cancel;
    }
    int pump_messages() override { return 0; }
    void beep() override {}
    platform::Point cursor_pos() override { return {}; }
    void set_cursor_pos(platform::Point) override {}
    void set_cursor(platform::CursorShape) override {}
    // The operand commands pick their file through a dialog: the command line
    // has already named it.
    platform::FileDialogResult file_dialog(const platform::FileDialogRequest&) override {
        platform::FileDialogResult r;
        r.accepted = !next_file.empty();
        r.path = next_file;
        next_file.clear();
        return r;
    }
    bool open_help(const std::string&) override { return false; }
    // The stretch builders ask the window to apply their curve (command 888).
    void send_command(int id) override {
        if (id == CM_CONTRAST_STRETCH) contrast_stretch(0);
    }
    void progress_open(const std::string&) override {}
    void progress_update(int, const std::string&) override {}
    void progress_close() override {}

    int shown = 0;
    std::string next_file;

  protected:
    std::ostream& err_;
};
