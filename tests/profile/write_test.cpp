// WritePrivateProfileStringA on real files: the exact bytes after a series of
// calls, for the files a user may have.
#include "profile_fixture.h"

#include "shell/profile_batch.h"

using namespace std::string_literals;

namespace profile_test {
namespace {

struct WriteCase {
    const char* name;
    std::optional<std::string> before;  // nullopt: no file
    std::vector<Write> writes;
    std::string after;
};
// Test names show the case, not its bytes.
void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

const std::vector<Write> kDefaults = {
    {"KeyConfig", "Key1", "0"}, {"KeyConfig", "Key2", "1"}, {"KeyConfig", "Key3", "3"}, {"KeyConfig", "Key4", "4"}};

const WriteCase kWriteCases[] = {
    {"NewFileAsWindowsWritesIt", std::nullopt, kDefaults,
     "[KeyConfig]\r\nKey1=0\r\nKey2=1\r\nKey3=3\r\nKey4=4\r\n"},
    {"EmptyFile", "", kDefaults, "[KeyConfig]\r\nKey1=0\r\nKey2=1\r\nKey3=3\r\nKey4=4\r\n"},
    {"ReplaceInPlaceKeepsSpellingAndOtherLines",
     "; top\r\n[keyCONFIG]\r\n  KEY1 = 5 \r\nOther = x\r\n[Next]\r\nKey1=9\r\n", {{"KeyConfig", "Key1", "7"}},
     "; top\r\n[keyCONFIG]\r\n  KEY1 = 7\r\nOther = x\r\n[Next]\r\nKey1=9\r\n"},
    {"ReplaceEmptyValue", "[KeyConfig]\r\nKey1=\r\n", {{"KeyConfig", "Key1", "7"}}, "[KeyConfig]\r\nKey1=7\r\n"},
    {"ReplaceBlankValue", "[KeyConfig]\r\nKey1=  \r\n", {{"KeyConfig", "Key1", "7"}}, "[KeyConfig]\r\nKey1=7\r\n"},
    {"ReplaceQuotedValue", "[KeyConfig]\r\nKey1=\"5\"\r\n", {{"KeyConfig", "Key1", "7"}}, "[KeyConfig]\r\nKey1=7\r\n"},
    {"ReplaceFirstOfDuplicateKeys", "[KeyConfig]\r\nKey1=5\r\nKey1=6\r\n", {{"KeyConfig", "Key1", "7"}},
     "[KeyConfig]\r\nKey1=7\r\nKey1=6\r\n"},
    {"ReplacedUnterminatedLineGetsALineBreak", "[KeyConfig]\r\nKey1=5", {{"KeyConfig", "Key1", "7"}},
     "[KeyConfig]\r\nKey1=7\r\n"},
    {"ValueWrittenAsGiven", std::nullopt, {{" KeyConfig ", " Key1 ", " 7 "}}, "[KeyConfig]\r\nKey1= 7 \r\n"},
    {"AddKeyBeforeTrailingCommentsAndBlankLines", "[KeyConfig]\r\nKey1=0\r\n; note\r\n\r\n[Other]\r\nx=1\r\n",
     {{"KeyConfig", "Key2", "1"}, {"KeyConfig", "Key3", "3"}},
     "[KeyConfig]\r\nKey1=0\r\nKey2=1\r\nKey3=3\r\n; note\r\n\r\n[Other]\r\nx=1\r\n"},
    {"AddKeyToSectionWithoutEntries", "[KeyConfig]\r\n\r\n[Other]\r\n", {{"KeyConfig", "Key1", "0"}},
     "[KeyConfig]\r\nKey1=0\r\n\r\n[Other]\r\n"},
    {"AddKeyAfterUnterminatedHeader", "[KeyConfig]", {{"KeyConfig", "Key1", "0"}}, "[KeyConfig]\r\nKey1=0\r\n"},
    // Found by fuzzing: the CR must not make this header another section's.
    {"AddKeyAfterUnterminatedHeaderEndingInCR", "[KeyConfig\r", {{"KeyConfig", "Key1", "7"}},
     "[KeyConfig\r\r\nKey1=7\r\n"},
    {"AddKeyAfterUnterminatedLastEntry", "[KeyConfig]\r\nKey1=0", {{"KeyConfig", "Key2", "1"}},
     "[KeyConfig]\r\nKey1=0\r\nKey2=1\r\n"},
    {"AddKeyAfterLineWithoutEquals", "[KeyConfig]\r\nKey1\r\n; c\r\n", {{"KeyConfig", "Key1", "7"}},
     "[KeyConfig]\r\nKey1\r\nKey1=7\r\n; c\r\n"},
    {"SemicolonKeysGoBeforeEarlierOnes", "",
     {{"KeyConfig", "z", ""}, {"KeyConfig", ";y", ""}, {"KeyConfig", "a", ""}, {"KeyConfig", ";b", ""},
      {"KeyConfig", ";c", ""}},
     "[KeyConfig]\r\nz=\r\na=\r\n;c=\r\n;b=\r\n;y=\r\n"},
    {"CommentsStayWhereTheyWere", ";comment0\r\n[KeyConfig]\r\n;comment1\r\nb=value\r\n;comment2\r\na=value\r\n",
     {{"KeyConfig", "z", ""}, {"KeyConfig", ";x", ""}, {"KeyConfig", "y", ""}, {"KeyConfig", "a", ""},
      {"KeyConfig", "b", ""}},
     ";comment0\r\n[KeyConfig]\r\n;comment1\r\nb=\r\n;comment2\r\na=\r\nz=\r\ny=\r\n;x=\r\n"},
    {"RepeatedSectionWritesTheFirstBlock", "[KeyConfig]\r\n[KeyConfig]\r\nKey1=5\r\n", {{"KeyConfig", "Key1", "7"}},
     "[KeyConfig]\r\nKey1=7\r\n[KeyConfig]\r\nKey1=5\r\n"},
    {"AddSectionAtTheEnd", "[Other]\r\nx=1\r\n", {{"KeyConfig", "Key1", "7"}},
     "[Other]\r\nx=1\r\n[KeyConfig]\r\nKey1=7\r\n"},
    {"AddSectionAfterUnterminatedLastLine", "[Other]\r\nx=1", {{"KeyConfig", "Key1", "7"}},
     "[Other]\r\nx=1\r\n[KeyConfig]\r\nKey1=7\r\n"},
    {"KeysBeforeTheFirstHeaderAreNotTheSection", "Key1=5\r\n", {{"KeyConfig", "Key1", "7"}},
     "Key1=5\r\n[KeyConfig]\r\nKey1=7\r\n"},
    {"LfOnlyFileStaysLfOnly", "[Other]\nx=1\n", {{"KeyConfig", "Key1", "7"}, {"KeyConfig", "Key2", "8"}},
     "[Other]\nx=1\n[KeyConfig]\nKey1=7\nKey2=8\n"},
    {"LfOnlyUnterminatedLine", "[KeyConfig]\nKey1=5", {{"KeyConfig", "Key1", "7"}, {"KeyConfig", "Key2", "8"}},
     "[KeyConfig]\nKey1=7\nKey2=8\n"},
    {"NewLineTakesTheBreakOfTheLineItFollows", "[A]\r\nx=1\r\n[KeyConfig]\nKey1=0\n[B]\r\n",
     {{"KeyConfig", "Key2", "1"}}, "[A]\r\nx=1\r\n[KeyConfig]\nKey1=0\nKey2=1\n[B]\r\n"},
    {"CrOnlyFileKeptWhole", "[KeyConfig]\rKey1=5\r", {{"KeyConfig", "Key1", "7"}},
     "[KeyConfig]\rKey1=5\r\r\nKey1=7\r\n"},
    {"HighBytesAndNulsElsewhereUntouched",
     "\xFF\0;\x80 junk\r\n[KeyConfig]\r\nName=\xE3\x82\xAD\0x\r\nKey1=5\r\n\0\xFF"s, {{"KeyConfig", "Key1", "7"}},
     "\xFF\0;\x80 junk\r\n[KeyConfig]\r\nName=\xE3\x82\xAD\0x\r\nKey1=7\r\n\0\xFF"s},
    {"AddSectionAfterTrailingNul", "x=1\r\n\0"s, {{"KeyConfig", "Key1", "7"}},
     "x=1\r\n\0\r\n[KeyConfig]\r\nKey1=7\r\n"s},
    {"ByteOrderMarkKept", "\xEF\xBB\xBF[KeyConfig]\r\nKey1=5\r\n", {{"KeyConfig", "Key1", "7"}},
     "\xEF\xBB\xBF[KeyConfig]\r\nKey1=7\r\n"},
    {"ByteOrderMarkOnlyFile", "\xEF\xBB\xBF", {{"KeyConfig", "Key1", "7"}}, "\xEF\xBB\xBF[KeyConfig]\r\nKey1=7\r\n"},
    {"KeyconfigSaveIntoAGameFile",
     "; the game's\r\n[Video]\r\nWidth = 640\r\n\r\n[KeyConfig] ; pad\r\nKey1 = 5\r\n\tKey2=9\r\n\r\n"
     "[Name]\r\nPlayer=\x83v\r\n",
     {{"KeyConfig", "Key1", "7"}, {"KeyConfig", "Key2", "0"}, {"KeyConfig", "Key3", "23"}, {"KeyConfig", "Key4", "11"}},
     "; the game's\r\n[Video]\r\nWidth = 640\r\n\r\n[KeyConfig] ; pad\r\nKey1 = 7\r\n\tKey2=0\r\nKey3=23\r\n"
     "Key4=11\r\n\r\n[Name]\r\nPlayer=\x83v\r\n"},
    {"SameKeyTwiceAndAnotherSection", "[KeyConfig]\r\nKey1=5\r\n",
     {{"KeyConfig", "Key1", "6"}, {"Other", "A", "1"}, {"KeyConfig", "Key1", "8"}, {"keyconfig", "KEY2", "3"}},
     "[KeyConfig]\r\nKey1=8\r\nKEY2=3\r\n[Other]\r\nA=1\r\n"},
};

class ProfileWrite : public ProfileTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(ProfileWrite, ChangesOnlyWhatTheCallAsks) {
    const WriteCase& c = GetParam();
    if (c.before) WriteBytes(Ini(), *c.before);
    for (const Write& w : c.writes) {
        SetLastError(12345);
        EXPECT_TRUE(WritePrivateProfileStringA(w.section, w.key, w.value, Ini().c_str())) << w.key;
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    }
    EXPECT_EQ(ReadBytes(Ini()), c.after);
    EXPECT_EQ(Entries(), std::vector<std::string>{"keyconfig.ini"});
}

// The same writes in one batch: held until Commit (the file untouched), then
// one replace giving the same bytes.
TEST_P(ProfileWrite, ABatchOfTheSameWritesGivesTheSameFile) {
    const WriteCase& c = GetParam();
    if (c.before) WriteBytes(Ini(), *c.before);
    {
        shell::CProfileWriteBatch batch(Ini().c_str());
        for (const Write& w : c.writes) {
            SetLastError(12345);
            EXPECT_TRUE(WritePrivateProfileStringA(w.section, w.key, w.value, Ini().c_str())) << w.key;
            EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
        }
        if (c.before)
            EXPECT_EQ(ReadBytes(Ini()), *c.before);
        else
            EXPECT_FALSE(std::filesystem::exists(Ini()));
        ASSERT_TRUE(batch.Commit()) << GetLastError();
        EXPECT_TRUE(batch.Commit()) << "a second commit does nothing";
    }
    EXPECT_EQ(ReadBytes(Ini()), c.after);
    EXPECT_EQ(Entries(), std::vector<std::string>{"keyconfig.ini"});
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileWrite, ::testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What keyconfig does on every save, on files of every shape above: all four
// keys written, then read back as the next start would read them.
TEST_F(ProfileWrite, WrittenValuesReadBack) {
    const char* keys[] = {"Key1", "Key2", "Key3", "Key4"};
    const char* values[] = {"23", "-1", "2147483647", ""};
    for (const WriteCase& c : kWriteCases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(Ini());
        if (c.before) WriteBytes(Ini(), *c.before);
        for (int slot = 0; slot < 4; ++slot)
            ASSERT_TRUE(WritePrivateProfileStringA("KeyConfig", keys[slot], values[slot], Ini().c_str()));
        for (int slot = 0; slot < 4; ++slot) {
            char buffer[32];
            GetPrivateProfileStringA("KeyConfig", keys[slot], "default", buffer, sizeof buffer, Ini().c_str());
            EXPECT_STREQ(buffer, values[slot]) << keys[slot];
        }
    }
}

}  // namespace
}  // namespace profile_test
