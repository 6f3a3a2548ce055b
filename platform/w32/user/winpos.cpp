// user32: show states, activation, moving and sizing.
#include <cstdlib>

#include "internal.h"

namespace w32 {
namespace {

// Brings a window to the top of ours; what the windows above covered of it
// is drawn again.
void RaiseToTop(HWND hwnd) {
  auto& z = S().zOrder;
  auto it = std::find(z.begin(), z.end(), hwnd);
  if (it == z.end() || it + 1 == z.end()) return;
  Window* w = Find(hwnd);
  pixman_region32_t covered, above;
  pixman_region32_init(&covered);
  for (auto a = it + 1; a != z.end(); ++a) {
    Window* x = Find(*a);
    if (!x || !OnScreen(*x)) continue;
    RegionFromRect(&above, OuterRect(*x));
    pixman_region32_union(&covered, &covered, &above);
    pixman_region32_fini(&above);
  }
  z.erase(it);
  z.push_back(hwnd);
  if (w && Shown(*w)) {
    RegionFromRect(&above, OuterRect(*w));
    pixman_region32_intersect(&covered, &covered, &above);
    pixman_region32_fini(&above);
    RecomposeRegion(&covered);
  }
  pixman_region32_fini(&covered);
}

}  // namespace

// Moves the keyboard focus: WM_KILLFOCUS to the window that loses it, then
// WM_SETFOCUS to the one that gains it.
void SetFocusTo(HWND hwnd) {
  State& s = S();
  HWND old = s.focus;
  if (old == hwnd) return;
  s.focus = hwnd;
  if (old && Find(old)) Send(old, WM_KILLFOCUS, WPARAM(Raw(hwnd)), 0);
  if (hwnd && Find(hwnd) && s.focus == hwnd) Send(hwnd, WM_SETFOCUS, WPARAM(Raw(old)), 0);
}

// Moves activation to `hwnd` (one of ours) or, for null, to another
// application, in Windows' order: the window that loses it hears
// WM_NCACTIVATE and WM_ACTIVATE; when the application loses it, every window
// hears WM_ACTIVATEAPP and the focus goes; when it gains it, WM_ACTIVATEAPP
// comes first; then the new window hears WM_NCACTIVATE and WM_ACTIVATE, on
// which the default procedure gives it the focus.
void SetActive(HWND hwnd) {
  State& s = S();
  if (hwnd && !Find(hwnd)) hwnd = nullptr;  // a window already gone cannot take it
  HWND old = s.active;
  if (old == hwnd) return;
  s.active = hwnd;
  bool appChanged = (old == nullptr) != (hwnd == nullptr);
  if (old && Find(old)) {
    Send(old, WM_NCACTIVATE, FALSE, 0);
    if (Find(old)) Send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(old)), LPARAM(Raw(hwnd)));
    RedrawFrame(old);
  }
  if (appChanged && !hwnd) {
    SendToAll(WM_ACTIVATEAPP, FALSE, 0);
    SetFocusTo(nullptr);
  }
  if (appChanged && hwnd) SendToAll(WM_ACTIVATEAPP, TRUE, 0);
  if (hwnd && Find(hwnd) && s.active == hwnd) {
    RaiseToTop(hwnd);
    Send(hwnd, WM_NCACTIVATE, TRUE, 0);
    if (Find(hwnd) && s.active == hwnd)
      Send(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, IsIconic(hwnd)), LPARAM(Raw(old)));
    RedrawFrame(hwnd);
  }
}

// The window to activate when `leaving` stops being active: our topmost
// other shown, non-minimised window, or null (another application).
HWND NextActive(HWND leaving) {
  const auto& z = S().zOrder;
  for (auto it = z.rbegin(); it != z.rend(); ++it) {
    if (*it == leaving) continue;
    Window* w = Find(*it);
    if (w && OnScreen(*w)) return *it;
  }
  return nullptr;
}

