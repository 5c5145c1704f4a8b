#pragma once
#include <cstdint>

// Millisecond clock that every wait in the program reads. It wraps at 32 bits
// like the clock the program was built around, so waits compare differences.
namespace platform {

std::uint32_t now_ms();

// Waits without taking user input (used where the program busy-waited); the
// window is repainted meanwhile (while_waiting).
void sleep_ms(std::uint32_t ms);

// A timed interval from the moment it is made, at the clock's finest
// resolution: guide pulses are timed by it. The window is kept painted
// while much of it is left, and the last stretch is waited out without
// other work, so that nothing delays the end.
class Interval {
  public:
    explicit Interval(std::uint32_t ms);
    // Returns when the interval is over (at once when it already is).
    void wait() const;
    // Whole milliseconds left, 0 when over.
    std::uint32_t left_ms() const;

  private:
    std::uint32_t start_ms_ = 0; // virtual clock
    std::int64_t end_ns_ = 0;    // real clock
    std::uint32_t ms_ = 0;
};

// Test clock: time moves only when the test says so, plus an optional step on
// every read so that busy waits written as "until now_ms() >= end" finish.
class VirtualClock {
  public:
    explicit VirtualClock(std::uint32_t start = 0, std::uint32_t step_per_read = 0)
        : now_(start), step_(step_per_read) {}
    std::uint32_t read() {
        std::uint32_t t = now_;
        now_ += step_;
        return t;
    }
    void advance(std::uint32_t ms) { now_ += ms; }
    void set(std::uint32_t ms) { now_ = ms; }
    void set_step(std::uint32_t ms) { step_ = ms; }
    std::uint32_t peek() const { return now_; }

  private:
    std::uint32_t now_;
    std::uint32_t step_;
};

// Installs a virtual clock (nullptr restores the real one). Not owned.
void install_virtual_clock(VirtualClock* clock);
VirtualClock* virtual_clock();

} // namespace platform
