#pragma once
#include "guiding/camera_training.h"

// The camera dialog's AO training ("Train AO"): 25 steps West, East, North
// and South through the AO unit, an image after each, and from where the
// picked star went the unit's steps per pixel on each axis.

constexpr const char* AO_TRAINING_END_CAPTION = "Auto Guider Camera Control";
constexpr int AO_TRAINING_STEPS = 25;

// What one training measured, in whole pixels.
struct AOTrainingResult {
    int startx = 0, starty = 0;
    int posx[4] = {}, posy[4] = {};
    int RA_x = 0, RA_y = 0, Dec_x = 0, Dec_y = 0;
    int xrate = 1, yrate = 1; // steps a pixel
};

// The rates from the start and the four positions (West, East, North, South).
void ao_training_rates(AOTrainingResult& r);
// The result box's text.
void ao_training_text(const AOTrainingResult& r, char* out, int size);

// Runs the training on the picked star (nothing without one): the main
// camera's, or the guider camera's on its frames. The rates,
// `AOUnit_trained`, `AOUnit_use_trained` and the settings file follow only
// a complete run: a lost star or a stop leaves them as they were. Returns
// GUIDE_DONE, GUIDE_REFUSED or GUIDE_STOPPED (guide_loop.h).
int AOTrain(TrainingHost& host, AOTrainingResult* result = nullptr,
            TrainingCamera camera = TrainingCamera::Main);
