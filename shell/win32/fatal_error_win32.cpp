// Why keyconfig cannot start, told in a message box: a GUI program has no
// console a player would see.
#include "shell/fatal_error.h"

#include "shell/error_text.h"

namespace shell {

// Shows "`what`: <the system's text for `errorCode`>" in a modal message box
// without an owner and returns when the player has closed it. A code of 0, or
// one the system has no text for, leaves just `what`. Allocates nothing and
// never throws, so it is safe when memory has run out.
void ReportFatalError(LPCWSTR what, DWORD errorCode) {
    WCHAR text[1024] = {};
    AppendText(text, what != nullptr ? what : L"keyconfig");
    AppendSystemErrorText(text, L": ", errorCode);
    MessageBoxW(nullptr, text, L"キーコンフィグ", MB_OK | MB_ICONERROR);
}

}  // namespace shell
