// GetPrivateProfileStringA on real files: what a user's keyconfig.ini may
// hold, read the way kernel32 reads it.
#include "profile_fixture.h"

#include <cerrno>
#include <cstring>

using namespace std::string_literals;

namespace profile_test {
namespace {

constexpr DWORD kErrorMoreData = 234;

struct ReadCase {
    const char* name;
    std::optional<std::string> file;  // nullopt: no file at all
    const char* section;
    const char* key;
    const char* defaultText;
    std::string expected;
    DWORD size = 32;
    DWORD error = ERROR_SUCCESS;
};
// Test names show the case, not its bytes.
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

const std::string kSixes(40, '6');

const ReadCase kReadCases[] = {
    {"MissingFile", std::nullopt, "KeyConfig", "Key1", "7", "7", 32, ENOENT},
    {"MissingSection", "[Other]\r\nKey1=5\r\n", "KeyConfig", "Key1", "7", "7"},
    {"MissingKey", "[KeyConfig]\r\nKey2=5\r\n", "KeyConfig", "Key1", "7", "7"},
    {"EmptyValueIsNotTheDefault", "[KeyConfig]\r\nKey1=\r\n", "KeyConfig", "Key1", "7", ""},
    {"PlainValue", "[KeyConfig]\r\nKey1=5\r\n", "KeyConfig", "Key1", "7", "5"},
    {"BlanksAroundKeyEqualsAndValue", "[KeyConfig]\r\n \t\vKey1 \t\v= \t\v5 1\v\t \r\n", "KeyConfig", "Key1", "7",
     "5 1"},
    {"DoubleQuotesRemovedInsideBlanksKept", "[KeyConfig]\r\nKey1=  \"  5  \"  \r\n", "KeyConfig", "Key1", "7",
     "  5  "},
    {"SingleQuotesRemoved", "[KeyConfig]\r\nKey1='5'\r\n", "KeyConfig", "Key1", "7", "5"},
    {"OnlyOuterQuotePairRemoved", "[KeyConfig]\r\nKey1=\"'5'\"\r\n", "KeyConfig", "Key1", "7", "'5'"},
    {"MismatchedQuotesKept", "[KeyConfig]\r\nKey1=\"5'\r\n", "KeyConfig", "Key1", "7", "\"5'"},
    {"LoneQuoteKept", "[KeyConfig]\r\nKey1=\"\r\n", "KeyConfig", "Key1", "7", "\""},
    {"QuotesStayOnKeyNames", "[KeyConfig]\r\n\"Key1\"=5\r\n", "KeyConfig", "Key1", "7", "7"},
    {"SectionAndKeyIgnoreCase", "[kEYcONFIG]\r\nkey1=5\r\n", "KEYCONFIG", "KEY1", "7", "5"},
    {"ValueKeepsItsCase", "[KeyConfig]\r\nKey1=Abc\r\n", "KeyConfig", "key1", "7", "Abc"},
    {"SpacesAroundParametersIgnored", "[KeyConfig]\r\nKey1=5\r\n", "  KeyConfig  ", " Key1 ", "7", "5"},
    {"TabInKeyParameterIsPartOfTheName", "[KeyConfig]\r\nKey1=5\r\n", "KeyConfig", "Key1\t", "7", "7"},
    {"FirstDuplicateKeyWins", "[KeyConfig]\r\nKey1=5\r\nKEY1=6\r\n", "KeyConfig", "Key1", "7", "5"},
    {"OnlyFirstBlockOfARepeatedSectionCounts", "[KeyConfig]\r\nKey2=1\r\n[keyconfig]\r\nKey1=5\r\n", "KeyConfig",
     "Key1", "7", "7"},
    {"FirstBlockWinsOverALaterOne", "[KeyConfig]\r\nKey1=5\r\n[KeyConfig]\r\nKey1=6\r\n", "KeyConfig", "Key1", "7",
     "5"},
    {"KeyOfAnotherSectionNotSeen", "[Other]\r\nKey1=5\r\n[KeyConfig]\r\nKey2=1\r\n", "KeyConfig", "Key1", "7", "7"},
    {"LinesBeforeTheFirstHeaderBelongNowhere", "Key1=5\r\n[KeyConfig]\r\n", "", "Key1", "7", "7"},
    {"EmptySectionName", "[]\r\nKey1=5\r\n", "", "Key1", "7", "5"},
    {"ValueCutTo31BytesForSize32", "[KeyConfig]\r\nKey1=" + kSixes + "\r\n", "KeyConfig", "Key1", "7",
     std::string(31, '6'), 32, kErrorMoreData},
    {"DefaultCutTo31BytesForSize32", "", "KeyConfig", "Key1", kSixes.c_str(), std::string(31, '6'), 32,
     kErrorMoreData},
    {"SizeOneGivesEmptyText", "[KeyConfig]\r\nKey1=5\r\n", "KeyConfig", "Key1", "7", "", 1, kErrorMoreData},
    {"DefaultLosesTrailingSpacesOnly", "", "KeyConfig", "Key1", "  7 \t  ", "  7 \t"},
    {"NullDefaultIsEmpty", "", "KeyConfig", "Key1", nullptr, ""},
    {"CommentLineIsNoKey", "[KeyConfig]\r\n;Key1=5\r\n", "KeyConfig", "Key1", "7", "7"},
    {"CommentCannotBeReadAsSemicolonKey", "[KeyConfig]\r\n;Key1=5\r\n", "KeyConfig", ";Key1", "7", "7"},
    {"IndentedCommentIsStillAComment", "[KeyConfig]\r\n \t;Key1=5\r\n", "KeyConfig", "Key1", "7", "7"},
    {"NoCommentAfterAValue", "[KeyConfig]\r\nKey1=5 ;6\r\n", "KeyConfig", "Key1", "7", "5 ;6"},
    {"HashIsAnOrdinaryByte", "[KeyConfig]\r\n#Key1=5\r\n", "KeyConfig", "#Key1", "7", "5"},
    {"EqualsInsideAValue", "[KeyConfig]\r\nKey1=a=b\r\n", "KeyConfig", "Key1", "7", "a=b"},
    {"EmptyKeyName", "[KeyConfig]\r\n=5\r\n", "KeyConfig", "", "7", "5"},
    {"LineWithoutEqualsIsNoKey", "[KeyConfig]\r\nKey1\r\n", "KeyConfig", "Key1", "7", "7"},
    {"BlanksInsideBrackets", "[ \tKeyConfig\v ]\r\nKey1=5\r\n", "KeyConfig", "Key1", "7", "5"},
    {"BlanksAndCrBeforeHeader", " \t\r[KeyConfig]\r\nKey1=5\r\n", "KeyConfig", "Key1", "7", "5"},
    {"HeaderNameEndsAtFirstBracket", "[KeyConfig]x]\r\nKey1=5\r\n", "KeyConfig", "Key1", "7", "5"},
    {"TextAfterHeaderIgnored", "[KeyConfig]Key1=5\r\n", "KeyConfig", "Key1", "7", "7"},
    {"ClosingBracketOptional", "[KeyConfig  \r\nKey1=5\r\n", "KeyConfig", "Key1", "7", "5"},
    {"OpeningBracketRequired", "KeyConfig]\r\nKey1=5\r\n", "KeyConfig", "Key1", "7", "7"},
    {"LfOnlyFile", "[KeyConfig]\nKey1=5\nKey2=6\n", "KeyConfig", "Key2", "7", "6"},
    {"UnterminatedLastLine", "[KeyConfig]\r\nKey1=5", "KeyConfig", "Key1", "7", "5"},
    {"Utf8ByteOrderMarkSkipped", "\xEF\xBB\xBF[KeyConfig]\r\nKey1=5\r\n", "KeyConfig", "Key1", "7", "5"},
    {"NulsAndHighBytesElsewhere", "\xFF\0\x80junk\r\n[KeyConfig]\r\nName=\xE3\x82\xAD\0\r\nKey1=5\r\n"s, "KeyConfig",
     "Key1", "7", "5"},
    {"HighBytesInAValueReturnedRaw", "[KeyConfig]\r\nKey1=\xE2\x9D\xA4\r\n", "KeyConfig", "Key1", "7",
     "\xE2\x9D\xA4"},
    {"Utf16FileGivesTheDefault", "\xFF\xFE[\0K\0]\0\r\0\n\0"s, "K", "Key1", "7", "7", 32, EILSEQ},
};

class ProfileRead : public ProfileTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ProfileRead, GivesTheValueOrTheDefault) {
    const ReadCase& c = GetParam();
    if (c.file) WriteBytes(Ini(), *c.file);
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    SetLastError(12345);
    DWORD n = GetPrivateProfileStringA(c.section, c.key, c.defaultText, buffer, c.size, Ini().c_str());
    EXPECT_EQ(std::string(buffer, n), c.expected);
    EXPECT_EQ(n, c.expected.size());
    EXPECT_EQ(buffer[n], '\0');
    EXPECT_EQ(GetLastError(), c.error);
    // A read never writes, not even a missing file.
    EXPECT_EQ(std::filesystem::exists(Ini()), c.file.has_value());
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileRead, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

using ProfileReadCalls = ProfileTest;

TEST_F(ProfileReadCalls, SizeZeroWritesNothing) {
    WriteBytes(Ini(), "[KeyConfig]\r\nKey1=5\r\n");
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetPrivateProfileStringA("KeyConfig", "Key1", "7", buffer, 0, Ini().c_str()), 0u);
    EXPECT_EQ(std::string(buffer, 4), "xxxx");
}

TEST_F(ProfileReadCalls, ListingAndNullNamesGiveTheDefault) {
    WriteBytes(Ini(), "[KeyConfig]\r\nKey1=5\r\n");
    char buffer[32];
    struct Call {
        const char* section;
        const char* key;
        const char* fileName;
    };
    std::string ini = Ini().string();
    for (Call call : {Call{nullptr, "Key1", ini.c_str()}, Call{"KeyConfig", nullptr, ini.c_str()},
                      Call{"KeyConfig", "Key1", nullptr}}) {
        EXPECT_EQ(GetPrivateProfileStringA(call.section, call.key, "7", buffer, sizeof buffer, call.fileName), 1u);
        EXPECT_STREQ(buffer, "7");
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
}

TEST_F(ProfileReadCalls, DirectoryInPlaceOfTheFileGivesTheDefault) {
    std::filesystem::create_directory(Ini());
    char buffer[32];
    EXPECT_EQ(GetPrivateProfileStringA("KeyConfig", "Key1", "7", buffer, sizeof buffer, Ini().c_str()), 1u);
    EXPECT_STREQ(buffer, "7");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EISDIR));
}

}  // namespace
}  // namespace profile_test
