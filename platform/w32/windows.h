// Our own declarations of the Win32 subset the program and its tests use.
// Types keep their Win32 widths on 64-bit Linux: LONG and HRESULT are 32-bit
// signed, DWORD/UINT/ULONG/COLORREF 32-bit unsigned, WPARAM/LPARAM/LRESULT
// pointer-sized. Handles are opaque values looked up in tables, never pointers.
// The calls are declared from tables at the end, which the trace reads too.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "each.h"

#define WINAPI
#define CALLBACK
#define APIENTRY
#define FAR
#define NEAR

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint16_t ATOM;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef uint32_t ULONG;
typedef int32_t LONG;
typedef int32_t HRESULT;
typedef uint32_t COLORREF;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef char16_t WCHAR;  // UTF-16 code units, 16 bits as on Windows
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef void* LPVOID;
typedef void* PVOID;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef void* HANDLE;

#define W32_DECLARE_HANDLE(name) \
  struct name##__ {              \
    int unused;                  \
  };                             \
  typedef struct name##__* name

W32_DECLARE_HANDLE(HWND);
W32_DECLARE_HANDLE(HINSTANCE);
W32_DECLARE_HANDLE(HDC);
W32_DECLARE_HANDLE(HBRUSH);
W32_DECLARE_HANDLE(HPEN);
W32_DECLARE_HANDLE(HFONT);
W32_DECLARE_HANDLE(HICON);
W32_DECLARE_HANDLE(HMENU);
typedef HICON HCURSOR;
typedef HINSTANCE HMODULE;
typedef void* HGDIOBJ;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef NULL
#define NULL nullptr
#endif

typedef struct tagPOINT {
  LONG x;
  LONG y;
} POINT, *LPPOINT;

typedef struct tagRECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECT, *LPRECT;
typedef const RECT* LPCRECT;

typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG, *LPMSG;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct tagWNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
} WNDCLASSA;

typedef struct tagCREATESTRUCTA {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
} CREATESTRUCTA;

typedef struct tagWINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x;
  int y;
  int cx;
  int cy;
  UINT flags;
} WINDOWPOS, *LPWINDOWPOS, *PWINDOWPOS;

typedef struct tagMINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
} MINMAXINFO, *LPMINMAXINFO, *PMINMAXINFO;

typedef struct tagNCCALCSIZE_PARAMS {
  RECT rgrc[3];
  PWINDOWPOS lppos;
} NCCALCSIZE_PARAMS, *LPNCCALCSIZE_PARAMS;

typedef struct tagPAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

#define MAKEINTRESOURCEA(i) ((LPSTR)((uintptr_t)((WORD)(i))))
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)(c))
#define GetGValue(c) ((BYTE)((c) >> 8))
#define GetBValue(c) ((BYTE)((c) >> 16))
#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((uintptr_t)(l)) >> 16) & 0xffff))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)((WORD)(l) | ((DWORD)(WORD)(h) << 16)))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)((WORD)(l) | ((DWORD)(WORD)(h) << 16)))

// Class styles
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002

// Window styles
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW 0x00CF0000L
#define CW_USEDEFAULT ((int)0x80000000)

// Show commands
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10
#define SW_FORCEMINIMIZE 11

// Messages
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_QUERYOPEN 0x0013
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_GETMINMAXINFO 0x0024
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCCALCSIZE 0x0083
#define WM_NCPAINT 0x0085
#define WM_NCACTIVATE 0x0086
#define WM_NCLBUTTONDOWN 0x00A1
#define WM_NCLBUTTONDBLCLK 0x00A3
#define WM_KEYDOWN 0x0100
#define WM_CHAR 0x0102
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_SIZING 0x0214
#define WM_CAPTURECHANGED 0x0215
#define WM_MOVING 0x0216
#define WM_ENTERSIZEMOVE 0x0231
#define WM_EXITSIZEMOVE 0x0232
#define WM_QUERYNEWPALETTE 0x030F
#define WM_USER 0x0400
#define WM_APP 0x8000

#define SC_SIZE 0xF000
#define SC_MOVE 0xF010
#define SC_CLOSE 0xF060
#define SC_MINIMIZE 0xF020
#define SC_MAXIMIZE 0xF030
#define SC_RESTORE 0xF120

