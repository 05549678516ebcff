#include "app_fixture.h"

#include "headless/headless.h"
#include "joystick/scripted_joystick.h"

#include <cstdlib>

namespace testutil {

void AppTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "keyconfig-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
    m_oldDir = std::filesystem::current_path();
    std::filesystem::current_path(m_dir);
    // The process-wide state starts each test as it starts a process.
    g_iniPath[0] = '\0';
    g_lastJoyState = JOYINFOEX{};
    shell::headless::Reset();
    shell::scripted_joystick::Reset();
}

void AppTest::TearDown() {
    std::filesystem::current_path(m_oldDir);
    std::error_code ec;
    std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(m_dir, ec);
}

}  // namespace testutil
