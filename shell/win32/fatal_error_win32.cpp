// Why keyconfig cannot start, told in a message box: a GUI program has no
// console a player would see.
#include "shell/fatal_error.h"

#include <cwchar>

namespace shell {
namespace {

constexpr const WCHAR* kCaption = L"キーコンフィグ";

// Appends `text` to the NUL-terminated `out`, cutting it where `out` is full.
template <std::size_t N>
void Append(WCHAR (&out)[N], const WCHAR* text) {
    std::size_t n = std::wcslen(out);
    while (*text != L'\0' && n + 1 < N) out[n++] = *text++;
    out[n] = L'\0';
}

}  // namespace

// Shows "`what`: <the system's text for `errorCode`>" in a modal message box
// without an owner and returns when the player has closed it. A code of 0, or
// one the system has no text for, leaves just `what`. Allocates nothing and
// never throws, so it is safe when memory has run out.
void ReportFatalError(LPCWSTR what, DWORD errorCode) {
    WCHAR text[1024] = {};
    Append(text, what != nullptr ? what : L"keyconfig");
    WCHAR reason[512] = {};
    // ERROR_SUCCESS's text ("The operation completed successfully.") would
    // only confuse next to a failure.
    if (errorCode != ERROR_SUCCESS &&
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, errorCode, 0, reason,
                       static_cast<DWORD>(sizeof reason / sizeof reason[0]), nullptr) != 0) {
        // The system's texts end in a line break, which the box would show
        // as an empty last line.
        std::size_t n = std::wcslen(reason);
        while (n > 0 && (reason[n - 1] == L'\r' || reason[n - 1] == L'\n' || reason[n - 1] == L' ')) reason[--n] = L'\0';
        Append(text, L": ");
        Append(text, reason);
    }
    MessageBoxW(nullptr, text, kCaption, MB_OK | MB_ICONERROR);
}

}  // namespace shell
