// user32: the module's state, looking windows up, counts and reset.
#include "internal.h"

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
  s.focus = nullptr;
  s.dragged = nullptr;
  s.posted.clear();
  s.input.clear();
  s.quitPosted = false;
  s.quitCode = 0;
  s.timers.clear();
  s.windowDcs.clear();  // the contexts themselves end with the gdi reset
  s.nextThreadTimer = 1;
}

}  // namespace w32
