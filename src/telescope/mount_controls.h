#pragma once
#include <string>

// The rules of the telescope dialogs, without a window: which object a GoTo
// selects, which co-ordinates it accepts, and the manual-move pad. The
// telescope dialog and nocteris-cli mount both go through these.

constexpr const char* MOUNT_CAPTION = "Nocteris - Control Telescope";
constexpr const char* OBJECT_OUT_OF_RANGE = "Object out of range - try again";
constexpr const char* INVALID_COORDINATES =
    "Invalid Co-ordinates set.\n\nRange is R.A. 0hr 00min, to 23hr 59mins\n        Dec  "
    "-89deg 00min, to +89deg 59mins";
constexpr const char* MOUNT_HELP_TEXT =
    "Enter a Messier or CNGC number and press the GoTo Object button.\n\nIf you enter both "
    "numbers the Messier will be favoured. To use CGNC numbers ensure the Messier number is 0";

constexpr int MESSIER_LAST = 110;
constexpr int CNGC_LAST = 7815;

// "GoTo Object": a Messier number 1..110 wins, else a CNGC number 1..7815.
// Fills kind ('m' or 'c') and number; false when neither is in range.
bool choose_catalogue_object(int messier, int cngc, char* kind, int* number);
// "Go To": hours 0..23, minutes 0..59, degrees -89..89, minutes 0..59.
bool coordinates_valid(int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes);

// Runs the GoTo buttons: the range rule, then the mount. False (nothing
// sent) when out of range; the caller shows the message.
bool goto_object(int messier, int cngc);
bool goto_coordinates(int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes);

// What the mount answered the last GoTo's slew command: empty when it
// accepted (or said nothing), else its refusal, e.g. "1Object Below
// Horizon". `coordinates` for a co-ordinate GoTo.
std::string slew_status(bool coordinates);
// The refusal as it may be shown ("Object Below Horizon"), or empty.
std::string slew_refusal(bool coordinates);

// The planet buttons, in their order, with their star-catalogue numbers.
struct Planet {
    const char* name; // lower case, as the command line takes it
    int number;
};
constexpr int PLANET_COUNT = 8;
extern const Planet planets[PLANET_COUNT];
// The catalogue number of a planet's name (any case), or 0.
int planet_number(const char* name);

// The move pad: a press starts a move when none runs; the release stops the
// one that runs. `which` is 'e', 'w', 'n' or 's' (the pad's arrow; the
// letter sent follows the swap settings). Each returns whether traffic went
// out. Socket presses go to the relays.
bool pad_press(char which);
bool pad_release();
bool socket_pad_press(char which);
bool socket_pad_release();
// The focus bar: '+' in, '-' out.
bool focus_press(char direction);
bool focus_release();

// A mount reply as it may be shown: bytes that are not printable become
// '?', and it is cut at the reply's size.
std::string printable_reply(const char* reply);

// What the dialog's radio buttons show: 'S' slew, 'M' find, 'C' centre,
// 'G' guide (anything unknown shows as guide); 'F' fast focus, else 'S'.
char shown_tele_speed();
char shown_focus_speed();
