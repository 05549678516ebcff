// The headless display: the Linux window system without a screen, for tests.
// Its clock is virtual. Input calls only queue messages, as a real display
// would; they take effect when the test pumps the message loop (Pump, or a
// loop of the program's own), in the order user32 delivers them.
#pragma once

#include "win32_api.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace shell::headless {

struct MessageBoxRecord {
    HWND owner = nullptr;
    std::string text;     // UTF-8
    std::string caption;  // UTF-8
    UINT type = 0;
};

// Forgets every window, message, timer, scheduled action and record, and sets
// the clock back to 0.
void Reset();

// A left mouse click on a window: button down, then up.
void Click(HWND window);
// The left button pressed on a window, then moved off it and released there.
void PressAndDragOff(HWND window);
// A key pressed and released while `window` (by default the focused window)
// has the focus. With alt, as the window system reports Alt+key.
void PressKey(UINT virtualKey, bool alt = false);
// What the close box of the dialog's caption does.
void RequestClose(HWND dialog);

// The virtual clock, in milliseconds.
std::uint64_t Now();
// Moves the clock forward; timers that come due fire at the next pump.
void AdvanceTime(std::uint64_t ms);
// Runs `action` when the clock reaches `atMs`; a message loop that waits with
// nothing to do moves the clock on to the next scheduled action. Actions are
// how a test drives the program's own message loop.
void At(std::uint64_t atMs, std::function<void()> action);

// Dispatches every message that is due now, translating keys as the
// program's loop does. Does not move the clock.
void Pump();

// Makes the next dialog creation fail as it does without a display.
void FailNextDialogCreation(std::string reason);

// Whether the dialog has been shown, and the message boxes shown so far
// (each answered with OK at once).
bool IsShown(HWND dialog);
const std::vector<MessageBoxRecord>& MessageBoxes();

}  // namespace shell::headless
