// The capture step: every timer tick reads joystick 0 and turns a button's
// change from up to down into the binding of the focused slot.
#include "keyconfig/main_form.h"

// The state of the last successful read; dwSize stays 0 until the first one.
JOYINFOEX g_lastJoyState;

namespace {

// Buttons 1 to 24: the bits of the mask that can bind.
constexpr int kScannedButtons = 24;

}  // namespace

void CMainForm::OnTimer() {
    JOYINFOEX fresh{};
    fresh.dwSize = sizeof(JOYINFOEX);
    fresh.dwFlags = JOY_RETURNALL;
    if (joyGetPosEx(JOYSTICKID1, &fresh) != JOYERR_NOERROR) return;  // no pad: nothing changes

    // The first successful read only records: a button already held when the
    // window opens (or the pad is connected) never counts as a press.
    if (g_lastJoyState.dwSize != 0) {
        int pressed = -1;
        for (int bit = 0; bit < kScannedButtons; ++bit) {
            DWORD mask = DWORD{1} << bit;
            if ((fresh.dwButtons & mask) != 0 && (g_lastJoyState.dwButtons & mask) == 0) {
                pressed = bit;
                break;
            }
        }
        if (pressed >= 0) {
            HWND focus = GetFocus();
            for (int slot = 0; slot < kSlotCount; ++slot) {
                if (focus != nullptr && m_slotEdits[slot] == focus) {
                    m_slotButtons[slot] = pressed;
                    ShowSlot(slot);
                    break;
                }
            }
            focus = GetFocus();
            for (int slot = 0; slot < kSlotCount; ++slot) {
                if (focus != nullptr && m_slotEdits[slot] == focus) {
                    SetFocus(m_slotEdits[(slot + 1) % kSlotCount]);
                    break;
                }
            }
        }
    }
    g_lastJoyState = fresh;
}
