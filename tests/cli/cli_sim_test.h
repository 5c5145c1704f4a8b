#pragma once
// A fixture for the CLI verbs that drive the camera and the mount: the
// in-process simulator as the only USB device, the verb run as from a
// shell, and everything closed again afterwards.
#include "cli/cli.h"

#include "devices/serial_link.h"
#include "devices/transport.h"
#include "platform/sio.h"
#include "platform/usb.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "support/test_env.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#if __has_include("sim/usb_provider.h")
#include "sim/server.h"
#include "sim/usb_provider.h"
#define HAVE_SIM 1
#endif

class CliSimTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        platform::usb::use_builtin_providers(false);
        std::filesystem::create_directories(autosave);
    }
    void TearDown() override {
        reset_serial_link_state();
        reset_transport_state();
        platform::sio_close_all();
#ifdef HAVE_SIM
        if (server) server->stop();
        if (provider) platform::usb::remove_provider(provider.get());
#endif
        platform::usb::use_builtin_providers(true);
        NocterisTest::TearDown();
    }
    // `nocteris-cli VERB ARGS...`: its exit status, its output in out and err.
    int run_verb(const char* verb, std::vector<std::string> args) {
        args.insert(args.begin(), {"nocteris-cli", verb});
        std::vector<const char*> argv;
        for (auto& a : args) argv.push_back(a.c_str());
        out.str({});
        err.str({});
        return run_cli(static_cast<int>(argv.size()), argv.data(), out, err);
    }

#ifdef HAVE_SIM
    // The simulator with instant readouts and no periodic error; its log in
    // `log` (and to on_log).
    void start_simulator(sim::Config c) {
        c.camera.readout_rate = 0;
        c.mount.pe_amplitude = 0;
        simulator = std::make_unique<sim::Simulator>(c);
        provider = std::make_unique<sim::UsbProvider>(*simulator);
        platform::usb::add_provider(provider.get());
        simulator->set_log([this](const std::string& s) {
            log += s + "\n";
            if (on_log) on_log(s);
        });
    }
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<sim::UsbProvider> provider;
    std::unique_ptr<sim::Server> server;
    std::string log;
    std::function<void(const std::string&)> on_log;
#endif

    std::ostringstream out, err;
};
