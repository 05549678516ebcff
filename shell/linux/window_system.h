// What the Linux window system core offers its backends and tests beyond the
// Win32 calls of win32_api.h.
#pragma once

#include "win32_api.h"

#include <string>

namespace shell {

// Forgets every window, timer, queued message, the focus and a posted quit,
// as if the thread had just started. For tests, between cases.
void ResetWindowSystem();

// The text of a window as the core holds it (UTF-8); empty for no window.
std::string WindowText(HWND window);

}  // namespace shell
