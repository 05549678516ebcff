// The dialog framework and the Linux window system under it, on the headless
// display: binding, dispatch, the handled mark, destruction and the loop.
#include "headless/headless.h"
#include "probe_dialog.h"
#include "resources/resource.h"
#include "shell/app_shell.h"
#include "window_system.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testsupport::ProbeDialog;
using testsupport::SeenMessage;

class Framework : public ::testing::Test {
protected:
    void SetUp() override { shell::headless::Reset(); }
};

TEST_F(Framework, BindsTheObjectBeforeTheFirstMessage) {
    ProbeDialog dlg;
    HWND h = dlg.Create(nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(dlg.m_hWnd, h);
    ASSERT_GE(dlg.seen.size(), 2u);
    // user32 sends the font before the initialisation; both already reach the object.
    EXPECT_EQ(dlg.seen[0].message, WM_SETFONT);
    EXPECT_EQ(dlg.seen[1].message, WM_INITDIALOG);
    for (const SeenMessage& s : dlg.seen) EXPECT_TRUE(s.handleWasSet);
    EXPECT_TRUE(shell::headless::IsShown(h));
}

TEST_F(Framework, InitDialogResultDecidesWhoPlacesTheFocus) {
    ProbeDialog keeps;
    keeps.initResult = 0;
    keeps.Create(nullptr);
    EXPECT_EQ(GetFocus(), nullptr);

    shell::headless::Reset();
    ProbeDialog defaults;
    defaults.initResult = 1;
    HWND h = defaults.Create(nullptr);
    // TRUE: the dialog manager focuses the first tab stop, "保存して終了".
    EXPECT_EQ(GetFocus(), GetDlgItem(h, IDOK));
}

TEST_F(Framework, HandledResultsAndDefaultProcessing) {
    ProbeDialog dlg;
    HWND h = dlg.Create(nullptr);
    EXPECT_EQ(SendMessageA(h, WM_APP, 0, 0), 42);
    EXPECT_EQ(GetWindowLongPtrA(h, DWLP_MSGRESULT), 42);
    // A handler that clears the mark leaves the message to default processing.
    EXPECT_EQ(SendMessageA(h, WM_APP + 1, 0, 0), 0);
    // A command without an entry changes nothing.
    SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_SLOT1, EN_SETFOCUS), 0);
    EXPECT_TRUE(IsWindow(h));
}

TEST_F(Framework, DestroyedInsideAHandlerTheObjectOutlivesItsWindow) {
    HWND h = nullptr;
    {
        ProbeDialog dlg;
        h = dlg.Create(nullptr);
        dlg.seen.clear();
        SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        // WM_DESTROY, then WM_NCDESTROY, inside DestroyWindow inside the handler.
        ASSERT_EQ(dlg.seen.size(), 3u);
        EXPECT_EQ(dlg.seen[0].message, WM_COMMAND);
        EXPECT_EQ(dlg.seen[1].message, WM_DESTROY);
        EXPECT_EQ(dlg.seen[2].message, WM_NCDESTROY);
        testsupport::ExpectDestroyedInsideItsHandler(dlg, h);
        dlg.record = false;
    }
    // Messages for the gone window reach nobody.
    EXPECT_EQ(SendMessageA(h, WM_APP, 0, 0), 0);
}

TEST_F(Framework, TheLoopRunsUntilTheQuitMessageAndReturnsItsCode) {
    ProbeDialog dlg;
    dlg.quitCodeOnDestroy = 7;
    HWND h = dlg.Create(nullptr);
    shell::headless::At(100, [h] { shell::headless::Click(GetDlgItem(h, IDOK)); });
    CMessageLoop loop;
    EXPECT_EQ(loop.Run(), 7);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(shell::headless::Now(), 100u);
}

TEST_F(Framework, ModuleKeepsOneLoopPerThread) {
    CAppModule module;
    ASSERT_TRUE(module.Init(GetModuleHandleA(nullptr)));
    CMessageLoop loop;
    EXPECT_TRUE(module.AddMessageLoop(&loop));
    EXPECT_EQ(module.GetMessageLoop(GetCurrentThreadId()), &loop);
    EXPECT_TRUE(module.RemoveMessageLoop());
    EXPECT_EQ(module.GetMessageLoop(GetCurrentThreadId()), nullptr);
    module.Term();
    module.Term();
}

TEST_F(Framework, FiltersAndIdleHandlers) {
    struct Filter : shell::CMessageFilter {
        explicit Filter(std::vector<int>& log, int n, BOOL claims) : log(log), n(n), claims(claims) {}
        BOOL PreTranslateMessage(MSG*) override {
            log.push_back(n);
            return claims;
        }
        std::vector<int>& log;
        int n;
        BOOL claims;
    };
    struct Idle : shell::CIdleHandler {
        BOOL OnIdle() override {
            ++calls;
            return TRUE;
        }
        int calls = 0;
    };
    std::vector<int> log;
    Filter first(log, 1, FALSE), second(log, 2, TRUE), third(log, 3, FALSE);
    CMessageLoop loop;
    loop.AddMessageFilter(&first);
    loop.AddMessageFilter(&second);
    loop.AddMessageFilter(&third);
    MSG msg{};
    // The last added is asked first; the first that claims ends the offer.
    EXPECT_TRUE(loop.PreTranslateMessage(&msg));
    EXPECT_EQ(log, (std::vector<int>{3, 2}));
    Idle idle;
    loop.AddIdleHandler(&idle);
    EXPECT_FALSE(loop.OnIdle(0));  // never asks for another turn
    EXPECT_EQ(idle.calls, 1);
}

}  // namespace
