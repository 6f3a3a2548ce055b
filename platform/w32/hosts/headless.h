// The headless host: an in-memory screen, a virtual clock and a script of
// user actions, for tests and recordings. Virtual time moves only when the
// program waits (GetMessageA with nothing to deliver, Sleep).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "w32/calls.h"
#include "w32/ddraw.h"
#include "w32/windows.h"

namespace headless {

// Calls that can be made to fail on purpose.
using Call = w32::Call;

struct MessageBoxShown {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

// Destroys every window, class, timer, GDI and DirectDraw object, clears the
// records, fault plans and the trace's listeners (w32/trace.h), and starts a
// fresh screen and clock at 0 ms.
// Returns false (and changes nothing) for a screen size outside 1..16384.
bool Reset(int screenWidth = 1024, int screenHeight = 768);

DWORD Now();

// User actions, carried out when the program next looks for input at or
// after virtual time `at` (ms since Reset), in the order they were scheduled.
void CloseAt(DWORD at, HWND hwnd);            // the close box
void ActivateOtherAt(DWORD at);               // another application comes to the front
void ActivateAt(DWORD at, HWND hwnd);         // the user clicks our window
void MoveAt(DWORD at, HWND hwnd, int x, int y);  // outer top-left corner
void ResizeClientAt(DWORD at, HWND hwnd, int width, int height);
void MinimizeAt(DWORD at, HWND hwnd);
void RestoreAt(DWORD at, HWND hwnd);
void MaximizeAt(DWORD at, HWND hwnd);
// The pointer on the frame: the left button goes down on part `hit`
// (HTCAPTION, HTBOTTOMRIGHT, ...) at `point` on the screen, or double-clicks
// there; then moves with the button held, and comes up. A press on the
// caption or a border runs the window's move or size loop until the release.
void PressAt(DWORD at, HWND hwnd, int hit, POINT point);
void DoubleClickAt(DWORD at, HWND hwnd, int hit, POINT point);
void PointerAt(DWORD at, POINT point);
void ReleaseAt(DWORD at, POINT point);
// The display mode changes (and changes back): DirectDraw surfaces in
// display memory are lost until their owner restores them.
void LoseSurfacesAt(DWORD at);
// Another application's window over ours; returns its id for UncoverAt.
int CoverAt(DWORD at, const RECT& rect);
void UncoverAt(DWORD at, int coverId);
// Any step of a script, run at the same moments as the actions above: for
// actions on a window that does not exist yet when the script is written.
void At(DWORD at, std::function<void()> step);
size_t PendingActions();

// The show command the start-up code hands to WinMain (SW_SHOWDEFAULT
// unless told otherwise here).
void SetShowCommand(int showCommand);
int ShowCommand();

// Watchers, for recordings and tests; Reset removes them.
// Called after every successful Blt onto the primary surface.
void WatchPrimaryBlts(std::function<void()> blitted);
// Called when a window procedure is entered and when it returns; calls nest.
void WatchWindowProcs(std::function<void(HWND, UINT, WPARAM, LPARAM)> entered,
                      std::function<void(LRESULT)> returned);

// The screen, as XRGB pixels (0x00RRGGBB).
int ScreenWidth();
int ScreenHeight();
uint32_t ScreenPixel(int x, int y);  // 0 outside the screen
// A copy of the whole screen, row by row.
std::vector<uint32_t> ScreenPixels();
// A copy of a rectangle of it, row by row; 0 where it leaves the screen.
std::vector<uint32_t> ScreenPixels(const RECT& area);
// What a DirectDraw surface holds (the primary surface's is the screen), row
// by row, read straight from its memory: no lock, and nothing is told of the
// read. False for anything but a live surface.
bool SurfacePixels(IDirectDrawSurface* surface, int* width, int* height, std::vector<uint32_t>* pixels);

int BeepCount();
std::vector<MessageBoxShown> MessageBoxes();
size_t LiveWindows();
size_t LiveTimers();
size_t LiveGdiObjects();
size_t LiveDeviceContexts();
size_t LiveDirectDrawObjects();

// The next call of that kind fails, after `skip` more succeed.
void FailNext(Call call, int skip = 0);

// True once GetMessageA found that nothing could ever arrive (no timer, no
// scheduled action, nothing posted) and returned -1 instead of hanging.
bool Stalled();

}  // namespace headless
