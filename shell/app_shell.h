// The one header keyconfig's application code includes: the Win32 API of the
// platform being built (the real one on Windows, our own layer on Linux; CMake
// puts the platform's folder on the include path), the dialog framework and
// the profile write batch.
#pragma once

#include "win32_api.h"

#include "shell/dialog_framework.h"
#include "shell/profile_batch.h"

using shell::CAppModule;
using shell::CDialogImpl;
using shell::CMessageLoop;
using shell::CProfileWriteBatch;
