#pragma once
#include <cstdio>
#include <string>

struct GuideFrame;

// A guiding run's log: one CSV file in the working folder, named after the
// run's start ("guide_2026-12-09_213005.csv"), with a header that says how
// the run was set up, then one row per frame. A log that cannot be written
// costs the run nothing: guiding goes on without it.
class GuideLog {
  public:
    GuideLog() = default;
    GuideLog(const GuideLog&) = delete;
    GuideLog& operator=(const GuideLog&) = delete;
    ~GuideLog() { close(); }

    // Opens `path` (a host path), or the run's own name in the working folder
    // when empty. `what` is "guiding" or "training". False when it cannot.
    bool open(const char* what, const std::string& path = {});
    void close();
    bool is_open() const { return f_ != nullptr; }
    const std::string& path() const { return path_; }

    // The column row of a new table in the same file ("guiding" after a
    // training); times start again from its first frame.
    void table(const char* what);
    // One frame, relative to the first logged time.
    void frame(const GuideFrame& f);
    // A training step: the pulse sent and where the star went.
    void step(const char* name, char dir, int ms, int x, int y, bool lost);
    // A line of its own (a result, why the run ended), as a comment.
    void note(const std::string& text);

  private:
    std::FILE* f_ = nullptr;
    std::string path_;
    bool have_start_ = false;
    unsigned start_ = 0;
};

// The run's default log name in the working folder for a run starting now.
std::string guide_log_name();