MINMAXINFO DefaultMinMaxInfo(const Window& w) {
  Frame f = FrameOf(w);
  MINMAXINFO info{};
  info.ptMaxSize = POINT{ScreenWidth() + 2 * f.x, ScreenHeight() + 2 * f.y};
  info.ptMaxPosition = POINT{-f.x, -f.y};
  info.ptMinTrackSize = POINT{kMinTrackWidth, kMinTrackHeight};
  info.ptMaxTrackSize = info.ptMaxSize;
  return info;
}

bool HeldToTrackSize(DWORD style) {
  return (style & WS_THICKFRAME) || !(style & (WS_POPUP | WS_CHILD));
}

void SendSize(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) return;
  w->sizeSent = true;
  RECT c = ClientOnScreen(*w);
  WPARAM kind = w->place.state == ShowState::Minimized   ? SIZE_MINIMIZED
                : w->place.state == ShowState::Maximized ? SIZE_MAXIMIZED
                                                         : SIZE_RESTORED;
  Send(hwnd, WM_SIZE, kind, MAKELPARAM(c.right - c.left, c.bottom - c.top));
}

void SendMove(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) return;
  w->sizeSent = true;
  RECT c = ClientOnScreen(*w);
  Send(hwnd, WM_MOVE, 0, MAKELPARAM(c.left, c.top));
}

namespace {

// Rectangles may reach from one end of int to the other.
int64_t Width(const RECT& r) {
  return int64_t(r.right) - r.left;
}
int64_t Height(const RECT& r) {
  return int64_t(r.bottom) - r.top;
}

// The pixels a window showed of its client area, kept while it moves so
// they can go along instead of being painted again.
class ClientBits {
 public:
  ClientBits(HWND hwnd, const RECT& client) : m_origin{client.left, client.top} {
    pixman_region32_init(&m_region);
    VisibleClientRegion(hwnd, &m_region);
    const pixman_box32_t* e = pixman_region32_extents(&m_region);
    if (!pixman_region32_not_empty(&m_region)) return;
    m_box = *e;
    m_image = pixman_image_create_bits_no_clear(PIXMAN_x8r8g8b8, e->x2 - e->x1, e->y2 - e->y1, nullptr, 0);
    if (m_image)
      pixman_image_composite32(PIXMAN_OP_SRC, Screen(), nullptr, m_image, e->x1, e->y1, 0, 0, 0, 0, e->x2 - e->x1,
                               e->y2 - e->y1);
  }
  ~ClientBits() {
    pixman_region32_fini(&m_region);
    if (m_image) pixman_image_unref(m_image);
  }
  ClientBits(const ClientBits&) = delete;
  ClientBits& operator=(const ClientBits&) = delete;

  // Puts the kept pixels where the client area now is, on what of it is
  // visible, and takes that part out of the window's update region.
  void MoveTo(HWND hwnd, Window& w, const RECT& client) {
    const int64_t dx64 = int64_t(client.left) - m_origin.x, dy64 = int64_t(client.top) - m_origin.y;
    // Moved further than any screen is wide: nothing of it can still show.
    if (!m_image || std::abs(dx64) > 0x10000 || std::abs(dy64) > 0x10000) return;
    const int dx = int(dx64), dy = int(dy64);
    pixman_region32_t now;
    pixman_region32_init(&now);
    VisibleClientRegion(hwnd, &now);
    pixman_region32_translate(&m_region, dx, dy);
    pixman_region32_intersect(&now, &now, &m_region);
    pixman_image_set_clip_region32(Screen(), &now);
    pixman_image_composite32(PIXMAN_OP_SRC, m_image, nullptr, Screen(), 0, 0, 0, 0, m_box.x1 + dx, m_box.y1 + dy,
                             m_box.x2 - m_box.x1, m_box.y2 - m_box.y1);
    pixman_image_set_clip_region32(Screen(), nullptr);
    Wrote(Screen(), &now);
    pixman_region32_translate(&now, Clamp(-int64_t(client.left)), Clamp(-int64_t(client.top)));
    pixman_region32_subtract(&w.update, &w.update, &now);
    if (!pixman_region32_not_empty(&w.update)) w.erasePending = false;
    pixman_region32_fini(&now);
    ScreenChanged(client);
  }

