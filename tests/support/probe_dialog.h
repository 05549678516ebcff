// A dialog class for the dialog framework's tests, on the program's own
// template: it records every message its map sees and what the framework
// had bound by then, answers two test messages, and notes the handle at each
// step of its destruction. Shared by the headless tests on Linux and the
// tests over the real user32 under Wine, so both check the same object.
#pragma once

#include "resources/resource.h"
#include "shell/app_shell.h"

#include <gtest/gtest.h>

#include <vector>

namespace testsupport {

struct SeenMessage {
    UINT message;
    bool handleWasSet;  // m_hWnd already the window the message is for
};

class ProbeDialog : public CDialogImpl<ProbeDialog> {
public:
    enum { IDD = IDD_MAINFORM };

    BEGIN_MSG_MAP(ProbeDialog)
        if (record) seen.push_back({uMsg, m_hWnd == hWnd});
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER_VOID(WM_DESTROY, OnDestroy)
        COMMAND_ID_HANDLER_VOID(IDOK, OnOK)
        MESSAGE_HANDLER(WM_APP, OnUser)
        MESSAGE_HANDLER(WM_APP + 1, OnDeclined)
    END_MSG_MAP()

    LRESULT OnInitDialog() {
        if (focusOnInit != 0) SetFocus(GetDlgItem(m_hWnd, focusOnInit));
        return initResult;
    }
    void OnDestroy() {
        ++destroyCalls;
        handleDuringDestroy = m_hWnd;
        if (quitCodeOnDestroy >= 0) PostQuitMessage(quitCodeOnDestroy);
    }
    void OnOK() {
        DestroyWindow(m_hWnd);
        handleAfterDestroyInsideHandler = m_hWnd;
    }
    LRESULT OnUser() { return 42; }
    LRESULT OnDeclined() {
        SetMsgHandled(FALSE);
        return 99;
    }
    void OnFinalMessage(HWND old) override {
        finalCalls.push_back(old);
        handleDuringFinal = m_hWnd;
    }

    // Set before Create.
    bool record = true;
    LRESULT initResult = 0;
    int focusOnInit = 0;         // a control WM_INITDIALOG focuses, 0 for none
    int quitCodeOnDestroy = -1;  // posted on WM_DESTROY when not negative

    // What happened.
    std::vector<SeenMessage> seen;
    int destroyCalls = 0;
    std::vector<HWND> finalCalls;
    HWND handleDuringDestroy = nullptr;
    HWND handleAfterDestroyInsideHandler = nullptr;
    HWND handleDuringFinal = reinterpret_cast<HWND>(1);
};

// What a probe that DestroyWindow took inside its IDOK handler shows once the
// handler has returned: the handle kept while the handlers ran (the window's
// own WM_DESTROY included), then cleared, and the final-message hook called
// once, with the old handle and after the object let go of it.
inline void ExpectDestroyedInsideItsHandler(const ProbeDialog& dlg, HWND h) {
    EXPECT_EQ(dlg.destroyCalls, 1);
    EXPECT_EQ(dlg.handleDuringDestroy, h);
    EXPECT_EQ(dlg.handleAfterDestroyInsideHandler, h);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    ASSERT_EQ(dlg.finalCalls.size(), 1u);
    EXPECT_EQ(dlg.finalCalls[0], h);
    EXPECT_EQ(dlg.handleDuringFinal, nullptr);
    EXPECT_FALSE(IsWindow(h));
}

}  // namespace testsupport
