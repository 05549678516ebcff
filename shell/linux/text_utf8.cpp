// Conversions between the layer's UTF-8 texts, keyconfig's wide texts and the
// template's UTF-16. Malformed input becomes U+FFFD; nothing here throws
// except std::bad_alloc.
#include "layer_internal.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace shell {
namespace {

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::string WideToUtf8(const WCHAR* text) {
    std::string out;
    if (text == nullptr) return out;
    for (; *text != L'\0'; ++text) AppendUtf8(out, static_cast<char32_t>(*text));
    return out;
}

std::wstring Utf8ToWide(std::string_view text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + extra >= text.size()) {  // a bad lead byte, or a sequence cut off by the end
            out.push_back(static_cast<WCHAR>(0xFFFD));
            ++i;
            continue;
        }
        char32_t cp = extra == 0 ? c : (c & (0x3F >> extra));
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            unsigned char cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out.push_back(static_cast<WCHAR>(0xFFFD));
            ++i;
            continue;
        }
        out.push_back(static_cast<WCHAR>(cp));
        i += 1 + extra;
    }
    return out;
}

std::string Utf16LeToUtf8(const std::uint8_t* bytes, std::size_t units) {
    std::string out;
    for (std::size_t i = 0; i < units; ++i) {
        char32_t u = static_cast<char32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            char32_t lo = static_cast<char32_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8));
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(out, u);
    }
    return out;
}

void ReportToStderr(std::string_view utf8Line) {
    std::fwrite(utf8Line.data(), 1, utf8Line.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace shell

int MultiByteToWideChar(UINT /*codePage*/, DWORD /*flags*/, LPCSTR text, int length, LPWSTR buffer, int size) {
    if (text == nullptr || size < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    try {
        std::string_view in = length < 0 ? std::string_view(text) : std::string_view(text, static_cast<std::size_t>(length));
        std::wstring wide = shell::Utf8ToWide(in);
        // With length -1 the terminating NUL is converted and counted too.
        std::size_t needed = wide.size() + (length < 0 ? 1 : 0);
        if (size == 0) return static_cast<int>(needed);
        if (buffer == nullptr || needed > static_cast<std::size_t>(size)) {
            SetLastError(122);  // ERROR_INSUFFICIENT_BUFFER
            return 0;
        }
        std::copy(wide.begin(), wide.end(), buffer);
        if (length < 0) buffer[wide.size()] = L'\0';
        return static_cast<int>(needed);
    } catch (...) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}
