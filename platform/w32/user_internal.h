// What the user module's files share: its objects, its state, and the
// helpers each file offers the others, grouped under the file that defines
// them. Not for the other modules, which go through internal.h.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "internal.h"

namespace w32 {

constexpr int kFrame = 4;     // SM_CXFRAME / SM_CYFRAME, classic values
constexpr int kCaption = 19;  // SM_CYCAPTION
constexpr int kFixedFrame = 3;
constexpr int kMinimizedWidth = 160;
constexpr LONG kMinimizedPos = -32000;
constexpr UINT kMinTimerPeriod = 10;  // USER_TIMER_MINIMUM

constexpr uint32_t kDesktopPixel = 0x003A6EA5;
constexpr uint32_t kFramePixel = 0x00C0C0C0;
constexpr uint32_t kActiveCaptionPixel = 0x00000080;
constexpr uint32_t kInactiveCaptionPixel = 0x00808080;
constexpr uint32_t kCoverPixel = 0x00D4D0C8;

struct WindowClass {
  WNDCLASSA record;  // lpszClassName and lpszMenuName point into the strings below
  std::string name;
  std::string menuName;
  ATOM atom;
};

enum class ShowState { Normal, Minimized, Maximized };

struct Window {
  std::string className;
  WNDPROC proc;
  UINT classStyle;
  HBRUSH background;
  std::string title;
  DWORD style;
  DWORD exStyle;
  RECT normal;  // outer rectangle in the normal state, screen coordinates
  ShowState state = ShowState::Normal;
  bool restoreToMaximized = false;
  bool visible = false;
  bool destroying = false;
  pixman_region32_t update;  // client coordinates
  bool erasePending = false;

  Window() { pixman_region32_init(&update); }
  ~Window() { pixman_region32_fini(&update); }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT period;
  DWORD nextExpiry;
  bool ready;
  TIMERPROC proc;
};

struct Cover {
  int id;
  RECT rect;
};

struct State {
  std::map<std::string, WindowClass> classes;  // key: lower-case name
  ATOM nextAtom = 0xC000;
  HandleTable<Window> windows{HandleKind::Window};
  std::vector<HWND> zOrder;  // bottom to top
  std::vector<Cover> covers;  // other applications' windows, above ours
  HWND active = nullptr;      // null: another application is active
  std::deque<MSG> posted;
  std::deque<MSG> input;
  bool quitPosted = false;
  int quitCode = 0;
  std::vector<Timer> timers;
  std::vector<HDC> windowDcs;  // handed out by GetDC and BeginPaint, ours to end
  UINT_PTR nextThreadTimer = 1;
  pixman_image_t* screen = nullptr;
};

struct Frame {
  int x, y, caption;
};

// ---- user.cpp
State& S();
std::string Lower(const char* s);
Window* Find(HWND hwnd);
Window* FindOrFail(HWND hwnd);

// ---- user_class.cpp
bool IsAtom(LPCSTR name);
WindowClass* FindClass(LPCSTR name);

// ---- user_rect.cpp
LONG Clamp(int64_t v);
RECT Place(int64_t x, int64_t y, int64_t width, int64_t height);
LONG Wrap(int64_t v);
void RegionFromRect(pixman_region32_t* region, const RECT& r);
void SubtractRect(pixman_region32_t* region, const RECT& r);
RECT Union(const RECT& a, const RECT& b);

// ---- user_winpos.cpp
Frame FrameOf(const Window& w);
RECT OuterRect(const Window& w);
RECT ClientOnScreen(const Window& w);
bool Shown(const Window& w);
void RaiseToTop(HWND hwnd);
void SetActive(HWND hwnd);
HWND NextActive(HWND leaving);
void SendSizeAndMove(HWND hwnd);
BOOL ShowWindowImpl(HWND hwnd, int cmd);

// ---- user_desktop.cpp
void FillOnScreen(const pixman_region32_t* area, const RECT& r, uint32_t pixel);
void DrawTitle(const pixman_region32_t* area, const RECT& caption, const std::string& title);
void Recompose(const RECT& changed);

// ---- user_message.cpp
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void SendToAll(UINT message, WPARAM wParam, LPARAM lParam);
void UpdateTimers(DWORD now);
bool Matches(const MSG& m, HWND filter, UINT lo, UINT hi);
bool RangeHas(UINT message, UINT lo, UINT hi);
bool Retrieve(MSG* out, HWND filter, UINT lo, UINT hi, bool remove);
bool NextTimerDeadline(HWND filter, UINT lo, UINT hi, DWORD* deadline);
void KillWindowTimers(HWND hwnd);
bool ValidFilter(HWND filter);

// ---- user_painting.cpp
void Invalidate(HWND hwnd, const pixman_region32_t* clientArea, bool erase);
HDC WindowDc(POINT origin, const pixman_region32_t* clip);
bool EndWindowDc(HDC hdc);

// ---- user_window.cpp
void ForgetWindow(HWND hwnd);

// ---- user_winpos.cpp, a template everyone may use
// Changes the window's geometry or visibility and brings the screen and the
// window's update region up to date.
template <class Change>
void Reshape(HWND hwnd, Change change) {
  Window* w = Find(hwnd);
  if (!w) return;
  RECT before = OuterRect(*w);
  RECT clientBefore = ClientOnScreen(*w);
  bool shownBefore = Shown(*w);
  change(*w);
  RECT after = OuterRect(*w);
  RECT clientAfter = ClientOnScreen(*w);
  bool resized = (clientAfter.right - clientAfter.left) != (clientBefore.right - clientBefore.left) ||
                 (clientAfter.bottom - clientAfter.top) != (clientBefore.bottom - clientBefore.top);
  bool moved = clientAfter.left != clientBefore.left || clientAfter.top != clientBefore.top;
  if (resized || moved || shownBefore != Shown(*w)) {
    // Whole client repainted: CS_HREDRAW/CS_VREDRAW, a move, or a fresh show.
    // What was pending outside a smaller client goes with the lost area.
    if (resized) pixman_region32_clear(&w->update);
    Invalidate(hwnd, nullptr, true);
    Recompose(Union(before, after));
  }
  if (resized || moved) SendSizeAndMove(hwnd);
}

}  // namespace w32
