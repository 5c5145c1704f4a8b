#include "cli/interrupt.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t announced = 0;
const char* announcement_text = "";
std::size_t announcement_size = 0;

struct sigaction old_int {};
struct sigaction old_term {};
struct sigaction old_hup {};

extern "C" void on_interrupt(int) {
    // Said at once: a camera-timed exposure may keep the run from its next
    // pump for up to 100 seconds. write() is safe in a handler.
    if (!interrupted) {
        [[maybe_unused]] const ssize_t n = ::write(2, announcement_text, announcement_size);
        announced = 1;
    }
    interrupted = 1;
}

} // namespace

InterruptHandlers::InterruptHandlers(const char* announcement) {
    interrupted = 0;
    announced = 0;
    announcement_text = announcement;
    announcement_size = std::strlen(announcement);
    struct sigaction sa {};
    sa.sa_handler = on_interrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &sa, &old_int);
    sigaction(SIGTERM, &sa, &old_term);
    // The terminal closing: the run ends as politely, settings restored.
    sigaction(SIGHUP, &sa, &old_hup);
}

InterruptHandlers::~InterruptHandlers() {
    sigaction(SIGINT, &old_int, nullptr);
    sigaction(SIGTERM, &old_term, nullptr);
    sigaction(SIGHUP, &old_hup, nullptr);
}

bool interrupt_requested() {
    return interrupted != 0;
}

bool interrupt_announced() {
    return announced != 0;
}

void request_interrupt() {
    interrupted = 1;
}
