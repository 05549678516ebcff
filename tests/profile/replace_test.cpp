// How a write replaces the file: failures leave everything as it was, links
// are written through, the file's mode and owner are kept.
#include "profile_fixture.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace profile_test {
namespace {

namespace fs = std::filesystem;

const std::string kSettings = "; the game's own settings\r\n[KeyConfig]\r\nKey1=5\r\n";

bool IsRoot() { return ::geteuid() == 0; }

// As root, hands `path` to nobody, so that only its permission bits decide
// what the unprivileged child may do.
void GiveToNobody(const fs::path& path) {
    if (IsRoot()) {
        ASSERT_EQ(::lchown(path.c_str(), kNobody, kNobody), 0);
    }
}

// Every file and link under `dir` with its bytes or target: what a failed
// write must leave unchanged, a stray temporary file included.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
    std::map<std::string, std::string> all;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        std::string name = entry.path().lexically_relative(dir).string();
        if (entry.is_symlink())
            all[name] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_regular_file())
            all[name] = ReadBytes(entry.path());
        else
            all[name] = "(directory)";
    }
    return all;
}

const ChildLimits kInThisProcess{false, std::nullopt};
const ChildLimits kAsNobody{true, std::nullopt};
const ChildLimits kFileSizeLimit{false, 4096};

struct FailureCase {
    const char* name;
    fs::path (*setup)(const fs::path& dir);  // makes the scene, returns the name to write
    DWORD error;
    ChildLimits limits;
    bool needsRoot = false;
};
// Test names show the case, not its bytes.
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

const FailureCase kFailureCases[] = {
    {"ReadOnlyFile",
     [](const fs::path& dir) {
         WriteBytes(dir / "keyconfig.ini", kSettings);
         fs::permissions(dir / "keyconfig.ini", fs::perms(0444));
         return dir / "keyconfig.ini";
     },
     EACCES, kInThisProcess},
    {"FileWritableOnlyByItsOwnerInAWritableDirectory",
     [](const fs::path& dir) {
         GiveToNobody(dir);
         WriteBytes(dir / "keyconfig.ini", kSettings);
         fs::permissions(dir / "keyconfig.ini", fs::perms(0644));
         return dir / "keyconfig.ini";
     },
     EACCES, kAsNobody, true},
    {"ReadOnlyDirectory",
     [](const fs::path& dir) {
         fs::create_directory(dir / "ro");
         WriteBytes(dir / "ro" / "keyconfig.ini", kSettings);
         GiveToNobody(dir / "ro");
         GiveToNobody(dir / "ro" / "keyconfig.ini");
         fs::permissions(dir / "ro", fs::perms(0555));
         return dir / "ro" / "keyconfig.ini";
     },
     EACCES, kAsNobody},
    {"ReadOnlyDirectoryWithoutTheFile",
     [](const fs::path& dir) {
         fs::create_directory(dir / "ro");
         GiveToNobody(dir / "ro");
         fs::permissions(dir / "ro", fs::perms(0555));
         return dir / "ro" / "keyconfig.ini";
     },
     EACCES, kAsNobody},
    {"DirectoryInPlaceOfTheFile",
     [](const fs::path& dir) {
         fs::create_directory(dir / "keyconfig.ini");
         return dir / "keyconfig.ini";
     },
     EISDIR, kInThisProcess},
    {"MissingDirectory", [](const fs::path& dir) { return dir / "gone" / "keyconfig.ini"; }, ENOENT, kInThisProcess},
    {"DiskFullPartWay",
     [](const fs::path& dir) {
         WriteBytes(dir / "keyconfig.ini", kSettings + std::string(64 * 1024, ';') + "\r\n");
         return dir / "keyconfig.ini";
     },
     EFBIG, kFileSizeLimit},
    {"Utf16File",
     [](const fs::path& dir) {
         WriteBytes(dir / "keyconfig.ini", std::string("\xFF\xFE[\0K\0]\0\r\0\n\0", 12));
         return dir / "keyconfig.ini";
     },
     EILSEQ, kInThisProcess},
    {"LinkLoop",
     [](const fs::path& dir) {
         fs::create_symlink("b.ini", dir / "keyconfig.ini");
         fs::create_symlink("keyconfig.ini", dir / "b.ini");
         return dir / "keyconfig.ini";
     },
     ELOOP, kInThisProcess},
};

