#include "shell/app_entry.h"

#include "keyconfig/main_form.h"
#include "shell/app_shell.h"
#include "shell/fatal_error.h"

int AppEntry(HINSTANCE instance, HINSTANCE /*previousInstance*/, LPSTR /*commandLine*/, int /*showCommand*/) {
    CAppModule module;
    if (!module.Init(instance)) {
        shell::ReportFatalError(L"keyconfig: not enough memory to start", GetLastError());
        return 1;
    }
    CMessageLoop loop;
    module.AddMessageLoop(&loop);

    CMainForm form;
    // The dialog's initialisation runs inside the creation: when it returns,
    // the boxes show the stored bindings and the capture timer runs. Without a
    // window nothing could ever end the loop, so that is reported, not run.
    if (form.Create(nullptr) == nullptr) {
        shell::ReportFatalError(L"keyconfig: cannot open the window", GetLastError());
        module.RemoveMessageLoop();
        module.Term();
        return 1;
    }
    int exitCode = loop.Run();

    module.RemoveMessageLoop();
    module.Term();
    return exitCode;
}
