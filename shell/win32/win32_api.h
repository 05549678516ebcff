// The Win32 API of the Windows build: the platform's own headers. The
// application and the dialog framework name every call explicitly (...A or
// ...W), so UNICODE is neither needed nor set.
#pragma once

// std::min/std::max stay usable; the lean set keeps rarely used parts of the
// API (and their macros) out of every file.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>
// The lean set leaves out the multimedia (joystick) and path APIs.
#include <mmsystem.h>
#include <shlwapi.h>
