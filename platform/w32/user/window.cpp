// user32: creating and destroying windows, their text, the default window
// procedure.
#include "internal.h"

namespace w32 {

namespace {

// Drops every trace of a window, messages still queued for it included;
// its handle is stale from here on.
void ForgetWindow(HWND hwnd) {
  KillWindowTimers(hwnd);
  DropQueued(hwnd);
  auto& z = S().zOrder;
  z.erase(std::remove(z.begin(), z.end(), hwnd), z.end());
  if (S().active == hwnd) S().active = nullptr;
  if (S().focus == hwnd) S().focus = nullptr;
  if (S().dragged == hwnd) S().dragged = nullptr;
  S().windows.Remove(Raw(hwnd));
  CurrentHost().WindowDestroyed(hwnd);
}

}  // namespace

}  // namespace w32

using namespace w32;

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE hInstance, LPVOID param) {
  WindowClass* c = FindClass(className);
  if (!c) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (parent && !Find(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (TakeFault(Call::CreateWindowExA)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto w = std::make_unique<Window>();
  w->className = c->name;
  w->proc = c->record.lpfnWndProc;
  w->classStyle = c->record.style;
  w->background = c->record.hbrBackground;
  w->title = windowName ? windowName : "";
  // Top-level overlapped windows always get a caption and border.
  w->style = (style & (WS_POPUP | WS_CHILD)) ? style : (style | WS_CAPTION);
  w->exStyle = exStyle;
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = ScreenWidth() * 3 / 4;
    height = ScreenHeight() * 3 / 4;
  }
  // Windows clamps negative sizes to zero.
  w->place.normal = Place(x, y, width, height);
  uintptr_t raw = S().windows.Add(std::move(w));
  if (!raw) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HWND hwnd = As<HWND>(raw);
  S().zOrder.push_back(hwnd);

  // Windows' order: the size limits, the non-client part, the client area
  // worked out from the frame, then WM_CREATE. Refused at WM_NCCREATE or
  // WM_CREATE, the window was never fully made: only WM_NCDESTROY follows.
  // WM_SIZE and WM_MOVE wait for the first show.
  MINMAXINFO limits = DefaultMinMaxInfo(*Find(hwnd));
  Send(hwnd, WM_GETMINMAXINFO, 0, LPARAM(reinterpret_cast<intptr_t>(&limits)));
  if (Window* made = Find(hwnd); made && HeldToTrackSize(style)) {
    RECT& n = made->place.normal;
    n = Place(n.left, n.top, std::max<int64_t>(int64_t(n.right) - n.left, limits.ptMinTrackSize.x),
              std::max<int64_t>(int64_t(n.bottom) - n.top, limits.ptMinTrackSize.y));
  }
  CREATESTRUCTA cs{param, hInstance, menu, parent, height, width, y, x, LONG(style), windowName,
                   c->record.lpszClassName, exStyle};
  bool made = Find(hwnd) && Send(hwnd, WM_NCCREATE, 0, LPARAM(reinterpret_cast<intptr_t>(&cs)));
  if (made) {
    RECT frame = OuterRect(*Find(hwnd));
    Send(hwnd, WM_NCCALCSIZE, FALSE, LPARAM(reinterpret_cast<intptr_t>(&frame)));
    made = Find(hwnd) && Send(hwnd, WM_CREATE, 0, LPARAM(reinterpret_cast<intptr_t>(&cs))) != -1;
  }
  if (!made) {
    if (Find(hwnd)) {
      Send(hwnd, WM_NCDESTROY, 0, 0);
      if (Find(hwnd)) ForgetWindow(hwnd);
    }
    return nullptr;
  }
  if (!Find(hwnd)) return nullptr;
  TellHost(hwnd);
  if (Window* cw = Find(hwnd); cw && (style & WS_VISIBLE)) {
    cw->style &= ~DWORD(WS_VISIBLE);
    int cmd = (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOW;
    ShowWindowImpl(hwnd, cmd);
  }
  return Find(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
  Window* w = FindOrFail(hwnd);
  if (!w) return FALSE;
  if (w->destroying) return TRUE;  // already on its way out (WM_DESTROY handler calling again)
  // Hidden first (without WM_SHOWWINDOW), then activation and focus move
  // on, then WM_DESTROY and WM_NCDESTROY.
  if (w->place.visible) {
    Placement hidden = w->place;
    hidden.visible = false;
    PlaceWindow(hwnd, hidden, SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
    if (!(w = Find(hwnd)) || w->destroying) return TRUE;
  }
  w->destroying = true;
  if (S().active == hwnd) SetActive(NextActive(hwnd));
  if (S().focus == hwnd) SetFocusTo(nullptr);
  Send(hwnd, WM_DESTROY, 0, 0);
  KillWindowTimers(hwnd);
  Send(hwnd, WM_NCDESTROY, 0, 0);
  ForgetWindow(hwnd);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  return Find(hwnd) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
  Window* w = Find(hwnd);
  return w && w->place.visible ? TRUE : FALSE;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
  // Top-level windows, hidden ones too, topmost first; names ignore case.
  const WindowClass* c = nullptr;
  if (className) {
    c = FindClass(className);
    if (!c) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
  }
  const auto& z = S().zOrder;
  for (auto it = z.rbegin(); it != z.rend(); ++it) {
    const Window* w = Find(*it);
    if (!w || w->destroying) continue;
    if (c && Lower(w->className.c_str()) != Lower(c->name.c_str())) continue;
    if (windowName && Lower(w->title.c_str()) != Lower(windowName)) continue;
    return *it;
  }
  return nullptr;
}

int GetWindowTextA(HWND hwnd, LPSTR buffer, int maxCount) {
  Window* w = FindOrFail(hwnd);
  if (!w || !buffer || maxCount <= 0) return 0;
  size_t n = std::min(w->title.size(), size_t(maxCount - 1));
  std::memcpy(buffer, w->title.data(), n);
  buffer[n] = '\0';
  return int(n);
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  switch (message) {
    case WM_NCCREATE:
    case WM_NCACTIVATE:
    case WM_QUERYOPEN:
      return TRUE;
    case WM_WINDOWPOSCHANGING: {
      // The size limits are asked for whenever the size may change, and a
      // window not minimised is held to the smallest.
      WINDOWPOS* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      if (pos && !(pos->flags & SWP_NOSIZE)) {
        MINMAXINFO limits = DefaultMinMaxInfo(*w);
        const bool held = HeldToTrackSize(w->style) && w->place.state != ShowState::Minimized;
        SendMessageA(hwnd, WM_GETMINMAXINFO, 0, LPARAM(reinterpret_cast<intptr_t>(&limits)));
        if (held) {
          pos->cx = std::max(pos->cx, int(limits.ptMinTrackSize.x));
          pos->cy = std::max(pos->cy, int(limits.ptMinTrackSize.y));
        }
      }
      return 0;
    }
    case WM_NCLBUTTONDOWN:
      // The caption moves the window, a sizing border sizes it; both come
      // back once the button is up.
      if (wParam == HTCAPTION) {
        if (S().active != hwnd) SetActive(hwnd);
        if (Find(hwnd)) SendMessageA(hwnd, WM_SYSCOMMAND, SC_MOVE + HTCAPTION, lParam);
      } else if (wParam >= HTLEFT && wParam <= HTBOTTOMRIGHT && (w->style & WS_THICKFRAME)) {
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_SIZE + (wParam - HTLEFT + WMSZ_LEFT), lParam);
      }
      return 0;
    case WM_NCLBUTTONDBLCLK:
      // A double-click on the caption maximises or restores, where there is
      // a maximise box to do it with.
      if (wParam == HTCAPTION && (w->style & WS_MAXIMIZEBOX))
        SendMessageA(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lParam);
      return 0;
    case WM_WINDOWPOSCHANGED: {
      // Here, and only here, moves and new sizes become WM_MOVE and WM_SIZE.
      const WINDOWPOS* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (pos && !(pos->flags & kNoClientMove)) SendMove(hwnd);
      if (pos && !(pos->flags & kNoClientSize)) SendSize(hwnd);
      return 0;
    }
    case WM_ACTIVATE:
      // An activated window that is not an icon takes the focus.
      if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) SetFocusTo(hwnd);
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          SendMessageA(hwnd, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          ShowWindowImpl(hwnd, SW_MINIMIZE);
          break;
        case SC_MAXIMIZE:
          ShowWindowImpl(hwnd, SW_MAXIMIZE);
          break;
        case SC_RESTORE:
          ShowWindowImpl(hwnd, SW_RESTORE);
          break;
        case SC_MOVE:
        case SC_SIZE:
          MoveSizeLoop(hwnd, wParam, POINT{short(LOWORD(lParam)), short(HIWORD(lParam))});
          break;
      }
      return 0;
    case WM_ERASEBKGND: {
      COLORREF color;
      if (!w->background || !BrushColor(w->background, &color)) return 0;
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(As<HDC>(wParam), &r, w->background);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      if (BeginPaint(hwnd, &ps)) EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return 0;
  }
}
