#include "resources/dialog_template.h"

#include "resources/resource.h"
#include "shell/app_shell.h"

#include <cstdint>
#include <new>
#include <string_view>

namespace resources {
namespace {

class TemplateWriter {
public:
    explicit TemplateWriter(std::vector<std::uint8_t>& out) : m_out(out) {}

    void Word(std::uint16_t v) {
        m_out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        m_out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void Dword(std::uint32_t v) {
        Word(static_cast<std::uint16_t>(v & 0xFFFF));
        Word(static_cast<std::uint16_t>(v >> 16));
    }
    void Short(int v) { Word(static_cast<std::uint16_t>(static_cast<std::int16_t>(v))); }
    void AlignDword() {
        while (m_out.size() % 4 != 0) m_out.push_back(0);
    }
    // UTF-8 in, NUL-terminated UTF-16LE out. The list holds only well-formed
    // BMP text, so surrogate pairs and error handling are not needed.
    void Text(std::string_view utf8) {
        for (std::size_t i = 0; i < utf8.size();) {
            unsigned char c = static_cast<unsigned char>(utf8[i]);
            std::uint32_t cp = 0;
            int extra = 0;
            if (c < 0x80) {
                cp = c;
            } else if ((c & 0xE0) == 0xC0) {
                cp = c & 0x1F;
                extra = 1;
            } else {
                cp = c & 0x0F;
                extra = 2;
            }
            for (int k = 1; k <= extra && i + k < utf8.size(); ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
            i += 1 + extra;
            Word(static_cast<std::uint16_t>(cp));
        }
        Word(0);
    }

private:
    std::vector<std::uint8_t>& m_out;
};

constexpr std::uint16_t CountControls() {
    std::uint16_t n = 0;
#define KC_DIALOG(id, style, x, y, cx, cy, caption, points, face)
#define KC_CONTROL(id, cls, text, x, y, cx, cy, style) ++n;
#define KC_DIALOG_END
#include "resources/mainform_template.inc"
#undef KC_DIALOG
#undef KC_CONTROL
#undef KC_DIALOG_END
    return n;
}

}  // namespace

std::vector<std::uint8_t> BuildMainFormTemplate() {
    std::vector<std::uint8_t> bytes;
    try {
        TemplateWriter w(bytes);
#define KC_DIALOG(id, style, x, y, cx, cy, caption, points, face) \
    w.Dword(style);                                               \
    w.Dword(0);                                                   \
    w.Word(CountControls());                                      \
    w.Short(x);                                                   \
    w.Short(y);                                                   \
    w.Short(cx);                                                  \
    w.Short(cy);                                                  \
    w.Word(0); /* no menu */                                      \
    w.Word(0); /* the window system's dialog class */             \
    w.Text(caption);                                              \
    w.Word(points);                                               \
    w.Text(face);
#define KC_CONTROL(id, cls, text, x, y, cx, cy, style) \
    w.AlignDword();                                    \
    w.Dword(style);                                    \
    w.Dword(0);                                        \
    w.Short(x);                                        \
    w.Short(y);                                        \
    w.Short(cx);                                       \
    w.Short(cy);                                       \
    w.Word(static_cast<std::uint16_t>(id));            \
    w.Word(0xFFFF);                                    \
    w.Word(cls);                                       \
    w.Text(text);                                      \
    w.Word(0); /* no creation data */
#define KC_DIALOG_END
#include "resources/mainform_template.inc"
#undef KC_DIALOG
#undef KC_CONTROL
#undef KC_DIALOG_END
    } catch (const std::bad_alloc&) {
        bytes.clear();
    }
    return bytes;
}

}  // namespace resources
