#pragma once

// Ctrl+C for the long-running verbs (capture, guide): while an
// InterruptHandlers lives, SIGINT, SIGTERM and SIGHUP ask the run to stop
// and say so at once with `announcement`; the handler resets itself, so a
// second Ctrl+C ends the program.
class InterruptHandlers {
  public:
    // `announcement` must outlive the handlers (a string literal).
    explicit InterruptHandlers(const char* announcement);
    ~InterruptHandlers();
    InterruptHandlers(const InterruptHandlers&) = delete;
    InterruptHandlers& operator=(const InterruptHandlers&) = delete;
};

bool interrupt_requested();
// Whether the handler has already told the terminal.
bool interrupt_announced();
// What Ctrl+C does, for tests and for callers that stop a run themselves.
void request_interrupt();