class ProfileWriteFailure : public ProfileTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ProfileWriteFailure, LeavesEverythingAsItWas) {
    const FailureCase& c = GetParam();
    if (c.needsRoot && !IsRoot()) GTEST_SKIP() << "needs a file of another user";
    fs::path target = c.setup(Dir());
    auto before = Snapshot(Dir());
    CallResult result = CallWithLimits(
        c.limits, [&] { return WritePrivateProfileStringA("KeyConfig", "Key1", "7", target.c_str()); });
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(Snapshot(Dir()), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileWriteFailure, ::testing::ValuesIn(kFailureCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileWriteCalls, NullArgumentsAreRefused) {
    const char* name = "/nonexistent-dir/keyconfig.ini";
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "Key1", "7", name));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(WritePrivateProfileStringA("KeyConfig", nullptr, "7", name));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(WritePrivateProfileStringA("KeyConfig", "Key1", nullptr, name));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(WritePrivateProfileStringA("KeyConfig", "Key1", "7", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

struct LinkCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> links;  // link name, target; "@/" = the test's directory
    const char* file;                                          // the file the links end at
    bool fileExists;
};
// Test names show the case, not its bytes.
void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

const LinkCase kLinkCases[] = {
    {"RelativeLinkIntoSubdirectory", {{"keyconfig.ini", "data/real.ini"}}, "data/real.ini", true},
    {"ChainWithAbsoluteTarget", {{"keyconfig.ini", "data/hop.ini"}, {"data/hop.ini", "@/data/real.ini"}},
     "data/real.ini", true},
    {"DanglingLinkCreatesItsTarget", {{"keyconfig.ini", "data/real.ini"}}, "data/real.ini", false},
};

class ProfileLink : public ProfileTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(ProfileLink, WritesThroughAndKeepsTheLinks) {
    const LinkCase& c = GetParam();
    fs::create_directory(Dir() / "data");
    auto resolve = [&](std::string name) {
        return name.starts_with("@/") ? (Dir() / name.substr(2)).string() : name;
    };
    for (auto [link, target] : c.links) fs::create_symlink(resolve(target), Dir() / link);
    if (c.fileExists) WriteBytes(Dir() / c.file, kSettings);

    ASSERT_TRUE(WritePrivateProfileStringA("KeyConfig", "Key1", "7", Ini().c_str())) << GetLastError();

    for (auto [link, target] : c.links) {
        EXPECT_TRUE(fs::is_symlink(Dir() / link)) << link;
        EXPECT_EQ(fs::read_symlink(Dir() / link).string(), resolve(target)) << link;
    }
    EXPECT_EQ(ReadBytes(Dir() / c.file), c.fileExists ? "; the game's own settings\r\n[KeyConfig]\r\nKey1=7\r\n"
                                                      : "[KeyConfig]\r\nKey1=7\r\n");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"data", "keyconfig.ini"}));
    std::vector<std::string> inData{"real.ini"};
    if (c.links.size() > 1) inData.insert(inData.begin(), "hop.ini");
    EXPECT_EQ(Entries(Dir() / "data"), inData);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileLink, ::testing::ValuesIn(kLinkCases),
                         [](const auto& info) { return std::string(info.param.name); });

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

class ProfileFileMode : public ProfileTest, public ::testing::WithParamInterface<mode_t> {};

TEST_P(ProfileFileMode, ExistingFileKeepsItsMode) {
    WriteBytes(Ini(), kSettings);
    ASSERT_EQ(::chmod(Ini().c_str(), GetParam()), 0);
    ASSERT_TRUE(WritePrivateProfileStringA("KeyConfig", "Key1", "7", Ini().c_str())) << GetLastError();
    EXPECT_EQ(ModeOf(Ini()), GetParam());
}

TEST_P(ProfileFileMode, NewFileTakesTheUmask) {
    mode_t mask = ~GetParam() & 0777;
    mode_t old = ::umask(mask);
    BOOL ok = WritePrivateProfileStringA("KeyConfig", "Key1", "7", Ini().c_str());
    ::umask(old);
    ASSERT_TRUE(ok) << GetLastError();
    EXPECT_EQ(ModeOf(Ini()), GetParam() & 0666);
}

