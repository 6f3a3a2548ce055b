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

// Drops every trace of a window; its handle is stale from here on.
void ForgetWindow(HWND hwnd) {
  KillWindowTimers(hwnd);
  auto& z = S().zOrder;
  z.erase(std::remove(z.begin(), z.end(), hwnd), z.end());
  if (S().active == hwnd) S().active = nullptr;
  S().windows.Remove(Raw(hwnd));
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
  w->normal = Place(x, y, width, height);
  uintptr_t raw = S().windows.Add(std::move(w));
  if (!raw) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HWND hwnd = As<HWND>(raw);
  S().zOrder.push_back(hwnd);

  CREATESTRUCTA cs{param, hInstance, menu, parent, height, width, y, x, LONG(style), windowName,
                   c->record.lpszClassName, exStyle};
  if (!Send(hwnd, WM_NCCREATE, 0, LPARAM(reinterpret_cast<intptr_t>(&cs)))) {
    // Refused before it was created: only the non-client part ends.
    if (Find(hwnd)) {
      Send(hwnd, WM_NCDESTROY, 0, 0);
      ForgetWindow(hwnd);
    }
    return nullptr;
  }
  if (Send(hwnd, WM_CREATE, 0, LPARAM(reinterpret_cast<intptr_t>(&cs))) == -1) {
    if (Find(hwnd)) DestroyWindow(hwnd);
    return nullptr;
  }
  if (!Find(hwnd)) return nullptr;
  SendSizeAndMove(hwnd);
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
  RECT outer = OuterRect(*w);
  bool wasShown = Shown(*w);
  w->destroying = true;
  if (S().active == hwnd) SetActive(NextActive(hwnd));
  if (wasShown) Recompose(outer);
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
  return w && w->visible ? TRUE : FALSE;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
  // Top-level windows, topmost first; class names ignore case, as classes do.
  const WindowClass* c = nullptr;
  if (className) {
    c = FindClass(className);
    if (!c) return nullptr;
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
      return TRUE;
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
      (void)lParam;
      return 0;
  }
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (owner && !FindOrFail(owner)) return 0;
  const char* shownCaption = caption ? caption : "Error";
  TheRecords().messageBoxes.push_back(MessageBoxRecord{owner, text ? text : "", shownCaption, type});
  return CurrentHost().ShowMessageBox(owner, text ? text : "", shownCaption, type);
}
