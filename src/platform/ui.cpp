#include "platform/scripted_ui.h"

#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace platform {

namespace {
Ui* g_ui = nullptr;
WaitActivity* g_activity = nullptr;
// Static initialisation runs on the program's main thread: the only one that
// may paint. The simulator's and the workers' waits pass by.
const std::thread::id g_main_thread = std::this_thread::get_id();
} // namespace

void while_waiting() {
    if (std::this_thread::get_id() != g_main_thread) return;
    static bool busy = false; // a repaint that waits must not nest
    static std::chrono::steady_clock::time_point last{};
    const auto now = std::chrono::steady_clock::now();
    // On a test's virtual clock every wait is serviced, so that what it shows
    // does not depend on the speed of the machine.
    if (busy || (!virtual_clock() && now - last < std::chrono::milliseconds(WAIT_SERVICE_MS)))
        return;
    busy = true;
    last = now;
    if (g_activity) g_activity->step_();
    ui().keep_painted();
    busy = false;
}

WaitActivity::WaitActivity(std::function<void()> step)
    : step_(std::move(step)), outer_(g_activity) {
    g_activity = this;
}

WaitActivity::~WaitActivity() {
    g_activity = outer_;
}

Ui& ui() {
    if (!g_ui) {
        static ScriptedUi fallback;
        return fallback;
    }
    return *g_ui;
}

void install_ui(Ui* impl) {
    g_ui = impl;
}

BoxResult ScriptedUi::message_box(const std::string& text, const std::string& caption, BoxIcon icon,
                                  BoxButtons buttons) {
    boxes.push_back({text, caption, icon, buttons});
    if (!box_answers.empty()) {
        BoxResult r = box_answers.front();
        box_answers.pop_front();
        return r;
    }
    return buttons == BoxButtons::YesNo || buttons == BoxButtons::YesNoCancel ? BoxResult::Yes
                                                                              : BoxResult::Ok;
}

int ScriptedUi::pump_messages() {
    ++pumps;
    if (on_pump) return on_pump();
    if (presses.empty()) return 0;
    int n = presses.front();
    presses.pop_front();
    return n;
}

FileDialogResult ScriptedUi::file_dialog(const FileDialogRequest& req) {
    file_requests.push_back(req);
    if (file_answers.empty()) return {};
    FileDialogResult r = file_answers.front();
    file_answers.pop_front();
    return r;
}

bool ScriptedUi::open_help(const std::string& path) {
    help_opened.push_back(path);
    return help_ok;
}

void ScriptedUi::send_command(int id) {
    commands.push_back(id);
    if (on_command) on_command(id);
}

void ScriptedUi::progress_open(const std::string& caption) {
    progress_shown = true;
    progress_captions.push_back(caption);
    progress_values.push_back(0);
    progress_times.push_back(now_ms());
}

void ScriptedUi::progress_update(int value, const std::string& caption) {
    if (!caption.empty()) progress_captions.push_back(caption);
    progress_values.push_back(value);
    progress_times.push_back(now_ms());
}

} // namespace platform
