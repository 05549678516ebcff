// The dialog framework over the real user32 (run under Wine by
// scripts/test-windows), and the template resource against the Linux
// serialiser: one source must give the same bytes on both builds.
#include "resources/dialog_template.h"
#include "probe_dialog.h"
#include "resources/resource.h"
#include "shell/app_shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using testsupport::ProbeDialog;
using testsupport::SeenMessage;

// Whether the probe saw `message`, and where.
std::vector<SeenMessage>::const_iterator Find(const ProbeDialog& dlg, UINT message) {
    return std::find_if(dlg.seen.begin(), dlg.seen.end(), [&](const SeenMessage& s) { return s.message == message; });
}

TEST(Win32Framework, BindsBeforeTheFirstMessageAndKeepsTheFocusTheHandlerSet) {
    ProbeDialog dlg;
    dlg.focusOnInit = IDC_SLOT1;
    HWND h = dlg.Create(nullptr);
    ASSERT_NE(h, nullptr) << GetLastError();
    EXPECT_EQ(dlg.m_hWnd, h);
    for (const SeenMessage& s : dlg.seen) EXPECT_TRUE(s.handleWasSet) << "message " << s.message;
    ASSERT_FALSE(dlg.seen.empty());
    EXPECT_EQ(dlg.seen.front().message, static_cast<UINT>(WM_SETFONT));
    EXPECT_EQ(GetFocus(), GetDlgItem(h, IDC_SLOT1));
    DestroyWindow(h);
}

TEST(Win32Framework, AnInitDialogResultOfTrueLetsTheDialogManagerFocusTheFirstTabStop) {
    ProbeDialog dlg;
    dlg.initResult = TRUE;
    HWND h = dlg.Create(nullptr);
    ASSERT_NE(h, nullptr) << GetLastError();
    EXPECT_EQ(GetFocus(), GetDlgItem(h, IDOK));  // "保存して終了", as on the Linux layer
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
    auto destroy = Find(dlg, WM_DESTROY);
    auto ncdestroy = Find(dlg, WM_NCDESTROY);
    ASSERT_NE(destroy, dlg.seen.end());
    ASSERT_NE(ncdestroy, dlg.seen.end());
    EXPECT_LT(destroy, ncdestroy);
    testsupport::ExpectDestroyedInsideItsHandler(dlg, h);
    dlg.record = false;
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
