// The core of the Linux window system: the thread's message queue, the table
// of windows, the keyboard focus, timers, the dialog manager (a dialog built
// from its template bytes) and the window procedures of the three control
// classes a dialog of keyconfig uses. Its rules are those of user32, so the
// dialog framework and keyconfig run on it as they run on Windows; the display
// backend (display_backend.h) only shows the windows and reports input.
#include "window_system.h"

#include "display_backend.h"
#include "layer_internal.h"

#include <algorithm>
#include <deque>
#include <new>
#include <optional>
#include <string>
#include <unistd.h>
#include <sys/syscall.h>
#include <unordered_map>
#include <vector>

namespace shell {
namespace {

enum class WindowClass { Dialog, Button, Edit, Static };

struct Window {
    HWND handle = nullptr;
    WindowClass cls = WindowClass::Static;
    HWND parent = nullptr;
    int id = 0;
    DWORD style = 0;
    std::string text;
    std::vector<HWND> children;  // dialogs only, in template order
    // The per-dialog values of the dialog manager (DWLP_*).
    LONG_PTR msgResult = 0;
    LONG_PTR dlgProc = 0;
    LONG_PTR user = 0;
    bool buttonPressed = false;  // a push button between press and release
    bool destroying = false;
};

struct Timer {
    HWND window = nullptr;
    UINT_PTR id = 0;
    std::uint64_t periodMs = 0;
    std::uint64_t dueMs = 0;
};

HWND HandleFromNumber(std::uintptr_t n) { return reinterpret_cast<HWND>(n); }
std::uintptr_t NumberFromHandle(HWND h) { return reinterpret_cast<std::uintptr_t>(h); }

// All state of the window system of the one UI thread.
class WindowSystem {
public:
    Window* Find(HWND h) {
        auto it = m_windows.find(NumberFromHandle(h));
        return it == m_windows.end() ? nullptr : &it->second;
    }

    Window& Add(WindowClass cls) {
        HWND h = HandleFromNumber(m_nextHandle++);
        Window& w = m_windows[NumberFromHandle(h)];
        w.handle = h;
        w.cls = cls;
        return w;
    }

    void Remove(HWND h) { m_windows.erase(NumberFromHandle(h)); }

    void Reset() {
        m_windows.clear();
        m_queue.clear();
        m_timers.clear();
        m_focus = nullptr;
        m_quitPosted = false;
        m_quitCode = 0;
        // Handles are never reused, not even across a reset, so that a test
        // cannot reach a new window through an old handle.
    }

    std::unordered_map<std::uintptr_t, Window> m_windows;
    std::uintptr_t m_nextHandle = 0x10;
    std::deque<MSG> m_queue;
    std::vector<Timer> m_timers;
    HWND m_focus = nullptr;
    bool m_quitPosted = false;
    int m_quitCode = 0;
};

WindowSystem& Ws() {
    static WindowSystem ws;
    return ws;
}

HWND TopLevelOf(HWND h) {
    Window* w = Ws().Find(h);
    while (w != nullptr && w->parent != nullptr) {
        Window* p = Ws().Find(w->parent);
        if (p == nullptr) break;
        w = p;
    }
    return w == nullptr ? nullptr : w->handle;
}

LRESULT Notify(HWND control, WORD code) {
    Window* w = Ws().Find(control);
    if (w == nullptr || w->parent == nullptr) return 0;
    return SendMessageA(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code),
                        reinterpret_cast<LPARAM>(control));
}

// Whether a mouse release at `lp` (client coordinates, signed) lies on the
// window; a window the display has no size for counts as hit.
bool ReleasedOver(HWND h, LPARAM lp) {
    int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
    int width = 0, height = 0;
    if (!TheDisplayBackend().ClientSize(h, width, height)) return true;
    return x >= 0 && y >= 0 && x < width && y < height;
}

LRESULT ButtonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = Ws().Find(h);
    switch (msg) {
        case WM_LBUTTONDOWN:
            SetFocus(h);
            if ((w = Ws().Find(h)) != nullptr) w->buttonPressed = true;
            return 0;
        case WM_LBUTTONUP:
        case WM_KEYUP:
            if (msg == WM_KEYUP && wp != VK_SPACE) return 0;
            if (w != nullptr && w->buttonPressed) {
                w->buttonPressed = false;
                // A press dragged off the button and released there is no
                // click: that is how a player takes back a press.
                if (msg == WM_LBUTTONUP && !ReleasedOver(h, lp)) return 0;
                Notify(h, BN_CLICKED);
            }
            return 0;
        case WM_KEYDOWN:
            // A push button clicks on Space, its own key; Enter and Esc are the
            // dialog manager's, which this program does not use.
            if (wp == VK_SPACE && w != nullptr) w->buttonPressed = true;
            return 0;
        case WM_KILLFOCUS:
            if (w != nullptr) w->buttonPressed = false;
            return 0;
        default:
            return DefWindowProcA(h, msg, wp, lp);
    }
}

