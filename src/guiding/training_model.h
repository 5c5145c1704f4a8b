#pragma once

// The arithmetic of the guide trainings, apart from the pulses and images
// that feed it: whole pixels in, integer rates out.

// The simple training: positions before and after two pulses each way in
// RA (x1..x5: east, east, west, west) and in Dec (y1..y5: north, north,
// south, south), pulses of `seconds` each.
struct SimpleTraining {
    int slewx = 0, slewy = 0; // pixels a second
    int backlashx = 0, backlashy = 0;
};
SimpleTraining simple_training(const int x[5], const int y[5], int seconds);

// The eight-position training: the start point and pos0..pos7 (west three
// times, east, west, north twice, south). Every pulse is `seconds` long but
// the first west one (`first_ms`: a second per `seconds` on the main camera,
// a tenth on the guider) and the first north one (a fifth). Rates are the
// distance covered over the time pulsed, so the short pulses count for what
// they are.
struct TrainingModel {
    int RA_x = 0, RA_y = 0, RA_rate = 1;
    int Dec_x = 0, Dec_y = 0, Dec_rate = 1;
    int RA_backx = 0, RA_backy = 0, RA_backlash = 0;
    int Dec_backx = 0, Dec_backy = 0, Dec_backlash = 0;
    float theta = 0; // the RA axis from the sensor's x axis, radians (-pi..pi)
    int quadrant = 1;
    // The two vectors before rounding to whole pixels a second, for guiding.
    double ra_vx = 0, ra_vy = 0, dec_vx = 0, dec_vy = 0;
};
TrainingModel eight_position_model(int startx, int starty, const int posx[8], const int posy[8],
                                   int seconds, int first_ms);

// The result texts of the two trainings.
void simple_training_text(const SimpleTraining& t, char* out, int size);
void training_model_text(const TrainingModel& m, char* out, int size);
