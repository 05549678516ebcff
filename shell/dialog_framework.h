// The dialog framework of keyconfig: module state with its loop registry
// (CAppModule), the message loop (CMessageLoop) and the dialog base
// (CDialogImpl) whose message map routes each message of a dialog window to
// the On... handlers of its class. Written once against the Win32 API, so it
// is the same on Windows and on the Linux layer.
#pragma once

#include "win32_api.h"

#include <map>
#include <mutex>
#include <vector>

namespace shell {

// Claims a message before translation and dispatch; returns TRUE to claim it.
class CMessageFilter {
public:
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;

protected:
    ~CMessageFilter() = default;
};

// Runs when the loop finds the queue empty; returns TRUE while more idle work waits.
class CIdleHandler {
public:
    virtual BOOL OnIdle() = 0;

protected:
    ~CIdleHandler() = default;
};

// The thread's message loop. It never hands a message to the dialog manager's
// keyboard interface (IsDialogMessage): keys reach the focused control as
// ordinary keys.
class CMessageLoop {
public:
    virtual ~CMessageLoop() = default;

    BOOL AddMessageFilter(CMessageFilter* filter);
    BOOL RemoveMessageFilter(CMessageFilter* filter);
    BOOL AddIdleHandler(CIdleHandler* handler);
    BOOL RemoveIdleHandler(CIdleHandler* handler);

    // Offers the message to the filters, the last added first, and stops at
    // the first that claims it.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Runs every idle handler, the first added first; always reports that no
    // further idle work waits.
    virtual BOOL OnIdle(int idleCount);

    // Retrieves, translates and dispatches messages until the quit message;
    // returns its code. A retrieval error (-1) is skipped.
    int Run();

private:
    std::vector<CMessageFilter*> m_filters;
    std::vector<CIdleHandler*> m_idleHandlers;
    MSG m_msg{};
};

// The module state: the program's resource instance and the registry of
// message loops by thread.
class CAppModule {
public:
    CAppModule() = default;
    CAppModule(const CAppModule&) = delete;
    CAppModule& operator=(const CAppModule&) = delete;
    ~CAppModule() { Term(); }

    // Creates the (empty) loop registry. Returns false when it cannot.
    bool Init(HINSTANCE instance);
    // Releases the loop registry. Safe to call twice.
    void Term();

    BOOL AddMessageLoop(CMessageLoop* loop);
    BOOL RemoveMessageLoop();
    CMessageLoop* GetMessageLoop(DWORD threadId) const;

    HINSTANCE GetResourceInstance() const { return m_instance; }

private:
    HINSTANCE m_instance = nullptr;
    mutable std::mutex m_lock;
    std::map<DWORD, CMessageLoop*>* m_loops = nullptr;
};

// The message-map interface: the first virtual operation of every dialog class.
class CMessageMap {
public:
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& lResult, DWORD dwMsgMapID) = 0;

protected:
    ~CMessageMap() = default;
};

// A window handle and the calls made on it.
class CWindow {
public:
    HWND m_hWnd = nullptr;
};

// The dialog base. It binds a new dialog window to its object before the
// window's first message, dispatches every message through the object's
// message map and, once the window has had its last message, clears the
// handle and calls OnFinalMessage.
class CDialogImplBase : public CMessageMap, public CWindow {
public:
    CDialogImplBase() = default;
    CDialogImplBase(const CDialogImplBase&) = delete;
    CDialogImplBase& operator=(const CDialogImplBase&) = delete;
    virtual ~CDialogImplBase();

    // The dialog procedure that the window is created with.
    virtual DLGPROC GetDialogProc() { return StartDialogProc; }
    // Called with the former handle after the window's last message.
    virtual void OnFinalMessage(HWND /*hWnd*/) {}

    // The mark of the message being handled; a handler may clear it to leave
    // the message to default processing.
    BOOL IsMsgHandled() const { return m_currentMsg != nullptr && m_currentMsg->handled; }
    void SetMsgHandled(BOOL handled) {
        if (m_currentMsg != nullptr) m_currentMsg->handled = handled;
    }

protected:
    // Creates the modeless dialog `templateId` of the program's own resources.
    HWND CreateFromTemplate(WORD templateId, HWND owner, LPARAM initParam);

private:
    struct CurrentMessage {
        MSG msg{};
        BOOL handled = TRUE;
        CurrentMessage* previous = nullptr;
    };

    static INT_PTR CALLBACK StartDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    CurrentMessage* m_currentMsg = nullptr;
    bool m_destroyed = false;  // the window has received WM_NCDESTROY
};

// The dialog base for a class T with an `IDD` template id.
template <class T>
class CDialogImpl : public CDialogImplBase {
public:
    HWND Create(HWND owner, LPARAM initParam = 0) {
        return CreateFromTemplate(static_cast<WORD>(T::IDD), owner, initParam);
    }
};

}  // namespace shell

// The message map: one table of entries from message (and, for WM_COMMAND,
// command id) to handler. An entry that matches marks the message handled,
// calls the handler and stores its result; the message counts as handled as
// long as the mark is still set. Anything without an entry is left to the
// dialog manager's default processing.
#define BEGIN_MSG_MAP(theClass)                                                                    \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult, \
                              DWORD dwMsgMapID) override {                                          \
        (void)hWnd;                                                                                \
        (void)wParam;                                                                              \
        (void)lParam;                                                                              \
        if (dwMsgMapID != 0) return FALSE;

// An entry whose handler returns the message's result.
#define MESSAGE_HANDLER(msg, func) \
    if (uMsg == (msg)) {           \
        SetMsgHandled(TRUE);       \
        lResult = func();          \
        if (IsMsgHandled()) return TRUE; \
    }

// An entry whose handler returns nothing; the result is 0.
#define MESSAGE_HANDLER_VOID(msg, func) \
    if (uMsg == (msg)) {                \
        SetMsgHandled(TRUE);            \
        func();                         \
        lResult = 0;                    \
        if (IsMsgHandled()) return TRUE; \
    }

// A WM_COMMAND entry matched by command id alone (the low word of wParam):
// the notification code and the sending control are not looked at.
#define COMMAND_ID_HANDLER_VOID(id, func)                 \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) { \
        SetMsgHandled(TRUE);                              \
        func();                                           \
        lResult = 0;                                      \
        if (IsMsgHandled()) return TRUE;                  \
    }

#define END_MSG_MAP() \
    return FALSE;     \
    }
