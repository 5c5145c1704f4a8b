#pragma once
#include "cli/drive_link.h"

#include <functional>
#include <ostream>
#include <string>

class GuideLog;
struct Settings;

// The options the guide and capture verbs share for guiding with the
// guider camera (the camera's second CCD) and through the AO unit.
struct GuiderChoice {
    bool ao = false; // --via ao: corrections to the AO unit, else to the mount
    int ao_port =
        -1; // --ao-port: 0, 1 (the camera's serial ports) or 3 (the PC's); -1 the settings'
    int ao_parallel = -1; // --ao-parallel: 1; -1 the settings'
    char range = 0;       // guider exposure unit h, t or s; 0 the settings'
    long value = 0;       // and its value; 0 the settings'
    bool star_given = false;
    long star_x = 0, star_y = 0; // guider-frame pixels
    bool train = false;
};

// "camera0", "camera1" or "pc" as the AO unit's route; false otherwise.
bool parse_ao_port(const std::string& text, int& port);

// The options guide and capture share: --via, --ao-port, --ao-parallel,
// --drive and --port. `value` gives the option's argument (false when there
// is none). NotOurs for any other option; Bad with the reason in `problem`.
enum class SharedOption { NotOurs, Taken, Bad };
SharedOption parse_guiding_option(const std::string& option,
                                  const std::function<bool(std::string&)>& value, GuiderChoice& c,
                                  DriveChoice& d, std::string& problem);

// What is wrong with those options together, or null; an LX200 on a PC
// port (--port) becomes the drive.
const char* guiding_choice_problem(const GuiderChoice& c, DriveChoice& d);

// The guider exposure limits: h 1-500, t 1-100, s 1-10. False with the
// reason in `problem`.
bool guider_exposure_ok(char range, long value, std::string& problem);

// Puts the choice into the settings the guiding reads (after the settings
// file has been loaded): the actuator, the AO unit's route and mode, the
// guider exposure. False after a message when the AO unit's PC port cannot
// be opened.
bool apply_guider_choice(const GuiderChoice& c, std::ostream& err);

// A guider frame read afresh, its brightest star (or the one near the
// given point) picked as the guider's guide star, as a click on the guider
// window picks it. False after a message.
bool pick_guider_star(const GuiderChoice& c, std::ostream& out, std::ostream& err);

// The training the choice asks for, on the picked guider star: the
// eight-position training of the mount (its model then used, as "Use
// Trained" does) or the AO unit's (its rates then used, as "Copy Trained"
// does). The settings file keeps the user's settings with what the training
// measured, which `user` takes on too. Then the star is picked again. False
// after a message.
bool train_guider(const GuiderChoice& c, Settings& user, GuideLog* log, std::ostream& out,
                  std::ostream& err);
