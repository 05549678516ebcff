// The Win32-shaped API of the Linux build: the types, constants and calls that
// keyconfig and its dialog framework use, with the meaning they have on Windows.
// The Windows build includes the real <windows.h> in place of this header, so
// everything declared here keeps the Windows name, signature and value.
//
// Texts are single-byte; on Linux the "system code page" is UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = unsigned char;
using WORD = unsigned short;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using CHAR = char;
using WCHAR = wchar_t;
using LPSTR = char*;
using LPCSTR = const char*;
using LPCWSTR = const WCHAR*;
using LPWSTR = WCHAR*;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using MMRESULT = UINT;
using LPVOID = void*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt{};
};
using LPMSG = MSG*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
// The calling convention of window-system callbacks (stdcall on 32-bit
// Windows); the one convention there is on Linux.
#define CALLBACK
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

constexpr WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) { return static_cast<WPARAM>(lo) | (static_cast<WPARAM>(hi) << 16); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) { return static_cast<LPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16)); }
inline LPCSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(id)); }
inline bool IS_INTRESOURCE(LPCSTR p) { return (reinterpret_cast<std::uintptr_t>(p) >> 16) == 0; }

// Window messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr WPARAM SC_CLOSE = 0xF060;

// Notification codes carried in the high word of WM_COMMAND's first parameter.
constexpr WORD BN_CLICKED = 0;
constexpr WORD EN_SETFOCUS = 0x0100;
constexpr WORD EN_KILLFOCUS = 0x0200;

// Virtual keys the window system itself gives a meaning to.
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_F4 = 0x73;

// Dialog command ids.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Window and dialog styles.
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_CHILD = 0x40000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_BORDER = 0x00800000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_GROUP = 0x00020000u;
constexpr DWORD WS_TABSTOP = 0x00010000u;
constexpr DWORD DS_SETFONT = 0x40u;
constexpr DWORD DS_MODALFRAME = 0x80u;
constexpr DWORD DS_3DLOOK = 0x04u;
constexpr DWORD DS_FIXEDSYS = 0x08u;
constexpr DWORD DS_CENTER = 0x800u;
constexpr DWORD DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;
constexpr DWORD BS_PUSHBUTTON = 0x0u;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1u;
constexpr DWORD ES_AUTOHSCROLL = 0x80u;
constexpr DWORD ES_READONLY = 0x800u;
constexpr DWORD SS_LEFT = 0x0u;

// Offsets of the per-dialog values kept by the dialog manager.
constexpr int DWLP_MSGRESULT = 0;
constexpr int DWLP_DLGPROC = static_cast<int>(sizeof(LRESULT));
constexpr int DWLP_USER = DWLP_DLGPROC + static_cast<int>(sizeof(DLGPROC));

// Message box.
constexpr UINT MB_OK = 0x0u;
constexpr UINT MB_ICONERROR = 0x10u;

constexpr UINT PM_NOREMOVE = 0x0u;
constexpr UINT PM_REMOVE = 0x1u;

// Error codes the layer reports through GetLastError. The Linux layer reports
// the errno value of the failing system call; these are the two of its own.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;

constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x200u;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x1000u;

constexpr std::size_t MAX_PATH = 260;

// Joystick service (winmm).
struct JOYINFOEX {
    DWORD dwSize = 0;
    DWORD dwFlags = 0;
    DWORD dwXpos = 0;
    DWORD dwYpos = 0;
    DWORD dwZpos = 0;
    DWORD dwRpos = 0;
    DWORD dwUpos = 0;
    DWORD dwVpos = 0;
    DWORD dwButtons = 0;
    DWORD dwButtonNumber = 0;
    DWORD dwPOV = 0;
    DWORD dwReserved1 = 0;
    DWORD dwReserved2 = 0;
};
using LPJOYINFOEX = JOYINFOEX*;
static_assert(sizeof(JOYINFOEX) == 52, "JOYINFOEX is the 52-byte record of the joystick service");

constexpr UINT JOYSTICKID1 = 0;
constexpr DWORD JOY_RETURNX = 0x1u;
constexpr DWORD JOY_RETURNY = 0x2u;
constexpr DWORD JOY_RETURNZ = 0x4u;
constexpr DWORD JOY_RETURNR = 0x8u;
constexpr DWORD JOY_RETURNU = 0x10u;
constexpr DWORD JOY_RETURNV = 0x20u;
constexpr DWORD JOY_RETURNPOV = 0x40u;
constexpr DWORD JOY_RETURNBUTTONS = 0x80u;
constexpr DWORD JOY_RETURNALL = 0xFFu;
constexpr DWORD JOY_POVCENTERED = 0xFFFFu;
constexpr MMRESULT JOYERR_NOERROR = 0;
constexpr MMRESULT JOYERR_PARMS = 165;
constexpr MMRESULT JOYERR_UNPLUGGED = 167;

// Process and thread.
DWORD GetCurrentThreadId();
HMODULE GetModuleHandleA(LPCSTR moduleName);
DWORD GetLastError();
void SetLastError(DWORD code);
DWORD FormatMessageW(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     LPWSTR buffer, DWORD size, void* arguments);

// Text conversion. The Linux layer's code page is UTF-8 whatever is asked.
constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR buffer, int size);

// Windows and dialogs.
HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc,
                        LPARAM initParam);
HWND GetDlgItem(HWND dialog, int controlId);
HWND GetParent(HWND window);
BOOL IsWindow(HWND window);
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR buffer, int size);
HWND GetFocus();
HWND SetFocus(HWND window);
UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapseMs, TIMERPROC timerProc);
BOOL DestroyWindow(HWND window);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Thread message queue.
void PostQuitMessage(int exitCode);
BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);

// Settings files (kernel32 private-profile service) and paths.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                               DWORD size, LPCSTR fileName);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
BOOL PathAppendA(LPSTR path, LPCSTR more);

// Joystick service (winmm).
MMRESULT joyGetPosEx(UINT joystickId, LPJOYINFOEX info);
