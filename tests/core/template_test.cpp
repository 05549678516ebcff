// The bytes of IDD_MAINFORM, read back field by field in the classic layout.
#include "resources/dialog_template.h"
#include "resources/resource.h"
#include "shell/app_shell.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& b) : m_b(b) {}
    std::uint16_t Word() {
        EXPECT_LE(m_pos + 2, m_b.size());
        if (m_pos + 2 > m_b.size()) return 0;
        std::uint16_t v = static_cast<std::uint16_t>(m_b[m_pos] | (m_b[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    std::uint32_t Dword() {
        std::uint32_t lo = Word();
        return lo | (static_cast<std::uint32_t>(Word()) << 16);
    }
    std::u16string Text() {
        std::u16string s;
        for (std::uint16_t c = Word(); c != 0; c = Word()) s.push_back(static_cast<char16_t>(c));
        return s;
    }
    std::size_t pos() const { return m_pos; }
    bool AtEnd() const { return m_pos == m_b.size(); }

private:
    const std::vector<std::uint8_t>& m_b;
    std::size_t m_pos = 0;
};

struct ExpectedControl {
    std::uint16_t id;
    std::uint16_t classOrdinal;
    std::u16string text;
    int x, y, cx, cy;
    std::uint32_t style;
};

TEST(DialogTemplate, MainFormBytesAreTheClassicTemplate) {
    std::vector<std::uint8_t> bytes = resources::BuildMainFormTemplate();
    Reader r(bytes);
    EXPECT_EQ(r.Dword(), 0x90C808CCu);
    EXPECT_EQ(r.Dword(), 0u);   // extended style
    EXPECT_EQ(r.Word(), 10u);   // controls
    EXPECT_EQ(r.Word(), 0u);    // x
    EXPECT_EQ(r.Word(), 0u);    // y
    EXPECT_EQ(r.Word(), 120u);  // cx
    EXPECT_EQ(r.Word(), 108u);  // cy
    EXPECT_EQ(r.Word(), 0u);    // no menu
    EXPECT_EQ(r.Word(), 0u);    // the system's dialog class
    EXPECT_EQ(r.Text(), u"キーコンフィグ");
    EXPECT_EQ(r.Word(), 12u);
    EXPECT_EQ(r.Text(), u"MS UI Gothic");

    const ExpectedControl expected[] = {
        {1, 0x80, u"保存して終了", 7, 87, 45, 14, 0x50010000},
        {2, 0x80, u"保存せず終了", 67, 87, 46, 14, 0x50010000},
        {1002, 0x81, u"", 77, 7, 35, 12, 0x50810880},
        {1003, 0x81, u"", 77, 27, 35, 12, 0x50810880},
        {1004, 0x81, u"", 77, 47, 35, 12, 0x50810880},
        {1005, 0x81, u"", 77, 67, 35, 12, 0x50810880},
        {0xFFFF, 0x82, u"決定", 12, 9, 16, 8, 0x50020000},
        {0xFFFF, 0x82, u"キャンセル、メニュー", 12, 29, 56, 8, 0x50020000},
        {0xFFFF, 0x82, u"マップ、その他", 12, 49, 40, 8, 0x50020000},
        {0xFFFF, 0x82, u"スキップ", 12, 69, 23, 8, 0x50020000},
    };
    for (const ExpectedControl& c : expected) {
        SCOPED_TRACE(c.id);
        while (r.pos() % 4 != 0) EXPECT_EQ(r.Word(), 0u);  // DWORD alignment padding
        EXPECT_EQ(r.Dword(), c.style);
        EXPECT_EQ(r.Dword(), 0u);
        EXPECT_EQ(r.Word(), c.x);
        EXPECT_EQ(r.Word(), c.y);
        EXPECT_EQ(r.Word(), c.cx);
        EXPECT_EQ(r.Word(), c.cy);
        EXPECT_EQ(r.Word(), c.id);
        EXPECT_EQ(r.Word(), 0xFFFFu);
        EXPECT_EQ(r.Word(), c.classOrdinal);
        EXPECT_EQ(r.Text(), c.text);
        EXPECT_EQ(r.Word(), 0u);  // no creation data
    }
    EXPECT_TRUE(r.AtEnd());
    // The style words spell out the named flags.
    EXPECT_EQ(0x90C808CCu, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT |
                               DS_3DLOOK | DS_CENTER);
    EXPECT_EQ(0x50810880u, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL);
}

}  // namespace
