// The trace: what the program does, as it crosses our layer's edge. Each
// call the program makes into Win32, GDI and DirectDraw (the functions of
// windows.h and ddraw.h, and the methods of the DirectDraw interfaces), and
// each message a window procedure receives, nested under the call that
// caused it, with its arguments and result decoded. Calls the layer makes
// to itself never reach the edge, so they never show.
//
// Listeners hear every event twice: when it begins and when it returns
// (the same event, now with its result and what the call wrote). With no
// listener, the edge costs a call one predictable branch; a DirectDraw
// method also the hop through the stand-in the program holds (trace.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ddraw.h"
#include "windows.h"

namespace w32 {
namespace trace {

enum class EventKind { Call, Message };

struct Field {
  const char* name;
  std::string value;  // decoded; for what a call writes, empty until it returns
};

struct Event {
  EventKind kind;
  uint64_t serial;  // counts events from the first listener on: tells a return from its beginning
  int depth;        // events still running around it
  DWORD time;       // the host's clock when it began, as GetTickCount reads it
  const char* name;  // "ShowWindow", "IDirectDrawSurface::Blt", "WM_TIMER" ("0x0401" and such: unnamed messages)
  // Calls: "this" first for methods, then the parameters. Messages: hwnd,
  // wParam, lParam.
  std::vector<Field> fields;
  bool returned;
  std::string result;  // decoded, once returned; empty for a call without result
  // Messages only: retrieved from the queue and dispatched (else sent), and
  // the numbers as the window procedure got them.
  bool posted;
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT lresult;
};

class Listener {
 public:
  virtual ~Listener() = default;
  virtual void Began(const Event&) {}
  virtual void Returned(const Event&) {}
};

// Listeners are heard in the order they were added; each at most once.
void AddListener(Listener* listener);
void RemoveListener(Listener* listener);

// While one lives, calls do not count as the program's: for a tool or a test
// that looks at the program's window from a watcher, in the middle of a call.
class Aside {
 public:
  Aside();
  ~Aside();
  Aside(const Aside&) = delete;
  Aside& operator=(const Aside&) = delete;
};

// An event as one line, without time or indentation:
//   GetClientRect(hwnd=hwnd#1, rect={0,0,640,480}) -> TRUE
//   WM_TIMER posted hwnd=hwnd#1 wParam=1 lParam=0 -> 0
std::string Line(const Event& event);

// Forgets the listeners, the events still running and the edge's own
// DirectDraw objects: the headless host's Reset, with everything else.
void Reset();

// The layer's surface behind a pointer the program holds (the edge hands
// the program a stand-in), for the layer's own interfaces that take one
// from the program's side, such as the headless host's SurfacePixels.
IDirectDrawSurface* LayerObject(IDirectDrawSurface* surface);

}  // namespace trace
}  // namespace w32