#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2

// Where on a window the pointer is (WM_NCLBUTTONDOWN's wParam)
#define HTCAPTION 2
#define HTLEFT 10
#define HTRIGHT 11
#define HTTOP 12
#define HTTOPLEFT 13
#define HTTOPRIGHT 14
#define HTBOTTOM 15
#define HTBOTTOMLEFT 16
#define HTBOTTOMRIGHT 17

// Which edge is being dragged (WM_SIZING's wParam)
#define WMSZ_LEFT 1
#define WMSZ_RIGHT 2
#define WMSZ_TOP 3
#define WMSZ_TOPLEFT 4
#define WMSZ_TOPRIGHT 5
#define WMSZ_BOTTOM 6
#define WMSZ_BOTTOMLEFT 7
#define WMSZ_BOTTOMRIGHT 8

#define MK_LBUTTON 0x0001

#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2

// SetWindowPos flags, as WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED carry them
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOCOPYBITS 0x0100
#define SWP_NOOWNERZORDER 0x0200

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// Timers
#define USER_TIMER_MINIMUM 0x0000000A

// System metrics
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CYCAPTION 4
#define SM_CXFRAME 32
#define SM_CYFRAME 33
#define SM_CXMINTRACK 34
#define SM_CYMINTRACK 35
#define SM_CXSIZEFRAME SM_CXFRAME
#define SM_CYSIZEFRAME SM_CYFRAME

// Cursors
#define IDC_ARROW MAKEINTRESOURCEA(32512)

// Stock objects
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13

// Pens
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_NULL 5

// Background modes
#define TRANSPARENT 1
#define OPAQUE 2

#define CLR_INVALID 0xFFFFFFFF

// Message boxes
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ICONERROR 0x00000010L
#define IDOK 1
#define IDCANCEL 2

// Error codes (GetLastError)
#define ERROR_SUCCESS 0L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_CLASS_HAS_WINDOWS 1412L
#define ERROR_NO_SYSTEM_RESOURCES 1450L

#define S_OK ((HRESULT)0L)
#define S_FALSE ((HRESULT)1L)
#define E_NOTIMPL ((HRESULT)0x80004001L)
#define E_NOINTERFACE ((HRESULT)0x80004002L)
#define E_POINTER ((HRESULT)0x80004003L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define MAKE_HRESULT(sev, fac, code) \
  ((HRESULT)(((unsigned long)(sev) << 31) | ((unsigned long)(fac) << 16) | ((unsigned long)(code))))

// ---- The calls -----------------------------------------------------------------
// One row a call: result type, how the trace shows the result, name, then
// each parameter as (type, name, how the trace shows it). each.h turns the
// rows into declarations; the trace at the layer's edge (trace.cpp) reads
// the same rows, and decode.h says what each way of showing means.

// clang-format off
#define W32_KERNEL32_CALLS(F, F0)                                                                   \
  F0(DWORD, Error, GetLastError)                                                                    \
  F(void, None, SetLastError, (DWORD, error, Error))                                                \
  F(HMODULE, Instance, GetModuleHandleA, (LPCSTR, moduleName, Text))                                \
  F(BOOL, Bool, Beep, (DWORD, frequency, Uint), (DWORD, duration, Uint))                            \
  F0(DWORD, Uint, GetTickCount)                                                                     \
  F(void, None, Sleep, (DWORD, milliseconds, Uint))                                                 \
  F(int, Int, lstrlenA, (LPCSTR, text, Text))

