#include "support/test_env.h"

#include "devices/camera_models.h"
#include "devices/camera_protocol.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "display/image_store.h"
#include "display/run_state.h"
#include "files/file_state.h"
#include "files/fits.h"
#include "guiding/guide_state.h"
#include "platform/usb.h"
#include "processing/calibration.h"
#include "processing/filter_state.h"
#include "processing/processing_state.h"
#include "processing/stacking.h"
#include "settings/settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

void NocterisTest::SetUp() {
    if (const char* h = std::getenv("HOME")) {
        old_home_ = h;
        had_home_ = true;
    }
    char tmpl[] = "/tmp/nocteris-test-XXXXXX";
    home = ::mkdtemp(tmpl);
    autosave = home + "/autosave";
    ::setenv("HOME", home.c_str(), 1);
    platform::install_ui(&ui);
    platform::install_virtual_clock(&clock);
    bind_buffers();
    reset_display_state();
    reset_run_state();
    reset_guide_state();
    reset_settings();
    reset_camera_model_state();
    reset_file_state();
    reset_transport_state();
    reset_protocol_state();
    reset_serial_link_state();
    // Tests never see real devices; the simulator's sockets and fakes still work.
    platform::usb::use_hardware_providers(false);
    reset_fits_state();
    reset_processing_state();
    reset_filter_state();
    reset_calibration_state();
    reset_stack_state();
}

void NocterisTest::TearDown() {
    platform::install_ui(nullptr);
    platform::install_virtual_clock(nullptr);
    std::error_code ec;
    std::filesystem::permissions(home, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(home, ec);
    if (had_home_)
        ::setenv("HOME", old_home_.c_str(), 1);
    else
        ::unsetenv("HOME");
}

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}
