#include "profile_fixture.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace profile_test {

CallResult CallWithLimits(const ChildLimits& limits, const std::function<BOOL()>& call) {
    bool dropRoot = limits.unprivileged && ::geteuid() == 0;
    if (!dropRoot && !limits.maxFileBytes) {
        CallResult result;
        result.ok = call();
        result.error = GetLastError();
        return result;
    }
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (dropRoot && (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
                         ::setresuid(kNobody, kNobody, kNobody) != 0))
            ::_exit(2);
        if (limits.maxFileBytes) {
            // A write past the limit then fails with EFBIG instead of killing.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{*limits.maxFileBytes, *limits.maxFileBytes};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
        }
        CallResult result;
        result.ok = call();
        result.error = GetLastError();
        bool sent = ::write(pipeFds[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
        ::_exit(sent ? 0 : 4);
    }
    ::close(pipeFds[1]);
    CallResult result;
    bool received = ::read(pipeFds[0], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(received && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the child process could not make the call (status " << status << ")";
    return result;
}

void ProfileTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "keyconfig-profile-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
}

void ProfileTest::TearDown() {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(m_dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, ec);
    }
    std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(m_dir, ec);
}

std::vector<std::string> ProfileTest::Entries(const std::filesystem::path& dir) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.empty() ? m_dir : dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace profile_test
