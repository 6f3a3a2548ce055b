// user32: sending, posting, retrieving and dispatching messages; timers.
#include "internal.h"

namespace w32 {

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  WNDPROC proc = w->proc;  // the window may be gone when the call returns
  Host& host = CurrentHost();
  host.ProcEntered(hwnd, message, wParam, lParam);
  LRESULT result = proc(hwnd, message, wParam, lParam);
  host.ProcReturned(result);
  return result;
}

void SendToAll(UINT message, WPARAM wParam, LPARAM lParam) {
  std::vector<HWND> all = S().zOrder;
  for (HWND h : all) Send(h, message, wParam, lParam);
}

namespace {

void UpdateTimers(DWORD now) {
  for (Timer& t : S().timers) {
    if (DWORD(now - t.nextExpiry) < 0x80000000u) {
      // Expired: one message pending however many periods went by.
      t.ready = true;
      DWORD late = now - t.nextExpiry;
      t.nextExpiry += (late / t.period + 1) * t.period;
    }
  }
}

bool Matches(const MSG& m, HWND filter, UINT lo, UINT hi) {
  if (filter && m.hwnd != filter) return false;
  if (lo == 0 && hi == 0) return true;
  return m.message >= lo && m.message <= hi;
}

bool RangeHas(UINT message, UINT lo, UINT hi) {
  return (lo == 0 && hi == 0) || (message >= lo && message <= hi);
}

// One look at the queue, in the order of priority: posted messages, the quit
// message, user input, WM_PAINT, WM_TIMER.
bool Retrieve(MSG* out, HWND filter, UINT lo, UINT hi, bool remove) {
  State& s = S();
  DWORD now = CurrentHost().Now();
  // Due user actions happen whenever the program looks, first, so that what
  // they post is seen in this look, and even while earlier input waits in
  // the queue for a look with another filter.
  MSG m{};
  if (CurrentHost().PollInput(&m)) {
    m.time = now;
    s.input.push_back(m);
  }
  for (auto it = s.posted.begin(); it != s.posted.end(); ++it) {
    if (Matches(*it, filter, lo, hi)) {
      *out = *it;
      if (remove) s.posted.erase(it);
      return true;
    }
  }
  // The quit message comes whatever range was asked for.
  if (s.quitPosted) {
    *out = MSG{nullptr, WM_QUIT, WPARAM(s.quitCode), 0, now, {0, 0}};
    if (remove) s.quitPosted = false;
    return true;
  }
  for (auto it = s.input.begin(); it != s.input.end(); ++it) {
    if (Matches(*it, filter, lo, hi)) {
      *out = *it;
      if (remove) s.input.erase(it);
      return true;
    }
  }
  if (RangeHas(WM_PAINT, lo, hi)) {
    for (auto it = s.zOrder.rbegin(); it != s.zOrder.rend(); ++it) {
      Window* w = Find(*it);
      if (!w || !Shown(*w) || (filter && *it != filter)) continue;
      if (pixman_region32_not_empty(&w->update)) {
        *out = MSG{*it, WM_PAINT, 0, 0, now, {0, 0}};
        return true;  // stays until the window validates itself
      }
    }
  }
  if (RangeHas(WM_TIMER, lo, hi)) {
    UpdateTimers(now);
    for (Timer& t : s.timers) {
      if (!t.ready || (filter && t.hwnd != filter)) continue;
      *out = MSG{t.hwnd, WM_TIMER, t.id, LPARAM(reinterpret_cast<uintptr_t>(t.proc)), now, {0, 0}};
      if (remove) t.ready = false;
      return true;
    }
  }
  return false;
}

// The soonest moment a timer the filter takes can have a message; none
// when there is no such timer.
std::optional<DWORD> NextTimerDeadline(HWND filter, UINT lo, UINT hi) {
  std::optional<DWORD> deadline;
  if (!RangeHas(WM_TIMER, lo, hi)) return deadline;
  DWORD now = CurrentHost().Now();
  for (const Timer& t : S().timers) {
    if (filter && t.hwnd != filter) continue;
    DWORD due = t.ready ? now : t.nextExpiry;
    if (!deadline || DWORD(due - now) < DWORD(*deadline - now)) deadline = due;
  }
  return deadline;
}

}  // namespace

