// The capture step on the headless display with a scripted joystick: each
// scenario is what a player does with the pad and the mouse, tick by tick.
#include "app_fixture.h"

#include "headless/headless.h"
#include "joystick/scripted_joystick.h"
#include "window_system.h"

#include <array>
#include <ostream>
#include <cstring>
#include <string>
#include <vector>

namespace {

namespace pad = shell::scripted_joystick;

// One thing that happens before a tick.
struct Step {
    enum Kind { Buttons, Unplugged, ClickSlot, FocusControl, NoFocus, Axes } kind;
    DWORD value = 0;
};
Step Pad(DWORD mask) { return {Step::Buttons, mask}; }
Step Unplug() { return {Step::Unplugged, 0}; }
Step Click(int slot) { return {Step::ClickSlot, static_cast<DWORD>(slot)}; }
Step FocusOn(int controlId) { return {Step::FocusControl, static_cast<DWORD>(controlId)}; }
Step FocusNowhere() { return {Step::NoFocus, 0}; }
Step MoveAxes(DWORD x) { return {Step::Axes, x}; }
constexpr DWORD Bit(int n) { return DWORD{1} << n; }

constexpr int kFocusNone = -1;
constexpr int kFocusOther = -2;

struct Scenario {
    const char* name;
    std::vector<Step> steps;
    std::array<const char*, 4> labels;
    int focus;  // the slot whose box has the focus at the end, or kFocusNone / kFocusOther
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class Capture : public testutil::AppTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(Capture, Scenario) {
    const Scenario& s = GetParam();
    CMainForm form;
    HWND dialog = form.Create(nullptr);
    ASSERT_NE(dialog, nullptr);
    for (const Step& step : s.steps) {
        switch (step.kind) {
            case Step::Buttons:
                pad::SetConnected(true);
                pad::SetButtons(step.value);
                break;
            case Step::Unplugged:
                pad::SetConnected(false);
                break;
            case Step::ClickSlot:
                shell::headless::Click(form.m_slotEdits[step.value]);
                shell::headless::Pump();
                continue;  // a click is not a tick
            case Step::FocusControl:
                SetFocus(GetDlgItem(dialog, static_cast<int>(step.value)));
                continue;
            case Step::NoFocus:
                SetFocus(nullptr);
                continue;
            case Step::Axes:
                pad::SetAxes(step.value, 65535 - step.value);
                pad::SetPov(9000);
                break;
        }
        shell::headless::AdvanceTime(kCapturePeriodMs);
        shell::headless::Pump();
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(shell::WindowText(form.m_slotEdits[slot]), s.labels[slot]) << "slot " << slot;
        char label[64];
        FormatButtonLabel(form.m_slotButtons[slot], label);
        EXPECT_EQ(shell::WindowText(form.m_slotEdits[slot]), label) << "box and binding agree";
    }
    HWND focus = GetFocus();
    int focusSlot = focus == nullptr ? kFocusNone : kFocusOther;
    for (int slot = 0; slot < kSlotCount; ++slot)
        if (focus == form.m_slotEdits[slot]) focusSlot = slot;
    EXPECT_EQ(focusSlot, s.focus);
}

const std::array<const char*, 4> kDefaults = {"Pad1", "Pad2", "Pad4", "Pad5"};

INSTANTIATE_TEST_SUITE_P(
    Pad, Capture,
    ::testing::Values(
        Scenario{"HeldAtStartNeverBinds", {Pad(Bit(2)), Pad(Bit(2)), Pad(0)}, kDefaults, 0},
        Scenario{"HeldAtStartBindsWhenPressedAgain", {Pad(Bit(2)), Pad(0), Pad(Bit(2))}, {"Pad3", "Pad2", "Pad4", "Pad5"}, 1},
        Scenario{"PressBindsTheFocusedSlotAndMovesOn", {Pad(0), Pad(Bit(5))}, {"Pad6", "Pad2", "Pad4", "Pad5"}, 1},
        Scenario{"ClickedSlotBinds", {Click(2), Pad(0), Pad(Bit(8))}, {"Pad1", "Pad2", "Pad9", "Pad5"}, 3},
        Scenario{"LastSlotWrapsToTheFirst", {Click(3), Pad(0), Pad(Bit(7))}, {"Pad1", "Pad2", "Pad4", "Pad8"}, 0},
        Scenario{"FourPressesFillFourSlots",
                 {Pad(0), Pad(Bit(4)), Pad(0), Pad(Bit(5)), Pad(0), Pad(Bit(6)), Pad(0), Pad(Bit(7))},
                 {"Pad5", "Pad6", "Pad7", "Pad8"}, 0},
        Scenario{"TwoAtOnceTheLowestWinsTheOtherWaitsForANewPress",
                 {Pad(0), Pad(Bit(2) | Bit(6)), Pad(Bit(2) | Bit(6)), Pad(Bit(2)), Pad(Bit(2) | Bit(6))},
                 {"Pad3", "Pad7", "Pad4", "Pad5"}, 2},
        Scenario{"ButtonsAbove24AxesAndHatBindNothing",
                 {Pad(0), Pad(0xFF000000u), MoveAxes(0), MoveAxes(65535)}, kDefaults, 0},
        Scenario{"ReleasesDoNothing", {Pad(0), Pad(Bit(3)), Pad(0), Pad(0)}, {"Pad4", "Pad2", "Pad4", "Pad5"}, 1},
        Scenario{"FocusOnAPushButtonRecordsThePressButBindsNothing",
                 {FocusOn(IDCANCEL), Pad(0), Pad(Bit(2)), Click(1), Pad(Bit(2))}, kDefaults, 1},
        Scenario{"AfterThatThePressBindsOnceReleasedAndPressedAgain",
                 {FocusOn(IDOK), Pad(0), Pad(Bit(2)), Click(1), Pad(Bit(2)), Pad(0), Pad(Bit(2))},
                 {"Pad1", "Pad3", "Pad4", "Pad5"}, 2},
        Scenario{"FocusOnAButtonStaysThere", {FocusOn(IDOK), Pad(0), Pad(Bit(1))}, kDefaults, kFocusOther},
        Scenario{"NoFocusBindsNothing", {FocusNowhere(), Pad(0), Pad(Bit(1))}, kDefaults, kFocusNone},
        Scenario{"NoJoystickChangesNothing", {Unplug(), Unplug(), Unplug()}, kDefaults, 0},
        Scenario{"ConnectedLaterTheFirstReadIsTheBaseline", {Unplug(), Unplug(), Pad(Bit(1)), Pad(Bit(1))}, kDefaults, 0},
        Scenario{"ReconnectedAPressSinceTheLastReadBindsAtOnce",
                 {Pad(0), Unplug(), Unplug(), Pad(Bit(3))}, {"Pad4", "Pad2", "Pad4", "Pad5"}, 1},
        Scenario{"ReconnectedAButtonHeldThroughoutDoesNot",
                 {Pad(0), Pad(Bit(3)), Unplug(), Pad(Bit(3))}, {"Pad4", "Pad2", "Pad4", "Pad5"}, 1},
        Scenario{"TheSameButtonFourTimesFillsAllSlots",
                 {Pad(0), Pad(Bit(9)), Pad(0), Pad(Bit(9)), Pad(0), Pad(Bit(9)), Pad(0), Pad(Bit(9))},
                 {"Pad10", "Pad10", "Pad10", "Pad10"}, 0},
        Scenario{"Button24IsTheLastThatBinds", {Pad(0), Pad(Bit(23))}, {"Pad24", "Pad2", "Pad4", "Pad5"}, 1}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

class CaptureState : public testutil::AppTest {};

TEST_F(CaptureState, OnlySuccessfulReadsAreRecorded) {
    CMainForm form;
    HWND dialog = form.Create(nullptr);
    ASSERT_NE(dialog, nullptr);
    pad::SetConnected(false);
    SendMessageA(dialog, WM_TIMER, 0, 0);
    JOYINFOEX zero{};
    EXPECT_EQ(std::memcmp(&g_lastJoyState, &zero, sizeof zero), 0);
    pad::SetConnected(true);
    pad::SetButtons(Bit(4) | Bit(30));
    SendMessageA(dialog, WM_TIMER, 0, 0);
    EXPECT_EQ(g_lastJoyState.dwSize, sizeof(JOYINFOEX));
    EXPECT_EQ(g_lastJoyState.dwButtons, Bit(4) | Bit(30));
    pad::SetConnected(false);
    SendMessageA(dialog, WM_TIMER, 0, 0);
    EXPECT_EQ(g_lastJoyState.dwButtons, Bit(4) | Bit(30));
}

}  // namespace
