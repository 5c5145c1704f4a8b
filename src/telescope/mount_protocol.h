#pragma once

// The mount's traffic: LX200 commands through the serial link to `Port`, or
// the four relays of the guide-output socket (`Kelvo500command`). Every wait
// is a wait on platform::clock.

// Results of the routines below.
constexpr int MOUNT_OK = 0;
constexpr int MOUNT_BAD_ARGUMENT = -1; // nothing was sent

// Guide-output relay bits.
constexpr unsigned char RELAY_WEST = 1;
constexpr unsigned char RELAY_SOUTH = 2;
constexpr unsigned char RELAY_NORTH = 4;
constexpr unsigned char RELAY_EAST = 8;

// Timed guide move of `slew_time` ms towards `slewdir`; LX200, or the socket
// when `telescope` is 'b'. Returns after the stop and the trailing wait.
void drive_slew();
// Timed guide move on the socket.
void interface_slew();

// Manual LX200 move: `tele_speed`, then `move_direction`, until stop_move.
void start_move();
void stop_move();
// Manual socket move towards `slewdir` until CB_stop_move. A `slewdir`
// that is not a direction letter is refused.
int CB_start_move();
void CB_stop_move();
// Focuser move: `focus_speed`, then `focus_direction`, until stop_focus.
void start_focus();
void stop_focus();

// The choices of the manual-move pad. `which` is 'e', 'w', 'n' or 's'; the
// letter sent is the matching direction setting, so a swap reverses the move.
int set_move_direction(char which);
// The letter a move towards `which` goes out with (the swap settings), or 0.
char direction_letter(char which);
// 'S' slew, 'M' find, 'C' centre, 'G' guide.
int set_tele_speed(char rate);
// 'F' fast, 'S' slow; '+' in, '-' out.
int set_focus_speed(char speed);
int set_focus_direction(char direction);

// Star-catalogue numbers of the planets.
constexpr int PLANET_MERCURY = 901;
constexpr int PLANET_VENUS = 902;
constexpr int PLANET_MARS = 904;
constexpr int PLANET_JUPITER = 905;
constexpr int PLANET_SATURN = 906;
constexpr int PLANET_URANUS = 907;
constexpr int PLANET_NEPTUNE = 908;
constexpr int PLANET_PLUTO = 909;

// GoTo a catalogue object: kind 'm' Messier, 's' star catalogue (planets
// 901..909), anything else NGC. A number that does not fit the four-digit
// field (0..9999) is refused.
int move_telescope(char kind, int number);
// GoTo coordinates. Values that are no coordinate (hours 0..23, minutes
// 0..59, degrees -90..90) are refused. Degree 0 always goes out as "+00".
int move_to_coord(int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes);
// The current object's information from the mount, into `move_error`.
void GetInfo();
