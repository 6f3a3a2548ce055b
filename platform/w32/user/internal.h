// What the user module's files share: its objects, its state, and the
// helpers each file offers the others, grouped under the file that defines
// them. Not for the other modules, which go through ../internal.h.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "../damage.h"
#include "../internal.h"

namespace w32 {

constexpr int kFrame = 4;     // SM_CXFRAME / SM_CYFRAME, classic values
constexpr int kCaption = 19;  // SM_CYCAPTION
constexpr int kFixedFrame = 3;
// SM_CXMINTRACK / SM_CYMINTRACK: the smallest a user can drag a window, and
// what a captioned or sizable top-level window is held to (Wine's values
// for the classic metrics above).
constexpr int kMinTrackWidth = 116;
constexpr int kMinTrackHeight = 27;
constexpr int kMinimizedWidth = 160;
constexpr LONG kMinimizedPos = -32000;

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

// Where a window is and how it shows; every change goes through PlaceWindow.
struct Placement {
  RECT normal;  // outer rectangle in the normal state, screen coordinates
  // The client area the desktop gave a maximised window; empty: the screen.
  RECT maximized{};
  ShowState state = ShowState::Normal;
  bool restoreToMaximized = false;
  bool visible = false;
};

// WM_WINDOWPOSCHANGED's flags for "the client area kept its size / place",
// from which the default procedure knows not to send WM_SIZE / WM_MOVE.
constexpr UINT kNoClientSize = 0x0800;
constexpr UINT kNoClientMove = 0x1000;
constexpr UINT kStateChanged = 0x8000;

struct Window {
  std::string className;
  WNDPROC proc;
  UINT classStyle;
  HBRUSH background;
  std::string title;
  DWORD style;
  DWORD exStyle;
  Placement place;
  bool destroying = false;
  bool sizeSent = false;  // WM_SIZE and WM_MOVE told at least once
  pixman_region32_t update;  // client coordinates
  bool erasePending = false;
  bool eraseRefused = false;  // WM_ERASEBKGND answered 0: BeginPaint says fErase

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

// A screen of that size showing the empty desktop (desktop.cpp).
pixman_image_t* NewScreen(int width, int height);

struct State {
  std::map<std::string, WindowClass> classes;  // key: lower-case name
  ATOM nextAtom = 0xC000;
  HandleTable<Window> windows{HandleKind::Window};
  std::vector<HWND> zOrder;  // bottom to top
  std::vector<Cover> covers;  // other applications' windows, above ours
  HWND active = nullptr;      // null: another application is active
  HWND focus = nullptr;       // the window with the keyboard focus
  HWND dragged = nullptr;     // the window whose move or size loop holds the pointer
  std::deque<MSG> posted;
  std::deque<MSG> input;
  bool quitPosted = false;
  int quitCode = 0;
  std::vector<Timer> timers;
  std::vector<HDC> windowDcs;  // handed out by GetDC and BeginPaint, ours to end
  UINT_PTR nextThreadTimer = 1;
  // There from the start: windows are composed onto it from the first one on.
  pixman_image_t* screen = NewScreen(1024, 768);
};

struct Frame {
  int x, y, caption;
};

// ---- user.cpp
State& S();
std::string Lower(const char* s);
Window* Find(HWND hwnd);
Window* FindOrFail(HWND hwnd);

// ---- class.cpp
WindowClass* FindClass(LPCSTR name);

// ---- rect.cpp
LONG Clamp(int64_t v);
RECT Place(int64_t x, int64_t y, int64_t width, int64_t height);
LONG Wrap(int64_t v);
void RegionFromRect(pixman_region32_t* region, const RECT& r);
void SubtractRect(pixman_region32_t* region, const RECT& r);

// ---- frame.cpp
Frame FrameOf(const Window& w);
// In state `p` rather than the one the window is in.
RECT OuterRectOf(const Window& w, const Placement& p);
RECT ClientOnScreenOf(const Window& w, const Placement& p);
RECT OuterRect(const Window& w);
RECT ClientOnScreen(const Window& w);
bool Shown(const Window& w);
// Shown and not minimised: its frame and client area are on the screen.
bool OnScreen(const Window& w);

// ---- winpos.cpp
void SetFocusTo(HWND hwnd);
void SetActive(HWND hwnd);
HWND NextActive(HWND leaving);
MINMAXINFO DefaultMinMaxInfo(const Window& w);
// Windows holds a captioned or sizable top-level window to its tracking size.
bool HeldToTrackSize(DWORD style);
void SendSize(HWND hwnd);
void SendMove(HWND hwnd);
void PlaceWindow(HWND hwnd, Placement next, UINT flags);
void TellHost(HWND hwnd);
BOOL ShowWindowImpl(HWND hwnd, int cmd);
// DefWindowProcA's SC_MOVE and SC_SIZE: the user drags until the button comes up.
void MoveSizeLoop(HWND hwnd, WPARAM command, POINT start);

// ---- desktop.cpp
void RecomposeRegion(const pixman_region32_t* area);
void Recompose(const RECT& changed);
void RedrawFrame(HWND hwnd);

// ---- message.cpp
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void SendToAll(UINT message, WPARAM wParam, LPARAM lParam);
void KillWindowTimers(HWND hwnd);
void DropQueued(HWND hwnd);

// ---- painting.cpp
void Invalidate(HWND hwnd, const pixman_region32_t* clientArea, bool erase);
void EraseNow(HWND hwnd);

}  // namespace w32