 private:
  POINT m_origin;
  pixman_region32_t m_region;  // screen coordinates
  pixman_box32_t m_box{};
  pixman_image_t* m_image = nullptr;
};

}  // namespace

// The one way a window is moved, sized, shown, hidden or changes its show
// state, as SetWindowPos does it: WM_WINDOWPOSCHANGING (whose default
// handling asks WM_GETMINMAXINFO when the size may change); WM_NCCALCSIZE
// when the size or frame changes; activation of a window being shown; the
// frame and whatever came to light erased at once, what the window must
// paint left to WM_PAINT; then WM_WINDOWPOSCHANGED, whose default handling
// sends WM_MOVE and WM_SIZE for what changed of the client area. A client
// area that only moves takes its pixels along and needs no painting.
void PlaceWindow(HWND hwnd, Placement next, UINT flags) {
  Window* w = Find(hwnd);
  if (!w) return;
  // Minimising, maximising or restoring changes the frame too.
  if (next.state != w->place.state) flags |= kStateChanged | SWP_FRAMECHANGED;
  const RECT target = OuterRectOf(*w, next);
  WINDOWPOS pos{hwnd, nullptr, 0, 0, 0, 0, flags};
  if (!(flags & SWP_NOMOVE)) pos.x = target.left, pos.y = target.top;
  if (!(flags & SWP_NOSIZE)) pos.cx = Clamp(Width(target)), pos.cy = Clamp(Height(target));
  Send(hwnd, WM_WINDOWPOSCHANGING, 0, LPARAM(reinterpret_cast<intptr_t>(&pos)));
  if (!(w = Find(hwnd))) return;
  // The procedure may move or size a normal window differently.
  if (next.state == ShowState::Normal) {
    const RECT& n = next.normal;
    if (!(flags & SWP_NOMOVE)) next.normal = Place(pos.x, pos.y, int64_t(n.right) - n.left, int64_t(n.bottom) - n.top);
    if (!(flags & SWP_NOSIZE)) next.normal = Place(next.normal.left, next.normal.top, pos.cx, pos.cy);
  }

  const RECT outerBefore = OuterRect(*w), clientBefore = ClientOnScreen(*w);
  const RECT outerAfter = OuterRectOf(*w, next), clientAfter = ClientOnScreenOf(*w, next);
  const bool sized = Width(outerBefore) != Width(outerAfter) || Height(outerBefore) != Height(outerAfter);
  const bool clientSized = Width(clientBefore) != Width(clientAfter) || Height(clientBefore) != Height(clientAfter);
  const bool clientMoved = clientBefore.left != clientAfter.left || clientBefore.top != clientAfter.top;
  const bool wasShown = Shown(*w);
  if (sized || (flags & SWP_FRAMECHANGED)) {
    NCCALCSIZE_PARAMS params{{outerAfter, outerBefore, clientBefore}, &pos};
    Send(hwnd, WM_NCCALCSIZE, TRUE, LPARAM(reinterpret_cast<intptr_t>(&params)));
    if (!(w = Find(hwnd))) return;
  }

  const bool bitsMove = wasShown && next.visible && !clientSized && clientMoved &&
                        next.state != ShowState::Minimized && w->place.state == next.state;
  std::unique_ptr<ClientBits> bits;
  if (bitsMove) bits = std::make_unique<ClientBits>(hwnd, clientBefore);
  // A new size (the class asks for it) or a fresh show means painting the
  // whole client area again, seen or not.
  if (clientSized) pixman_region32_clear(&w->update);
  w->place = next;
  if (clientSized || (!wasShown && Shown(*w))) Invalidate(hwnd, nullptr, true);
  pixman_region32_t touched, after;
  RegionFromRect(&touched, outerBefore);
  RegionFromRect(&after, outerAfter);
  pixman_region32_union(&touched, &touched, &after);
  RecomposeRegion(&touched);
  pixman_region32_fini(&after);
  pixman_region32_fini(&touched);
  if (bits) bits->MoveTo(hwnd, *w, clientAfter);

  if (!wasShown && Shown(*w) && !(flags & SWP_NOACTIVATE)) SetActive(hwnd);
  if (!(w = Find(hwnd))) return;
  if (Shown(*w) && (sized || !wasShown || (flags & SWP_FRAMECHANGED))) {
    Send(hwnd, WM_NCPAINT, 1, 0);
    if (!(w = Find(hwnd))) return;
  }
  EraseNow(hwnd);
  if (!(w = Find(hwnd))) return;

  TellHost(hwnd);
  WINDOWPOS done{hwnd, nullptr, outerAfter.left, outerAfter.top, Clamp(Width(outerAfter)), Clamp(Height(outerAfter)),
                 flags | (clientSized ? 0 : kNoClientSize) | (clientMoved ? 0 : kNoClientMove)};
  Send(hwnd, WM_WINDOWPOSCHANGED, 0, LPARAM(reinterpret_cast<intptr_t>(&done)));
}

