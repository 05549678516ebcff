// Why keyconfig cannot start, told on stderr: without a display there is no
// window to show it in.
#include "shell/fatal_error.h"

#include "layer_internal.h"
#include "shell/error_text.h"

namespace shell {

void ReportFatalError(LPCWSTR what, DWORD errorCode) {
    WCHAR text[1024] = {};
    AppendText(text, what != nullptr ? what : L"keyconfig");
    AppendSystemErrorText(text, L": ", errorCode);
    AppendText(text, L".");
    try {
        ReportToStderr(WideToUtf8(text));
    } catch (...) {
        ReportToStderr("keyconfig: cannot start.");
    }
}

}  // namespace shell