INSTANTIATE_TEST_SUITE_P(Modes, ProfileFileMode, ::testing::Values(0600, 0640, 0664, 0666),
                         [](const auto& info) {
                             char name[16];
                             std::snprintf(name, sizeof name, "Mode%04o", static_cast<unsigned>(info.param));
                             return std::string(name);
                         });

using ProfileFileOwner = ProfileTest;

TEST_F(ProfileFileOwner, OwnerAndGroupKeptWhenWrittenByRoot) {
    if (!IsRoot()) GTEST_SKIP() << "only root can give a file to another user";
    WriteBytes(Ini(), kSettings);
    ASSERT_EQ(::chown(Ini().c_str(), kNobody, kNobody), 0);
    ASSERT_TRUE(WritePrivateProfileStringA("KeyConfig", "Key1", "7", Ini().c_str())) << GetLastError();
    struct stat st {};
    ASSERT_EQ(::stat(Ini().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_EQ(st.st_gid, kNobody);
}

using ProfileLeftovers = ProfileTest;

// A temp file that a killed save left behind goes with the next write once it
// is unlocked and old; whatever may be another save's in flight, or is not a
// temp file of this file, or not this user's, stays.
TEST_F(ProfileLeftovers, AWriteRemovesOnlyStaleUnlockedTempFiles) {
    WriteBytes(Ini(), kSettings);
    auto make = [&](const std::string& name, bool old) {
        WriteBytes(Dir() / name, "half a save");
        if (old) {
            timespec minuteAgo{::time(nullptr) - 60, 0};
            const timespec times[2] = {minuteAgo, minuteAgo};
            ASSERT_EQ(::utimensat(AT_FDCWD, (Dir() / name).c_str(), times, 0), 0);
        }
    };
    make(".keyconfig.ini.Ab3xYz", true);   // a killed save's: removed
    make(".keyconfig.ini.q7Rst0", false);  // just created, not locked yet
    make(".keyconfig.ini.Lk9mNp", true);   // a save in flight holds its lock
    int held = ::open((Dir() / ".keyconfig.ini.Lk9mNp").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    make(".keyconfig.ini.bak", true);
    make(".keyconfig.ini.ab-def", true);
    make(".keyconfig.ini.Ab3xYzz", true);
    make("keyconfig.ini.Ab3xYz", true);
    make(".settings.ini.Ab3xYz", true);
    ASSERT_EQ(::mkdir((Dir() / ".keyconfig.ini.D1r000").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("keyconfig.ini", (Dir() / ".keyconfig.ini.L1nk00").c_str()), 0);
    std::vector<std::string> kept = {".keyconfig.ini.Ab3xYzz", ".keyconfig.ini.D1r000", ".keyconfig.ini.L1nk00",
                                     ".keyconfig.ini.Lk9mNp",  ".keyconfig.ini.ab-def", ".keyconfig.ini.bak",
                                     ".keyconfig.ini.q7Rst0",  ".settings.ini.Ab3xYz",  "keyconfig.ini",
                                     "keyconfig.ini.Ab3xYz"};
    if (IsRoot()) {
        make(".keyconfig.ini.N0b0dy", true);
        ASSERT_EQ(::chown((Dir() / ".keyconfig.ini.N0b0dy").c_str(), kNobody, kNobody), 0);
        kept.push_back(".keyconfig.ini.N0b0dy");
        std::sort(kept.begin(), kept.end());
    }

    ASSERT_TRUE(WritePrivateProfileStringA("KeyConfig", "Key1", "7", Ini().c_str())) << GetLastError();
    ::close(held);
    EXPECT_EQ(Entries(), kept);
    EXPECT_EQ(ReadBytes(Ini()), "; the game's own settings\r\n[KeyConfig]\r\nKey1=7\r\n");

    // Once its save is gone, the lock with it, the next write removes it too.
    ASSERT_TRUE(WritePrivateProfileStringA("KeyConfig", "Key1", "8", Ini().c_str())) << GetLastError();
    EXPECT_FALSE(fs::exists(Dir() / ".keyconfig.ini.Lk9mNp"));
}

}  // namespace
}  // namespace profile_test
