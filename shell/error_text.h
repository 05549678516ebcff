// Composing the wide texts of error messages in fixed buffers: no allocation,
// so they can be built even when memory has run out.
#pragma once

#include "win32_api.h"

#include <cstddef>
#include <cwchar>

namespace shell {

// Appends `text` to the NUL-terminated `out`, cutting it where `out` is full.
template <std::size_t N>
void AppendText(WCHAR (&out)[N], const WCHAR* text) {
    std::size_t n = std::wcslen(out);
    while (text != nullptr && *text != L'\0' && n + 1 < N) out[n++] = *text++;
    out[n] = L'\0';
}

// Appends `separator` and the system's sentence for `errorCode`. Returns
// false, appending nothing, for ERROR_SUCCESS (whose "completed successfully"
// would only confuse next to a failure) and for codes without a text.
template <std::size_t N>
bool AppendSystemErrorText(WCHAR (&out)[N], const WCHAR* separator, DWORD errorCode) {
    if (errorCode == ERROR_SUCCESS) return false;
    WCHAR reason[512] = {};
    if (FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, errorCode, 0, reason,
                       static_cast<DWORD>(sizeof reason / sizeof reason[0]), nullptr) == 0)
        return false;
    // Windows' texts end in a line break, which a message box shows as an
    // empty last line.
    std::size_t n = std::wcslen(reason);
    while (n > 0 && (reason[n - 1] == L'\r' || reason[n - 1] == L'\n' || reason[n - 1] == L' ')) reason[--n] = L'\0';
    AppendText(out, separator);
    AppendText(out, reason);
    return true;
}

}  // namespace shell
