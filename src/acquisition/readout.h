#pragma once
#include <cstdint>

// Camera readouts: one command block, one bulk read into ReportBuffer, then
// the pixels assembled into the image store in its geometry. Each returns
// true when the whole frame arrived; after a short or failed read (reported
// by the transport) the missing part of the frame is zero, never stale data.

// Sends the command block and reads `bytes` of reply into ReportBuffer; what
// did not arrive is zeroed so that no earlier frame's data is taken for this
// one. True when all of it arrived.
bool exchange(int bytes);
// Waits on the platform clock until `end` (ms, wrapping).
void wait_until(std::uint32_t end);

// Exposure in ms for a count in the dialog's units ('q', 'h', 't', else seconds).
std::uint32_t exposure_for(char range, int value);

// The whole sensor into `image` (acq.exposure, camera-timed up to 100,000
// ms); model 1 gets its column-pair level correction.
bool QV_full_read();
// The 128 x 128 focus frame at guide.focus_x/focus_y (2 x 2 binned from 256 x
// 256 with guide.bin_focus_frame) into the start of `image`.
bool QV_focus_read();

// Column-pair level correction of model 1 over the image in the store.
void fix_k1_full(unsigned short* img, int width, int height);

// A dialog exposure of cfg.exp_value / cfg.exp_range with a full readout and
// the focus analysis of the top-left 128 x 128 block; returns the brightest
// pixel. The preview, dark frame and single image of the dialog call it.
int QV_camera_read();
// Focus analysis alone (results in acq); returns the brightest pixel.
int focus_analysis(const unsigned short* block128);

// A guiding frame from the main camera: the focus window after the exposure.
bool QV_camera_guide();
