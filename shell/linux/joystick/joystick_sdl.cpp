// joyGetPosEx over SDL2's joystick subsystem: joystick 0 is the first
// joystick SDL sees (any pad the Linux input stack or SDL's own drivers
// find), read afresh at every call, with hot-plugging handled between calls.
// SDL's video is never started and no SDL window exists: the state is pumped
// here, and SDL is told to keep reporting while another toolkit's window has
// the focus.
#include "win32_api.h"

#include <SDL.h>

#include <algorithm>

namespace {

// The joystick service's state: whether SDL is up, and the open device.
class SdlJoystick {
public:
    ~SdlJoystick() {
        if (m_joystick != nullptr) SDL_JoystickClose(m_joystick);
        if (m_initialised) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }

    MMRESULT Read(UINT joystickId, JOYINFOEX& info) {
        if (joystickId != JOYSTICKID1) return JOYERR_UNPLUGGED;
        if (!EnsureInitialised()) return JOYERR_UNPLUGGED;
        // This program has no SDL event loop: each read updates the devices
        // itself, which also finds pads plugged in or out since the last one.
        SDL_JoystickUpdate();
        if (!EnsureOpen()) return JOYERR_UNPLUGGED;

        const int buttons = std::min(SDL_JoystickNumButtons(m_joystick), 32);
        DWORD mask = 0;
        DWORD down = 0;
        for (int b = 0; b < buttons; ++b) {
            if (SDL_JoystickGetButton(m_joystick, b) != 0) {
                mask |= DWORD{1} << b;
                ++down;
            }
        }
        DWORD* axes[6] = {&info.dwXpos, &info.dwYpos, &info.dwZpos, &info.dwRpos, &info.dwUpos, &info.dwVpos};
        const int axisCount = SDL_JoystickNumAxes(m_joystick);
        for (int a = 0; a < 6; ++a) {
            // SDL's -32768..32767 to the service's 0..65535; a missing axis rests centred.
            int value = a < axisCount ? SDL_JoystickGetAxis(m_joystick, a) : 0;
            *axes[a] = static_cast<DWORD>(value + 32768);
        }
        info.dwButtons = mask;
        info.dwButtonNumber = down;
        info.dwPOV = SDL_JoystickNumHats(m_joystick) > 0 ? PovOf(SDL_JoystickGetHat(m_joystick, 0)) : JOY_POVCENTERED;
        return JOYERR_NOERROR;
    }

private:
    bool EnsureInitialised() {
        if (m_initialised) return true;
        // SDL may be slow to start (device enumeration) or fail; a failure is
        // tried again at most once a second, not on every 16 ms tick.
        std::uint32_t now = SDL_GetTicks();
        if (m_triedOnce && now - m_lastTry < 1000) return false;
        m_triedOnce = true;
        m_lastTry = now;
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        m_initialised = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
        // Nobody reads SDL's event queue, so joystick events must not pile up in it.
        if (m_initialised) SDL_JoystickEventState(SDL_IGNORE);
        return m_initialised;
    }

    // Keeps the device at index 0 open; follows it when it goes away or
    // another takes its place.
    bool EnsureOpen() {
        if (m_joystick != nullptr && !SDL_JoystickGetAttached(m_joystick)) {
            SDL_JoystickClose(m_joystick);
            m_joystick = nullptr;
        }
        if (SDL_NumJoysticks() <= 0) {
            if (m_joystick != nullptr) {
                SDL_JoystickClose(m_joystick);
                m_joystick = nullptr;
            }
            return false;
        }
        SDL_JoystickID first = SDL_JoystickGetDeviceInstanceID(0);
        if (m_joystick != nullptr && SDL_JoystickInstanceID(m_joystick) != first) {
            SDL_JoystickClose(m_joystick);
            m_joystick = nullptr;
        }
        if (m_joystick == nullptr) m_joystick = SDL_JoystickOpen(0);
        return m_joystick != nullptr;
    }

    static DWORD PovOf(Uint8 hat) {
        switch (hat) {
            case SDL_HAT_UP: return 0;
            case SDL_HAT_RIGHTUP: return 4500;
            case SDL_HAT_RIGHT: return 9000;
            case SDL_HAT_RIGHTDOWN: return 13500;
            case SDL_HAT_DOWN: return 18000;
            case SDL_HAT_LEFTDOWN: return 22500;
            case SDL_HAT_LEFT: return 27000;
            case SDL_HAT_LEFTUP: return 31500;
            default: return JOY_POVCENTERED;
        }
    }

    bool m_initialised = false;
    bool m_triedOnce = false;
    std::uint32_t m_lastTry = 0;
    SDL_Joystick* m_joystick = nullptr;
};

SdlJoystick& Service() {
    static SdlJoystick service;
    return service;
}

}  // namespace

MMRESULT joyGetPosEx(UINT joystickId, LPJOYINFOEX info) {
    if (info == nullptr || info->dwSize != sizeof(JOYINFOEX)) return JOYERR_PARMS;
    return Service().Read(joystickId, *info);
}
