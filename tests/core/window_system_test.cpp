// Rules of the Linux window system that the program relies on: timers, the
// order of the queue, focus notifications, destruction, default processing.
#include "headless/headless.h"
#include "resources/resource.h"
#include "shell/app_shell.h"
#include "window_system.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A dialog whose procedure logs every message; no framework involved.
std::vector<MSG>* g_log = nullptr;

INT_PTR LoggingDialogProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (g_log != nullptr) g_log->push_back(MSG{h, msg, wp, lp, 0, {}});
    return msg == WM_INITDIALOG ? FALSE : FALSE;
}

class WindowSystem : public ::testing::Test {
protected:
    void SetUp() override {
        shell::headless::Reset();
        g_log = &log;
        dlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAINFORM), nullptr,
                                 LoggingDialogProc, 0);
        ASSERT_NE(dlg, nullptr);
        log.clear();
    }
    void TearDown() override { g_log = nullptr; }

    std::vector<UINT> Messages() const {
        std::vector<UINT> m;
        for (const MSG& x : log) m.push_back(x.message);
        return m;
    }

    std::vector<MSG> log;
    HWND dlg = nullptr;
};

TEST_F(WindowSystem, TimerMessagesComeOnlyWhenDueAndNeverPileUp) {
    ASSERT_NE(SetTimer(dlg, 0, 16, nullptr), 0u);
    shell::headless::Pump();
    EXPECT_TRUE(log.empty());
    shell::headless::AdvanceTime(16);
    shell::headless::Pump();
    EXPECT_EQ(Messages(), std::vector<UINT>{WM_TIMER});
    EXPECT_EQ(log[0].wParam, 0u);
    log.clear();
    // A loop that was busy for ten periods gets one tick, not ten.
    shell::headless::AdvanceTime(160);
    shell::headless::Pump();
    EXPECT_EQ(Messages(), std::vector<UINT>{WM_TIMER});
}

TEST_F(WindowSystem, PostedMessagesAndTheQuitComeBeforeATimer) {
    SetTimer(dlg, 5, 16, nullptr);
    shell::headless::AdvanceTime(20);
    PostMessageA(dlg, WM_USER, 1, 0);
    PostQuitMessage(3);
    MSG m;
    ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, WM_USER);
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(m.wParam, 5u);
}

TEST_F(WindowSystem, FocusMovesWithNotificationsOldFirst) {
    HWND slot1 = GetDlgItem(dlg, IDC_SLOT1), slot2 = GetDlgItem(dlg, IDC_SLOT2);
    SetFocus(slot1);
    log.clear();
    EXPECT_EQ(SetFocus(slot2), slot1);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].message, WM_COMMAND);
    EXPECT_EQ(log[0].wParam, MAKEWPARAM(IDC_SLOT1, EN_KILLFOCUS));
    EXPECT_EQ(log[1].wParam, MAKEWPARAM(IDC_SLOT2, EN_SETFOCUS));
    log.clear();
    // Focusing the focused window sends nothing.
    SetFocus(slot2);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(GetFocus(), slot2);
}

TEST_F(WindowSystem, ClicksFocusBoxesAndPressButtonsKeysDoNothing) {
    HWND slot3 = GetDlgItem(dlg, IDC_SLOT3), cancel = GetDlgItem(dlg, IDCANCEL);
    shell::headless::Click(slot3);
    shell::headless::Pump();
    EXPECT_EQ(GetFocus(), slot3);
    log.clear();
    for (UINT vk : {VK_TAB, VK_RETURN, VK_ESCAPE, VK_LEFT, VK_DOWN, UINT{'A'}}) shell::headless::PressKey(vk);
    shell::headless::Pump();
    EXPECT_EQ(GetFocus(), slot3);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(shell::WindowText(slot3), "");
    // A click on a push button focuses it and reports the click to the dialog.
    shell::headless::Click(cancel);
    shell::headless::Pump();
    EXPECT_EQ(GetFocus(), cancel);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().message, WM_COMMAND);
    EXPECT_EQ(log.back().wParam, MAKEWPARAM(IDCANCEL, BN_CLICKED));
    log.clear();
    // Space is a push button's own key.
    shell::headless::PressKey(VK_SPACE);
    shell::headless::Pump();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].wParam, MAKEWPARAM(IDCANCEL, BN_CLICKED));
}

TEST_F(WindowSystem, APressDraggedOffAButtonIsNoClick) {
    HWND save = GetDlgItem(dlg, IDOK);
    shell::headless::PressAndDragOff(save);
    shell::headless::Pump();
    EXPECT_EQ(GetFocus(), save);
    for (const MSG& m : log) EXPECT_NE(m.wParam, MAKEWPARAM(IDOK, BN_CLICKED));
    // The button is not left half pressed: a later click is one click.
    log.clear();
    shell::headless::Click(save);
    shell::headless::Pump();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].wParam, MAKEWPARAM(IDOK, BN_CLICKED));
}

TEST_F(WindowSystem, CloseBoxAndAltF4ReachTheDialogAsWmClose) {
    shell::headless::RequestClose(dlg);
    shell::headless::Pump();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].message, WM_SYSCOMMAND);
    EXPECT_EQ(log[1].message, WM_CLOSE);
    log.clear();
    SetFocus(GetDlgItem(dlg, IDC_SLOT1));
    log.clear();
    shell::headless::PressKey(VK_F4, true);
    shell::headless::Pump();
    bool sawClose = false;
    for (const MSG& m : log) sawClose |= m.message == WM_CLOSE;
    EXPECT_TRUE(sawClose);
}

TEST_F(WindowSystem, DestroyDeliversDestroyThenNcDestroyAndEndsTimersAndFocus) {
    SetTimer(dlg, 0, 16, nullptr);
    SetFocus(GetDlgItem(dlg, IDC_SLOT1));
    log.clear();
    EXPECT_TRUE(DestroyWindow(dlg));
    std::vector<UINT> m = Messages();
    ASSERT_GE(m.size(), 2u);
    EXPECT_EQ(m[m.size() - 2], WM_DESTROY);
    EXPECT_EQ(m.back(), WM_NCDESTROY);
    EXPECT_FALSE(IsWindow(dlg));
    EXPECT_EQ(GetFocus(), nullptr);
    log.clear();
    shell::headless::AdvanceTime(100);
    shell::headless::Pump();
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(DestroyWindow(dlg));
}

TEST_F(WindowSystem, NoDisplayFailsTheCreationWithTheReason) {
    shell::headless::FailNextDialogCreation("cannot open display :9");
    HWND h = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAINFORM), nullptr,
                                LoggingDialogProc, 0);
    EXPECT_EQ(h, nullptr);
    WCHAR text[256] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, GetLastError(), 0, text, 256, nullptr);
    EXPECT_STREQ(text, L"cannot open display :9");
    EXPECT_EQ(CreateDialogParamA(nullptr, MAKEINTRESOURCEA(999), nullptr, LoggingDialogProc, 0), nullptr);
}

}  // namespace