LRESULT EditProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_LBUTTONDOWN:
            SetFocus(h);
            return 0;
        case WM_SETFOCUS:
            Notify(h, EN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            Notify(h, EN_KILLFOCUS);
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
            // Read-only boxes: typing changes nothing.
            return 0;
        default:
            return DefWindowProcA(h, msg, wp, lp);
    }
}

bool ReturnsDialogProcResult(UINT msg) {
    // The messages whose dialog-procedure return value is their result, not a
    // handled flag (only WM_INITDIALOG among those this layer sends).
    return msg == WM_INITDIALOG;
}

LRESULT DialogWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = Ws().Find(h);
    if (w == nullptr) return 0;
    auto proc = reinterpret_cast<DLGPROC>(w->dlgProc);
    INT_PTR handled = proc != nullptr ? proc(h, msg, wp, lp) : FALSE;
    if (handled != FALSE) {
        if (ReturnsDialogProcResult(msg)) return handled;
        w = Ws().Find(h);
        return w != nullptr ? w->msgResult : 0;
    }
    // Default dialog processing.
    switch (msg) {
        case WM_CLOSE: {
            // A dialog's close means Cancel, when it has an enabled Cancel.
            HWND cancel = GetDlgItem(h, IDCANCEL);
            if (cancel != nullptr)
                SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
            return 0;
        }
        default:
            return DefWindowProcA(h, msg, wp, lp);
    }
}

LRESULT CallWindowProcOf(Window& w, UINT msg, WPARAM wp, LPARAM lp) {
    HWND h = w.handle;
    switch (w.cls) {
        case WindowClass::Dialog:
            return DialogWindowProc(h, msg, wp, lp);
        case WindowClass::Button:
            return ButtonProc(h, msg, wp, lp);
        case WindowClass::Edit:
            return EditProc(h, msg, wp, lp);
        case WindowClass::Static:
            return DefWindowProcA(h, msg, wp, lp);
    }
    return 0;
}

// --- the dialog template ----------------------------------------------------

