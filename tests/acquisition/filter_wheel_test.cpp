// The filter wheel over USB and through the serial filter box of the
// simulated camera.
#include "acq_sim.h"

#include "acquisition/filter_wheel.h"

#include <gtest/gtest.h>

using namespace acqtest;

namespace {

class Wheel : public AcqSim {
  protected:
    // The USB wheel through a recorder.
    void start_usb(int positions = 5) {
        sim::Config c;
        c.wheel.positions = positions;
        start(c);
        ASSERT_EQ(usbt.USB_filterwheel, 1);
        attach_filter_wheel(
            std::make_unique<Recorder>(provider->open(sim::wheel_device_path()), reports));
    }
    // The serial box on the camera's port 2; the wheel has no USB interface.
    void start_serial() {
        sim::Config c;
        c.wheel.usb = false;
        c.wheel.positions = 8;
        start(c, false);
        cfg.AOUnit_comport = 1; // serial traffic through the camera
        usbt.USB_filterwheel = 0;
    }
    // The 4 data bytes of the camera's last serial write.
    Bytes last_box_command() const {
        const auto writes = blocks_with(CMD_SERIAL_WRITE);
        if (writes.empty() || writes.back().size() < 12) return {};
        return Bytes(writes.back().begin() + 8, writes.back().begin() + 12);
    }
    std::vector<Bytes> reports;
};

} // namespace

TEST_F(Wheel, UsbReportCarriesThePositionAndTurnsTheWheel) {
    start_usb(8);
    cfg.Max_Filters = 8;
    acq.Filterbox_Filter = 3;
    change_filterbox_filter();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), (Bytes{0x00, 0x83, 0x00}));
    EXPECT_EQ(simulator->wheel().target(), 3);

    acq.Filterbox_Filter = 8;
    change_filterbox_filter();
    EXPECT_EQ(reports.back(), (Bytes{0x00, 0x88, 0x00}));
    EXPECT_EQ(simulator->wheel().target(), 8);
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
}

TEST_F(Wheel, SerialBoxCommandHasItsChecksum) {
    start_serial();
    acq.Filterbox_Filter = 3;
    change_filterbox_filter();
    EXPECT_EQ(last_box_command(), (Bytes{0xA5, 0x01, 0x03, 0xA9}));
    const auto writes = blocks_with(CMD_SERIAL_WRITE);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(u16(writes.back(), 4), 2u); // the filter box's port
    EXPECT_EQ(u16(writes.back(), 6), 4u);
    EXPECT_EQ(simulator->wheel().target(), 3);

    acq.Filterbox_Filter = 8;
    change_filterbox_filter();
    EXPECT_EQ(last_box_command(), (Bytes{0xA5, 0x01, 0x08, 0xAE}));
    EXPECT_EQ(simulator->wheel().target(), 8);
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
}

TEST_F(Wheel, NextAndPreviousWrapAroundTheWheel) {
    start_serial();
    cfg.Max_Filters = 7;
    acq.Filterbox_Filter = 7;
    set_next_filter();
    EXPECT_EQ(acq.Filterbox_Filter, 1);
    EXPECT_EQ(last_box_command()[2], 1);
    set_prev_filter();
    EXPECT_EQ(acq.Filterbox_Filter, 7);
    EXPECT_EQ(last_box_command()[2], 7);
    set_prev_filter();
    EXPECT_EQ(acq.Filterbox_Filter, 6);
    set_first_filter();
    EXPECT_EQ(acq.Filterbox_Filter, 1);
    EXPECT_STREQ(current_filter_name(), "Blank");
    set_next_filter();
    EXPECT_STREQ(current_filter_name(), "Filter 2");
    EXPECT_EQ(simulator->wheel().target(), 2);
}

TEST_F(Wheel, AUsbWheelWithFivePositionsWrapsAfterFive) {
    start_usb(5);
    EXPECT_EQ(cfg.Max_Filters, 5);
    acq.Filterbox_Filter = 5;
    set_next_filter();
    EXPECT_EQ(acq.Filterbox_Filter, 1);
    EXPECT_EQ(reports.back(), (Bytes{0x00, 0x81, 0x00}));
    set_prev_filter();
    EXPECT_EQ(acq.Filterbox_Filter, 5);
    EXPECT_EQ(simulator->wheel().target(), 5);
    // A position left beyond the wheel (set before it was found) goes to 1.
    acq.Filterbox_Filter = 7;
    set_next_filter();
    EXPECT_EQ(acq.Filterbox_Filter, 1);
}

TEST_F(Wheel, UsbWheelGoneIsReportedNotHung) {
    start_usb();
    attach_filter_wheel(nullptr);
    const std::uint32_t t0 = clock.peek();
    acq.Filterbox_Filter = 2;
    change_filterbox_filter();
    EXPECT_LE(clock.peek() - t0, 31000u);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_NE(ui.boxes[0].text.find("ZIRED"), std::string::npos) << ui.boxes[0].text;
}
