// Our joyGetPosEx over SDL2, against SDL's own virtual joysticks: plugged,
// pressed, released, unplugged and plugged back as a player would.
#include "win32_api.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

MMRESULT Read(JOYINFOEX& info) {
    info = JOYINFOEX{};
    info.dwSize = sizeof(JOYINFOEX);
    info.dwFlags = JOY_RETURNALL;
    return joyGetPosEx(JOYSTICKID1, &info);
}

class VirtualPad {
public:
    VirtualPad() {
        m_index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 32, 1);
        EXPECT_GE(m_index, 0) << SDL_GetError();
        m_joystick = SDL_JoystickOpen(m_index);
        EXPECT_NE(m_joystick, nullptr) << SDL_GetError();
    }
    ~VirtualPad() { Unplug(); }
    void Button(int b, bool down) { SDL_JoystickSetVirtualButton(m_joystick, b, down ? 1 : 0); }
    void Axis(int a, Sint16 v) { SDL_JoystickSetVirtualAxis(m_joystick, a, v); }
    void Hat(Uint8 v) { SDL_JoystickSetVirtualHat(m_joystick, 0, v); }
    void Unplug() {
        if (m_joystick == nullptr) return;
        SDL_JoystickClose(m_joystick);
        m_joystick = nullptr;
        SDL_JoystickDetachVirtual(m_index);
    }

private:
    int m_index = -1;
    SDL_Joystick* m_joystick = nullptr;
};

class SdlJoystick : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Only virtual devices exist in these tests; SDL's other drivers find nothing here.
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    }
};

TEST_F(SdlJoystick, NoDeviceIsAFailedRead) {
    JOYINFOEX info;
    EXPECT_EQ(Read(info), JOYERR_UNPLUGGED);
}

TEST_F(SdlJoystick, ButtonsAxesAndHatAsAPlayerUsesThePad) {
    VirtualPad pad;
    JOYINFOEX info;
    ASSERT_EQ(Read(info), JOYERR_NOERROR);
    EXPECT_EQ(info.dwButtons, 0u);
    EXPECT_EQ(info.dwSize, sizeof(JOYINFOEX));
    EXPECT_EQ(info.dwPOV, JOY_POVCENTERED);

    for (int b : {0, 5, 23, 31}) pad.Button(b, true);
    ASSERT_EQ(Read(info), JOYERR_NOERROR);
    EXPECT_EQ(info.dwButtons, (1u << 0) | (1u << 5) | (1u << 23) | (1u << 31));
    EXPECT_EQ(info.dwButtonNumber, 4u);
    pad.Button(5, false);
    ASSERT_EQ(Read(info), JOYERR_NOERROR);
    EXPECT_EQ(info.dwButtons, (1u << 0) | (1u << 23) | (1u << 31));

    pad.Axis(0, -32768);
    pad.Axis(1, 32767);
    pad.Hat(SDL_HAT_RIGHT);
    ASSERT_EQ(Read(info), JOYERR_NOERROR);
    EXPECT_EQ(info.dwXpos, 0u);
    EXPECT_EQ(info.dwYpos, 65535u);
    EXPECT_EQ(info.dwZpos, 32768u);
    EXPECT_EQ(info.dwPOV, 9000u);
    pad.Hat(SDL_HAT_LEFTUP);
    ASSERT_EQ(Read(info), JOYERR_NOERROR);
    EXPECT_EQ(info.dwPOV, 31500u);
}

TEST_F(SdlJoystick, UnpluggedAndPluggedBackWithoutARestart) {
    JOYINFOEX info;
    {
        VirtualPad pad;
        pad.Button(3, true);
        ASSERT_EQ(Read(info), JOYERR_NOERROR);
        EXPECT_EQ(info.dwButtons, 1u << 3);
        pad.Unplug();
        EXPECT_EQ(Read(info), JOYERR_UNPLUGGED);
        EXPECT_EQ(Read(info), JOYERR_UNPLUGGED);
    }
    VirtualPad again;
    again.Button(7, true);
    ASSERT_EQ(Read(info), JOYERR_NOERROR);
    EXPECT_EQ(info.dwButtons, 1u << 7);
}

TEST_F(SdlJoystick, BadRequestsAreRefused) {
    VirtualPad pad;
    JOYINFOEX info{};
    info.dwSize = 12;
    EXPECT_EQ(joyGetPosEx(JOYSTICKID1, &info), JOYERR_PARMS);
    EXPECT_EQ(joyGetPosEx(JOYSTICKID1, nullptr), JOYERR_PARMS);
    info.dwSize = sizeof(JOYINFOEX);
    EXPECT_NE(joyGetPosEx(5, &info), JOYERR_NOERROR);
}

}  // namespace
