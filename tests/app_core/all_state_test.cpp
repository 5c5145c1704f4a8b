// The one reset: every subsystem back to its start-up state, and the hooks a
// higher layer installs into a lower one in place again.
#include "support/test_env.h"

#include "acquisition/acquisition_state.h"
#include "analysis/analysis_state.h"
#include "app/all_state.h"
#include "devices/camera_models.h"
#include "devices/camera_protocol.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "display/display_pipeline.h"
#include "display/image_store.h"
#include "display/sensor_state.h"
#include "files/file_state.h"
#include "files/fits.h"
#include "guiding/guiding_state.h"
#include "processing/filter_state.h"
#include "processing/processing_state.h"
#include "processing/stacking.h"
#include "settings/settings.h"
#include "star/star_state.h"
#include "telescope/ao_state.h"
#include "telescope/telescope_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

class IdleDevice : public platform::usb::Device {
  public:
    long write(const std::uint8_t*, std::size_t n) override { return static_cast<long>(n); }
    long read(std::uint8_t*, std::size_t, std::uint32_t) override { return 0; }
    std::uint16_t vendor_id() const override { return 0xF0CA; }
    std::uint16_t product_id() const override { return 122; }
};

using AllStateTest = NocterisTest;

TEST_F(AllStateTest, EverySubsystemReturnsToItsStartUpState) {
    disp.width1 = 7;
    sensor.cam_width1 = 7;
    cfg.slewx = 77;
    cfg.continuous = 1;
    std::strcpy(files.lastfile, "x");
    std::strcpy(fits.FITS_Date, "x");
    guide.guiding = 1;
    guide.xcent = 5;
    proc.black = 9;
    filt.white = 9;
    stacking.merging = 1;
    cam.cam_type = 8;
    serial.comfound = 1;
    proto.temp_control = 0;
    attach_camera(std::make_unique<IdleDevice>());
    acq.auto_advance = 1;
    seq.no_images = 9;
    seq.notes.dark = true;
    tele.tele_moving = 1;
    ao.AO_ns = 40;
    ao.AOUnit_failed = 1;
    autoguide.RA_rate = 9;
    autoguide.trained = 1;
    ana.photometry = 1;
    image = trial_int;

    reset_all_state();

    EXPECT_EQ(disp.width1, DisplayState{}.width1);
    EXPECT_EQ(sensor.cam_width1, SensorState{}.cam_width1);
    EXPECT_EQ(cfg.slewx, Settings{}.slewx);
    EXPECT_EQ(cfg.continuous, 0);
    EXPECT_STREQ(files.lastfile, "");
    EXPECT_STREQ(fits.FITS_Date, "");
    EXPECT_EQ(guide.guiding, 0);
    EXPECT_EQ(ao.AO_ns, 0);
    EXPECT_EQ(ao.AOUnit_failed, 0);
    EXPECT_EQ(guide.xcent, 0);
    EXPECT_EQ(proc.black, ProcessingState{}.black);
    EXPECT_EQ(filt.white, FilterState{}.white);
    EXPECT_EQ(stacking.merging, 0);
    EXPECT_EQ(cam.cam_type, CameraModelState{}.cam_type);
    EXPECT_EQ(serial.comfound, 0);
    EXPECT_EQ(proto.temp_control, 1);
    EXPECT_FALSE(camera_attached()); // the device is let go, not kept open
    EXPECT_EQ(acq.auto_advance, 0);
    EXPECT_EQ(seq.no_images, 1);
    EXPECT_FALSE(seq.notes.dark);
    EXPECT_EQ(tele.tele_moving, 0);
    EXPECT_EQ(autoguide.RA_rate, 0);
    EXPECT_EQ(autoguide.trained, 0);
    EXPECT_EQ(ana.photometry, 0);
    EXPECT_EQ(image, image_int);
}

TEST_F(AllStateTest, TheDisplaySeesTheGuideLoopsThroughTheInstalledQuery) {
    EXPECT_STREQ(shown_bitmap_name(), disp.BMPname_main);
    guide.guiding = 1;
    EXPECT_STREQ(shown_bitmap_name(), disp.BMPname_focus);
    guide.guiding = 0;
    guide.training = 1;
    EXPECT_STREQ(shown_bitmap_name(), disp.BMPname_focus);

    // A display reset alone forgets the query; the star layer's reset puts it back.
    reset_display_state();
    EXPECT_STREQ(shown_bitmap_name(), disp.BMPname_main);
    reset_guide_state();
    guide.training = 1;
    EXPECT_STREQ(shown_bitmap_name(), disp.BMPname_focus);
}

} // namespace
