// Settings files no editor would write: binary garbage, NULs, invalid UTF-8,
// a 1 MB line, 100,000 sections, a file of a few MB. Loading reads the values
// the text rules give, and a save changes the four keys' values and nothing
// else, byte for byte.
#include "app_fixture.h"

#include <algorithm>
#include <random>
#include <string>

namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

// Bytes with no line break and no '[' or ';', so that they stay one line of
// no section or key that anything looks up.
std::string Garbage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes;
    while (bytes.size() < size) {
        char c = static_cast<char>(random() & 0xFF);
        if (c != '\n' && c != '\r' && c != '[' && c != ';') bytes += c;
    }
    return "G" + bytes;
}

std::string ManySections(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "[S" + std::to_string(i) + "]\nKey1=1\n";
    return text;
}

// The file is `before` + "[KeyConfig]\nKey1=" + key1 + "\n" + `after`, with
// `after` empty or starting with another section.
struct HostileCase {
    const char* name;
    std::string before;
    std::string key1;
    std::string after;
    std::int32_t loadedKey1;
};

class Hostile : public testutil::AppTest {};

TEST_F(Hostile, LoadsByTheTextRulesAndASaveKeepsEveryOtherByte) {
    using namespace std::string_literals;
    const HostileCase cases[] = {
        {"binary garbage around the section", Garbage(4096, 1) + "\n", "5",
         "[Other]\nA=1\n" + Garbage(4096, 2) + "\n", 5},
        {"NUL bytes in a header, a value and a section name", "\0\0[KeyConfig]\0\nKey1=99\n"s, "1\0 2"s,
         "[N\0ul]\nKey1=3\n"s, 1},
        {"invalid UTF-8 in names and the value", "[\xC0\xAF\xFF]\nKey1=9\n", "\xED\xA0\x80 8", "[\xF8]\n", 0},
        {"a 1 MB comment and a 1 MB value", "; " + std::string(1 << 20, 'x') + "\n", std::string(1 << 20, '9'),
         "[Long]\n" + std::string(1 << 20, 'y') + "=\n", INT32_MAX},
        {"100,000 sections first", ManySections(100000), "12", "", 12},
        {"a file of 4 MB", ManySections(1) + std::string(4 << 20, 'z') + "=1\n", "3", "[Tail]\n", 3},
    };
    constexpr std::int32_t kNew[kSlotCount] = {7, 6, 5, 4};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(IniFile(), c.before + "[KeyConfig]\nKey1=" + c.key1 + "\n" + c.after);
        SlotButtons loaded = LoadBindings();
        EXPECT_EQ(loaded.buttons[0], c.loadedKey1);
        EXPECT_EQ(loaded.buttons[1], kSlotDefaults[1]);
        EXPECT_EQ(loaded.buttons[2], kSlotDefaults[2]);
        EXPECT_EQ(loaded.buttons[3], kSlotDefaults[3]);

        ASSERT_TRUE(SaveBindings(kNew));
        const std::string expected = c.before + "[KeyConfig]\nKey1=7\nKey2=6\nKey3=5\nKey4=4\n" + c.after;
        const std::string saved = ReadBytes(IniFile());
        // Compared as a whole, reported by where they part: the files are big.
        auto [e, s] = std::mismatch(expected.begin(), expected.end(), saved.begin(), saved.end());
        EXPECT_TRUE(e == expected.end() && s == saved.end())
            << "saved file differs from byte " << (e - expected.begin()) << " (sizes " << expected.size() << ", "
            << saved.size() << ")";
    }
}

}  // namespace
