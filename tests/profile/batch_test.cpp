// The profile write batch: writes held until Commit and then one replace of
// the file, giving exactly the bytes the same writes make one by one; any
// failure leaves the file as it was.
#include "profile_fixture.h"

#include "shell/profile_batch.h"

#include <cerrno>
#include <utility>
#include <vector>

namespace profile_test {
namespace {

namespace fs = std::filesystem;
using shell::CProfileWriteBatch;

struct Write {
    const char* section;
    const char* key;
    const char* value;
};

struct BatchCase {
    const char* name;
    std::optional<std::string> before;  // nullopt: no file
    std::vector<Write> writes;
};
void PrintTo(const BatchCase& c, std::ostream* os) { *os << c.name; }

const std::vector<Write> kSave = {
    {"KeyConfig", "Key1", "7"}, {"KeyConfig", "Key2", "0"}, {"KeyConfig", "Key3", "23"}, {"KeyConfig", "Key4", "11"}};

const BatchCase kBatchCases[] = {
    {"NoFile", std::nullopt, kSave},
    {"GameFile",
     std::string("; the game's\r\n[Video]\r\nWidth = 640\r\n\r\n[KeyConfig] ; pad\r\nKey1 = 5\r\n\tKey2=9\r\n\r\n"
                 "[Name]\r\nPlayer=\x83v\r\n"),
     kSave},
    {"LfOnlyNoFinalBreak", std::string("[Video]\nWidth=640\n[KeyConfig]\nKey3=2"), kSave},
    {"SameKeyTwiceAndAnotherSection", std::string("[KeyConfig]\r\nKey1=5\r\n"),
     {{"KeyConfig", "Key1", "6"}, {"Other", "A", "1"}, {"KeyConfig", "Key1", "8"}, {"keyconfig", "KEY2", "3"}}},
};

class ProfileBatch : public ProfileTest, public ::testing::WithParamInterface<BatchCase> {};

TEST_P(ProfileBatch, HoldsTheWritesUntilCommitThenWritesWhatSingleWritesWould) {
    const BatchCase& c = GetParam();
    fs::path single = Dir() / "single.ini";
    if (c.before) {
        WriteBytes(Ini(), *c.before);
        WriteBytes(single, *c.before);
    }
    for (const Write& w : c.writes) ASSERT_TRUE(WritePrivateProfileStringA(w.section, w.key, w.value, single.c_str()));

    {
        CProfileWriteBatch batch(Ini().c_str());
        for (const Write& w : c.writes) {
            SetLastError(12345);
            ASSERT_TRUE(WritePrivateProfileStringA(w.section, w.key, w.value, Ini().c_str())) << GetLastError();
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
            // Reads see what the batch holds.
            char got[64];
            GetPrivateProfileStringA(w.section, w.key, "?", got, sizeof got, Ini().c_str());
            EXPECT_STREQ(got, w.value);
        }
        // Nothing has reached the disk yet.
        if (c.before)
            EXPECT_EQ(ReadBytes(Ini()), *c.before);
        else
            EXPECT_FALSE(fs::exists(Ini()));
        ASSERT_TRUE(batch.Commit()) << GetLastError();
        EXPECT_TRUE(batch.Commit()) << "a second commit does nothing";
    }
    EXPECT_EQ(ReadBytes(Ini()), ReadBytes(single));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"keyconfig.ini", "single.ini"}));
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileBatch, ::testing::ValuesIn(kBatchCases),
                         [](const auto& info) { return std::string(info.param.name); });

using ProfileBatchFailure = ProfileTest;

TEST_F(ProfileBatchFailure, AFailedWriteMakesTheBatchWriteNothing) {
    const std::string before = "[KeyConfig]\r\nKey1=5\r\n";
    WriteBytes(Ini(), before);
    CProfileWriteBatch batch(Ini().c_str());
    ASSERT_TRUE(WritePrivateProfileStringA("KeyConfig", "Key1", "7", Ini().c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("KeyConfig", nullptr, "1", Ini().c_str()));
    // Later writes fail alike: the batch no longer writes anything.
    EXPECT_FALSE(WritePrivateProfileStringA("KeyConfig", "Key3", "3", Ini().c_str()));
    EXPECT_FALSE(batch.Commit());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(ReadBytes(Ini()), before);
    EXPECT_EQ(Entries(), std::vector<std::string>{"keyconfig.ini"});
}

TEST_F(ProfileBatchFailure, AReadOnlyFileFailsEveryWriteAndTheCommit) {
    const std::string before = "[KeyConfig]\r\nKey1=5\r\n";
    WriteBytes(Ini(), before);
    ASSERT_EQ(::chmod(Ini().c_str(), 0444), 0);
    CProfileWriteBatch batch(Ini().c_str());
    EXPECT_FALSE(WritePrivateProfileStringA("KeyConfig", "Key1", "7", Ini().c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EACCES));
    EXPECT_FALSE(WritePrivateProfileStringA("KeyConfig", "Key2", "8", Ini().c_str()));
    EXPECT_FALSE(batch.Commit());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EACCES));
    EXPECT_EQ(ReadBytes(Ini()), before);
}

TEST_F(ProfileBatchFailure, ACommitThatCannotWriteLeavesTheFileAsItWas) {
    // Room for the file as it is, not for the four keys' longer values.
    const std::string before = "[KeyConfig]\r\nKey1=5\r\nKey2=6\r\n" + std::string(4060, ';') + "\r\n";
    WriteBytes(Ini(), before);
    std::string name = Ini().string();
    CallResult result = CallWithLimits({false, 4096}, [&] {
        CProfileWriteBatch batch(name.c_str());
        for (const Write& w : kSave)
            if (!WritePrivateProfileStringA(w.section, w.key, w.value, name.c_str())) return FALSE;
        return batch.Commit();
    });
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, static_cast<DWORD>(EFBIG));
    EXPECT_EQ(ReadBytes(Ini()), before);
    EXPECT_EQ(Entries(), std::vector<std::string>{"keyconfig.ini"});
}

TEST_F(ProfileBatchFailure, AnAbandonedBatchWritesNothingAndOtherFilesAreNotHeld) {
    const std::string before = "[KeyConfig]\r\nKey1=5\r\n";
    WriteBytes(Ini(), before);
    fs::path other = Dir() / "other.ini";
    {
        CProfileWriteBatch batch(Ini().c_str());
        ASSERT_TRUE(WritePrivateProfileStringA("KeyConfig", "Key1", "7", Ini().c_str()));
        ASSERT_TRUE(WritePrivateProfileStringA("A", "x", "1", other.c_str()));
        EXPECT_EQ(ReadBytes(other), "[A]\r\nx=1\r\n");
    }
    EXPECT_EQ(ReadBytes(Ini()), before);
    // With the batch gone, a write goes to the file at once.
    ASSERT_TRUE(WritePrivateProfileStringA("KeyConfig", "Key1", "8", Ini().c_str()));
    EXPECT_EQ(ReadBytes(Ini()), "[KeyConfig]\r\nKey1=8\r\n");
}

TEST_F(ProfileBatchFailure, ABatchWithoutWritesCreatesNothing) {
    CProfileWriteBatch batch(Ini().c_str());
    EXPECT_TRUE(batch.Commit());
    EXPECT_FALSE(fs::exists(Ini()));
}

}  // namespace
}  // namespace profile_test
