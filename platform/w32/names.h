// The names of the numbers the program and our layer deal in (messages,
// show commands, flags, error codes, HRESULTs), as traces and test reports
// print them. One place for all of them; it builds against the real
// <windows.h> and <ddraw.h> too, for the Win32-behaviour tests' reports.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "win32.h"

namespace w32 {

struct Named {
  uint32_t value;
  const char* name;
};
#define W32_NAMED(constant) Named{uint32_t(constant), #constant}

inline constexpr Named kMessageNames[] = {
    W32_NAMED(WM_NULL),          W32_NAMED(WM_CREATE),        W32_NAMED(WM_DESTROY),
    W32_NAMED(WM_MOVE),          W32_NAMED(WM_SIZE),          W32_NAMED(WM_ACTIVATE),
    W32_NAMED(WM_SETFOCUS),      W32_NAMED(WM_KILLFOCUS),     W32_NAMED(WM_PAINT),
    W32_NAMED(WM_CLOSE),         W32_NAMED(WM_QUIT),          W32_NAMED(WM_QUERYOPEN),
    W32_NAMED(WM_ERASEBKGND),    W32_NAMED(WM_SHOWWINDOW),    W32_NAMED(WM_ACTIVATEAPP),
    W32_NAMED(WM_GETMINMAXINFO), W32_NAMED(WM_WINDOWPOSCHANGING), W32_NAMED(WM_WINDOWPOSCHANGED),
    W32_NAMED(WM_NCCREATE),      W32_NAMED(WM_NCDESTROY),     W32_NAMED(WM_NCCALCSIZE),
    W32_NAMED(WM_NCPAINT),       W32_NAMED(WM_NCACTIVATE),    W32_NAMED(WM_KEYDOWN),
    W32_NAMED(WM_CHAR),          W32_NAMED(WM_SYSCOMMAND),    W32_NAMED(WM_TIMER),
    W32_NAMED(WM_MOUSEMOVE),     W32_NAMED(WM_LBUTTONDOWN),   W32_NAMED(WM_QUERYNEWPALETTE),
    W32_NAMED(WM_NCLBUTTONDOWN), W32_NAMED(WM_NCLBUTTONDBLCLK), W32_NAMED(WM_LBUTTONUP),
    W32_NAMED(WM_SIZING),        W32_NAMED(WM_CAPTURECHANGED), W32_NAMED(WM_MOVING),
    W32_NAMED(WM_ENTERSIZEMOVE), W32_NAMED(WM_EXITSIZEMOVE),
};

inline constexpr Named kShowCommandNames[] = {
    W32_NAMED(SW_HIDE),         W32_NAMED(SW_SHOWNORMAL),      W32_NAMED(SW_SHOWMINIMIZED),
    W32_NAMED(SW_SHOWMAXIMIZED), W32_NAMED(SW_SHOWNOACTIVATE), W32_NAMED(SW_SHOW),
    W32_NAMED(SW_MINIMIZE),     W32_NAMED(SW_SHOWMINNOACTIVE), W32_NAMED(SW_SHOWNA),
    W32_NAMED(SW_RESTORE),      W32_NAMED(SW_SHOWDEFAULT),     W32_NAMED(SW_FORCEMINIMIZE),
};

inline constexpr Named kSystemMetricNames[] = {
    W32_NAMED(SM_CXSCREEN), W32_NAMED(SM_CYSCREEN), W32_NAMED(SM_CYCAPTION),
    W32_NAMED(SM_CXFRAME),  W32_NAMED(SM_CYFRAME),  W32_NAMED(SM_CXMINTRACK),
    W32_NAMED(SM_CYMINTRACK),
};

inline constexpr Named kStockObjectNames[] = {
    W32_NAMED(WHITE_BRUSH), W32_NAMED(LTGRAY_BRUSH), W32_NAMED(GRAY_BRUSH), W32_NAMED(DKGRAY_BRUSH),
    W32_NAMED(BLACK_BRUSH), W32_NAMED(NULL_BRUSH),   W32_NAMED(WHITE_PEN),  W32_NAMED(BLACK_PEN),
    W32_NAMED(NULL_PEN),    W32_NAMED(SYSTEM_FONT),
};

inline constexpr Named kPenStyleNames[] = {W32_NAMED(PS_SOLID), W32_NAMED(PS_DASH), W32_NAMED(PS_DOT),
                                           W32_NAMED(PS_NULL)};
inline constexpr Named kBkModeNames[] = {W32_NAMED(TRANSPARENT), W32_NAMED(OPAQUE)};
inline constexpr Named kBoxResultNames[] = {W32_NAMED(IDOK), W32_NAMED(IDCANCEL)};
inline constexpr Named kSysCommandNames[] = {W32_NAMED(SC_CLOSE), W32_NAMED(SC_MINIMIZE), W32_NAMED(SC_MAXIMIZE),
                                             W32_NAMED(SC_RESTORE)};
inline constexpr Named kSizeNames[] = {W32_NAMED(SIZE_RESTORED), W32_NAMED(SIZE_MINIMIZED),
                                       W32_NAMED(SIZE_MAXIMIZED)};
inline constexpr Named kActivateNames[] = {W32_NAMED(WA_INACTIVE), W32_NAMED(WA_ACTIVE), W32_NAMED(WA_CLICKACTIVE)};

inline constexpr Named kErrorNames[] = {
    W32_NAMED(ERROR_SUCCESS),           W32_NAMED(ERROR_INVALID_HANDLE),
    W32_NAMED(ERROR_NOT_ENOUGH_MEMORY), W32_NAMED(ERROR_INVALID_PARAMETER),
    W32_NAMED(ERROR_INVALID_WINDOW_HANDLE), W32_NAMED(ERROR_CANNOT_FIND_WND_CLASS),
    W32_NAMED(ERROR_CLASS_ALREADY_EXISTS), W32_NAMED(ERROR_CLASS_DOES_NOT_EXIST),
    W32_NAMED(ERROR_CLASS_HAS_WINDOWS), W32_NAMED(ERROR_NO_SYSTEM_RESOURCES),
};

// DirectDraw's names first where a generic HRESULT has the same value.
inline constexpr Named kHResultNames[] = {
    W32_NAMED(DD_OK),
    W32_NAMED(DDERR_GENERIC),
    W32_NAMED(DDERR_INVALIDPARAMS),
    W32_NAMED(DDERR_OUTOFMEMORY),
    W32_NAMED(DDERR_UNSUPPORTED),
    W32_NAMED(DDERR_ALREADYINITIALIZED),
    W32_NAMED(DDERR_INVALIDCAPS),
    W32_NAMED(DDERR_INVALIDCLIPLIST),
    W32_NAMED(DDERR_INVALIDOBJECT),
    W32_NAMED(DDERR_INVALIDPIXELFORMAT),
    W32_NAMED(DDERR_INVALIDRECT),
    W32_NAMED(DDERR_NOCLIPLIST),
    W32_NAMED(DDERR_NOCOOPERATIVELEVELSET),
    W32_NAMED(DDERR_NOTFOUND),
    W32_NAMED(DDERR_SURFACEBUSY),
    W32_NAMED(DDERR_SURFACELOST),
    W32_NAMED(DDERR_INVALIDDIRECTDRAWGUID),
    W32_NAMED(DDERR_PRIMARYSURFACEALREADYEXISTS),
    W32_NAMED(DDERR_CLIPPERISUSINGHWND),
    W32_NAMED(DDERR_NOCLIPPERATTACHED),
    W32_NAMED(DDERR_NOHWND),
    W32_NAMED(DDERR_HWNDALREADYSET),
    W32_NAMED(DDERR_NOTLOCKED),
    W32_NAMED(DDERR_CANTCREATEDC),
    W32_NAMED(DDERR_NODC),
    W32_NAMED(DDERR_DCALREADYCREATED),
    W32_NAMED(S_FALSE),
    W32_NAMED(E_NOINTERFACE),
    W32_NAMED(E_POINTER),
    W32_NAMED(CLASS_E_NOAGGREGATION),
};

// Flags: several bits under one name come before the bits they are made of.
inline constexpr Named kWindowStyleNames[] = {
    W32_NAMED(WS_POPUP),       W32_NAMED(WS_CHILD),       W32_NAMED(WS_MINIMIZE),    W32_NAMED(WS_VISIBLE),
    W32_NAMED(WS_MAXIMIZE),    W32_NAMED(WS_CAPTION),     W32_NAMED(WS_BORDER),      W32_NAMED(WS_DLGFRAME),
    W32_NAMED(WS_SYSMENU),     W32_NAMED(WS_THICKFRAME),  W32_NAMED(WS_MINIMIZEBOX), W32_NAMED(WS_MAXIMIZEBOX),
};
inline constexpr Named kClassStyleNames[] = {W32_NAMED(CS_VREDRAW), W32_NAMED(CS_HREDRAW)};
inline constexpr Named kWindowPosNames[] = {
    W32_NAMED(SWP_NOSIZE),       W32_NAMED(SWP_NOMOVE),       W32_NAMED(SWP_NOZORDER),
    W32_NAMED(SWP_NOREDRAW),     W32_NAMED(SWP_NOACTIVATE),   W32_NAMED(SWP_FRAMECHANGED),
    W32_NAMED(SWP_SHOWWINDOW),   W32_NAMED(SWP_HIDEWINDOW),   W32_NAMED(SWP_NOCOPYBITS),
    W32_NAMED(SWP_NOOWNERZORDER),
    // What Windows adds when the client area keeps its size or place.
    Named{0x0800, "SWP_NOCLIENTSIZE"}, Named{0x1000, "SWP_NOCLIENTMOVE"},
};
inline constexpr Named kPeekNames[] = {W32_NAMED(PM_REMOVE)};
inline constexpr Named kBoxTypeNames[] = {W32_NAMED(MB_OKCANCEL), W32_NAMED(MB_ICONERROR)};
inline constexpr Named kCooperativeNames[] = {W32_NAMED(DDSCL_FULLSCREEN), W32_NAMED(DDSCL_ALLOWREBOOT),
                                              W32_NAMED(DDSCL_NOWINDOWCHANGES), W32_NAMED(DDSCL_NORMAL),
                                              W32_NAMED(DDSCL_EXCLUSIVE)};
inline constexpr Named kSurfaceDescNames[] = {W32_NAMED(DDSD_CAPS),      W32_NAMED(DDSD_HEIGHT),
                                              W32_NAMED(DDSD_WIDTH),     W32_NAMED(DDSD_PITCH),
                                              W32_NAMED(DDSD_BACKBUFFERCOUNT), W32_NAMED(DDSD_LPSURFACE),
                                              W32_NAMED(DDSD_PIXELFORMAT)};
inline constexpr Named kSurfaceCapsNames[] = {
    W32_NAMED(DDSCAPS_BACKBUFFER),     W32_NAMED(DDSCAPS_COMPLEX),        W32_NAMED(DDSCAPS_FLIP),
    W32_NAMED(DDSCAPS_FRONTBUFFER),    W32_NAMED(DDSCAPS_OFFSCREENPLAIN), W32_NAMED(DDSCAPS_PRIMARYSURFACE),
    W32_NAMED(DDSCAPS_SYSTEMMEMORY),   W32_NAMED(DDSCAPS_VIDEOMEMORY),    W32_NAMED(DDSCAPS_VISIBLE),
};
inline constexpr Named kBltNames[] = {W32_NAMED(DDBLT_ASYNC), W32_NAMED(DDBLT_COLORFILL), W32_NAMED(DDBLT_WAIT),
                                      W32_NAMED(DDBLT_DONOTWAIT)};
inline constexpr Named kLockNames[] = {W32_NAMED(DDLOCK_WAIT), W32_NAMED(DDLOCK_READONLY),
                                       W32_NAMED(DDLOCK_WRITEONLY)};

// The name `value` has in `table`, or null.
template <size_t N>
const char* NameIn(const Named (&table)[N], uint32_t value) {
  for (const Named& n : table)
    if (n.value == value) return n.name;
  return nullptr;
}

// The name, or the number in hex when the table has none.
template <size_t N>
std::string NamedOrHex(const Named (&table)[N], uint32_t value) {
  if (const char* name = NameIn(table, value)) return name;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%X", unsigned(value));
  return hex;
}

// Flags as NAME|NAME, what no name covers in hex; `none` for no flag at all.
template <size_t N>
std::string FlagNames(const Named (&table)[N], uint32_t value, const char* none = "0") {
  if (value == 0) return none;
  std::string out;
  for (const Named& n : table) {
    if (n.value == 0 || (value & n.value) != n.value) continue;
    if (!out.empty()) out += '|';
    out += n.name;
    value &= ~n.value;
  }
  if (value) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", unsigned(value));
    if (!out.empty()) out += '|';
    out += hex;
  }
  return out;
}

