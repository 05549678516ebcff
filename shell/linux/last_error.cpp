// The thread's last-error code and its text. On Linux the code is the errno
// value of the system call that failed, so its text is the C library's; the
// layer's own codes carry their sentence with them.
#include "layer_internal.h"
#include "win32_api.h"

#include <cstring>
#include <string>

namespace {

// Win32 keeps the last error per thread; so do we.
struct LastError {
    DWORD code = ERROR_SUCCESS;
    std::string text;
};
thread_local LastError t_lastError;

}  // namespace

DWORD GetLastError() { return t_lastError.code; }

void SetLastError(DWORD code) {
    t_lastError.code = code;
    t_lastError.text.clear();
}

namespace shell {

void SetLastErrorWithText(DWORD code, std::string_view utf8Text) {
    t_lastError.code = code;
    try {
        t_lastError.text.assign(utf8Text);
    } catch (...) {
        t_lastError.text.clear();
    }
}

}  // namespace shell

DWORD FormatMessageW(DWORD flags, const void* /*source*/, DWORD messageId, DWORD /*languageId*/,
                     LPWSTR buffer, DWORD size, void* /*arguments*/) {
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || buffer == nullptr || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring text;
    try {
        if ((messageId & 0x20000000u) != 0) {
            text = messageId == t_lastError.code && !t_lastError.text.empty()
                       ? shell::Utf8ToWide(t_lastError.text)
                       : std::wstring(L"Unknown error");
        } else if (messageId == ERROR_INVALID_PARAMETER) {
            text = L"Invalid argument";
        } else {
            text = shell::Utf8ToWide(std::strerror(static_cast<int>(messageId)));
        }
    } catch (...) {
        text.clear();
    }
    DWORD n = 0;
    for (; n < text.size() && n + 1 < size; ++n) buffer[n] = text[n];
    buffer[n] = L'\0';
    return n;
}
