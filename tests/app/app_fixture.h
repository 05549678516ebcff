// Shared set-up of the application tests: a fresh temp directory as the
// current directory, a fresh process state (settings path, last joystick
// state, window system, scripted joystick).
#pragma once

#include "keyconfig/main_form.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace testutil {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path IniFile() const { return m_dir / "keyconfig.ini"; }
    const std::filesystem::path& Dir() const { return m_dir; }

private:
    std::filesystem::path m_dir;
    std::filesystem::path m_oldDir;
};

}  // namespace testutil
