// user32: the window manager's actions, which hosts carry out on the user's
// behalf (the close box, another application, moving, sizing, minimising).
#include "user_internal.h"

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
  if (w->state == ShowState::Minimized)
    ShowWindowImpl(hwnd, SW_RESTORE);
  else
    SetActive(hwnd);
}

void Move(HWND hwnd, int x, int y) {
  Reshape(hwnd, [&](Window& w) {
    if (w.state != ShowState::Normal) return;  // only a normal window can be dragged
    w.normal = Place(x, y, int64_t(w.normal.right) - w.normal.left, int64_t(w.normal.bottom) - w.normal.top);
  });
}

void ResizeClient(HWND hwnd, int width, int height) {
  Reshape(hwnd, [&](Window& w) {
    Frame f = FrameOf(w);
    w.state = ShowState::Normal;
    w.normal = Place(w.normal.left, w.normal.top, std::max(0, width) + int64_t(2 * f.x),
                     std::max(0, height) + int64_t(2 * f.y + f.caption));
  });
}

void Show(HWND hwnd, int showCommand) {
  ShowWindowImpl(hwnd, showCommand);
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
