// GetCurrentDirectoryA and PathAppendA: how keyconfig builds the settings
// file's name in a 260-byte buffer.
#include "profile_fixture.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace profile_test {
namespace {

namespace fs = std::filesystem;

class ProfilePaths : public ProfileTest {
protected:
    void SetUp() override {
        ProfileTest::SetUp();
        m_oldDir = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(m_oldDir);
        ProfileTest::TearDown();
    }

    // Makes and enters a directory whose full name has exactly `length` bytes.
    std::string EnterDirectoryOfLength(std::size_t length) {
        std::string path = fs::canonical(Dir()).string();
        while (path.size() < length) {
            std::size_t room = length - path.size() - 1;
            std::size_t part = std::min<std::size_t>(room, 200);
            if (room - part == 1) --part;  // leave room for "/" and one byte
            path += "/" + std::string(part, 'd');
            fs::create_directory(path);
        }
        fs::current_path(path);
        return path;
    }

private:
    fs::path m_oldDir;
};

struct CwdCase {
    const char* name;
    std::size_t cwdLength;  // 0: the test's directory as it is
    int sizeOverLength;     // the buffer size offered, relative to that length
    bool fits;
};
// Test names show the case, not its bytes.
void PrintTo(const CwdCase& c, std::ostream* os) { *os << c.name; }

const CwdCase kCwdCases[] = {
    {"MaxPathHolds259Characters", 259, 1, true},
    {"MaxPathCannotHold260Characters", 260, 0, false},
    {"RoomForTheNul", 0, 1, true},
    {"NoRoomForTheNul", 0, 0, false},
    {"MuchTooSmall", 0, -10, false},
};

class ProfileCurrentDirectory : public ProfilePaths, public ::testing::WithParamInterface<CwdCase> {};

TEST_P(ProfileCurrentDirectory, WritesOnlyWhenItFits) {
    const CwdCase& c = GetParam();
    std::string cwd = c.cwdLength != 0 ? EnterDirectoryOfLength(c.cwdLength) : fs::canonical(Dir()).string();
    if (c.cwdLength == 0) fs::current_path(cwd);
    std::vector<char> buffer(cwd.size() + 16, 'x');
    auto size = static_cast<DWORD>(static_cast<int>(cwd.size()) + c.sizeOverLength);
    DWORD n = GetCurrentDirectoryA(size, buffer.data());
    if (c.fits) {
        EXPECT_EQ(n, cwd.size());
        EXPECT_STREQ(buffer.data(), cwd.c_str());
    } else {
        EXPECT_EQ(n, cwd.size() + 1);
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](char b) { return b == 'x'; }));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileCurrentDirectory, ::testing::ValuesIn(kCwdCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfilePaths, SizeQueryWithoutABuffer) {
    std::string cwd = fs::canonical(Dir()).string();
    fs::current_path(cwd);
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), cwd.size() + 1);
}

TEST_F(ProfilePaths, RemovedCurrentDirectoryFails) {
    fs::create_directory(Dir() / "gone");
    fs::current_path(Dir() / "gone");
    fs::remove(Dir() / "gone");
    char buffer[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ENOENT));
}

struct AppendCase {
    const char* name;
    std::string path;
    const char* more;
    bool ok;
    std::string expected;  // the buffer afterwards
};
// Test names show the case, not its bytes.
void PrintTo(const AppendCase& c, std::ostream* os) { *os << c.name; }

// "/ppp..." with `length` bytes in all.
std::string PathOfLength(std::size_t length, const char* end = "") {
    return "/" + std::string(length - 1 - std::strlen(end), 'p') + end;
}

const AppendCase kAppendCases[] = {
    {"JoinsWithOneSlash", "/home/player", "keyconfig.ini", true, "/home/player/keyconfig.ini"},
    {"UsesTheTrailingSlash", "/home/player/", "keyconfig.ini", true, "/home/player/keyconfig.ini"},
    {"CollapsesSlashesOnBothSides", "/home/player//", "//keyconfig.ini", true, "/home/player/keyconfig.ini"},
    {"Root", "/", "keyconfig.ini", true, "/keyconfig.ini"},
    {"EmptyPathTakesTheName", "", "keyconfig.ini", true, "keyconfig.ini"},
    {"EmptyMoreChangesNothing", "/home/player", "", true, "/home/player"},
    {"MoreWithSeveralComponents", "/home", "player/keyconfig.ini", true, "/home/player/keyconfig.ini"},
    {"ExactFitAt259Characters", PathOfLength(245), "keyconfig.ini", true, PathOfLength(245) + "/keyconfig.ini"},
    {"ExactFitWithTrailingSlash", PathOfLength(246, "/"), "keyconfig.ini", true,
     PathOfLength(246, "/") + "keyconfig.ini"},
    {"OneByteTooLong", PathOfLength(246), "keyconfig.ini", false, PathOfLength(246)},
};

class ProfilePathAppend : public ::testing::TestWithParam<AppendCase> {};

TEST_P(ProfilePathAppend, JoinsWithinMaxPath) {
    const AppendCase& c = GetParam();
    char buffer[MAX_PATH];
    std::memset(buffer, 'x', sizeof buffer);
    std::memcpy(buffer, c.path.c_str(), c.path.size() + 1);
    EXPECT_EQ(PathAppendA(buffer, c.more), c.ok ? TRUE : FALSE);
    EXPECT_EQ(std::string(buffer), c.expected);
    EXPECT_LT(c.expected.size(), MAX_PATH);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfilePathAppend, ::testing::ValuesIn(kAppendCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace profile_test