#define W32_USER32_CALLS(F, F0)                                                                     \
  /* window classes and windows */                                                                  \
  F(ATOM, Atom, RegisterClassA, (const WNDCLASSA*, wndClass, WndClass))                             \
  F(BOOL, Bool, UnregisterClassA, (LPCSTR, className, ClassName), (HINSTANCE, hInstance, Instance)) \
  F(HCURSOR, Cursor, LoadCursorA, (HINSTANCE, hInstance, Instance), (LPCSTR, cursorName, CursorName)) \
  F(int, Int, GetSystemMetrics, (int, index, SystemMetric))                                         \
  F(HWND, Window, CreateWindowExA, (DWORD, exStyle, Hex), (LPCSTR, className, ClassName),           \
    (LPCSTR, windowName, Text), (DWORD, style, WindowStyle), (int, x, Int), (int, y, Int),          \
    (int, width, Int), (int, height, Int), (HWND, parent, Window), (HMENU, menu, Handle),           \
    (HINSTANCE, hInstance, Instance), (LPVOID, param, Pointer))                                     \
  F(BOOL, Bool, ShowWindow, (HWND, hwnd, Window), (int, showCommand, ShowCommand))                  \
  F(BOOL, Bool, UpdateWindow, (HWND, hwnd, Window))                                                 \
  F(BOOL, Bool, DestroyWindow, (HWND, hwnd, Window))                                                \
  F(BOOL, Bool, IsWindow, (HWND, hwnd, Window))                                                     \
  F(BOOL, Bool, IsWindowVisible, (HWND, hwnd, Window))                                              \
  F(BOOL, Bool, IsIconic, (HWND, hwnd, Window))                                                     \
  F(BOOL, Bool, IsZoomed, (HWND, hwnd, Window))                                                     \
  F0(HWND, Window, GetActiveWindow)                                                                 \
  F0(HWND, Window, GetForegroundWindow)                                                             \
  F(HWND, Window, FindWindowA, (LPCSTR, className, ClassName), (LPCSTR, windowName, Text))          \
  F(LRESULT, Int, DefWindowProcA, (HWND, hwnd, Window), (UINT, message, Message),                   \
    (WPARAM, wParam, WParam), (LPARAM, lParam, LParam))                                             \
  F(int, Int, GetWindowTextA, (HWND, hwnd, Window), (LPSTR, buffer, OutText), (int, maxCount, Int)) \
  /* messages and timers */                                                                         \
  F(BOOL, Bool, GetMessageA, (LPMSG, msg, OutMsg), (HWND, hwnd, Window), (UINT, filterMin, Filter), \
    (UINT, filterMax, Filter))                                                                     \
  F(BOOL, Bool, PeekMessageA, (LPMSG, msg, OutMsg), (HWND, hwnd, Window), (UINT, filterMin, Filter), \
    (UINT, filterMax, Filter), (UINT, removeFlags, PeekFlags))                                     \
  F(BOOL, Bool, TranslateMessage, (const MSG*, msg, Msg))                                           \
  F(LRESULT, Int, DispatchMessageA, (const MSG*, msg, Msg))                                         \
  F(void, None, PostQuitMessage, (int, exitCode, Int))                                              \
  F(BOOL, Bool, PostMessageA, (HWND, hwnd, Window), (UINT, message, Message),                       \
    (WPARAM, wParam, WParam), (LPARAM, lParam, LParam))                                             \
  F(LRESULT, Int, SendMessageA, (HWND, hwnd, Window), (UINT, message, Message),                     \
    (WPARAM, wParam, WParam), (LPARAM, lParam, LParam))                                             \
  F(UINT_PTR, Uint, SetTimer, (HWND, hwnd, Window), (UINT_PTR, id, Uint), (UINT, elapse, Uint),     \
    (TIMERPROC, timerFunc, Pointer))                                                                \
  F(BOOL, Bool, KillTimer, (HWND, hwnd, Window), (UINT_PTR, id, Uint))                              \
  /* painting */                                                                                    \
  F(BOOL, Bool, InvalidateRect, (HWND, hwnd, Window), (const RECT*, rect, Rect), (BOOL, erase, Bool)) \
  F(BOOL, Bool, ValidateRect, (HWND, hwnd, Window), (const RECT*, rect, Rect))                      \
  F(BOOL, Bool, GetUpdateRect, (HWND, hwnd, Window), (LPRECT, rect, OutRect), (BOOL, erase, Bool))  \
  F(HDC, Dc, BeginPaint, (HWND, hwnd, Window), (LPPAINTSTRUCT, paint, OutPaint))                    \
  F(BOOL, Bool, EndPaint, (HWND, hwnd, Window), (const PAINTSTRUCT*, paint, Paint))                 \
  F(HDC, Dc, GetDC, (HWND, hwnd, Window))                                                           \
  F(int, Int, ReleaseDC, (HWND, hwnd, Window), (HDC, hdc, Dc))                                      \
  /* geometry */                                                                                    \
  F(BOOL, Bool, GetClientRect, (HWND, hwnd, Window), (LPRECT, rect, OutRect))                       \
  F(BOOL, Bool, GetWindowRect, (HWND, hwnd, Window), (LPRECT, rect, OutRect))                       \
  F(BOOL, Bool, ClientToScreen, (HWND, hwnd, Window), (LPPOINT, point, InOutPoint))                 \
  F(BOOL, Bool, ScreenToClient, (HWND, hwnd, Window), (LPPOINT, point, InOutPoint))                 \
  F(BOOL, Bool, MoveWindow, (HWND, hwnd, Window), (int, x, Int), (int, y, Int), (int, width, Int),  \
    (int, height, Int), (BOOL, repaint, Bool))                                                      \
  F(BOOL, Bool, OffsetRect, (LPRECT, rect, InOutRect), (int, dx, Int), (int, dy, Int))              \
  F(BOOL, Bool, SetRect, (LPRECT, rect, OutRect), (int, left, Int), (int, top, Int),                \
    (int, right, Int), (int, bottom, Int))                                                          \
  F(BOOL, Bool, IsRectEmpty, (const RECT*, rect, Rect))                                             \
  F(BOOL, Bool, IntersectRect, (LPRECT, dst, OutRect), (const RECT*, a, Rect), (const RECT*, b, Rect)) \
  /* feedback */                                                                                    \
  F(int, Int, wvsprintfA, (LPSTR, buffer, OutText), (LPCSTR, format, Text), (va_list, args, Args))  \
  F(int, BoxResult, MessageBoxA, (HWND, owner, Window), (LPCSTR, text, Text), (LPCSTR, caption, Text), \
    (UINT, type, BoxType))

