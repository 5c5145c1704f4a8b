#include "acquisition/filter_wheel.h"

#include "acquisition/acquisition_state.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "platform/clock.h"
#include "settings/settings.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int MAX_POSITIONS = 8;

// The settings accept 1..8 positions; anything else means the default 7.
int max_filters() {
    return (cfg.Max_Filters >= 1 && cfg.Max_Filters <= MAX_POSITIONS) ? cfg.Max_Filters : 7;
}

} // namespace

void USB_Filter() {
    usbt.ByteCount = 3;
    SendUSBFilterBlock();
    const std::uint32_t start = platform::now_ms();
    while (platform::now_ms() - start < 4) platform::sleep_ms(1);
    usbt.ByteCount = 3;
    ReceiveUSBFilterBlock();
}

void change_filterbox_filter() {
    // A position outside the wheel would send a command byte the wheel does not know.
    const int pos = std::clamp<int>(acq.Filterbox_Filter, 1, MAX_POSITIONS);
    if (usbt.USB_filterwheel) {
        camdata[0] = 0;
        camdata[1] = static_cast<unsigned char>(0x80 + pos);
        camdata[2] = 0;
        USB_Filter();
    } else {
        const char command[4] = {static_cast<char>(0xA5), 0x01, static_cast<char>(pos),
                                 static_cast<char>(0xA6 + pos)};
        WriteSerial(acq.filter_wheel_comport, command, 4);
    }
}

void set_first_filter() {
    acq.Filterbox_Filter = 1;
    change_filterbox_filter();
}

void set_next_filter() {
    acq.Filterbox_Filter = acq.Filterbox_Filter >= max_filters()
                               ? 1
                               : static_cast<std::uint16_t>(acq.Filterbox_Filter + 1);
    change_filterbox_filter();
}

void set_prev_filter() {
    acq.Filterbox_Filter = acq.Filterbox_Filter < 2
                               ? static_cast<std::uint16_t>(max_filters())
                               : static_cast<std::uint16_t>(acq.Filterbox_Filter - 1);
    change_filterbox_filter();
}

const char* current_filter_name() {
    const int i = std::clamp<int>(acq.Filterbox_Filter, 1, FILTER_NAMES) - 1;
    return cfg.Filterbox_Filter_Name[i];
}
