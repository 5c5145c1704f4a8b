#pragma once
#include "platform/usb.h"

#include <cstdint>
#include <memory>

// The camera transport: one command block out, one reply or frame back in.

constexpr int CAMDATA_BYTES = 64;
constexpr int REPORT_BUFFER_BYTES = 12000000;

// The outgoing command block and the buffer every reply lands in.
extern unsigned char camdata[CAMDATA_BYTES];
extern unsigned char ReportBuffer[REPORT_BUFFER_BYTES];

// One open device: the camera or the filter wheel.
struct UsbChannel {
    std::unique_ptr<platform::usb::Device> dev;
    int handle = 0;
    // A reply was abandoned part-way: what is left of it may still come in
    // and must not be taken for the start of the next one.
    bool out_of_step = false;
};

struct TransportState {
    int ByteCount = 0;
    unsigned BytesWritten = 0;
    unsigned BytesReturned = 0;
    int OpenUSBinterfaces = 0;
    int got_qv = 0;
    int USB_filterwheel = 0;
    int Win98 = 0;
    char qv_vid[5] = "";
    char qv_pid[5] = "";
    char qv_cam_pid[5] = "0122";
    // How long the next ReceiveBlock may wait for the camera beyond the 30 s
    // every read gets: the exposure the camera is timing, in ms.
    std::uint32_t read_wait_ms = 0;

    UsbChannel camera, wheel;
    // Discovery found a camera of the family whose model it does not know.
    int camera_unsupported = 0;
    int handles_issued = 0;
};

extern TransportState usbt;

void reset_transport_state();

void SendBlock();
void ReceiveBlock();
void SendUSBFilterBlock();
void ReceiveUSBFilterBlock();
void CloseUSBdevice();

// The open channels. Discovery sets them; tests may attach devices directly.
void attach_camera(std::unique_ptr<platform::usb::Device> dev);
void attach_filter_wheel(std::unique_ptr<platform::usb::Device> dev);
bool camera_attached();
bool filter_wheel_attached();

// The numbers the channels go by in diagnostic boxes (0 while closed); each
// device opened in the run gets the next one.
int camera_handle();
int filter_wheel_handle();