#define W32_GDI32_CALLS(F, F0)                                                                      \
  F(HGDIOBJ, GdiObject, GetStockObject, (int, object, StockObject))                                 \
  F(HPEN, GdiObject, CreatePen, (int, style, PenStyle), (int, width, Int), (COLORREF, color, Color)) \
  F(HBRUSH, GdiObject, CreateSolidBrush, (COLORREF, color, Color))                                  \
  F(HGDIOBJ, GdiObject, SelectObject, (HDC, hdc, Dc), (HGDIOBJ, object, GdiObject))                 \
  F(BOOL, Bool, DeleteObject, (HGDIOBJ, object, GdiObject))                                         \
  F(int, Int, FillRect, (HDC, hdc, Dc), (const RECT*, rect, Rect), (HBRUSH, brush, GdiObject))      \
  F(BOOL, Bool, MoveToEx, (HDC, hdc, Dc), (int, x, Int), (int, y, Int), (LPPOINT, previous, OutPoint)) \
  F(BOOL, Bool, LineTo, (HDC, hdc, Dc), (int, x, Int), (int, y, Int))                               \
  F(COLORREF, Color, SetBkColor, (HDC, hdc, Dc), (COLORREF, color, Color))                          \
  F(COLORREF, Color, SetTextColor, (HDC, hdc, Dc), (COLORREF, color, Color))                        \
  F(int, BkMode, SetBkMode, (HDC, hdc, Dc), (int, mode, BkMode))                                    \
  F(BOOL, Bool, TextOutA, (HDC, hdc, Dc), (int, x, Int), (int, y, Int), (LPCSTR, text, CountedText), \
    (int, length, Int))                                                                             \
  F(COLORREF, Color, GetPixel, (HDC, hdc, Dc), (int, x, Int), (int, y, Int))
// clang-format on

W32_API(W32_KERNEL32_CALLS)
W32_API(W32_USER32_CALLS)
W32_API(W32_GDI32_CALLS)

// wsprintfA takes any number of arguments, so it stands outside the tables;
// the edge records it as it does the others.
#ifdef W32_LAYER
int wsprintfA(LPSTR buffer, LPCSTR format, ...);
#else
namespace w32_edge {
int wsprintfA(LPSTR buffer, LPCSTR format, ...);
}
#endif

// The program's entry point, which the program defines and the start-up code calls.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);
