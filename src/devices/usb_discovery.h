#pragma once

// Finding the camera and the USB filter wheel among the system's device
// interfaces and opening them (the channels live in transport.h).

struct HidDeviceDataType {
    unsigned short VID;
    char VendorName[256];
    unsigned short PID;
    char ProductName[256];
};

class USBHid {
  public:
    static constexpr int MAX_INTERFACES = 20;

    USBHid();

    // Camera discovery over the HID class, then the block-driver class. 1 if
    // any interface was enumerated, 0 if enumeration failed; the outcome for
    // the caller is `got_qv`.
    int CollectingUSBHidInfo();
    // The USB filter wheel, in the HID class; same result convention. Queries
    // the wheel's number of positions, which may lower `Max_Filters`.
    int CollectingHidInfo();

    // What was found at each member index of the class scanned last
    // (informational only).
    HidDeviceDataType HidDeviceData[MAX_INTERFACES];
};