class TemplateReader {
public:
    TemplateReader(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
    bool ok() const { return m_ok; }
    std::size_t pos() const { return m_pos; }
    WORD Word() {
        if (m_pos + 2 > m_bytes.size()) {
            m_ok = false;
            return 0;
        }
        WORD v = static_cast<WORD>(m_bytes[m_pos] | (m_bytes[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    DWORD Dword() {
        DWORD lo = Word();
        return lo | (static_cast<DWORD>(Word()) << 16);
    }
    int Short() { return static_cast<std::int16_t>(Word()); }
    void AlignDword() { m_pos = (m_pos + 3) & ~static_cast<std::size_t>(3); }
    std::string Text() {
        std::size_t start = m_pos;
        std::size_t units = 0;
        while (m_ok && Word() != 0) ++units;
        return m_ok ? Utf16LeToUtf8(m_bytes.data() + start, units) : std::string();
    }
    // A name-or-ordinal field: 0xFFFF then an ordinal, or a text.
    bool OrdinalOrText(WORD& ordinal, std::string& text) {
        std::size_t save = m_pos;
        WORD first = Word();
        if (first == 0xFFFF) {
            ordinal = Word();
            return true;
        }
        m_pos = save;
        text = Text();
        return false;
    }

private:
    const std::vector<std::uint8_t>& m_bytes;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

bool ParseTemplate(const std::vector<std::uint8_t>& bytes, DialogInfo& dlg) {
    TemplateReader r(bytes);
    dlg.style = r.Dword();
    if (HIWORD(dlg.style) == 0xFFFF) return false;  // the extended layout: not used here
    r.Dword();                                        // extended style
    WORD count = r.Word();
    dlg.x = r.Short();
    dlg.y = r.Short();
    dlg.cx = r.Short();
    dlg.cy = r.Short();
    WORD ord = 0;
    std::string name;
    r.OrdinalOrText(ord, name);  // menu
    r.OrdinalOrText(ord, name);  // class
    dlg.caption = r.Text();
    if ((dlg.style & DS_SETFONT) != 0) {
        dlg.fontPointSize = r.Word();
        dlg.fontFace = r.Text();
    }
    for (WORD i = 0; i < count && r.ok(); ++i) {
        r.AlignDword();
        ControlInfo c;
        c.style = r.Dword();
        r.Dword();  // extended style
        c.x = r.Short();
        c.y = r.Short();
        c.cx = r.Short();
        c.cy = r.Short();
        c.id = static_cast<std::int16_t>(r.Word());
        WORD cls = 0;
        std::string className;
        if (!r.OrdinalOrText(cls, className)) {
            for (char& ch : className) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
            cls = className == "BUTTON" ? 0x80 : className == "EDIT" ? 0x81 : className == "STATIC" ? 0x82 : 0;
        }
        switch (cls) {
            case 0x80: c.kind = ControlKind::Button; break;
            case 0x81: c.kind = ControlKind::Edit; break;
            case 0x82: c.kind = ControlKind::Static; break;
            default: return false;  // no other class exists in this window system
        }
        WORD textOrd = 0;
        r.OrdinalOrText(textOrd, c.text);
        WORD extra = r.Word();
        for (WORD k = 0; k < extra; k += 2) r.Word();
        dlg.controls.push_back(std::move(c));
    }
    return r.ok();
}

}  // namespace

void PostInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PostMessageA(window, message, wParam, lParam);
}

void ResetWindowSystem() { Ws().Reset(); }

std::string WindowText(HWND window) {
    Window* w = Ws().Find(window);
    return w == nullptr ? std::string() : w->text;
}

}  // namespace shell

using shell::Ws;

DWORD GetCurrentThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    // Only the program's own image exists; its handle is a fixed token.
    return moduleName == nullptr ? reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x400000)) : nullptr;
}

