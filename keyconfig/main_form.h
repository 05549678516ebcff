// CMainForm, keyconfig's one window: the dialog IDD_MAINFORM with the four
// slot boxes, which holds the four bindings for the whole run.
#pragma once

#include "keyconfig/key_bindings.h"
#include "resources/resource.h"
#include "shell/app_shell.h"

#include <cstdint>

// The state of the capture step's last successful joystick read.
extern JOYINFOEX g_lastJoyState;

// The slot boxes' control ids, in slot order.
inline constexpr int kSlotEditIds[kSlotCount] = {IDC_SLOT1, IDC_SLOT2, IDC_SLOT3, IDC_SLOT4};

// The id of the timer that runs the capture step, and its period.
constexpr UINT_PTR kCaptureTimerId = 0;
constexpr UINT kCapturePeriodMs = 16;

class CMainForm : public CDialogImpl<CMainForm> {
public:
    enum { IDD = IDD_MAINFORM };

    BEGIN_MSG_MAP(CMainForm)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER_VOID(WM_CLOSE, OnClose)
        MESSAGE_HANDLER_VOID(WM_DESTROY, OnDestroy)
        COMMAND_ID_HANDLER_VOID(IDOK, OnOK)
        COMMAND_ID_HANDLER_VOID(IDCANCEL, OnCancel)
        MESSAGE_HANDLER_VOID(WM_TIMER, OnTimer)
    END_MSG_MAP()

    // Finds the slot boxes, focuses the first, shows the stored bindings and
    // starts the capture timer. Returns 0: the focus has been placed.
    LRESULT OnInitDialog();
    // Saves the four bindings and closes; when the file cannot be written,
    // says so and stays open with the bindings.
    void OnOK();
    // Closes without saving.
    void OnCancel();
    void OnClose();
    // Ends the message loop with exit code 0.
    void OnDestroy();
    // The capture step: binds a newly pressed joypad button to the focused
    // slot and moves the focus on to the next slot box.
    void OnTimer();

    HWND m_slotEdits[kSlotCount] = {};
    std::int32_t m_slotButtons[kSlotCount];

private:
    void ShowSlot(int slot);
    void ReportSaveFailure(DWORD error);
};
