// The keyconfig dialog on the headless display, with real settings files:
// start-up, every way out, keys, the save-failure report and the entry.
#include "app_fixture.h"

#include "headless/headless.h"
#include "joystick/scripted_joystick.h"
#include "shell/app_entry.h"
#include "window_system.h"

#include <filesystem>
#include <string>

namespace {

using shell::headless::Pump;
using testutil::ReadBytes;
using testutil::WriteBytes;

constexpr const char* kStored = "; written by the game\r\n[KeyConfig]\r\nKey1=5\r\nKey2=9\r\nKey3=2\r\nKey4=11\r\n[Other]\r\nA=1\r\n";

class MainForm : public testutil::AppTest {
protected:
    HWND Open() {
        HWND h = form.Create(nullptr);
        EXPECT_NE(h, nullptr);
        return h;
    }
    std::string Label(int slot) const { return shell::WindowText(form.m_slotEdits[slot]); }
    HWND Control(int id) const { return GetDlgItem(form.m_hWnd, id); }
    // Whether the loop would now end, and with which code.
    bool QuitPosted(int& code) {
        MSG m;
        if (!PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE) || m.message != WM_QUIT) return false;
        code = static_cast<int>(m.wParam);
        return true;
    }

    CMainForm form;
};

TEST_F(MainForm, OpensWithTheStoredBindingsAndTheFocusOnTheFirstBox) {
    WriteBytes(IniFile(), kStored);
    HWND h = Open();
    EXPECT_EQ(GetFocus(), Control(IDC_SLOT1));
    EXPECT_EQ(form.m_slotEdits[0], Control(IDC_SLOT1));
    EXPECT_EQ(form.m_slotEdits[3], Control(IDC_SLOT4));
    EXPECT_EQ(Label(0), "Pad6");
    EXPECT_EQ(Label(1), "Pad10");
    EXPECT_EQ(Label(2), "Pad3");
    EXPECT_EQ(Label(3), "Pad12");
    EXPECT_TRUE(shell::headless::IsShown(h));
    EXPECT_EQ(shell::WindowText(h), "キーコンフィグ");
}

TEST_F(MainForm, WithoutAFileShowsTheDefaultsAndCreatesNothingUntilSaved) {
    Open();
    EXPECT_EQ(Label(0), "Pad1");
    EXPECT_EQ(Label(1), "Pad2");
    EXPECT_EQ(Label(2), "Pad4");
    EXPECT_EQ(Label(3), "Pad5");
    EXPECT_FALSE(std::filesystem::exists(IniFile()));
    shell::headless::Click(Control(IDOK));
    Pump();
    EXPECT_EQ(ReadBytes(IniFile()), "[KeyConfig]\r\nKey1=0\r\nKey2=1\r\nKey3=3\r\nKey4=4\r\n");
}

TEST_F(MainForm, EachWayOutClosesWithCodeZeroAndOnlySaveWrites) {
    const struct {
        const char* name;
        void (*close)(HWND dialog);
        bool writes;
    } ways[] = {
        {"保存して終了 clicked", [](HWND d) { shell::headless::Click(GetDlgItem(d, IDOK)); }, true},
        {"IDOK with another notification code",
         [](HWND d) { SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDOK, 0x1234), 0); }, true},
        {"保存せず終了 clicked", [](HWND d) { shell::headless::Click(GetDlgItem(d, IDCANCEL)); }, false},
        {"IDCANCEL with any notification code",
         [](HWND d) { SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0x0300), 0); }, false},
        {"close box", [](HWND d) { shell::headless::RequestClose(d); }, false},
        {"Alt+F4", [](HWND) { shell::headless::PressKey(VK_F4, true); }, false},
        {"WM_CLOSE", [](HWND d) { PostMessageA(d, WM_CLOSE, 0, 0); }, false},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        shell::headless::Reset();
        g_iniPath[0] = '\0';
        WriteBytes(IniFile(), kStored);
        CMainForm f;
        HWND h = f.Create(nullptr);
        ASSERT_NE(h, nullptr);
        f.m_slotButtons[1] = 20;  // as if captured this run
        way.close(h);
        Pump();
        EXPECT_FALSE(IsWindow(h));
        EXPECT_EQ(f.m_hWnd, nullptr);
        MSG m;
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(m.message, WM_QUIT);
        EXPECT_EQ(m.wParam, 0u);
        std::string after = ReadBytes(IniFile());
        if (way.writes)
            EXPECT_EQ(after, "; written by the game\r\n[KeyConfig]\r\nKey1=5\r\nKey2=20\r\nKey3=2\r\nKey4=11\r\n[Other]\r\nA=1\r\n");
        else
            EXPECT_EQ(after, kStored);
    }
}

