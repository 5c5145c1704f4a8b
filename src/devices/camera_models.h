#pragma once
#include "display/camera_state.h"

// The camera model rows: what each model code selects. Codes 3 to 6 keep the
// values of the previous set-up (the initial ones in a fresh run).
void set_camera_model_geometry();
