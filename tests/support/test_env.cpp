#include "support/test_env.h"

#include "app/all_state.h"

#include "platform/usb.h"

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
    reset_all_state();
    // Tests never see real devices; the simulator's sockets and fakes still work.
    platform::usb::use_hardware_providers(false);
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
