#pragma once
#include "guiding/guide_log.h"

#include <string>

// The camera dialog's eight-position training ("Train"): three pulses West,
// one East, one West again, a pause, two North and one South, an image of
// the dialog's image command after each, and from where the picked star
// went the rotated-axis model that guider guiding uses in angle mode.

// What the training asks of the dialog that runs it.
class TrainingHost {
  public:
    virtual ~TrainingHost() = default;
    // The dialog's caption, which tells the user what the mount is doing.
    virtual void set_caption(const char* caption) { (void)caption; }
    // One exposure into the camera's buffer (the main image, or the guider
    // frame), shown in the dialog. False when the frame did not arrive whole.
    virtual bool take_image() = 0;
    // The dialog shows the values again (the step reached, the model).
    virtual void refresh() {}
    // A press or a closing dialog ends the training early.
    virtual bool stop_requested() { return false; }
    // Where the log goes: empty for the run's own name in the working folder.
    virtual std::string log_path() { return {}; }
};

constexpr const char* TRAINING_FIRST_CAPTION = "Camera Control - Training / slewing West";
// The later steps' captions start as the guider dialog's do.
constexpr const char* TRAINING_CAPTION = "Auto Guider Camera Control - Training / ";
constexpr const char* CAMERA_CONTROL_CAPTION = "Camera Control";

constexpr const char* GUIDER_CONTROL_CAPTION = "Auto Guider Camera Control";

// Which camera trains: the main camera on its picked star, or the guider
// camera on the guider's (its first west pulse a tenth as long, its frames
// measured with the guider's centroid, its own trained flags).
enum class TrainingCamera { Main, Guider };

// Runs the training on the picked star (nothing without one). The model,
// its result box, `trained` and `use_trained` and the settings file follow
// only a complete run: a lost star or a stop leaves them as they were.
// Returns GUIDE_DONE, GUIDE_REFUSED or GUIDE_STOPPED (guide_loop.h).
int eight_position_training(TrainingHost& host, GuideLog* log = nullptr,
                            TrainingCamera camera = TrainingCamera::Main);
