// Button indices, labels and the settings file, on real files.
#include "app_fixture.h"

#include "keyconfig/key_bindings.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using testutil::ReadBytes;
using testutil::WriteBytes;

TEST(ParseButtonIndex, ValueTexts) {
    const struct {
        const char* text;
        std::int32_t index;
    } cases[] = {
        {"7", 7}, {" 7", 7}, {"\t\n\v\f\r7", 7}, {"+5", 5}, {"-1", -1}, {"3x", 3}, {"12 34", 12},
        {"1.9", 1}, {"0x10", 0}, {"abc", 0}, {"", 0}, {"- 5", 0}, {"--5", 0}, {"+-5", 0},
        {"\xEF\xBC\x97", 0},  // a full-width 7
        {"\xA0" "7", 0},      // no byte from 0x80 up is white space
        {"0007", 7}, {"2147483647", 2147483647}, {"2147483648", 2147483647},
        {"99999999999999999999", 2147483647}, {"4294967296", 2147483647}, {"+2147483648", 2147483647},
        {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN}, {"-99999999999999999999", INT32_MIN},
        {"-0", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseButtonIndex(c.text), c.index) << '"' << c.text << '"';
}

TEST(FormatButtonLabel, CountsFromOneAndWrapsIn32Bits) {
    const struct {
        std::int32_t index;
        const char* label;
    } cases[] = {
        {0, "Pad1"}, {5, "Pad6"}, {23, "Pad24"}, {100, "Pad101"}, {-1, "Pad0"}, {-2, "Pad-1"},
        {2147483647, "Pad-2147483648"}, {INT32_MIN, "Pad-2147483647"},
    };
    for (const auto& c : cases) {
        char label[64];
        FormatButtonLabel(c.index, label);
        EXPECT_STREQ(label, c.label) << c.index;
    }
}

class Bindings : public testutil::AppTest {};

TEST_F(Bindings, NoFileGivesTheDefaultsAndLoadingWritesNothing) {
    SlotButtons b = LoadBindings();
    EXPECT_EQ(b.buttons[0], 0);
    EXPECT_EQ(b.buttons[1], 1);
    EXPECT_EQ(b.buttons[2], 3);
    EXPECT_EQ(b.buttons[3], 4);
    EXPECT_FALSE(std::filesystem::exists(IniFile()));
}

TEST_F(Bindings, StoredValuesLoadByTheConversionRulesAndSaveBackInDecimal) {
    const struct {
        const char* name;
        std::string file;
        std::int32_t loaded[4];
        std::string saved;
    } cases[] = {
        {"missing Key3 takes its default",
         "[KeyConfig]\r\nKey1=9\r\nKey2=8\r\nKey4=6\r\n", {9, 8, 3, 6},
         "[KeyConfig]\r\nKey1=9\r\nKey2=8\r\nKey4=6\r\nKey3=3\r\n"},
        {"empty value is 0, not the default",
         "[KeyConfig]\r\nKey1=\r\nKey2=\r\nKey3=\r\nKey4=\r\n", {0, 0, 0, 0},
         "[KeyConfig]\r\nKey1=0\r\nKey2=0\r\nKey3=0\r\nKey4=0\r\n"},
        {"odd texts",
         "[KeyConfig]\r\nKey1= 7\r\nKey2=3x\r\nKey3=abc\r\nKey4=99999999999999999999\r\n", {7, 3, 0, 2147483647},
         // The line keeps its layout around '=': only the value text changes.
         "[KeyConfig]\r\nKey1= 7\r\nKey2=3\r\nKey3=0\r\nKey4=2147483647\r\n"},
        {"only 31 characters are read",
         "[KeyConfig]\r\nKey1=00000000000000000000000000000007\r\nKey2=100\r\nKey3=-1\r\nKey4=-2147483648\r\n",
         {0, 100, -1, INT32_MIN},
         "[KeyConfig]\r\nKey1=0\r\nKey2=100\r\nKey3=-1\r\nKey4=-2147483648\r\n"},
        {"other sections and keys stay",
         "; the game's own\r\n[Video]\r\nWidth=640\r\n[KeyConfig]\r\nKey2=5\r\nExtra=yes\r\n[Sound]\r\nVolume=3\r\n",
         {0, 5, 3, 4},
         "; the game's own\r\n[Video]\r\nWidth=640\r\n[KeyConfig]\r\nKey2=5\r\nExtra=yes\r\nKey1=0\r\nKey3=3\r\nKey4=4\r\n"
         "[Sound]\r\nVolume=3\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(IniFile(), c.file);
        g_iniPath[0] = '\0';
        SlotButtons b = LoadBindings();
        for (int slot = 0; slot < kSlotCount; ++slot) EXPECT_EQ(b.buttons[slot], c.loaded[slot]) << slot;
        EXPECT_EQ(ReadBytes(IniFile()), c.file);  // loading writes nothing
        EXPECT_TRUE(SaveBindings(b.buttons));
        EXPECT_EQ(ReadBytes(IniFile()), c.saved);
    }
}

TEST_F(Bindings, SavingTheDefaultsMakesTheUsualNewFile) {
    const std::int32_t buttons[kSlotCount] = {0, 1, 3, 4};
    EXPECT_TRUE(SaveBindings(buttons));
    EXPECT_EQ(ReadBytes(IniFile()), "[KeyConfig]\r\nKey1=0\r\nKey2=1\r\nKey3=3\r\nKey4=4\r\n");
}

TEST_F(Bindings, ThePathIsFixedByTheDirectoryOfTheFirstUse) {
    std::string first = GetIniPath();
    EXPECT_EQ(first, IniFile().string());
    std::filesystem::create_directory(Dir() / "elsewhere");
    std::filesystem::current_path(Dir() / "elsewhere");
    EXPECT_STREQ(GetIniPath(), first.c_str());
    const std::int32_t buttons[kSlotCount] = {5, 6, 7, 8};
    EXPECT_TRUE(SaveBindings(buttons));
    EXPECT_TRUE(std::filesystem::exists(IniFile()));
    EXPECT_FALSE(std::filesystem::exists(Dir() / "elsewhere" / "keyconfig.ini"));
}

// A directory below Dir() whose full name is exactly `length` bytes long.
std::filesystem::path DirectoryOfLength(const std::filesystem::path& base, std::size_t length) {
    std::filesystem::path p = base;
    while (p.string().size() < length) {
        std::size_t room = length - p.string().size() - 1;  // minus the separator
        std::size_t part = std::min<std::size_t>(room, 200);
        if (room - part == 1) --part;  // never leave room for an empty component
        p /= std::string(part, 'd');
    }
    std::filesystem::create_directories(p);
    return p;
}

TEST_F(Bindings, ANameTooLongForThePathGivesTheRelativeName) {
    // The directory alone does not fit ...
    std::filesystem::current_path(DirectoryOfLength(Dir(), MAX_PATH + 20));
    EXPECT_STREQ(GetIniPath(), "keyconfig.ini");
    // ... or fits, but not with the file's name joined to it.
    g_iniPath[0] = '\0';
    std::filesystem::current_path(DirectoryOfLength(Dir(), MAX_PATH - 8));
    EXPECT_STREQ(GetIniPath(), "keyconfig.ini");
    // The longest that still fits: 259 characters in all.
    g_iniPath[0] = '\0';
    std::filesystem::path fits = DirectoryOfLength(Dir(), MAX_PATH - 1 - 14);
    std::filesystem::current_path(fits);
    EXPECT_EQ(std::string(GetIniPath()), (fits / "keyconfig.ini").string());
}

TEST_F(Bindings, AFailedSaveIsReportedAndLeavesTheFileAsItWas) {
    WriteBytes(IniFile(), "[KeyConfig]\r\nKey1=9\r\n");
    std::filesystem::permissions(IniFile(), std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    const std::int32_t buttons[kSlotCount] = {1, 2, 3, 4};
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(SaveBindings(buttons));
    EXPECT_NE(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(ReadBytes(IniFile()), "[KeyConfig]\r\nKey1=9\r\n");
}

}  // namespace
