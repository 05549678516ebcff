// The program's entry, called by main (Linux) and WinMain (Windows) with the
// four start values, none of which it reads.
#pragma once

#include "win32_api.h"

// Runs keyconfig: builds the module state, the message loop and the dialog,
// runs the loop until the quit message and returns its code (0). Returns 1,
// after telling the user why, when the dialog cannot be created.
int AppEntry(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
