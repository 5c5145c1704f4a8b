#pragma once

// The filter wheel, over its own USB channel when one was opened at camera
// start, else through the serial filter box. Positions are 1-based.

// Moves the wheel to acq.Filterbox_Filter.
void change_filterbox_filter();
// Sends the 3-byte report in camdata to the USB wheel and reads its reply.
void USB_Filter();

// The dialog's first / next / previous buttons: set the position and move the
// wheel; the caller refreshes its position and name display.
void set_first_filter();
void set_next_filter();
void set_prev_filter();

// Name of the current position for the dialog's display.
const char* current_filter_name();
