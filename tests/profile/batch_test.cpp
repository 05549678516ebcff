// The profile write batch: writes held until Commit (write_test.cpp checks
// that the one replace gives the bytes the same writes make one by one) and
// any failure leaving the file as it was.
#include "profile_fixture.h"

#include "shell/profile_batch.h"

#include <cerrno>
#include <utility>
#include <vector>

namespace profile_test {
namespace {

namespace fs = std::filesystem;
using shell::CProfileWriteBatch;

const std::vector<Write> kSave = {
    {"KeyConfig", "Key1", "7"}, {"KeyConfig", "Key2", "0"}, {"KeyConfig", "Key3", "23"}, {"KeyConfig", "Key4", "11"}};

using ProfileBatch = ProfileTest;

// What the file will hold is what reads see while the batch is open; other
// files read as they are.
TEST_F(ProfileBatch, ReadsSeeTheHeldWrites) {
    WriteBytes(Ini(), "[KeyConfig]\r\nKey1=5\r\n");
    fs::path other = Dir() / "other.ini";
    WriteBytes(other, "[KeyConfig]\r\nKey1=5\r\n");
    CProfileWriteBatch batch(Ini().c_str());
    ASSERT_TRUE(WritePrivateProfileStringA("KeyConfig", "Key1", "7", Ini().c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("KeyConfig", "Key2", " 8 ", Ini().c_str()));
    char got[32];
    GetPrivateProfileStringA("KeyConfig", "Key1", "?", got, sizeof got, Ini().c_str());
    EXPECT_STREQ(got, "7");
    GetPrivateProfileStringA("KeyConfig", "Key2", "?", got, sizeof got, Ini().c_str());
    EXPECT_STREQ(got, "8");
    GetPrivateProfileStringA("KeyConfig", "Key1", "?", got, sizeof got, other.c_str());
    EXPECT_STREQ(got, "5");
    EXPECT_EQ(ReadBytes(Ini()), "[KeyConfig]\r\nKey1=5\r\n");
    ASSERT_TRUE(batch.Commit());
    EXPECT_EQ(ReadBytes(Ini()), "[KeyConfig]\r\nKey1=7\r\nKey2= 8 \r\n");
}

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
