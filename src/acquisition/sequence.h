#pragma once
#include <string>

// The camera start: discovery when no camera is open, the camera control
// dialog, then the whole exposure sequence on the calling thread (start
// delay, flush, exposure, readout, dark frame and flat field, stacking,
// automatic processing, display with automatic saving, series and
// continuous repetition). User input reaches it only through the message
// pumps, where a key or mouse press stops it after the current image.

// What the sequence needs from whoever runs it: the main window, or the
// terminal of nocteris-cli.
class SequenceHost {
  public:
    virtual ~SequenceHost() = default;
    // The camera control dialog; true when it ended through "Take Photo".
    virtual bool run_dialog() { return false; }
    // Rebuilds the display of the current image and shows it.
    virtual void show_image() {}
    // Repaints the main window (progress windows come and go).
    virtual void redraw() {}
    virtual void adjust_scroller() {}
    // After each CmShowImage: `saved` is the file written by the automatic
    // save, empty when none was.
    virtual void image_shown(const std::string& saved) { (void)saved; }
    // Whether a stop has been asked for outside the window's presses (a
    // signal to the command line): checked after the start delay, so that
    // no picture is taken once the countdown was stopped.
    virtual bool stop_requested() { return false; }
};

// QV_Control: the whole camera start.
void QV_Control(SequenceHost& host);

// Settings, discovery and the firmware query when no camera is open: the
// first camera found. False (after "Sorry, No camera found on USB") when
// there is none. The camera's serial ports and guide relays go through it.
bool find_camera();

// The steps before the dialog: state cleared, discovery and the firmware
// query when no camera is open. False (after "Sorry, No camera found on
// USB") when there is still no camera.
bool camera_start_prepare();

// The sequence after "Take Photo", from the geometry set-up to the end of
// sequence. The options are read from cfg, run and acq.
void run_exposure_sequence(SequenceHost& host);

// Shows the finished image: end time, processing notes, display rebuild, and
// the automatic save when `auto_save_fits` is set.
void CmShowImage(SequenceHost& host);

// The automatic processing chain of `Auto_Processing`.
void autoprocess();

// Waits `seconds`, pumping messages. 1 when a key or mouse press ended the
// wait early, else 0.
int one_sec_delay(int seconds);

// What a key or mouse-button press does to the running loops. Returns 1 when
// self-guiding was running, so the caller closes its information window.
int abort_on_input();

// Drains pending input; a press stops the running loops.
void clear_messages();

// The focus frame back at its start position.
void cm_focus_frame_reset();

// Nocteris_Camera: the geometry of the configured camera model, the focus
// frame at the sensor's centre, then the settings file written back.
void nocteris_camera();

// The camera-dialog label of the current mode ("Single Image", ...).
const char* camera_mode_text();
