#include "keyconfig/main_form.h"

#include "shell/error_text.h"

namespace {

constexpr const WCHAR* kCaption = L"キーコンフィグ";

}  // namespace

LRESULT CMainForm::OnInitDialog() {
    for (int slot = 0; slot < kSlotCount; ++slot) m_slotEdits[slot] = GetDlgItem(m_hWnd, kSlotEditIds[slot]);
    SetFocus(m_slotEdits[0]);
    SlotButtons stored = LoadBindings();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        m_slotButtons[slot] = stored.buttons[slot];
        ShowSlot(slot);
    }
    SetTimer(m_hWnd, kCaptureTimerId, kCapturePeriodMs, nullptr);
    // 0: the focus stays on slot 1's box rather than going to the first tab
    // stop of the template ("保存して終了").
    return 0;
}

void CMainForm::ShowSlot(int slot) {
    char label[64];
    FormatButtonLabel(m_slotButtons[slot], label);
    SetWindowTextA(m_slotEdits[slot], label);
}

void CMainForm::OnOK() {
    if (!SaveBindings(m_slotButtons)) {
        // Closing now would lose the player's bindings without a word: say
        // why, and stay open so that they can try again or leave unsaved.
        ReportSaveFailure(GetLastError());
        return;
    }
    DestroyWindow(m_hWnd);
}

void CMainForm::ReportSaveFailure(DWORD error) {
    WCHAR text[1024] = L"keyconfig.ini を保存できませんでした。\n\n";
    WCHAR path[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, GetIniPath(), -1, path, static_cast<int>(MAX_PATH));
    shell::AppendText(text, path);
    shell::AppendSystemErrorText(text, L"\n", error);
    MessageBoxW(m_hWnd, text, kCaption, MB_OK | MB_ICONERROR);
}

void CMainForm::OnCancel() { DestroyWindow(m_hWnd); }

void CMainForm::OnClose() { DestroyWindow(m_hWnd); }

void CMainForm::OnDestroy() { PostQuitMessage(0); }