// The user holds the button down on the caption (SC_MOVE) or on a sizing
// border (SC_SIZE + WMSZ_...) from `start` on, as DefWindowProcA's
// WM_SYSCOMMAND does it: the limits are asked for once, WM_ENTERSIZEMOVE, and
// then until the button comes up the window follows the pointer, each step
// announced with WM_MOVING or WM_SIZING (whose procedure may change the
// rectangle), while every other message is dispatched as usual, so timers
// keep running; WM_CAPTURECHANGED and WM_EXITSIZEMOVE at the end. The
// pointer stays on the screen, and a border stops at the size limits.
void MoveSizeLoop(HWND hwnd, WPARAM command, POINT start) {
  Window* w = Find(hwnd);
  State& s = S();
  if (!w || !Shown(*w) || w->place.state != ShowState::Normal || s.dragged) return;
  const bool moving = (command & 0xFFF0) == SC_MOVE;
  const int edge = moving ? 0 : int(command & 0x0F);
  if (!moving && (!(w->style & WS_THICKFRAME) || edge < WMSZ_LEFT || edge > WMSZ_BOTTOMRIGHT)) return;
  MINMAXINFO limits = DefaultMinMaxInfo(*w);
  Send(hwnd, WM_GETMINMAXINFO, 0, LPARAM(reinterpret_cast<intptr_t>(&limits)));
  if (!Find(hwnd)) return;
  Send(hwnd, WM_ENTERSIZEMOVE, 0, 0);
  if (!(w = Find(hwnd)) || s.dragged) return;
  s.dragged = hwnd;

  // Where the pointer may go: the screen; while sizing, no further than
  // keeps the size within the limits.
  RECT rect = w->place.normal;
  const bool left = edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT;
  const bool right = edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT;
  const bool top = edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT;
  const bool bottom = edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT;
  int64_t lo[2] = {0, 0}, hi[2] = {ScreenWidth() - 1, ScreenHeight() - 1};
  const int64_t size[2] = {int64_t(rect.right) - rect.left, int64_t(rect.bottom) - rect.top};
  const int64_t least[2] = {limits.ptMinTrackSize.x, limits.ptMinTrackSize.y};
  const int64_t most[2] = {limits.ptMaxTrackSize.x, limits.ptMaxTrackSize.y};
  const int64_t from[2] = {start.x, start.y};
  const bool grows[2] = {right, bottom}, shrinks[2] = {left, top};
  for (int i = 0; i < 2; ++i) {
    if (grows[i]) {
      lo[i] = std::max(lo[i], from[i] + least[i] - size[i]);
      hi[i] = std::min(hi[i], from[i] + most[i] - size[i]);
    } else if (shrinks[i]) {
      lo[i] = std::max(lo[i], from[i] - (most[i] - size[i]));
      hi[i] = std::min(hi[i], from[i] + (size[i] - least[i]));
    }
  }
  for (int i = 0; i < 2; ++i) hi[i] = std::max(hi[i], lo[i]);
  POINT last{Clamp(std::min(std::max(from[0], lo[0]), hi[0])), Clamp(std::min(std::max(from[1], lo[1]), hi[1]))};

  for (;;) {
    MSG msg;
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) PostQuitMessage(int(msg.wParam));  // for the loop outside
    if (got <= 0 || s.dragged != hwnd || !Find(hwnd) || msg.message == WM_LBUTTONUP) break;
    if (msg.message != WM_MOUSEMOVE) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      continue;
    }
    const POINT pt{Clamp(std::min(std::max<int64_t>(msg.pt.x, lo[0]), hi[0])),
                   Clamp(std::min(std::max<int64_t>(msg.pt.y, lo[1]), hi[1]))};
    const LONG dx = pt.x - last.x, dy = pt.y - last.y;
    if (!dx && !dy) continue;
    last = pt;
    if (moving) {
      OffsetRect(&rect, dx, dy);
    } else {
      if (left) rect.left = Clamp(int64_t(rect.left) + dx);
      if (right) rect.right = Clamp(int64_t(rect.right) + dx);
      if (top) rect.top = Clamp(int64_t(rect.top) + dy);
      if (bottom) rect.bottom = Clamp(int64_t(rect.bottom) + dy);
    }
    Send(hwnd, moving ? WM_MOVING : WM_SIZING, WPARAM(edge), LPARAM(reinterpret_cast<intptr_t>(&rect)));
    if (!(w = Find(hwnd))) break;
    Placement next = w->place;
    next.normal = Place(rect.left, rect.top, int64_t(rect.right) - rect.left, int64_t(rect.bottom) - rect.top);
    PlaceWindow(hwnd, next, SWP_NOZORDER | SWP_NOACTIVATE | (moving ? SWP_NOSIZE : 0));
  }
  if (s.dragged == hwnd) s.dragged = nullptr;
  if (!Find(hwnd)) return;
  Send(hwnd, WM_CAPTURECHANGED, 0, 0);
  if (Find(hwnd)) Send(hwnd, WM_EXITSIZEMOVE, 0, 0);
}

