// Process entry of the Linux program: the same entry function that WinMain
// calls on Windows. Arguments are not read.
#include "shell/app_entry.h"

int main(int /*argc*/, char** /*argv*/) { return AppEntry(GetModuleHandleA(nullptr), nullptr, nullptr, 0); }