TEST_F(MainForm, KeysAndCommandsOfTheBoxesChangeNothing) {
    WriteBytes(IniFile(), kStored);
    HWND h = Open();
    shell::headless::Click(Control(IDC_SLOT3));
    Pump();
    ASSERT_EQ(GetFocus(), Control(IDC_SLOT3));
    for (UINT vk : {VK_TAB, VK_RETURN, VK_ESCAPE, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_SPACE, UINT{'7'}, UINT{'X'}})
        shell::headless::PressKey(vk);
    SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_SLOT1, EN_SETFOCUS), reinterpret_cast<LPARAM>(Control(IDC_SLOT1)));
    SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_SLOT4, EN_KILLFOCUS), reinterpret_cast<LPARAM>(Control(IDC_SLOT4)));
    Pump();
    EXPECT_TRUE(IsWindow(h));
    EXPECT_EQ(GetFocus(), Control(IDC_SLOT3));
    EXPECT_EQ(Label(2), "Pad3");
    int code = 0;
    EXPECT_FALSE(QuitPosted(code));
    EXPECT_EQ(ReadBytes(IniFile()), kStored);
}

TEST_F(MainForm, AFailedSaveSaysSoAndKeepsTheWindowAndTheBindings) {
    WriteBytes(IniFile(), kStored);
    HWND h = Open();
    form.m_slotButtons[0] = 7;
    std::filesystem::permissions(IniFile(), std::filesystem::perms::owner_read);
    shell::headless::Click(Control(IDOK));
    Pump();
    ASSERT_EQ(shell::headless::MessageBoxes().size(), 1u);
    const auto& box = shell::headless::MessageBoxes()[0];
    EXPECT_EQ(box.caption, "キーコンフィグ");
    EXPECT_EQ(box.text.rfind("keyconfig.ini を保存できませんでした。", 0), 0u) << box.text;
    EXPECT_NE(box.text.find(IniFile().string()), std::string::npos) << box.text;
    EXPECT_EQ(box.owner, h);
    EXPECT_TRUE(IsWindow(h));
    EXPECT_EQ(form.m_slotButtons[0], 7);
    int code = 0;
    EXPECT_FALSE(QuitPosted(code));
    EXPECT_EQ(ReadBytes(IniFile()), kStored);

    // Once the file can be written again, the same click saves and closes.
    std::filesystem::permissions(IniFile(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    shell::headless::Click(Control(IDOK));
    Pump();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_TRUE(QuitPosted(code));
    EXPECT_EQ(code, 0);
    EXPECT_NE(ReadBytes(IniFile()).find("Key1=7\r\n"), std::string::npos);
}

TEST_F(MainForm, AnyTimerMessageRunsOneCaptureStepAndNoneAfterTheWindowIsGone) {
    HWND h = Open();
    unsigned before = shell::scripted_joystick::ReadCount();
    SendMessageA(h, WM_TIMER, 77, 0);
    EXPECT_EQ(shell::scripted_joystick::ReadCount(), before + 1);
    shell::headless::AdvanceTime(16);
    Pump();
    EXPECT_EQ(shell::scripted_joystick::ReadCount(), before + 2);
    shell::headless::Click(Control(IDCANCEL));
    Pump();
    for (int i = 0; i < 5; ++i) {
        shell::headless::AdvanceTime(16);
        Pump();
    }
    EXPECT_EQ(shell::scripted_joystick::ReadCount(), before + 2);
}

TEST_F(MainForm, TheEntryRunsTheLoopUntilTheWindowCloses) {
    WriteBytes(IniFile(), kStored);
    // What the player does, at virtual times, while the program's own loop runs.
    shell::headless::At(500, [] {
        HWND dialog = GetParent(GetFocus());
        shell::headless::Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(AppEntry(GetModuleHandleA(nullptr), nullptr, const_cast<char*>("--ignored"), 5), 0);
    EXPECT_EQ(shell::headless::Now(), 500u);
    EXPECT_EQ(ReadBytes(IniFile()), kStored);  // saved unchanged: same values in place
    EXPECT_GE(shell::scripted_joystick::ReadCount(), 500u / 16 - 1);
}

TEST_F(MainForm, TheEntryReportsAWindowThatCannotBeCreated) {
    shell::headless::FailNextDialogCreation("cannot open display :42");
    testing::internal::CaptureStderr();
    EXPECT_EQ(AppEntry(GetModuleHandleA(nullptr), nullptr, nullptr, 0), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "keyconfig: cannot open the window: cannot open display :42.\n");
}

}  // namespace
