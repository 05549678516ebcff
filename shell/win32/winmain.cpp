// Process entry of the Windows program: the same entry function that main
// calls on Linux. The four start values are passed on as they come.
#include "shell/app_entry.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand) {
    return AppEntry(instance, previousInstance, commandLine, showCommand);
}