// Show commands as people name them (the recorder's --show, the web page's
// ?show=): the names offered first, in the order offered, then the rest.
// Every SW_ name (kShowCommandNames) is taken too, with or without SW_.
inline constexpr Named kShowCommandWords[] = {
    {1, "normal"},     {2, "minimized"},   {3, "maximized"}, {4, "noactivate"}, {5, "show"},
    {6, "minimize"},   {7, "minnoactive"}, {8, "na"},        {9, "restore"},    {10, "default"},
    {0, "hide"},       {11, "forceminimize"},
    {3, "maximize"},  // SW_MAXIMIZE, SW_SHOWMAXIMIZED's other name
};
inline constexpr size_t kShowCommandsOffered = 11;  // normal .. hide

// The show command `name` stands for ("normal", "SW_HIDE", "showna", "3"),
// any case; -1 when it names none.
inline int ShowCommandNamed(std::string name) {
  for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (name.compare(0, 3, "sw_") == 0) name.erase(0, 3);
  for (const Named& n : kShowCommandWords)
    if (name == n.name) return int(n.value);
  for (const Named& n : kShowCommandNames) {
    std::string word(n.name + 3);  // without SW_
    for (char& c : word) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (name == word) return int(n.value);
  }
  // 0..11 written plainly: one or two digits, no sign, no blanks.
  if (name.empty() || name.size() > 2 || !std::isdigit(static_cast<unsigned char>(name[0])) ||
      (name.size() == 2 && !std::isdigit(static_cast<unsigned char>(name[1]))))
    return -1;
  const int number = std::atoi(name.c_str());
  return number <= 11 ? number : -1;
}

inline const char* MessageName(UINT message) {
  return NameIn(kMessageNames, message);
}

// The record a message's lParam points to ("&WINDOWPOS"); null when it
// carries no pointer.
inline const char* RecordNamed(UINT message, WPARAM wParam) {
  switch (message) {
    case WM_CREATE:
    case WM_NCCREATE: return "&CREATESTRUCTA";
    case WM_GETMINMAXINFO: return "&MINMAXINFO";
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED: return "&WINDOWPOS";
    case WM_NCCALCSIZE: return wParam ? "&NCCALCSIZE_PARAMS" : "&RECT";
    default: return nullptr;
  }
}

}  // namespace w32