HWND CreateDialogParamA(HINSTANCE /*instance*/, LPCSTR templateName, HWND owner, DLGPROC dialogProc,
                        LPARAM initParam) {
    using namespace shell;
    try {
        std::vector<std::uint8_t> bytes;
        if (!IS_INTRESOURCE(templateName) ||
            !FindDialogResource(static_cast<WORD>(reinterpret_cast<std::uintptr_t>(templateName)), bytes)) {
            SetLastErrorWithText(ERROR_KC_TEMPLATE_MISSING, "the program has no such dialog template");
            return nullptr;
        }
        DialogInfo info;
        if (!ParseTemplate(bytes, info)) {
            SetLastErrorWithText(ERROR_KC_TEMPLATE_MISSING, "the dialog template is malformed");
            return nullptr;
        }
        Window& dlg = Ws().Add(WindowClass::Dialog);
        HWND hDlg = dlg.handle;
        dlg.parent = nullptr;  // an owner is not a parent; this layer keeps no owners
        (void)owner;
        dlg.style = info.style;
        dlg.text = info.caption;
        dlg.dlgProc = reinterpret_cast<LONG_PTR>(dialogProc);
        info.handle = hDlg;
        for (ControlInfo& c : info.controls) {
            Window& cw = Ws().Add(c.kind == ControlKind::Button ? WindowClass::Button
                                  : c.kind == ControlKind::Edit ? WindowClass::Edit
                                                                : WindowClass::Static);
            cw.parent = hDlg;
            cw.id = c.id;
            cw.style = c.style;
            cw.text = c.text;
            c.handle = cw.handle;
            Ws().Find(hDlg)->children.push_back(cw.handle);
        }
        std::string error;
        if (!TheDisplayBackend().CreateDialogWindow(info, error)) {
            for (const ControlInfo& c : info.controls) Ws().Remove(c.handle);
            Ws().Remove(hDlg);
            SetLastErrorWithText(ERROR_KC_DISPLAY_UNAVAILABLE, error);
            return nullptr;
        }
        // As user32 does: the font first (DS_SETFONT), then the initialisation,
        // whose TRUE asks the dialog manager to focus the first tab stop.
        SendMessageA(hDlg, WM_SETFONT, 0, 0);
        HWND firstTab = nullptr;
        for (const ControlInfo& c : info.controls)
            if ((c.style & WS_TABSTOP) != 0 && firstTab == nullptr) firstTab = c.handle;
        if (!IsWindow(hDlg)) return nullptr;
        LRESULT focusDefault = SendMessageA(hDlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTab), initParam);
        if (!IsWindow(hDlg)) return nullptr;
        if (focusDefault != 0 && firstTab != nullptr) SetFocus(firstTab);
        if ((info.style & WS_VISIBLE) != 0) TheDisplayBackend().ShowDialogWindow(hDlg);
        return hDlg;
    } catch (const std::bad_alloc&) {
        shell::SetLastErrorWithText(shell::ERROR_KC_NOT_ENOUGH_MEMORY, "not enough memory for the window");
        return nullptr;
    }
}

HWND GetDlgItem(HWND dialog, int controlId) {
    shell::Window* d = Ws().Find(dialog);
    if (d == nullptr) return nullptr;
    for (HWND c : d->children) {
        shell::Window* w = Ws().Find(c);
        if (w != nullptr && w->id == controlId) return c;
    }
    return nullptr;
}

HWND GetParent(HWND window) {
    shell::Window* w = Ws().Find(window);
    return w == nullptr ? nullptr : w->parent;
}

BOOL IsWindow(HWND window) { return Ws().Find(window) != nullptr && !Ws().Find(window)->destroying; }

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

HWND GetFocus() { return Ws().m_focus; }

HWND SetFocus(HWND window) {
    auto& ws = Ws();
    HWND old = ws.m_focus;
    if (window != nullptr && !IsWindow(window)) return nullptr;
    if (window == old) return old;  // focusing the focused window sends nothing
    // The old window loses the focus before the new one gains it.
    if (old != nullptr && IsWindow(old)) SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (window != nullptr && !IsWindow(window)) return nullptr;
    ws.m_focus = window;
    shell::TheDisplayBackend().FocusChanged(window);
    if (window != nullptr) SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapseMs, TIMERPROC timerProc) {
    if (timerProc != nullptr || (window != nullptr && !IsWindow(window)) || window == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;  // callback timers and thread timers are not used by this program
    }
    auto& ws = Ws();
    // user32 raises periods below 10 ms to 10 ms (USER_TIMER_MINIMUM).
    std::uint64_t period = std::max<UINT>(elapseMs, 10);
    std::uint64_t due = shell::TheDisplayBackend().NowMs() + period;
    for (shell::Timer& t : ws.m_timers) {
        if (t.window == window && t.id == timerId) {
            t.periodMs = period;
            t.dueMs = due;
            return timerId == 0 ? 1 : timerId;
        }
    }
    try {
        ws.m_timers.push_back({window, timerId, period, due});
    } catch (...) {
        return 0;
    }
    // Win32 returns a nonzero value for a window timer, the id itself when nonzero.
    return timerId == 0 ? 1 : timerId;
}

