// What the profile-service tests share: a fresh directory per test, whole-file
// reads and writes, and a way to call the service in a child process that has
// given up root or has a file-size limit.
#pragma once

#include "test_files.h"
#include "win32_api.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace profile_test {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

// The uid and gid of "nobody", which a root test takes to meet permissions.
constexpr unsigned kNobody = 65534;

// One WritePrivateProfileStringA call of a test's table.
struct Write {
    const char* section;
    const char* key;
    const char* value;
};

// The outcome of one service call made in a child process.
struct CallResult {
    BOOL ok = FALSE;
    DWORD error = 0;
};

struct ChildLimits {
    bool unprivileged = false;                  // as root: drop to nobody first
    std::optional<unsigned long> maxFileBytes;  // RLIMIT_FSIZE, writes past it fail
};

// Runs `call` in a forked child under `limits` and hands back its result and
// last error. Without limits (or unprivileged when not root) it runs here.
CallResult CallWithLimits(const ChildLimits& limits, const std::function<BOOL()>& call);

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::filesystem::path& Dir() const { return m_dir; }
    std::filesystem::path Ini() const { return m_dir / "keyconfig.ini"; }
    // The names in `dir` (the test's directory by default), sorted.
    std::vector<std::string> Entries(const std::filesystem::path& dir = {}) const;

private:
    std::filesystem::path m_dir;
};

}  // namespace profile_test
