// Test helpers that speak only Win32: a window whose procedure records what
// it receives, on a class of its own, and a drain for the thread's queue so
// one test leaves nothing behind for the next (on Windows the queue outlives
// a test).
#pragma once

#include <string>
#include <vector>

#include "win32.h"

struct Seen {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// Everything the recording procedure saw, in order.
std::vector<Seen>& SeenMessages();
size_t CountSeen(UINT message);
// What a recording window answers to WM_CREATE (0 or -1).
extern LRESULT g_createResult;

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
