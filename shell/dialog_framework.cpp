#include "shell/dialog_framework.h"

#include <algorithm>
#include <new>
#include <utility>

namespace shell {
namespace {

// Objects waiting for their new window, by creating thread. A dialog's first
// message (WM_SETFONT, before WM_INITDIALOG) carries no pointer to the object,
// so the object is parked here for the duration of the creation call and the
// first message takes it. This list and its lock are the framework's only
// process-wide state.
class PendingCreations {
public:
    bool Add(DWORD threadId, CDialogImplBase* object) {
        std::lock_guard<std::mutex> guard(m_lock);
        try {
            m_entries.emplace_back(threadId, object);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
    // Takes the object that the thread is creating a window for, if any.
    CDialogImplBase* Take(DWORD threadId) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = std::find_if(m_entries.begin(), m_entries.end(),
                               [&](const auto& e) { return e.first == threadId; });
        if (it == m_entries.end()) return nullptr;
        CDialogImplBase* object = it->second;
        m_entries.erase(it);
        return object;
    }
    void Remove(CDialogImplBase* object) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                       [&](const auto& e) { return e.second == object; }),
                        m_entries.end());
    }

private:
    std::mutex m_lock;
    std::vector<std::pair<DWORD, CDialogImplBase*>> m_entries;
};

PendingCreations& Pending() {
    static PendingCreations pending;
    return pending;
}

}  // namespace

// --- CMessageLoop -------------------------------------------------------------

BOOL CMessageLoop::AddMessageFilter(CMessageFilter* filter) {
    try {
        m_filters.push_back(filter);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    return TRUE;
}

BOOL CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) {
    auto it = std::find(m_filters.begin(), m_filters.end(), filter);
    if (it == m_filters.end()) return FALSE;
    m_filters.erase(it);
    return TRUE;
}

BOOL CMessageLoop::AddIdleHandler(CIdleHandler* handler) {
    try {
        m_idleHandlers.push_back(handler);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    return TRUE;
}

BOOL CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) {
    auto it = std::find(m_idleHandlers.begin(), m_idleHandlers.end(), handler);
    if (it == m_idleHandlers.end()) return FALSE;
    m_idleHandlers.erase(it);
    return TRUE;
}

BOOL CMessageLoop::PreTranslateMessage(MSG* msg) {
    for (auto it = m_filters.rbegin(); it != m_filters.rend(); ++it)
        if (*it != nullptr && (*it)->PreTranslateMessage(msg)) return TRUE;
    return FALSE;
}

BOOL CMessageLoop::OnIdle(int /*idleCount*/) {
    for (CIdleHandler* handler : m_idleHandlers)
        if (handler != nullptr) handler->OnIdle();
    return FALSE;
}

int CMessageLoop::Run() {
    bool doIdle = true;
    int idleCount = 0;
    for (;;) {
        // The idle step gets one turn each time the queue runs empty.
        while (doIdle && !PeekMessageA(&m_msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) doIdle = false;
        }
        BOOL got = GetMessageA(&m_msg, nullptr, 0, 0);
        if (got == -1) continue;
        if (got == 0) break;
        if (!PreTranslateMessage(&m_msg)) {
            TranslateMessage(&m_msg);
            DispatchMessageA(&m_msg);
        }
        // Timer ticks are not input: they do not earn the idle step a new turn.
        if (m_msg.message != WM_TIMER) {
            doIdle = true;
            idleCount = 0;
        }
    }
    return static_cast<int>(m_msg.wParam);
}

// --- CAppModule ---------------------------------------------------------------

bool CAppModule::Init(HINSTANCE instance) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_instance = instance;
    if (m_loops == nullptr) m_loops = new (std::nothrow) std::map<DWORD, CMessageLoop*>();
    return m_loops != nullptr;
}

void CAppModule::Term() {
    std::lock_guard<std::mutex> guard(m_lock);
    delete m_loops;
    m_loops = nullptr;
}

BOOL CAppModule::AddMessageLoop(CMessageLoop* loop) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_loops == nullptr || loop == nullptr) return FALSE;
    try {
        return m_loops->emplace(GetCurrentThreadId(), loop).second ? TRUE : FALSE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}

BOOL CAppModule::RemoveMessageLoop() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_loops == nullptr) return FALSE;
    return m_loops->erase(GetCurrentThreadId()) != 0 ? TRUE : FALSE;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) const {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_loops == nullptr) return nullptr;
    auto it = m_loops->find(threadId);
    return it == m_loops->end() ? nullptr : it->second;
}

// --- CDialogImplBase -----------------------------------------------------------

CDialogImplBase::~CDialogImplBase() {
    // An object ended while its creation is still pending must not be found
    // by a later window.
    Pending().Remove(this);
}

HWND CDialogImplBase::CreateFromTemplate(WORD templateId, HWND owner, LPARAM initParam) {
    if (m_hWnd != nullptr) return nullptr;  // one window per object
    if (!Pending().Add(GetCurrentThreadId(), this)) return nullptr;
    HWND hWnd = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), owner,
                                   GetDialogProc(), initParam);
    // A creation that failed before the first message leaves the object pending.
    Pending().Remove(this);
    return hWnd;
}

INT_PTR CALLBACK CDialogImplBase::StartDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CDialogImplBase* self = Pending().Take(GetCurrentThreadId());
    if (self == nullptr) return FALSE;
    self->m_hWnd = hWnd;
    // From now on the window finds its object through its own dialog data,
    // and every message goes straight to DialogProc.
    SetWindowLongPtrA(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    SetWindowLongPtrA(hWnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&DialogProc));
    return DialogProc(hWnd, uMsg, wParam, lParam);
}

INT_PTR CALLBACK CDialogImplBase::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CDialogImplBase*>(GetWindowLongPtrA(hWnd, DWLP_USER));
    if (self == nullptr) return FALSE;

    CurrentMessage current;
    current.msg.hwnd = hWnd;
    current.msg.message = uMsg;
    current.msg.wParam = wParam;
    current.msg.lParam = lParam;
    current.previous = self->m_currentMsg;
    self->m_currentMsg = &current;

    LRESULT result = 0;
    BOOL handled = self->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, result, 0);
    self->m_currentMsg = current.previous;

    INT_PTR ret = FALSE;
    if (handled) {
        if (uMsg == WM_INITDIALOG) {
            // Its result is the dialog procedure's answer: 0 means the handler
            // has placed the focus itself.
            ret = static_cast<INT_PTR>(result);
        } else {
            // A window destroyed inside its handler keeps no result.
            if (!self->m_destroyed) SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
            ret = TRUE;
        }
    }
    if (uMsg == WM_NCDESTROY) self->m_destroyed = true;

    // The window is done once no message of it is still being handled: a
    // window destroyed inside a handler waits for that handler to return.
    if (self->m_destroyed && current.previous == nullptr) {
        HWND old = self->m_hWnd;
        self->m_hWnd = nullptr;
        self->m_destroyed = false;
        self->OnFinalMessage(old);
    }
    return ret;
}

}  // namespace shell
