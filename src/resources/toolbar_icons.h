#pragma once
#include <QIcon>

// Tool-bar pictures by the bitmap resource id the tool bar names them with
// (24333 Save, 24336 Save as FITS, 24332 Open, 1000 Camera, 1907/1908 half-size
// display on/off, 1002/1003 display stretch on/off, 1904 display-stretch
// dialog, 121 settings, 1903 photometry, 1, 117, 2, 120 stretches, 106, 3
// filters, 110, 115, 111 calibration and merging, 24 telescope).
//
// The icons are drawn when a size is asked for, so they are sharp at any size
// and on high-density screens; disabled buttons get the style's greyed form.
// A QGuiApplication must exist before the icon is painted. Nothing else needs
// to be initialised: there is no resource file behind them.
//
// Returns a null icon for an id that has no picture.
QIcon toolbar_icon(int bitmap_id);

// The program's icon (a telescope with a camera at its focus, aimed at a
// star), for the main window and the About box.
QIcon application_icon();
