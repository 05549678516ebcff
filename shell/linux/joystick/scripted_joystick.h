// The scripted joystick: joystick 0 for the headless display's tests. A
// setter only stores; the next joyGetPosEx read returns what is stored, as a
// driver publishes a device's state at its next poll.
#pragma once

#include "win32_api.h"

namespace shell::scripted_joystick {

// Disconnected, no button down, centred axes, hat centred, no reads yet.
void Reset();
void SetConnected(bool connected);
// Bit n set: button n + 1 is down.
void SetButtons(DWORD mask);
void SetAxes(DWORD x, DWORD y);
void SetPov(DWORD pov);
// How many times joyGetPosEx has been called since Reset.
unsigned ReadCount();

}  // namespace shell::scripted_joystick
