// user32: the window manager's actions, which hosts carry out on the user's
// behalf (the close box, another application, moving, sizing, minimising).
#include "internal.h"

namespace w32 {

namespace wm {

bool Close(HWND hwnd, MSG* msg) {
  if (!Find(hwnd)) return false;
  *msg = MSG{hwnd, WM_SYSCOMMAND, SC_CLOSE, 0, 0, {0, 0}};
  return true;
}

void ActivateOther() {
  SetActive(nullptr);
}

void Activate(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w || !Shown(*w)) return;
  if (w->place.state == ShowState::Minimized)
    ShowWindowImpl(hwnd, SW_RESTORE);
  else
    SetActive(hwnd);
}

// The user drags the frame: only a normal window can be dragged.
void Move(HWND hwnd, int x, int y) {
  Window* w = Find(hwnd);
  if (!w || w->place.state != ShowState::Normal) return;
  Placement next = w->place;
  const RECT& n = w->place.normal;
  next.normal = Place(x, y, int64_t(n.right) - n.left, int64_t(n.bottom) - n.top);
  PlaceWindow(hwnd, next, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The user drags a border until the client area has that size; a minimised
// or maximised window becomes a normal one.
void ResizeClient(HWND hwnd, int width, int height) {
  Window* w = Find(hwnd);
  if (!w) return;
  Frame f = FrameOf(*w);
  Placement next = w->place;
  next.state = ShowState::Normal;
  int64_t outerWidth = std::max(0, width) + int64_t(2 * f.x);
  int64_t outerHeight = std::max(0, height) + int64_t(2 * f.y + f.caption);
  // A border dragged is held to the tracking size, as in the size loop,
  // whatever the window was before: the default procedure holds only a
  // window that is not minimised, and this one may be until now.
  if (HeldToTrackSize(w->style)) {
    const MINMAXINFO limits = DefaultMinMaxInfo(*w);
    outerWidth = std::max<int64_t>(outerWidth, limits.ptMinTrackSize.x);
    outerHeight = std::max<int64_t>(outerHeight, limits.ptMinTrackSize.y);
  }
  next.normal = Place(w->place.normal.left, w->place.normal.top, outerWidth, outerHeight);
  PlaceWindow(hwnd, next, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MoveClient(HWND hwnd, int x, int y) {
  Window* w = Find(hwnd);
  if (!w) return;
  Frame f = FrameOf(*w);
  Move(hwnd, Clamp(int64_t(x) - f.x), Clamp(int64_t(y) - f.y - f.caption));
}

void Show(HWND hwnd, int showCommand) {
  ShowWindowImpl(hwnd, showCommand);
}

// The desktop maximised the window, or moved or sized it while maximised.
// An area no display could hold is nonsense from the host and changes nothing.
void Maximized(HWND hwnd, const RECT& client) {
  const int64_t width = int64_t(client.right) - client.left, height = int64_t(client.bottom) - client.top;
  if (width < 1 || height < 1 || width > kMaxDisplaySide || height > kMaxDisplaySide) return;
  Window* w = Find(hwnd);
  if (!w) return;
  if (w->place.state != ShowState::Maximized) {
    w->place.maximized = client;
    ShowWindowImpl(hwnd, SW_MAXIMIZE);
    return;
  }
  Placement next = w->place;
  next.maximized = client;
  PlaceWindow(hwnd, next, SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

// A message about the pointer at `at` on the screen, as the queue hands it out.
bool Pointer(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, POINT at, MSG* msg) {
  *msg = MSG{hwnd, message, wParam, lParam, 0, at};
  return true;
}

// Client coordinates, cut to 16 bits each as the message carries them.
LPARAM ClientPoint(HWND hwnd, POINT at) {
  const RECT c = ClientOnScreen(*Find(hwnd));
  return MAKELPARAM(int64_t(at.x) - c.left, int64_t(at.y) - c.top);
}

}  // namespace

bool Press(HWND hwnd, int hit, POINT at, MSG* msg) {
  Window* w = Find(hwnd);
  if (!w || !OnScreen(*w) || S().dragged) return false;
  return Pointer(hwnd, WM_NCLBUTTONDOWN, WPARAM(hit), MAKELPARAM(at.x, at.y), at, msg);
}

bool DoubleClick(HWND hwnd, int hit, POINT at, MSG* msg) {
  Window* w = Find(hwnd);
  if (!w || !OnScreen(*w) || S().dragged) return false;
  return Pointer(hwnd, WM_NCLBUTTONDBLCLK, WPARAM(hit), MAKELPARAM(at.x, at.y), at, msg);
}

bool PointerMoved(POINT at, MSG* msg) {
  HWND hwnd = S().dragged;
  if (!hwnd || !Find(hwnd)) return false;
  return Pointer(hwnd, WM_MOUSEMOVE, MK_LBUTTON, ClientPoint(hwnd, at), at, msg);
}

bool Released(POINT at, MSG* msg) {
  HWND hwnd = S().dragged;
  if (!hwnd || !Find(hwnd)) return false;
  return Pointer(hwnd, WM_LBUTTONUP, 0, ClientPoint(hwnd, at), at, msg);
}

void ScreenSize(int width, int height) {
  if (width < 1 || height < 1 || width > kMaxDisplaySide || height > kMaxDisplaySide) return;
  if (width == ScreenWidth() && height == ScreenHeight()) return;
  // A new display mode: DirectDraw's surfaces in display memory are lost,
  // the primary surface (the screen itself) among them.
  LoseSurfaces();
  ResetScreen(width, height);
}

void Cover(int id, const RECT& rect) {
  S().covers.push_back(w32::Cover{id, rect});
  Recompose(rect);
}

void Uncover(int id) {
  auto& c = S().covers;
  auto it = std::find_if(c.begin(), c.end(), [id](const w32::Cover& x) { return x.id == id; });
  if (it == c.end()) return;
  RECT r = it->rect;
  c.erase(it);
  Recompose(r);
}

}  // namespace wm

}  // namespace w32
