// The dialog framework over the real user32 (run under Wine by
// scripts/test-windows), and the template resource against the Linux
// serialiser: one source must give the same bytes on both builds.
#include "resources/dialog_template.h"
#include "resources/resource.h"
#include "shell/app_shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

class ProbeDialog : public CDialogImpl<ProbeDialog> {
public:
    enum { IDD = IDD_MAINFORM };

    BEGIN_MSG_MAP(ProbeDialog)
        seen.push_back(uMsg);
        if (m_hWnd != hWnd) handleMissing = true;
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER_VOID(WM_DESTROY, OnDestroy)
        COMMAND_ID_HANDLER_VOID(IDOK, OnOK)
        MESSAGE_HANDLER(WM_APP, OnUser)
        MESSAGE_HANDLER(WM_APP + 1, OnDeclined)
    END_MSG_MAP()

    LRESULT OnInitDialog() {
        SetFocus(GetDlgItem(m_hWnd, IDC_SLOT1));
        return 0;
    }
    void OnDestroy() { destroyCalls++; }
    void OnOK() {
        DestroyWindow(m_hWnd);
        handleAfterDestroy = m_hWnd;
    }
    LRESULT OnUser() { return 42; }
    LRESULT OnDeclined() {
        SetMsgHandled(FALSE);
        return 99;
    }
    void OnFinalMessage(HWND old) override { finalCalls.push_back(old); }

    std::vector<UINT> seen;
    bool handleMissing = false;
    int destroyCalls = 0;
    HWND handleAfterDestroy = nullptr;
    std::vector<HWND> finalCalls;
};

TEST(Win32Framework, BindsBeforeTheFirstMessageAndKeepsTheFocusTheHandlerSet) {
    ProbeDialog dlg;
    HWND h = dlg.Create(nullptr);
    ASSERT_NE(h, nullptr) << GetLastError();
    EXPECT_EQ(dlg.m_hWnd, h);
    EXPECT_FALSE(dlg.handleMissing);
    ASSERT_FALSE(dlg.seen.empty());
    EXPECT_EQ(dlg.seen.front(), static_cast<UINT>(WM_SETFONT));
    EXPECT_EQ(GetFocus(), GetDlgItem(h, IDC_SLOT1));
    DestroyWindow(h);
}

TEST(Win32Framework, HandledResultsAndTheHandledMark) {
    ProbeDialog dlg;
    HWND h = dlg.Create(nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(SendMessageA(h, WM_APP, 0, 0), 42);
    EXPECT_EQ(SendMessageA(h, WM_APP + 1, 0, 0), 0);
    DestroyWindow(h);
}

TEST(Win32Framework, DestroyedInsideAHandlerTheObjectOutlivesItsWindow) {
    ProbeDialog dlg;
    HWND h = dlg.Create(nullptr);
    ASSERT_NE(h, nullptr);
    dlg.seen.clear();
    SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    // WM_DESTROY before WM_NCDESTROY, both inside DestroyWindow inside the handler.
    auto destroy = std::find(dlg.seen.begin(), dlg.seen.end(), static_cast<UINT>(WM_DESTROY));
    auto ncdestroy = std::find(dlg.seen.begin(), dlg.seen.end(), static_cast<UINT>(WM_NCDESTROY));
    ASSERT_NE(destroy, dlg.seen.end());
    ASSERT_NE(ncdestroy, dlg.seen.end());
    EXPECT_LT(destroy, ncdestroy);
    EXPECT_EQ(dlg.destroyCalls, 1);
    EXPECT_EQ(dlg.handleAfterDestroy, h);  // kept until the outer handler returned
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    ASSERT_EQ(dlg.finalCalls.size(), 1u);
    EXPECT_EQ(dlg.finalCalls[0], h);
    EXPECT_FALSE(IsWindow(h));
}

TEST(Win32Resources, TheDialogResourceIsTheSerialisedTemplate) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceExA(self, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(IDD_MAINFORM),
                                  KC_LANGID_JAPANESE);
    ASSERT_NE(found, nullptr);
    HGLOBAL loaded = LoadResource(self, found);
    ASSERT_NE(loaded, nullptr);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(loaded));
    DWORD size = SizeofResource(self, found);
    std::vector<std::uint8_t> expected = resources::BuildMainFormTemplate();
    ASSERT_EQ(size, expected.size());
    EXPECT_EQ(std::memcmp(bytes, expected.data(), size), 0);
}

}  // namespace
