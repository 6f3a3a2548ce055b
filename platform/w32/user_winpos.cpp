// user32: frames and rectangles, show states, activation, moving and sizing.
#include "user_internal.h"

namespace w32 {

Frame FrameOf(const Window& w) {
  Frame f{0, 0, 0};
  if (w.style & WS_THICKFRAME) {
    f.x = f.y = kFrame;
  } else if (w.style & WS_DLGFRAME) {
    f.x = f.y = kFixedFrame;
  } else if (w.style & WS_BORDER) {
    f.x = f.y = 1;
  }
  if ((w.style & WS_CAPTION) == WS_CAPTION) f.caption = kCaption;
  return f;
}

RECT OuterRect(const Window& w) {
  Frame f = FrameOf(w);
  switch (w.state) {
    case ShowState::Minimized:
      return RECT{kMinimizedPos, kMinimizedPos, kMinimizedPos + kMinimizedWidth,
                  kMinimizedPos + f.caption + 2 * f.y};
    case ShowState::Maximized:
      // The frame hangs off the screen so the caption and client fill it.
      return RECT{-f.x, -f.y, ScreenWidth() + f.x, ScreenHeight() + f.y};
    case ShowState::Normal:
      break;
  }
  return w.normal;
}

// Client rectangle in screen coordinates; empty when minimised.
RECT ClientOnScreen(const Window& w) {
  RECT o = OuterRect(w);
  if (w.state == ShowState::Minimized) return RECT{o.left, o.top, o.left, o.top};
  Frame f = FrameOf(w);
  RECT c{Clamp(int64_t(o.left) + f.x), Clamp(int64_t(o.top) + f.y + f.caption), Clamp(int64_t(o.right) - f.x),
         Clamp(int64_t(o.bottom) - f.y)};
  if (c.right < c.left) c.right = c.left;
  if (c.bottom < c.top) c.bottom = c.top;
  return c;
}

bool Shown(const Window& w) {
  return w.visible && !w.destroying;
}

void RaiseToTop(HWND hwnd) {
  auto& z = S().zOrder;
  auto it = std::find(z.begin(), z.end(), hwnd);
  if (it == z.end() || it + 1 == z.end()) return;
  z.erase(it);
  z.push_back(hwnd);
  if (Window* w = Find(hwnd)) Recompose(OuterRect(*w));
}

// Moves activation to `hwnd` (one of ours) or, for null, to another
// application. WM_ACTIVATEAPP goes to all our windows when the application's
// activity changes, before WM_ACTIVATE.
void SetActive(HWND hwnd) {
  State& s = S();
  if (hwnd && !Find(hwnd)) hwnd = nullptr;  // a window already gone cannot take it
  HWND old = s.active;
  if (old == hwnd) return;
  s.active = hwnd;
  // Losing the application's activation: the window hears it first, then the
  // application. Gaining it: the other way round.
  bool appChanged = (old == nullptr) != (hwnd == nullptr);
  if (appChanged && hwnd) SendToAll(WM_ACTIVATEAPP, TRUE, 0);
  if (old && Find(old)) {
    Send(old, WM_ACTIVATE, WA_INACTIVE, LPARAM(Raw(hwnd)));
    if (Window* w = Find(old)) Recompose(OuterRect(*w));
  }
  if (appChanged && !hwnd) SendToAll(WM_ACTIVATEAPP, FALSE, 0);
  if (hwnd && Find(hwnd)) {
    Send(hwnd, WM_ACTIVATE, WA_ACTIVE, LPARAM(Raw(old)));
    RaiseToTop(hwnd);
    if (Window* w = Find(hwnd)) Recompose(OuterRect(*w));
  }
}

// The window to activate when `leaving` stops being active: our topmost
// other shown, non-minimised window, or null (another application).
HWND NextActive(HWND leaving) {
  const auto& z = S().zOrder;
  for (auto it = z.rbegin(); it != z.rend(); ++it) {
    if (*it == leaving) continue;
    Window* w = Find(*it);
    if (w && Shown(*w) && w->state != ShowState::Minimized) return *it;
  }
  return nullptr;
}

void SendSizeAndMove(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) return;
  RECT c = ClientOnScreen(*w);
  WPARAM kind = w->state == ShowState::Minimized   ? SIZE_MINIMIZED
                : w->state == ShowState::Maximized ? SIZE_MAXIMIZED
                                                   : SIZE_RESTORED;
  Send(hwnd, WM_SIZE, kind, MAKELPARAM(c.right - c.left, c.bottom - c.top));
  if (!(w = Find(hwnd))) return;
  Send(hwnd, WM_MOVE, 0, MAKELPARAM(c.left, c.top));
}

