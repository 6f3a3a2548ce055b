// WindowsPrimer: one window class, one top-level window sized for a wanted
// client area, and the thread's message loop. The base of the display object.
#pragma once

#include "win32.h"

class WindowsPrimer {
 public:
  // Fills the class record and registers it. `className` is kept, not
  // copied: pass a string that outlives the object.
  WindowsPrimer(HINSTANCE hInstance, const char* className, WNDPROC wndProc);

  // Creates, shows and paints the window; 1 on success, 0 on failure.
  int Create(const char* title, int showCommand, HINSTANCE hInstance, int clientWidth, int clientHeight);

  // Dispatches messages until the quit message; returns its code.
  int MessageLoop();

  HWND GetHWnd();

 protected:
  // Null until Create succeeds, so GetHWnd never hands out garbage.
  HWND m_hWnd = NULL;
  MSG m_msg = {};
  WNDCLASSA m_wndClass;
};
