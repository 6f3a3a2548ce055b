// Test helpers that speak only Win32: a window whose procedure records what
// it receives, on a class of its own, and a drain for the thread's queue so
// one test leaves nothing behind for the next (on Windows the queue outlives
// a test).
#pragma once

#include <string>
#include <vector>

#include "win32.h"

// A visible top-level window with a caption, a system menu and a sizing
// border: the program's own kind.
const DWORD kFramedStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

// Where the client area's top-left corner is on the screen.
POINT ClientOrigin(HWND hwnd);

// True when the Win32 build runs under Wine rather than on Windows itself.
bool UnderWine();

// The GDI objects the process holds, to tell a leak: GetGuiResources on
// Windows (Wine answers 0 whatever is held), the layer's own count here.
size_t GdiObjectCount();

struct Seen {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool posted;       // dispatched from the queue by Pump()
  bool fromDefProc;  // sent from inside DefWindowProcA
};

// Everything the recording procedure saw, in order.
std::vector<Seen>& SeenMessages();
size_t CountSeen(UINT message);
// What a recording window answers to WM_CREATE (0 or -1).
extern LRESULT g_createResult;
// When set, a recording window handles WM_WINDOWPOSCHANGED itself.
extern bool g_handlePosChanged;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

class TestWindow {
 public:
  // Registers a fresh class and creates a window with the given style and
  // outer size at (x, y).
  TestWindow(DWORD style, int x, int y, int width, int height);
  ~TestWindow();
  HWND hwnd() const { return m_hwnd; }
  const std::string& className() const { return m_class; }

 private:
  std::string m_class;
  HWND m_hwnd;
};

// Takes every pending message out of the queue without dispatching it,
// then forgets what was seen.
void DrainQueue();
// Retrieves and dispatches whatever is queued, so that the recorder can tell
// posted messages from sent ones.
void Pump();

// Another application's window comes to the front and takes activation from
// ours; and the user comes back to `ours`. Each returns once our side has
// heard of it.
void AnotherApplicationTakesOver();
void BackTo(HWND ours);
// Ends the other application's window, if there is one.
void AnotherApplicationQuits();

// The display's mode changes to width x height (ChangeDisplaySettingsA on
// Windows, the desktop's report on our layer); false when it did not.
// DisplayModeBack() returns to the mode the tests started in.
bool DisplayModeChanges(int width, int height);
void DisplayModeBack();

// The user puts the pointer on part `hit` of a window's frame (HTCAPTION,
// HTBOTTOMRIGHT, ...) at `from` on the screen, holds the left button down,
// moves to `to` in `steps` even steps and lets go; or double-clicks at
// `at`. Each returns once the queue has been served: on Windows the input is
// real (SendInput, windows dragged with their contents), on our layer the
// headless host's. Windows gives a window the pointer's input only while
// the pointer is over it until its move loop has begun, so a drag stays
// within where the window was.
void UserDrags(HWND hwnd, int hit, POINT from, POINT to, int steps);
void UserDoubleClicks(HWND hwnd, int hit, POINT at);
