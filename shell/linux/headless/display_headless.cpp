// The headless display backend: keeps what a screen would show (which dialogs
// are visible, the message boxes) and a virtual clock, and turns the test's
// input calls into the messages a real display would post.
#include "headless.h"

#include "display_backend.h"
#include "layer_internal.h"
#include "window_system.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

namespace shell {
namespace {

class HeadlessDisplay : public DisplayBackend {
public:
    bool CreateDialogWindow(const DialogInfo& dialog, std::string& error) override {
        if (m_failNext) {
            m_failNext = false;
            error = m_failReason;
            return false;
        }
        m_created.insert(dialog.handle);
        // One pixel a dialog unit: a click's coordinates are template units.
        m_sizes[dialog.handle] = {dialog.cx, dialog.cy};
        for (const ControlInfo& c : dialog.controls) m_sizes[c.handle] = {c.cx, c.cy};
        return true;
    }
    void ShowDialogWindow(HWND dialog) override { m_shown.insert(dialog); }
    void DestroyDialogWindow(HWND dialog) override {
        m_created.erase(dialog);
        m_shown.erase(dialog);
    }
    void TextChanged(HWND, const std::string&) override {}
    void FocusChanged(HWND) override {}
    bool ClientSize(HWND window, int& width, int& height) override {
        auto it = m_sizes.find(window);
        if (it == m_sizes.end()) return false;
        width = it->second.first;
        height = it->second.second;
        return true;
    }

    std::uint64_t NowMs() override { return m_now; }

    void Poll() override { RunActionsDueBy(m_now); }

    void Wait(std::optional<std::uint64_t> deadlineMs) override {
        if (!m_actions.empty() && (!deadlineMs || m_actions.begin()->first <= *deadlineMs)) {
            m_now = std::max(m_now, m_actions.begin()->first);
            RunActionsDueBy(m_now);
            return;
        }
        if (deadlineMs) {
            m_now = std::max(m_now, *deadlineMs);
            return;
        }
        // Nothing can ever be posted again: a real display would wait for the
        // user forever, a test must not.
        ReportToStderr("headless display: the message loop waits for input that no test provides");
        std::_Exit(1);
    }

    int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
        m_messageBoxes.push_back({owner, text, caption, type});
        return IDOK;
    }

    void RunActionsDueBy(std::uint64_t t) {
        while (!m_actions.empty() && m_actions.begin()->first <= t) {
            auto node = m_actions.extract(m_actions.begin());
            node.mapped()();
        }
    }

    void Reset() {
        m_now = 0;
        m_actions.clear();
        m_created.clear();
        m_shown.clear();
        m_messageBoxes.clear();
        m_sizes.clear();
        m_failNext = false;
    }

    std::uint64_t m_now = 0;
    std::multimap<std::uint64_t, std::function<void()>> m_actions;
    std::set<HWND> m_created;
    std::set<HWND> m_shown;
    std::map<HWND, std::pair<int, int>> m_sizes;
    std::vector<headless::MessageBoxRecord> m_messageBoxes;
    bool m_failNext = false;
    std::string m_failReason;
};

HeadlessDisplay& Display() {
    static HeadlessDisplay display;
    return display;
}

}  // namespace

DisplayBackend& TheDisplayBackend() { return Display(); }

namespace headless {

void Reset() {
    ResetWindowSystem();
    Display().Reset();
}

// The wParam of a button-down: the left button held (MK_LBUTTON).
constexpr WPARAM kLeftButtonHeld = 0x0001;

void Click(HWND window) {
    PostInputMessage(window, WM_LBUTTONDOWN, kLeftButtonHeld, 0);
    PostInputMessage(window, WM_LBUTTONUP, 0, 0);
}

void PressAndDragOff(HWND window) {
    PostInputMessage(window, WM_LBUTTONDOWN, kLeftButtonHeld, 0);
    // Released left of and above the window, as the window system reports a
    // release after the press it captured.
    PostInputMessage(window, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(-5), static_cast<WORD>(-5)));
}

void PressKey(UINT virtualKey, bool alt) {
    HWND target = GetFocus();
    constexpr LPARAM kAltDown = 1 << 29;
    PostInputMessage(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey, alt ? kAltDown : 0);
    PostInputMessage(target, alt ? WM_SYSKEYUP : WM_KEYUP, virtualKey, alt ? kAltDown : 0);
}

void RequestClose(HWND dialog) { PostInputMessage(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

std::uint64_t Now() { return Display().m_now; }

void AdvanceTime(std::uint64_t ms) { Display().m_now += ms; }

void At(std::uint64_t atMs, std::function<void()> action) { Display().m_actions.emplace(atMs, std::move(action)); }

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave the quit for the loop that owns it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void FailNextDialogCreation(std::string reason) {
    Display().m_failNext = true;
    Display().m_failReason = std::move(reason);
}

bool IsShown(HWND dialog) { return Display().m_shown.count(dialog) != 0; }

const std::vector<MessageBoxRecord>& MessageBoxes() { return Display().m_messageBoxes; }

}  // namespace headless
}  // namespace shell
