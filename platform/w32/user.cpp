// user32: window classes, windows, the window manager model, the message
// queue, timers, painting and geometry.
#include "user_internal.h"

namespace w32 {

State& S() {
  static State s;
  return s;
}

std::string Lower(const char* s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

Window* Find(HWND hwnd) {
  return S().windows.Find(Raw(hwnd));
}

Window* FindOrFail(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

bool IsLiveWindow(HWND hwnd) {
  return Find(hwnd) != nullptr;
}

size_t LiveWindowCount() {
  return S().windows.Count();
}

size_t LiveTimerCount() {
  return S().timers.size();
}

void ResetUser() {
  State& s = S();
  // Destroy windows without calling back into their procedures: the test
  // that made them is over.
  s.windows.Clear();
  s.zOrder.clear();
  s.covers.clear();
  s.classes.clear();
  s.nextAtom = 0xC000;
  s.active = nullptr;
  s.posted.clear();
  s.input.clear();
  s.quitPosted = false;
  s.quitCode = 0;
  s.timers.clear();
  s.windowDcs.clear();  // the contexts themselves end with the gdi reset
  s.nextThreadTimer = 1;
}

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

using namespace w32;

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (owner && !FindOrFail(owner)) return 0;
  const char* shownCaption = caption ? caption : "Error";
  TheRecords().messageBoxes.push_back(MessageBoxRecord{owner, text ? text : "", shownCaption, type});
  return CurrentHost().ShowMessageBox(owner, text ? text : "", shownCaption, type);
}
