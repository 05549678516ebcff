// Shared set-up of the application tests: a fresh temp directory as the
// current directory, a fresh process state (settings path, last joystick
// state, window system, scripted joystick) and file helpers.
#pragma once

#include "keyconfig/main_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace testutil {

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

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
