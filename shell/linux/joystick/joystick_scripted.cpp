#include "scripted_joystick.h"

namespace shell::scripted_joystick {
namespace {

class ScriptedJoystick {
public:
    bool connected = false;
    DWORD buttons = 0;
    DWORD x = 32767, y = 32767;
    DWORD pov = JOY_POVCENTERED;
    unsigned reads = 0;
};

ScriptedJoystick& Pad() {
    static ScriptedJoystick pad;
    return pad;
}

int CountBits(DWORD v) {
    int n = 0;
    for (; v != 0; v &= v - 1) ++n;
    return n;
}

}  // namespace

void Reset() { Pad() = ScriptedJoystick{}; }
void SetConnected(bool connected) { Pad().connected = connected; }
void SetButtons(DWORD mask) { Pad().buttons = mask; }
void SetAxes(DWORD x, DWORD y) {
    Pad().x = x;
    Pad().y = y;
}
void SetPov(DWORD pov) { Pad().pov = pov; }
unsigned ReadCount() { return Pad().reads; }

}  // namespace shell::scripted_joystick

MMRESULT joyGetPosEx(UINT joystickId, LPJOYINFOEX info) {
    auto& pad = shell::scripted_joystick::Pad();
    ++pad.reads;
    if (info == nullptr || info->dwSize != sizeof(JOYINFOEX)) return JOYERR_PARMS;
    if (joystickId != JOYSTICKID1 || !pad.connected) return JOYERR_UNPLUGGED;
    info->dwXpos = pad.x;
    info->dwYpos = pad.y;
    info->dwZpos = info->dwRpos = info->dwUpos = info->dwVpos = 32767;
    info->dwButtons = pad.buttons;
    info->dwButtonNumber = static_cast<DWORD>(shell::scripted_joystick::CountBits(pad.buttons));
    info->dwPOV = pad.pov;
    return JOYERR_NOERROR;
}
