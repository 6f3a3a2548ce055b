// The operations on user32: window classes and windows, painting and the
// DCs windows hand out, rectangles, wsprintfA, messages and timers, and what
// the user and the desktop do to our windows.
#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"
#include "headless.h"
#include "w32/host.h"

namespace layer_fuzz {

namespace {

const char* const kClassNames[] = {"fuzz0", "fuzz1", "FUZZ0", "fuzz2"};

// Messages the window procedures may meet; none carries a pointer.
UINT MessageFrom(Input& in) {
  static const UINT kMessages[] = {WM_NULL,        WM_CLOSE,   WM_PAINT, WM_ERASEBKGND, WM_SYSCOMMAND,
                                   WM_TIMER,       WM_USER,    WM_SIZE,  WM_MOVE,       WM_ACTIVATE,
                                   WM_ACTIVATEAPP, WM_DESTROY, WM_QUIT,  WM_KEYDOWN,    WM_APP};
  const uint8_t b = in.Byte();
  return b < 0xF0 ? kMessages[b % 15] : in.U32();
}

WPARAM ParamFrom(Input& in) {
  static const WPARAM kCommands[] = {SC_CLOSE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE};
  const uint8_t b = in.Byte();
  if (b < 0x80) return kCommands[b % 4] | (b & 0xF);
  return WPARAM(in.U32());
}

}  // namespace

void Program::RegisterClass() {
  const uint8_t b = m_in.Byte();
  // A name that dies right after the call: the layer must have copied it.
  std::string name = kClassNames[b % 4];
  std::string menu = "menu";
  WNDCLASSA wc{};
  wc.style = m_in.Flags({0, CS_HREDRAW | CS_VREDRAW});
  wc.lpfnWndProc = (b & 0x30) == 0x30 ? nullptr : (b & 0x20) ? DefWindowProcA : FuzzWndProc;
  wc.hbrBackground = Pick<HBRUSH>(kBrush);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszMenuName = (b & 0x40) ? menu.c_str() : nullptr;
  switch ((b >> 2) & 3) {
    case 0:
    case 1:
      wc.lpszClassName = name.c_str();
      break;
    case 2:
      wc.lpszClassName = (b & 0x80) ? "" : nullptr;
      break;
    case 3:
      wc.lpszClassName = MAKEINTRESOURCEA(0xC000 + (b >> 7));
      break;
  }
  ATOM atom = RegisterClassA(&wc);
  if (atom) m_atoms.push_back(atom);
}

void Program::UnregisterClass() {
  const uint8_t b = m_in.Byte();
  std::string name = kClassNames[b % 4];
  if ((b & 0x80) && !m_atoms.empty()) {
    UnregisterClassA(MAKEINTRESOURCEA(m_atoms[b % m_atoms.size()]), nullptr);
  } else {
    UnregisterClassA(name.c_str(), nullptr);
  }
}

HWND Program::CreateWindow(bool nested) {
  const uint8_t b = m_in.Byte();
  // Classes registered on the way, so a window is seldom refused for want of one.
  if (!nested && (b & 0x80)) RegisterClass();
  if (m_handles[kWindow].size() >= kMaxWindows) return nullptr;
  std::string name = kClassNames[b % 4];
  LPCSTR className = name.c_str();
  if ((b & 0x0C) == 0x0C)
    className = m_atoms.empty() ? MAKEINTRESOURCEA(b) : MAKEINTRESOURCEA(m_atoms[b % m_atoms.size()]);
  std::string title = nested ? std::string("nested") : m_in.Text();
  DWORD exStyle = nested ? 0 : m_in.Flags({0});
  DWORD style = nested ? WS_OVERLAPPEDWINDOW | WS_VISIBLE
                       : m_in.Flags({WS_OVERLAPPEDWINDOW | WS_VISIBLE, WS_OVERLAPPEDWINDOW, WS_POPUP | WS_VISIBLE,
                                     WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_MINIMIZE,
                                     WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_MAXIMIZE, WS_CHILD | WS_VISIBLE,
                                     WS_POPUP | WS_BORDER | WS_VISIBLE, WS_CAPTION | WS_DLGFRAME | WS_VISIBLE});
  int x = nested ? 10 : m_in.Int(), y = nested ? 10 : m_in.Int();
  int w = nested ? 100 : m_in.Int(), h = nested ? 80 : m_in.Int();
  HWND parent = nested || !(b & 0x10) ? nullptr : Window();
  HINSTANCE instance = (b & 0x20) ? GetModuleHandleA(nullptr) : nullptr;
  void* param = (b & 0x40) ? reinterpret_cast<void*>(uintptr_t(0xDEAD0000)) : nullptr;
  HWND hwnd = CreateWindowExA(exStyle, className, title.c_str(), style, x, y, w, h, parent,
                              (b & 0x02) ? reinterpret_cast<HMENU>(uintptr_t(0x1234)) : nullptr, instance, param);
  Keep(kWindow, hwnd);
  return hwnd;
}

void Program::Show() {
  HWND hwnd = Window();
  ShowWindow(hwnd, m_in.Int());
}

void Program::Move() {
  HWND hwnd = Window();
  int x = m_in.Int(), y = m_in.Int(), w = m_in.Int(), h = m_in.Int();
  MoveWindow(hwnd, x, y, w, h, m_in.Bit());
}

void Program::Destroy() {
  DestroyWindow(Window());
}

void Program::WindowQuery() {
  HWND hwnd = Window();
  const uint8_t b = m_in.Byte();
  switch (b % 12) {
    case 0:
      IsWindow(hwnd);
      IsWindowVisible(hwnd);
      IsIconic(hwnd);
      IsZoomed(hwnd);
      break;
    case 1:
      Keep(kWindow, GetActiveWindow());
      Keep(kWindow, GetForegroundWindow());
      break;
    case 2: {
      std::vector<char> buffer(size_t(m_in.Byte()) + 1);
      int count = m_in.Bit() ? int(buffer.size()) : -int(m_in.Byte());
      GetWindowTextA(hwnd, m_in.Bit() ? buffer.data() : nullptr, count);
      break;
    }
    case 3:
    case 4: {
      RECT r;
      if (b % 12 == 3)
        GetClientRect(hwnd, m_in.Bit() ? &r : nullptr);
      else
        GetWindowRect(hwnd, m_in.Bit() ? &r : nullptr);
      break;
    }
    case 5:
    case 6: {
      POINT p{m_in.Int(), m_in.Int()};
      if (b % 12 == 5)
        ClientToScreen(hwnd, m_in.Bit() ? &p : nullptr);
      else
        ScreenToClient(hwnd, m_in.Bit() ? &p : nullptr);
      break;
    }
    case 7:
      UpdateWindow(hwnd);
      break;
    default:
      GetSystemMetrics(m_in.Int());
      break;
  }
}

void Program::Painting() {
  HWND hwnd = Window();
  const uint8_t b = m_in.Byte();
  RECT r = m_in.Rect();
  const RECT* rect = (b & 0x10) ? nullptr : &r;
  switch (b % 4) {
    case 0:
      InvalidateRect(hwnd, rect, b & 0x20);
      break;
    case 1:
      ValidateRect(hwnd, rect);
      break;
    case 2: {
      RECT out;
      GetUpdateRect(hwnd, rect ? &out : nullptr, b & 0x20);
      break;
    }
    case 3: {
      PAINTSTRUCT ps{};
      ps.hdc = Dc();
      EndPaint(hwnd, (b & 0x20) ? nullptr : &ps);
      break;
    }
  }
}

void Program::TakeDc() {
  HWND hwnd = m_in.Bit() ? nullptr : Window();
  HDC hdc = GetDC(hwnd);
  Keep(kDc, hdc);
  NoteDc(hdc, nullptr, hwnd, false);
}

void Program::GiveDcBack() {
  HWND hwnd = Window();
  ReleaseDC(hwnd, Dc());
}

void Program::Paint() {
  HWND hwnd = Window();
  PAINTSTRUCT ps;
  HDC hdc = BeginPaint(hwnd, m_in.Bit() ? &ps : nullptr);
  Keep(kDc, hdc);
  NoteDc(hdc, nullptr, hwnd, true);
  if (hdc && m_in.Bit()) EndPaint(hwnd, &ps);
}

void Program::Rects() {
  RECT a = m_in.Rect(), b = m_in.Rect(), out;
  const uint8_t c = m_in.Byte();
  switch (c % 4) {
    case 0: {
      RECT r = m_in.Rect();
      SetRect(&a, r.left, r.top, r.right, r.bottom);
      break;
    }
    case 1: {
      int dx = m_in.Int(), dy = m_in.Int();
      OffsetRect((c & 0x80) ? nullptr : &a, dx, dy);
      break;
    }
    case 2:
      IsRectEmpty((c & 0x80) ? nullptr : &a);
      break;
    case 3:
      IntersectRect((c & 0x80) ? nullptr : &out, &a, (c & 0x40) ? nullptr : &b);
      break;
  }
}

void Program::Format() {
  // Fixed formats, as a program has; only the values come from the input.
  char out[1024];
  const uint8_t b = m_in.Byte();
  const int i = m_in.Int(), j = m_in.Int();
  const uint32_t u = m_in.U32();
  const std::string s = m_in.Text();
  // The same bytes as UTF-16 units, terminated; and their first three in a
  // buffer of exactly that size, for a precision that must bound the read.
  std::vector<WCHAR> w;
  for (size_t k = 0; k + 1 < s.size(); k += 2) w.push_back(WCHAR(uint8_t(s[k]) | uint8_t(s[k + 1]) << 8));
  std::vector<WCHAR> w3(w.begin(), w.begin() + std::ptrdiff_t(std::min<size_t>(3, w.size())));
  w3.resize(3, 'x');
  w.push_back(0);
  int n = 0;
  switch (b % 12) {
    case 0:
      n = wsprintfA(out, "%d", i);
      break;
    case 1:
      n = wsprintfA(out, "%u %lu", u, j);
      break;
    case 2:
      n = wsprintfA(out, "%08lX %#x %x", u, i, j);
      break;
    case 3:
      n = wsprintfA(out, "%-6d|%06d|%.4d|%5.3i", i, j, i, j);
      break;
    case 4:
      n = wsprintfA(out, "%s", s.c_str());
      break;
    case 5:
      n = wsprintfA(out, "[%10.3s] [%-10s] %c", s.c_str(), s.c_str(), i);
      break;
    case 6:
      n = wsprintfA(out, "%1100d", i);  // longer than the output may be
      break;
    case 7:
      n = wsprintfA(out, "%s%s%s%s%s%s", s.c_str(), s.c_str(), s.c_str(), s.c_str(), s.c_str(), s.c_str());
      break;
    case 8:
      n = wsprintfA(out, "100%% %q %", i);
      break;
    case 9:
      n = wsprintfA(out, "Blt failed: 0x%08lX (%ld)", u, i);
      break;
    case 10:
      n = wsprintfA(out, "[%ls] [%10.3S] [%-4.3ws] %C %lc", w.data(), w3.data(), w3.data(), i, j);
      break;
    case 11:
      n = wsprintfA(out, "%S%S%S%S%S%S%S%S%S%.2S", w.data(), w.data(), w.data(), w.data(), w.data(), w.data(),
                    w.data(), w.data(), w.data(), nullptr);  // past the output's end
      break;
  }
  if (n < 0 || n > 1023 || out[n] != '\0') Fail("wsprintfA returned %d", n);
}

void Program::SendOrPost() {
  const uint8_t b = m_in.Byte();
  HWND hwnd = (b & 0x80) ? nullptr : Window();
  UINT message = MessageFrom(m_in);
  WPARAM wParam = ParamFrom(m_in);
  // WM_ERASEBKGND carries a DC.
  if (message == WM_ERASEBKGND) wParam = WPARAM(PickRaw(kDc));
  switch (b % 3) {
    case 0:
      PostMessageA(hwnd, message, wParam, 0);
      break;
    case 1:
      SendMessageA(hwnd, message, wParam, 0);
      break;
    case 2:
      PostQuitMessage(m_in.Int());
      break;
  }
}

void Program::ReadFilter(uint8_t b, HWND* filter, UINT* lo, UINT* hi) {
  *filter = (b & 0x80) ? Window() : nullptr;
  *lo = *hi = 0;
  if (b & 0x40) {
    *lo = MessageFrom(m_in);
    *hi = (b & 0x20) ? *lo : MessageFrom(m_in);
  }
}

void Program::Pump() {
  const uint8_t b = m_in.Byte();
  HWND filter;
  UINT lo, hi;
  ReadFilter(b, &filter, &lo, &hi);
  const int n = b % kMaxPumped + 1;
  for (int i = 0; i < n; ++i) {
    MSG msg;
    if (!PeekMessageA((b & 0x10) ? nullptr : &msg, filter, lo, hi, (b & 0x08) ? PM_NOREMOVE : PM_REMOVE)) break;
    if (b & 0x10) break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void Program::GetMessages() {
  const uint8_t b = m_in.Byte();
  HWND filter;
  UINT lo, hi;
  ReadFilter(b, &filter, &lo, &hi);
  const int n = b % kMaxPumped + 1;
  for (int i = 0; i < n; ++i) {
    MSG msg;
    // A wait that could never end is reported on stderr: skip the ones we
    // can see coming, to keep the log quiet.
    if (!PeekMessageA(&msg, filter, lo, hi, PM_NOREMOVE) && headless::LiveTimers() == 0 &&
        headless::PendingActions() == 0)
      break;
    BOOL r = GetMessageA(&msg, filter, lo, hi);
    if (r == 0 || r == -1) break;
    DispatchMessageA(&msg);
  }
}

void Program::DispatchMade() {
  MSG msg{};
  msg.hwnd = Window();
  msg.message = MessageFrom(m_in);
  msg.wParam = ParamFrom(m_in);
  const uint8_t b = m_in.Byte();
  if (msg.message == WM_TIMER) {
    // A timer message names its procedure; only a live timer's is called.
    msg.lParam = (b & 1) ? LPARAM(reinterpret_cast<uintptr_t>(&FuzzTimerProc)) : LPARAM(m_in.U32());
  }
  if (msg.message == WM_ERASEBKGND) msg.wParam = WPARAM(PickRaw(kDc));
  DispatchMessageA((b & 0x80) ? nullptr : &msg);
}

void Program::Timers() {
  const uint8_t b = m_in.Byte();
  HWND hwnd = (b & 0x80) ? nullptr : Window();
  UINT_PTR id = m_in.Byte() % 4;
  if (b & 1) {
    if (!hwnd && !m_threadTimers.empty() && (b & 2)) id = m_threadTimers[b % m_threadTimers.size()];
    KillTimer(hwnd, id);
    return;
  }
  UINT elapse = (b & 0x40) ? m_in.U32() : UINT(m_in.Byte());
  UINT_PTR made = SetTimer(hwnd, id, elapse, (b & 2) ? FuzzTimerProc : nullptr);
  if (made && !hwnd) m_threadTimers.push_back(made);
}

void Program::UserAction() {
  const uint8_t b = m_in.Byte();
  const DWORD at = headless::Now() + m_in.Byte();
  HWND hwnd = Window();
  switch (b % 18) {
    case 10:
      headless::LoseSurfacesAt(at);
      break;
    case 11: {
      // What a desktop reports through the window manager's actions.
      int x = m_in.Int(), y = m_in.Int();
      headless::At(at, [hwnd, x, y] { w32::wm::MoveClient(hwnd, x, y); });
      break;
    }
    case 12: {
      RECT r = m_in.Rect();
      headless::At(at, [hwnd, r] { w32::wm::Maximized(hwnd, r); });
      break;
    }
    case 13: {
      int w = m_in.Int(), h = m_in.Int();
      headless::At(at, [w, h] { w32::wm::ScreenSize(w, h); });
      break;
    }
    case 14:
    case 15: {
      // The pointer on the frame, as a host that draws it reports it: the
      // caption, a border or anything else, a press or a double-click.
      const int hit = m_in.Bit() ? HTCAPTION + int(m_in.Byte() % 17) : m_in.Int();
      const POINT p{m_in.Int(), m_in.Int()};
      if (b % 18 == 14)
        headless::PressAt(at, hwnd, hit, p);
      else
        headless::DoubleClickAt(at, hwnd, hit, p);
      break;
    }
    case 16:
      headless::PointerAt(at, POINT{m_in.Int(), m_in.Int()});
      break;
    case 17:
      headless::ReleaseAt(at, POINT{m_in.Int(), m_in.Int()});
      break;
    case 0:
      headless::CloseAt(at, hwnd);
      break;
    case 1:
      headless::ActivateOtherAt(at);
      break;
    case 2:
      headless::ActivateAt(at, hwnd);
      break;
    case 3: {
      int x = m_in.Int(), y = m_in.Int();
      headless::MoveAt(at, hwnd, x, y);
      break;
    }
    case 4: {
      int w = m_in.Int(), h = m_in.Int();
      headless::ResizeClientAt(at, hwnd, w, h);
      break;
    }
    case 5:
      headless::MinimizeAt(at, hwnd);
      break;
    case 6:
      headless::RestoreAt(at, hwnd);
      break;
    case 7:
      headless::MaximizeAt(at, hwnd);
      break;
    case 8:
      m_covers.push_back(headless::CoverAt(at, m_in.Rect()));
      break;
    case 9:
      headless::UncoverAt(at, m_covers.empty() ? int(m_in.U32()) : m_covers[m_in.Byte() % m_covers.size()]);
      break;
  }
}

}  // namespace layer_fuzz
