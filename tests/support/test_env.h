#pragma once
#include "platform/clock.h"
#include "platform/scripted_ui.h"

#include <gtest/gtest.h>
#include <string>

// A fresh program state for each test: HOME points at an empty temporary
// folder, the scripted UI and a virtual clock are installed, and every
// subsystem's globals are back at their start-up values.
class NocterisTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string home;     // the temporary home directory ("c:\")
    std::string autosave; // home + "/autosave"
    platform::ScriptedUi ui;
    platform::VirtualClock clock;

  private:
    std::string old_home_;
    bool had_home_ = false;
};

// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
