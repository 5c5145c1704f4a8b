#pragma once
#include <ostream>
#include <string>

// How the CLI's mount and guide verbs reach the telescope drive: an LX200
// mount on a PC serial port (--port comN), or the settings file's link (the
// camera's serial port, the PC serial port or the guide socket's relays),
// optionally with the drive type chosen on the command line.
struct DriveChoice {
    int com = 0;        // --port comN; 0: the settings decide
    char telescope = 0; // 'l' LX200, 'b' the guide socket; 0: the settings decide
};

constexpr int COM_MAX = 32; // the Sio layer's ports

// "comN" with N from 1 to COM_MAX; false otherwise.
bool parse_com_port(const std::string& text, int& com);

// Loads the settings and opens the link as the program would use it. False
// after its message ("Sorry. No Connection to Telescope" and why).
bool connect_drive(const DriveChoice& choice, std::ostream& err);