BOOL DestroyWindow(HWND window) {
    auto& ws = Ws();
    shell::Window* w = ws.Find(window);
    if (w == nullptr || w->destroying) return FALSE;
    std::vector<HWND> all{window};
    all.insert(all.end(), w->children.begin(), w->children.end());
    // A destroyed window takes its timers and the focus with it.
    auto& timers = ws.m_timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const shell::Timer& t) {
                                    return std::find(all.begin(), all.end(), t.window) != all.end();
                                }),
                 timers.end());
    if (std::find(all.begin(), all.end(), ws.m_focus) != all.end()) {
        HWND focused = ws.m_focus;
        SendMessageA(focused, WM_KILLFOCUS, 0, 0);
        ws.m_focus = nullptr;
    }
    // WM_DESTROY goes to the window first, then to its children; WM_NCDESTROY
    // to the children first, the window last, all before this call returns.
    SendMessageA(window, WM_DESTROY, 0, 0);
    for (std::size_t i = 1; i < all.size(); ++i) SendMessageA(all[i], WM_DESTROY, 0, 0);
    for (HWND h : all)
        if (shell::Window* x = ws.Find(h)) x->destroying = true;
    for (std::size_t i = all.size(); i-- > 1;) {
        shell::Window* x = ws.Find(all[i]);
        if (x != nullptr) shell::CallWindowProcOf(*x, WM_NCDESTROY, 0, 0);
    }
    if (shell::Window* x = ws.Find(window)) shell::CallWindowProcOf(*x, WM_NCDESTROY, 0, 0);
    if (shell::Window* x = ws.Find(window); x != nullptr && x->cls == shell::WindowClass::Dialog)
        shell::TheDisplayBackend().DestroyDialogWindow(window);
    for (HWND h : all) ws.Remove(h);
    return TRUE;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    shell::Window* w = Ws().Find(window);
    if (w == nullptr || w->cls != shell::WindowClass::Dialog) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    LONG_PTR* slot = index == DWLP_MSGRESULT ? &w->msgResult
                     : index == DWLP_DLGPROC ? &w->dlgProc
                     : index == DWLP_USER    ? &w->user
                                             : nullptr;
    if (slot == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    LONG_PTR old = *slot;
    *slot = value;
    return old;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    shell::Window* w = Ws().Find(window);
    if (w == nullptr || w->cls != shell::WindowClass::Dialog) return 0;
    return index == DWLP_MSGRESULT ? w->msgResult
           : index == DWLP_DLGPROC ? w->dlgProc
           : index == DWLP_USER    ? w->user
                                   : 0;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    shell::Window* w = Ws().Find(window);
    if (w == nullptr) return 0;
    return shell::CallWindowProcOf(*w, message, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr && !IsWindow(window)) return FALSE;
    try {
        MSG m;
        m.hwnd = window;
        m.message = message;
        m.wParam = wParam;
        m.lParam = lParam;
        m.time = static_cast<DWORD>(shell::TheDisplayBackend().NowMs());
        Ws().m_queue.push_back(m);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    shell::Window* w = Ws().Find(window);
    if (w == nullptr) return 0;
    switch (message) {
        case WM_SETTEXT: {
            const char* text = reinterpret_cast<const char*>(lParam);
            try {
                w->text = text == nullptr ? "" : text;
            } catch (...) {
                return FALSE;
            }
            shell::TheDisplayBackend().TextChanged(window, w->text);
            return TRUE;
        }
        case WM_GETTEXT: {
            char* buffer = reinterpret_cast<char*>(lParam);
            if (buffer == nullptr || wParam == 0) return 0;
            std::size_t n = std::min<std::size_t>(w->text.size(), wParam - 1);
            std::copy_n(w->text.data(), n, buffer);
            buffer[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->text.size());
        case WM_SYSKEYDOWN:
            // Alt+F4 closes the top-level window, whichever of its windows has the focus.
            if (wParam == VK_F4 && (lParam & (1 << 29)) != 0)
                PostMessageA(shell::TopLevelOf(window), WM_SYSCOMMAND, SC_CLOSE, 0);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
            return 0;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        default:
            return 0;
    }
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    try {
        return shell::TheDisplayBackend().MessageBox(owner, shell::WideToUtf8(text), shell::WideToUtf8(caption), type);
    } catch (...) {
        return 0;
    }
}

void PostQuitMessage(int exitCode) {
    Ws().m_quitPosted = true;
    Ws().m_quitCode = exitCode;
}

namespace {

bool Matches(const MSG& m, HWND window, UINT lo, UINT hi) {
    if (window != nullptr && m.hwnd != window) return false;
    if (lo == 0 && hi == 0) return true;
    return m.message >= lo && m.message <= hi;
}

// Takes the next message in user32's order: posted (and input) messages, the
// quit message once nothing is posted, then a timer that is due. A timer
// yields at most one WM_TIMER per retrieval and is then due a period later, so
// timer messages never pile up behind a busy or blocked loop.
bool TakeMessage(MSG& out, HWND window, UINT lo, UINT hi, bool remove) {
    auto& ws = Ws();
    for (auto it = ws.m_queue.begin(); it != ws.m_queue.end(); ++it) {
        if (Matches(*it, window, lo, hi)) {
            out = *it;
            if (remove) ws.m_queue.erase(it);
            return true;
        }
    }
    if (ws.m_quitPosted && window == nullptr) {
        out = MSG{};
        out.message = WM_QUIT;
        out.wParam = static_cast<WPARAM>(ws.m_quitCode);
        if (remove) ws.m_quitPosted = false;
        return true;
    }
    std::uint64_t now = shell::TheDisplayBackend().NowMs();
    shell::Timer* due = nullptr;
    for (shell::Timer& t : ws.m_timers)
        if (t.dueMs <= now && (window == nullptr || t.window == window) && (due == nullptr || t.dueMs < due->dueMs))
            due = &t;
    if (due != nullptr) {
        MSG m;
        m.hwnd = due->window;
        m.message = WM_TIMER;
        m.wParam = due->id;
        m.time = static_cast<DWORD>(now);
        if (Matches(m, window, lo, hi)) {
            out = m;
            if (remove) due->dueMs = now + due->periodMs;
            return true;
        }
    }
    return false;
}

std::optional<std::uint64_t> NextTimerDue() {
    std::optional<std::uint64_t> next;
    for (const shell::Timer& t : Ws().m_timers)
        if (!next || t.dueMs < *next) next = t.dueMs;
    return next;
}

}  // namespace

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (msg == nullptr || (window != nullptr && !IsWindow(window))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    auto& backend = shell::TheDisplayBackend();
    for (;;) {
        backend.Poll();
        if (TakeMessage(*msg, window, filterMin, filterMax, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
        backend.Wait(NextTimerDue());
    }
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (msg == nullptr) return FALSE;
    shell::TheDisplayBackend().Poll();
    return TakeMessage(*msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
    if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
    // The characters of the keys this layer's backends report, without regard
    // to Shift: enough for a read-only box to see (and ignore) typing.
    WPARAM vk = msg->wParam;
    WPARAM ch = 0;
    if (vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_SPACE || (vk >= '0' && vk <= '9'))
        ch = vk;
    else if (vk >= 'A' && vk <= 'Z')
        ch = vk - 'A' + 'a';
    if (ch == 0) return FALSE;
    PostMessageA(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, ch, msg->lParam);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr) return 0;
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}
