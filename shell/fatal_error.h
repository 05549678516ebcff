// How the program tells the user why it cannot start: on stderr on Linux
// (where no window can be opened), in a message box on Windows.
#pragma once

#include "win32_api.h"

namespace shell {

// Shows `what` followed by the system's text for `errorCode`.
void ReportFatalError(LPCWSTR what, DWORD errorCode);

}  // namespace shell