void KillWindowTimers(HWND hwnd) {
  auto& t = S().timers;
  t.erase(std::remove_if(t.begin(), t.end(), [hwnd](const Timer& x) { return x.hwnd == hwnd; }), t.end());
}

// Messages posted to a window, or input for it, go with the window.
void DropQueued(HWND hwnd) {
  auto forWindow = [hwnd](const MSG& m) { return m.hwnd == hwnd; };
  auto& posted = S().posted;
  posted.erase(std::remove_if(posted.begin(), posted.end(), forWindow), posted.end());
  auto& input = S().input;
  input.erase(std::remove_if(input.begin(), input.end(), forWindow), input.end());
}

namespace {

bool ValidFilter(HWND filter) {
  if (filter && !Find(filter)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  return true;
}

}  // namespace

}  // namespace w32

using namespace w32;

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (!ValidFilter(hwnd)) return -1;
  for (;;) {
    if (Retrieve(msg, hwnd, filterMin, filterMax, true)) return msg->message != WM_QUIT;
    if (!CurrentHost().Wait(NextTimerDeadline(hwnd, filterMin, filterMax))) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    if (hwnd && !Find(hwnd)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return -1;
    }
  }
}

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!ValidFilter(hwnd)) return FALSE;
  return Retrieve(msg, hwnd, filterMin, filterMax, removeFlags & PM_REMOVE) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  // No keyboard here, so never a character message to add.
  (void)msg;
  return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    // A timer with its own procedure calls it instead of the window's.
    bool live = false;
    for (const Timer& t : S().timers)
      live |= t.hwnd == msg->hwnd && t.id == msg->wParam &&
              reinterpret_cast<uintptr_t>(t.proc) == uintptr_t(msg->lParam);
    if (!live) return 0;
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (!msg->hwnd || !FindOrFail(msg->hwnd)) return 0;  // thread messages go nowhere
  return Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exitCode) {
  S().quitPosted = true;
  S().quitCode = exitCode;
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !FindOrFail(hwnd)) return FALSE;
  S().posted.push_back(MSG{hwnd, message, wParam, lParam, CurrentHost().Now(), {0, 0}});
  return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!FindOrFail(hwnd)) return 0;
  return Send(hwnd, message, wParam, lParam);
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  if (hwnd && !FindOrFail(hwnd)) return 0;
  if (TakeFault(Call::SetTimer)) {
    SetLastError(ERROR_NO_SYSTEM_RESOURCES);
    return 0;
  }
  UINT period = std::max<UINT>(elapse, USER_TIMER_MINIMUM);
  if (period > 0x7FFFFFFF) period = 0x7FFFFFFF;
  DWORD now = CurrentHost().Now();
  auto& timers = S().timers;
  if (!hwnd) {
    // A thread timer is named by the id SetTimer gave it; any other id makes a new one.
    bool known = false;
    for (const Timer& t : timers) known |= !t.hwnd && t.id == id && id != 0;
    if (!known) id = S().nextThreadTimer++;
  }
  for (Timer& t : timers) {
    if (t.hwnd == hwnd && t.id == id) {
      // Setting an existing timer restarts it with the new period.
      t = Timer{hwnd, id, period, now + period, false, proc};
      return id ? id : 1;
    }
  }
  timers.push_back(Timer{hwnd, id, period, now + period, false, proc});
  return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  auto& timers = S().timers;
  auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == timers.end()) {
    SetLastError(hwnd && !Find(hwnd) ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  timers.erase(it);
  return TRUE;
}
