// The seam between the Linux window system core (window_system.cpp) and the
// display that shows its dialogs. Exactly one backend is linked into a
// program: gtk/display_gtk.cpp for the real window, headless/display_headless.cpp
// for tests. The core owns every piece of window state (texts, focus, timers,
// the message queue); a backend only mirrors it on screen and reports the
// user's input by posting messages (shell::PostInputMessage), never by calling
// window procedures or dialog handlers itself.
#pragma once

#include "win32_api.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace shell {

enum class ControlKind { Button, Edit, Static };

// A control of a dialog as the template describes it; coordinates in dialog units.
struct ControlInfo {
    HWND handle = nullptr;
    ControlKind kind = ControlKind::Static;
    int id = 0;
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string text;  // UTF-8
};

struct DialogInfo {
    HWND handle = nullptr;
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    std::string caption;               // UTF-8
    int fontPointSize = 0;
    std::string fontFace;              // UTF-8
    std::vector<ControlInfo> controls;  // in template (tab) order
};

class DisplayBackend {
public:
    virtual ~DisplayBackend() = default;

    // Builds the on-screen window of a dialog and its controls, not yet shown.
    // Returns false with a one-sentence reason in `error` when it cannot (no
    // display); the core then fails the dialog creation.
    virtual bool CreateDialogWindow(const DialogInfo& dialog, std::string& error) = 0;
    // Makes a created dialog visible; called once its WM_INITDIALOG has run.
    virtual void ShowDialogWindow(HWND dialog) = 0;
    // Removes the dialog's window and its controls from the screen.
    virtual void DestroyDialogWindow(HWND dialog) = 0;
    // Mirrors a control's or a dialog's new text (UTF-8).
    virtual void TextChanged(HWND window, const std::string& text) = 0;
    // Mirrors the keyboard focus, which the core has already moved (null: none).
    virtual void FocusChanged(HWND window) = 0;
    // The size of a control's or a dialog's client area in the pixels its
    // mouse messages are given in; false when the backend has none for it.
    virtual bool ClientSize(HWND window, int& width, int& height) = 0;

    // Milliseconds on the backend's monotonic clock: real time for the GTK
    // backend, virtual time for the headless one.
    virtual std::uint64_t NowMs() = 0;
    // Lets the display report what has happened, without waiting.
    virtual void Poll() = 0;
    // Waits until the display has posted at least one message or, when a
    // deadline is given, until the clock has reached it. Without a deadline a
    // backend that can never report anything again must not wait forever:
    // it says so on stderr and ends the process with exit code 1.
    virtual void Wait(std::optional<std::uint64_t> deadlineMs) = 0;

    // Shows a modal message box and returns the id of the button that closed
    // it (IDOK). Texts are UTF-8.
    virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption,
                           UINT type) = 0;
};

// The backend linked into this program.
DisplayBackend& TheDisplayBackend();

// Queues an input message for a window of the core, as the window system does
// for mouse and keyboard input; the message loop delivers it. Backends report
// every user action through this call.
void PostInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace shell
