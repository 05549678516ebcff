#include "shell/fatal_error.h"

#include "layer_internal.h"

#include <string>

namespace shell {

void ReportFatalError(LPCWSTR what, DWORD errorCode) {
    WCHAR reason[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, errorCode, 0, reason,
                   static_cast<DWORD>(sizeof reason / sizeof reason[0]), nullptr);
    try {
        std::string line = WideToUtf8(what);
        if (reason[0] != L'\0') line += ": " + WideToUtf8(reason);
        line += '.';
        ReportToStderr(line);
    } catch (...) {
        ReportToStderr("keyconfig: cannot start.");
    }
}

}  // namespace shell