// Tells the host how the window stands now, so a host that shows it can follow.
void TellHost(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) return;
  WindowState state{w->title.c_str(),
                    ClientOnScreen(*w),
                    Shown(*w),
                    w->place.state == ShowState::Minimized,
                    w->place.state == ShowState::Maximized,
                    (w->style & WS_THICKFRAME) != 0};
  CurrentHost().WindowChanged(hwnd, state);
}

// ShowWindow. Visibility changes are announced with WM_SHOWWINDOW first. A
// window being shown is activated while it is placed; one changing state,
// after (restoring from an icon asks WM_QUERYOPEN; maximising asks
// WM_GETMINMAXINFO). Minimising takes the focus away; SW_MINIMIZE and
// SW_HIDE hand activation on, SW_SHOWMINNOACTIVE leaves it alone. The first
// time a window is shown it hears WM_SIZE and WM_MOVE at the end.
BOOL ShowWindowImpl(HWND hwnd, int cmd) {
  Window* w = FindOrFail(hwnd);
  if (!w) return FALSE;
  const BOOL wasVisible = w->place.visible ? TRUE : FALSE;
  if (cmd < SW_HIDE || cmd > SW_FORCEMINIMIZE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (cmd == SW_SHOWDEFAULT) cmd = SW_SHOWNORMAL;
  const ShowState state = w->place.state;
  Placement next = w->place;
  next.visible = cmd != SW_HIDE;
  UINT flags = SWP_NOSIZE | SWP_NOMOVE;
  bool activate = false, handOn = false;
  switch (cmd) {
    case SW_HIDE:
      if (!wasVisible) return FALSE;
      flags |= SWP_NOACTIVATE;
      handOn = true;
      break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
      if (state != ShowState::Minimized) next.restoreToMaximized = state == ShowState::Maximized;
      next.state = ShowState::Minimized;
      activate = cmd == SW_SHOWMINIMIZED;
      handOn = cmd == SW_MINIMIZE || cmd == SW_FORCEMINIMIZE;
      break;
    case SW_SHOWMAXIMIZED:
      next.state = ShowState::Maximized;
      activate = true;
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWNOACTIVATE:
      next.state = cmd == SW_RESTORE && state == ShowState::Minimized && w->place.restoreToMaximized
                       ? ShowState::Maximized
                       : ShowState::Normal;
      activate = cmd != SW_SHOWNOACTIVATE;
      break;
    case SW_SHOW:
      activate = true;
      break;
    case SW_SHOWNA:
      break;
  }
  const bool stateChanges = next.state != state;
  if (stateChanges) flags = SWP_NOCOPYBITS | SWP_NOZORDER;  // PlaceWindow adds the state's own
  if (next.visible && !wasVisible) flags |= SWP_SHOWWINDOW;
  if (!next.visible) flags |= SWP_HIDEWINDOW;
  if (!activate || stateChanges) flags |= SWP_NOACTIVATE;

  if (next.visible != bool(wasVisible)) {
    Send(hwnd, WM_SHOWWINDOW, next.visible, 0);
    if (!Find(hwnd)) return wasVisible;
  }
  if (stateChanges && state == ShowState::Minimized && !Send(hwnd, WM_QUERYOPEN, 0, 0)) return wasVisible;
  if (stateChanges && next.state == ShowState::Maximized) {
    MINMAXINFO info = DefaultMinMaxInfo(*w);
    Send(hwnd, WM_GETMINMAXINFO, 0, LPARAM(reinterpret_cast<intptr_t>(&info)));
  }
  if (stateChanges && next.state == ShowState::Minimized && S().focus == hwnd) SetFocusTo(nullptr);
  if (!(w = Find(hwnd))) return wasVisible;
  if (stateChanges || next.visible != bool(wasVisible)) {
    // A hidden window being shown activates while it is placed.
    if (activate && !stateChanges && !wasVisible) flags &= ~UINT(SWP_NOACTIVATE);
    PlaceWindow(hwnd, next, flags);
  }
  if (!(w = Find(hwnd))) return wasVisible;
  if (activate) {
    if (S().active != hwnd)
      SetActive(hwnd);
    else if (S().focus != hwnd && w->place.state != ShowState::Minimized)
      SetFocusTo(hwnd);  // back from an icon while still active
  } else if (handOn && S().active == hwnd) {
    SetActive(NextActive(hwnd));
  }
  if ((w = Find(hwnd)) && Shown(*w) && !w->sizeSent) {
    SendSize(hwnd);
    SendMove(hwnd);
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
  return w && w->place.state == ShowState::Minimized ? TRUE : FALSE;
}

BOOL IsZoomed(HWND hwnd) {
  Window* w = Find(hwnd);
  return w && w->place.state == ShowState::Maximized ? TRUE : FALSE;
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
  Window* w = FindOrFail(hwnd);
  if (!w) return FALSE;
  Placement next = w->place;
  next.state = ShowState::Normal;
  next.normal = Place(x, y, width, height);
  PlaceWindow(hwnd, next, SWP_NOZORDER | SWP_NOACTIVATE);
  return TRUE;
}