BOOL ShowWindowImpl(HWND hwnd, int cmd) {
  Window* w = FindOrFail(hwnd);
  if (!w) return FALSE;
  BOOL wasVisible = w->visible ? TRUE : FALSE;
  if (cmd < SW_HIDE || cmd > SW_FORCEMINIMIZE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (cmd == SW_SHOWDEFAULT) cmd = SW_SHOWNORMAL;
  bool willBeVisible = cmd != SW_HIDE;
  if (willBeVisible != bool(wasVisible)) {
    // The window hears of it before it happens.
    Send(hwnd, WM_SHOWWINDOW, willBeVisible, 0);
    if (!Find(hwnd)) return wasVisible;
  }
  bool activate = false;
  bool deactivate = false;
  Reshape(hwnd, [&](Window& win) {
    switch (cmd) {
      case SW_HIDE:
        win.visible = false;
        deactivate = true;
        break;
      case SW_SHOWNORMAL:
      case SW_RESTORE:
      case SW_SHOWNOACTIVATE:
        if (cmd == SW_RESTORE && win.state == ShowState::Minimized && win.restoreToMaximized)
          win.state = ShowState::Maximized;
        else
          win.state = ShowState::Normal;
        win.visible = true;
        activate = cmd != SW_SHOWNOACTIVATE;
        break;
      case SW_SHOWMINIMIZED:
      case SW_MINIMIZE:
      case SW_SHOWMINNOACTIVE:
      case SW_FORCEMINIMIZE:
        if (win.state != ShowState::Minimized) win.restoreToMaximized = win.state == ShowState::Maximized;
        win.state = ShowState::Minimized;
        win.visible = true;
        activate = cmd == SW_SHOWMINIMIZED;
        deactivate = cmd != SW_SHOWMINIMIZED;
        break;
      case SW_SHOWMAXIMIZED:
        win.state = ShowState::Maximized;
        win.visible = true;
        activate = true;
        break;
      case SW_SHOW:
        win.visible = true;
        activate = true;
        break;
      case SW_SHOWNA:
        win.visible = true;
        break;
    }
  });
  if (!Find(hwnd)) return wasVisible;
  if (activate) {
    SetActive(hwnd);
  } else if (deactivate && S().active == hwnd) {
    SetActive(NextActive(hwnd));
  }
  return wasVisible;
}

}  // namespace w32

using namespace w32;

BOOL ShowWindow(HWND hwnd, int showCommand) {
  return ShowWindowImpl(hwnd, showCommand);
}

BOOL IsIconic(HWND hwnd) {
  Window* w = Find(hwnd);
  return w && w->state == ShowState::Minimized ? TRUE : FALSE;
}

BOOL IsZoomed(HWND hwnd) {
  Window* w = Find(hwnd);
  return w && w->state == ShowState::Maximized ? TRUE : FALSE;
}

HWND GetActiveWindow() {
  return S().active;
}

HWND GetForegroundWindow() {
  return S().active;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  Window* w = FindOrFail(hwnd);
  if (!w || !rect) return FALSE;
  RECT c = ClientOnScreen(*w);
  *rect = RECT{0, 0, c.right - c.left, c.bottom - c.top};
  return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  Window* w = FindOrFail(hwnd);
  if (!w || !rect) return FALSE;
  *rect = OuterRect(*w);
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
  Window* w = FindOrFail(hwnd);
  if (!w || !point) return FALSE;
  RECT c = ClientOnScreen(*w);
  point->x = Wrap(int64_t(point->x) + c.left);
  point->y = Wrap(int64_t(point->y) + c.top);
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
  Window* w = FindOrFail(hwnd);
  if (!w || !point) return FALSE;
  RECT c = ClientOnScreen(*w);
  point->x = Wrap(int64_t(point->x) - c.left);
  point->y = Wrap(int64_t(point->y) - c.top);
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
  if (!FindOrFail(hwnd)) return FALSE;
  Reshape(hwnd, [&](Window& w) {
    w.state = ShowState::Normal;
    w.normal = Place(x, y, width, height);
  });
  return TRUE;
}
