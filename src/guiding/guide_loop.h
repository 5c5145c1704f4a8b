#pragma once
#include "guiding/guide_log.h"

struct GuideFrame;

// What a guiding run or a training asks of whoever started it: the window
// shows each frame and its "Guiding Info"; the CLI prints a line a frame.
class GuideHost {
  public:
    virtual ~GuideHost() = default;
    // A guide frame (the 128 x 128 window) has arrived in `image`.
    virtual void show_frame() {}
    // The training's frames go to the main window.
    virtual void redraw() {}
    // The information window: opened with the run's first frame, refreshed
    // after each correction, closed when the run ends.
    virtual void info_open(const char* caption) { (void)caption; }
    virtual void info_caption(const char* caption) { (void)caption; }
    virtual void info_refresh(const GuideFrame& frame) { (void)frame; }
    virtual void info_close() {}
    // Stops the run besides a key or button press (Ctrl+C, a time limit).
    virtual bool stop_requested() { return false; }
    // Where the log goes: empty for the run's own name in the working folder.
    virtual std::string log_path() { return {}; }
};

// Results of the guiding commands.
constexpr int GUIDE_DONE = 0;
constexpr int GUIDE_REFUSED = 1;   // a precondition failed; its message has been shown
constexpr int GUIDE_STAR_LOST = 2; // the first frame had no star ("lost guide star")
constexpr int GUIDE_STOPPED = 3;   // a training stopped by a press or a lost star

// Command 889: one guide-window image into the main buffer, then shown.
// False when the frame did not arrive whole.
bool GuideTelescope(GuideHost& host);

// Command 23: guides on the picked star with the main camera until a key or
// button press (or the host's stop). Puts back the image, the focus window,
// the centre and the sequence options afterwards.
int CmStartGuide(GuideHost& host, GuideLog* log = nullptr);

// Command 22: the simple training on the picked star; a new star must be
// picked afterwards.
int CmTrainGuide(GuideHost& host, GuideLog* log = nullptr);
int do_CmTrainGuide(GuideHost& host, GuideLog* log = nullptr);
