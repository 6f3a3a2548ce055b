// Hosts: what stands in for the display, the user and the clock under our
// layer. This header is all a host author needs: the interface a host
// implements, the window manager's actions through which it reports what
// the user did, and the list of hosts the start-up code chooses from.
//
// A host reports and shows; it holds no policy. Which messages a window
// hears when the user moves it, and in what order, is the window manager's
// business (the user module); the host calls the action and is done.
#pragma once

#include <optional>
#include <string>

#include "windows.h"

namespace w32 {

// How one of our top-level windows stands, as the window manager tells its
// host after every change.
struct WindowState {
  const char* title;
  RECT client;  // the client area on the screen; empty while minimised
  bool visible;
  bool minimized;
  bool maximized;
  bool resizable;  // it has a sizing border
};

class Host {
 public:
  virtual ~Host() = default;

  // ---- Clock and waiting
  // Milliseconds, wrapping round as GetTickCount does.
  virtual DWORD Now() = 0;
  // Waits until `deadline` (a Now() reading) or, without one, until user
  // input may be pending; false when nothing could ever end the wait.
  virtual bool Wait(std::optional<DWORD> deadline) = 0;
  virtual void Sleep(DWORD milliseconds) = 0;

  // ---- Input
  // Carries out what the user did since the last look, through the wm::
  // actions. Input that becomes a queued message (the close box) comes back
  // through `msg`, one at a time; true when it did.
  virtual bool PollInput(MSG* msg) = 0;

  // ---- Windows
  // The host draws our windows' captions itself (the web page's frames):
  // the window manager then leaves the titles off the screen, where nobody
  // would see them, and the text machinery unused until the program asks.
  virtual bool DrawsCaptions() { return false; }
  // One of our top-level windows was made, moved, sized, shown, hidden,
  // minimised, maximised or restored; and when it is gone.
  virtual void WindowChanged(HWND, const WindowState&) {}
  virtual void WindowDestroyed(HWND) {}

  // ---- Screen
  // A part of the screen changed (screen coordinates).
  virtual void ScreenChanged(const RECT&) {}
  // A Blt onto the primary surface succeeded: a frame was presented.
  virtual void PrimaryBlitted() {}

  // ---- Feedback
  // The modal box itself (the layer has recorded it); returns the button.
  virtual int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;
  // Beep(frequency, duration), once recorded.
  virtual void Beep(DWORD, DWORD) {}

  // ---- Start-up and tracing
  // The show command the start-up code hands to WinMain.
  virtual int ShowCommand() { return SW_SHOWDEFAULT; }
  // A window procedure is called, and returns; calls nest. The window
  // manager calls these; the trace (trace.h) hears of it, then the host.
  void ProcEntered(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void ProcReturned(LRESULT result);

 protected:
  virtual void WindowProcEntered(HWND, UINT, WPARAM, LPARAM) {}
  virtual void WindowProcReturned(LRESULT) {}
};

Host& CurrentHost();
void SetHost(Host* host);  // null: the headless host

// ---- The window manager's actions ------------------------------------------
// The one door through which a host changes the state of our windows. Each
// does what Windows does when the user does that, messages and all, and
// does nothing when nothing changes.
namespace wm {
bool Close(HWND hwnd, MSG* msg);  // the close box: yields WM_SYSCOMMAND/SC_CLOSE to queue
void ActivateOther();             // another application comes to the front
void Activate(HWND hwnd);         // the user brings our window to the front
void Move(HWND hwnd, int x, int y);        // the outer top-left corner goes to (x, y)
void MoveClient(HWND hwnd, int x, int y);  // the client area's top-left corner goes to (x, y)
void ResizeClient(HWND hwnd, int width, int height);
void Show(HWND hwnd, int showCommand);     // minimise, restore, ...
void Maximized(HWND hwnd, const RECT& client);  // the desktop maximised it to this client area (1..16384 a side)
void Cover(int id, const RECT& rect);      // another application's window on top of ours
void Uncover(int id);
void ScreenSize(int width, int height);    // the display's size: a new display mode, which loses surfaces
// The pointer, for hosts that draw the frame themselves: the left button
// goes down on part `hit` of a window's frame (HTCAPTION, HTBOTTOMRIGHT, ...)
// or is double-clicked there, at `at` on the screen; each yields the
// non-client message to queue, and the default procedure does the rest (a
// press on the caption or a border runs the move or size loop, which hears
// the pointer's moves and the button coming up). Outside such a loop moves
// and releases mean nothing to our windows, and a press during one is
// ignored.
bool Press(HWND hwnd, int hit, POINT at, MSG* msg);
bool DoubleClick(HWND hwnd, int hit, POINT at, MSG* msg);
bool PointerMoved(POINT at, MSG* msg);
bool Released(POINT at, MSG* msg);
}  // namespace wm

// ---- The hosts ---------------------------------------------------------------
struct HostEntry {
  const char* name;  // as TARVELMIN_HOST names it
  bool chosenUnnamed;  // tried when TARVELMIN_HOST names none
  // Opens the host, or says in `why` (one line) why it cannot.
  Host* (*open)(std::string* why);
};

// In order of preference; the start-up code takes the one TARVELMIN_HOST
// names, else the first that opens.
extern const HostEntry kHosts[];
Host* OpenHost(std::string* why);

// ---- What hosts that show windows share ------------------------------------
// The smallest rectangle holding both; an empty one adds nothing.
RECT Bounds(const RECT& a, const RECT& b);
// Of `part` of a client area at `client` on the screen (client coordinates),
// what the client area and our screen both have; empty when nothing.
RECT ShownPart(const RECT& part, const RECT& client);
// A host's open function: H is made and opened (H::Open(why)) once, and kept.
template <class H>
Host* OpenOnce(std::string* why) {
  static H* host = nullptr;
  if (host) return host;
  auto* opened = new H;
  if (!opened->Open(why)) {
    delete opened;
    return nullptr;
  }
  return host = opened;
}

}  // namespace w32
