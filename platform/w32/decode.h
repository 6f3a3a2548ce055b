// How the trace shows the numbers, pointers and records of a call: the
// last word of each row of the call tables (windows.h, ddraw.h) names one
// of these ways. Decoding reads what the program handed in (or what the
// call wrote), never changes it, and never makes objects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trace.h"

namespace w32 {
namespace trace {

// Where a parameter is read: In before the call, Out after it, InOut both.
enum class Kind : uint8_t {
  // numbers
  None, Int, Uint, Hex, Bool, Atom, Color, Error,
  // names and flags
  ShowCommand, SystemMetric, StockObject, PenStyle, BkMode, WindowStyle, PeekFlags, BoxType, BoxResult,
  CooperativeFlags, BltFlags, LockFlags, HResult, Count,
  // messages: the number (a filter: 0 for none), and its parameters as the message has them
  Message, Filter, WParam, LParam,
  // text
  Text, CountedText, ClassName, CursorName, OutText, Args,
  // pointers and records
  Pointer, Rect, OutRect, InOutRect, OutPoint, InOutPoint, Msg, OutMsg, Paint, OutPaint, WndClass, Guid, Iid,
  SurfaceDesc, OutSurfaceDesc, BltFx,
  // handles
  Window, OutWindow, Instance, Dc, OutDc, GdiObject, Cursor, Handle,
  // DirectDraw objects, as the program holds them
  DirectDraw, OutDirectDraw, Surface, OutSurface, Clipper, OutClipper, OutObject,
};

// A value as it crossed the edge: integers in n (sign-extended), pointers
// and handles in both n and p, records passed by reference in p.
struct Raw {
  uint64_t n;
  const void* p;
};

bool ReadBefore(Kind kind);
bool ReadAfter(Kind kind);

// Parameter `index` of a call's `args` (the other parameters give context:
// a message for its wParam, a length for its text; `result` the length
// written into a buffer).
std::string Show(Kind kind, const Raw* args, int count, int index, Raw result);
// A call's result.
std::string ShowResult(Kind kind, Raw result);
// A message's hwnd, wParam and lParam. Records lParam points to are read
// only when `readRecords`: when the layer made the message, not the program.
void ShowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool readRecords, std::vector<Field>* fields);
// "WM_TIMER", or "WM_USER+1", "0x0401" and such for messages without a name.
const char* MessageLabel(UINT message, char (&buffer)[16]);

// The label of a DirectDraw object the program holds (trace.cpp keeps them):
// "surface#2"; null when the pointer is none of them.
const char* ObjectLabel(const void* object);

}  // namespace trace
}  // namespace w32
