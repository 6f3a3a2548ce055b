// libFuzzer target for our Win32 layer. Each input is a little program: a
// stream of operations, one byte choosing the operation and the bytes after
// it choosing its arguments, run against a fresh 320 x 240 headless host.
// Results may be anything; what counts is that no call crashes, trips a
// sanitizer, hangs, or leaves windows, DCs, GDI or DirectDraw objects behind
// once the program has given back everything it was handed.
//
// Handles the program has seen are kept after they die, so stale, foreign
// (wrong kind) and made-up handles come up as often as live ones. COM objects
// are called only while we hold a reference, as in real COM; a pointer we
// gave up may still be passed as an argument, since the layer looks
// arguments up instead of calling through them.
//
// The input runs out into zeros, and everything is bounded: at most 200
// operations, 16 windows, a few messages per pump, and a budget for what the
// window procedure does re-entrantly.
#include <sanitizer/common_interface_defs.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "headless.h"
#include "w32/host.h"
#include "win32.h"

namespace {

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 240;
constexpr int kMaxOperations = 200;
constexpr size_t kMaxWindows = 16;
constexpr size_t kMaxObjects = 16;  // per kind of DirectDraw object
constexpr int kMaxPumped = 8;       // messages per pump
constexpr int kReactionBudget = 64;
constexpr int kMaxDepth = 4;
// The layer refuses sides above 16384, but below that a surface of a
// gigabyte is legal: it costs only time and memory, so we stay under this.
constexpr uint64_t kMaxSurfacePixels = uint64_t(1) << 20;

[[noreturn]] void Fail(const char* format, ...) {
  char message[512] = "layer_fuzz: ";
  const size_t used = std::strlen(message);
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(message + used, sizeof(message) - used, format, ap);
  va_end(ap);
  // Through the sanitizers' report stream, which -close_fd_mask=2 keeps.
  __sanitizer_report_error_summary(message);
  std::abort();
}

// ---- Reading the input -----------------------------------------------------

class Input {
 public:
  Input(const uint8_t* data, size_t size) : m_p(data), m_end(data + size) {}

  bool Empty() const { return m_p == m_end; }
  size_t Left() const { return size_t(m_end - m_p); }
  uint8_t Byte() { return m_p < m_end ? *m_p++ : 0; }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(Byte()) << (8 * i);
    return v;
  }
  bool Bit() { return Byte() & 1; }

  // Mostly around a 320 x 240 screen, sometimes the edges of int, sometimes
  // anything at all.
  int32_t Int() {
    uint8_t b = Byte();
    if (b < 0xD0) return int32_t(b) * 2 - 48;
    if (b < 0xF0) return kEdges[b - 0xD0];
    return int32_t(U32());
  }
  // Sizes of surfaces: mostly small, sometimes the limits.
  uint32_t Size() {
    uint8_t b = Byte();
    if (b < 0xE0) return b;
    if (b < 0xF0) return kSizes[b - 0xE0];
    return U32();
  }
  // A flag word: one of the given values, or anything.
  uint32_t Flags(std::initializer_list<uint32_t> usual) {
    uint8_t b = Byte();
    if (b < 0xF0 && usual.size() > 0) return usual.begin()[b % usual.size()];
    return U32();
  }
  // A copy of the next bytes in a buffer of exactly that size, so reading
  // past it is caught.
  std::vector<char> Bytes() {
    size_t n = Byte();
    n = std::min(n, size_t(m_end - m_p));
    std::vector<char> out(m_p, m_p + n);
    m_p += n;
    return out;
  }
  std::string Text() {
    std::vector<char> b = Bytes();
    return std::string(b.begin(), b.end()).c_str();  // up to the first zero
  }
  RECT Rect() {
    RECT r;
    r.left = Int();
    r.top = Int();
    r.right = Int();
    r.bottom = Int();
    return r;
  }

 private:
  static constexpr int32_t kEdges[32] = {
      0,     1,           -1,          2,       INT_MIN,    INT_MAX, INT_MIN + 1, INT_MAX - 1, 319,   320,       321,
      239,   240,         241,         32767,   32768,      -32768,  -32769,      65535,       65536, -32000,    16384,
      16385, INT_MAX / 2, INT_MIN / 2, 1 << 30, -(1 << 30), 1000000, -1000000,    5,           21,    0x7FFF0000};
  static constexpr uint32_t kSizes[16] = {0,     1,     2,          319,        320,        16383, 16384, 16385,
                                          65535, 65536, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 1024,  4096,  100000};
  const uint8_t* m_p;
  const uint8_t* m_end;
};

// ---- What the program holds ------------------------------------------------

enum Kind { kWindow, kDc, kPen, kBrush, kStock, kOther, kKinds };

template <class T>
struct Held {
  T* p;
  ULONG refs;  // the references we own
};

// The window procedure's reactions, chosen by the input, to the messages
// below: a way into the layer's re-entrant paths.
const UINT kReactTo[] = {WM_NCCREATE, WM_CREATE,      WM_SIZE,      WM_MOVE,       WM_SHOWWINDOW,
                         WM_ACTIVATE, WM_ACTIVATEAPP, WM_PAINT,     WM_ERASEBKGND, WM_TIMER,
                         WM_CLOSE,    WM_DESTROY,     WM_NCDESTROY, WM_USER,       WM_SYSCOMMAND};
constexpr size_t kReactions = sizeof(kReactTo) / sizeof(kReactTo[0]);

struct Reaction {
  uint8_t action = 0;
  uint8_t arg = 0;
};

class Program;
Program* g_program = nullptr;

LRESULT CALLBACK FuzzWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void CALLBACK FuzzTimerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD time);

const char* const kClassNames[] = {"fuzz0", "fuzz1", "FUZZ0", "fuzz2"};

class Program {
 public:
  // What an input's operation byte chooses, modulo the number of entries.
  struct Operation {
    const char* name;
    void (Program::*run)();
  };
  static const Operation kOperations[];
  static const Operation& OperationFor(uint8_t op);

  explicit Program(Input& in) : m_in(in) {}

  void Run() {
    // LAYER_FUZZ_TRACE=1 names each operation, to follow a finding.
    static const bool trace = std::getenv("LAYER_FUZZ_TRACE") != nullptr;
    for (int i = 0; i < kMaxOperations && !m_in.Empty(); ++i) {
      const uint8_t op = m_in.Byte();
      const Operation& operation = OperationFor(op);
      if (trace) std::fprintf(stderr, "layer_fuzz: %d: %s (%zu bytes left)\n", i, operation.name, m_in.Left());
      (this->*operation.run)();
    }
    if (trace)
      std::fprintf(stderr, "layer_fuzz: live: %zu windows, %zu DCs, %zu GDI objects, %zu DirectDraw objects\n",
                   headless::LiveWindows(), headless::LiveDeviceContexts(), headless::LiveGdiObjects(),
                   headless::LiveDirectDrawObjects());
    CleanUp();
  }

  LRESULT React(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void TimerTick(HWND hwnd) { React(hwnd, WM_TIMER, 0, 0); }

 private:
  Input& m_in;
  std::vector<uintptr_t> m_handles[kKinds];
  std::vector<ATOM> m_atoms;
  std::vector<UINT_PTR> m_threadTimers;
  std::vector<int> m_covers;
  std::vector<Held<IDirectDraw>> m_dds;
  std::vector<Held<IDirectDrawSurface>> m_surfaces;
  std::vector<Held<IDirectDrawClipper>> m_clippers;
  std::vector<void*> m_gone;  // COM pointers we gave up: arguments only
  Reaction m_reactions[kReactions];
  int m_reactionBudget = kReactionBudget;
  int m_depth = 0;
  bool m_cleaningUp = false;

  // ---- Picking arguments ----

  void Keep(Kind kind, uintptr_t handle) {
    std::vector<uintptr_t>& list = m_handles[kind];
    if (handle && std::find(list.begin(), list.end(), handle) == list.end()) list.push_back(handle);
  }
  template <class H>
  void Keep(Kind kind, H handle) {
    Keep(kind, reinterpret_cast<uintptr_t>(handle));
  }

  // Mostly one of ours of the kind asked for (live or dead), else one of
  // another kind, null, or a made-up value.
  uintptr_t PickRaw(Kind kind) {
    const uint8_t b = m_in.Byte();
    const std::vector<uintptr_t>& own = m_handles[kind];
    if (b < 0xA0 && !own.empty()) return own[b % own.size()];
    if (b < 0xD0) {
      const std::vector<uintptr_t>& any = m_handles[b % kKinds];
      return any.empty() ? 0 : any[m_in.Byte() % any.size()];
    }
    if (b < 0xE0) return 0;
    if (b < 0xF8) return NearHandle();
    const uint64_t high = m_in.U32();
    return uintptr_t((high << 32) | m_in.U32());
  }
  // A real handle with one part changed: the likeliest made-up value.
  uintptr_t NearHandle() {
    std::vector<uintptr_t> all;
    for (const std::vector<uintptr_t>& list : m_handles) all.insert(all.end(), list.begin(), list.end());
    const uint8_t how = m_in.Byte(), arg = m_in.Byte();
    if (all.empty()) return m_in.U32();
    const uintptr_t h = all[how % all.size()];
    switch ((how >> 4) % 3) {
      case 0:
        return h ^ (uintptr_t(1) << (arg % 64));
      case 1:
        return h + uintptr_t(intptr_t(int8_t(arg)));
      default:
        return (h & ~uintptr_t(0xFFFF)) | arg;
    }
  }
  template <class H>
  H Pick(Kind kind) {
    return reinterpret_cast<H>(PickRaw(kind));
  }
  HWND Window() { return Pick<HWND>(kWindow); }
  HDC Dc() { return Pick<HDC>(kDc); }

  // A COM pointer as an argument: ours of that kind, one we gave up, one of
  // another kind, null, or made up. Never called through.
  template <class T>
  T* ObjectArg(const std::vector<Held<T>>& own) {
    const uint8_t b = m_in.Byte();
    if (b < 0x90 && !own.empty()) return own[b % own.size()].p;
    if (b < 0xB0 && !m_gone.empty()) return static_cast<T*>(m_gone[b % m_gone.size()]);
    if (b < 0xC0 && !m_dds.empty()) return reinterpret_cast<T*>(m_dds[b % m_dds.size()].p);
    if (b < 0xC8 && !m_surfaces.empty()) return reinterpret_cast<T*>(m_surfaces[b % m_surfaces.size()].p);
    if (b < 0xD0 && !m_clippers.empty()) return reinterpret_cast<T*>(m_clippers[b % m_clippers.size()].p);
    if (b < 0xF0) return nullptr;
    return reinterpret_cast<T*>(uintptr_t(m_in.U32()) | 1);
  }

  template <class T>
  Held<T>* Choose(std::vector<Held<T>>& list) {
    uint8_t b = m_in.Byte();
    return list.empty() ? nullptr : &list[b % list.size()];
  }

  // ---- COM bookkeeping ----

  template <class T>
  void Gained(std::vector<Held<T>>& list, T* p) {
    for (Held<T>& h : list)
      if (h.p == p) {
        ++h.refs;
        return;
      }
    list.push_back(Held<T>{p, 1});
  }

  // Our references are all there are on DirectDraw objects and surfaces;
  // clippers are also held by the surfaces they are set on.
  template <class T>
  void Release(std::vector<Held<T>>& list, size_t i, bool exact) {
    T* p = list[i].p;
    ULONG left = p->Release();
    ULONG ours = --list[i].refs;
    if (exact ? left != ours : left < ours) Fail("Release returned %u while we still hold %u", left, ours);
    if (ours == 0) {
      m_gone.push_back(static_cast<void*>(p));
      list.erase(list.begin() + std::ptrdiff_t(i));
    }
  }
  template <class T>
  void AddRef(Held<T>& h, bool exact) {
    ULONG n = h.p->AddRef();
    ++h.refs;
    if (exact ? n != h.refs : n < h.refs) Fail("AddRef returned %u while we hold %u", n, h.refs);
  }
  template <class T>
  void ReleaseAll(std::vector<Held<T>>& list, bool exact) {
    while (!list.empty()) Release(list, list.size() - 1, exact);
  }

  // ---- Operations ----

  void CleanUp();

  void RegisterClass();
  void UnregisterClass();
  HWND CreateWindow(bool nested);
  void CreateTopLevel() { CreateWindow(false); }
  void Show();
  void Move();
  void Destroy();
  void TakeDc();
  void GiveDcBack();
  void Paint();
  void Fill();
  void Select();
  void Delete();
  void WindowQuery();
  void Painting();
  void GdiObjects();
  void Lines();
  void Colours();
  void Text();
  void Format();
  void Rects();
  void SendOrPost();
  void Pump();
  void GetMessages();
  // The window and message range a look at the queue asks for, from `b`.
  void ReadFilter(uint8_t b, HWND* filter, UINT* lo, UINT* hi);
  void DispatchMade();
  void Timers();
  void Clock();
  void UserAction();
  void FailNext();
  void SetReaction();
  void DirectDrawCreateOp();
  void Cooperate();
  void CreateSurface();
  void ClipperOp();
  void SurfaceClipper();
  void SurfaceDc();
  void Blt();
  void Lock();
  void ComOp();
  void ReleaseDirectDraw(size_t i);
  void CursorAndModule();
  void SetUp();
  void Misc();
};

LRESULT CALLBACK FuzzWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_program) return g_program->React(hwnd, message, wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void CALLBACK FuzzTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD) {
  if (g_program) g_program->TimerTick(hwnd);
}

LRESULT Program::React(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) Keep(kWindow, hwnd);
  size_t k = 0;
  while (k < kReactions && kReactTo[k] != message) ++k;
  const bool timerTick = message == WM_TIMER && wParam == 0 && lParam == 0;
  if (k == kReactions || m_cleaningUp || m_depth >= kMaxDepth || m_reactionBudget <= 0 || m_reactions[k].action == 0)
    return timerTick ? 0 : DefWindowProcA(hwnd, message, wParam, lParam);
  --m_reactionBudget;
  ++m_depth;
  const Reaction r = m_reactions[k];
  const int a = r.arg;
  LRESULT result = 0;
  bool handled = false;
  switch (r.action % 19) {
    case 1:
      DestroyWindow(hwnd);
      break;
    case 2: {
      const auto& w = m_handles[kWindow];
      if (!w.empty()) DestroyWindow(reinterpret_cast<HWND>(w[size_t(a) % w.size()]));
      break;
    }
    case 3:
      ShowWindow(hwnd, a % 14 - 1);
      break;
    case 4:
      MoveWindow(hwnd, a - 64, a / 2 - 32, a * 2, a, a & 1);
      break;
    case 5:  // refuse: WM_NCCREATE fails, WM_PAINT stays unvalidated
      handled = true;
      break;
    case 6:
      result = -1;
      handled = true;
      break;
    case 7:
      PostMessageA(hwnd, WM_USER + UINT(a & 3), WPARAM(a), 0);
      break;
    case 8:
      PostQuitMessage(a);
      break;
    case 9: {
      UINT_PTR id = SetTimer(hwnd, UINT_PTR(a % 4), UINT(a), (a & 1) ? FuzzTimerProc : nullptr);
      if (id && !hwnd) m_threadTimers.push_back(id);
      break;
    }
    case 10:
      KillTimer(hwnd, UINT_PTR(a % 4));
      break;
    case 11:
      InvalidateRect(hwnd, nullptr, a & 1);
      break;
    case 12: {
      HDC hdc = GetDC(hwnd);
      RECT rc{};
      GetClientRect(hwnd, &rc);
      FillRect(hdc, &rc, static_cast<HBRUSH>(GetStockObject(a % 6)));
      ReleaseDC(hwnd, hdc);
      break;
    }
    case 13:
      CreateWindow(true);
      break;
    case 14: {
      const auto& w = m_handles[kWindow];
      if (!w.empty()) ShowWindow(reinterpret_cast<HWND>(w[size_t(a) % w.size()]), (a & 1) ? SW_SHOW : SW_HIDE);
      break;
    }
    case 15:
      if (!m_dds.empty()) ReleaseDirectDraw(size_t(a) % m_dds.size());
      break;
    case 16:
      ValidateRect(hwnd, nullptr);
      break;
    case 17:
      SendMessageA(hwnd, WM_USER, WPARAM(a), 0);
      break;
    case 18: {
      PAINTSTRUCT ps;
      if (BeginPaint(hwnd, &ps)) EndPaint(hwnd, &ps);
      handled = message == WM_PAINT;
      break;
    }
    default:
      break;
  }
  --m_depth;
  if (handled) return result;
  if (timerTick) return 0;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The operation byte's meanings, numbered by position: seeds depend on the
// order, so new operations go at the end. An entry given twice comes up twice
// as often. make_corpus.py asks the binary for this table (--operations).
const Program::Operation Program::kOperations[] = {
    {"RegisterClassA", &Program::RegisterClass},
    {"UnregisterClassA", &Program::UnregisterClass},
    {"CreateWindowExA", &Program::CreateTopLevel},
    {"ShowWindow", &Program::Show},
    {"MoveWindow", &Program::Move},
    {"DestroyWindow", &Program::Destroy},
    {"painting", &Program::Painting},
    {"window queries", &Program::WindowQuery},
    {"GetDC", &Program::TakeDc},
    {"ReleaseDC", &Program::GiveDcBack},
    {"BeginPaint", &Program::Paint},
    {"FillRect", &Program::Fill},
    {"GDI objects", &Program::GdiObjects},
    {"SelectObject", &Program::Select},
    {"DeleteObject", &Program::Delete},
    {"lines", &Program::Lines},
    {"colours", &Program::Colours},
    {"TextOutA", &Program::Text},
    {"wsprintfA", &Program::Format},
    {"rectangles", &Program::Rects},
    {"send or post", &Program::SendOrPost},
    {"PeekMessageA", &Program::Pump},
    {"GetMessageA", &Program::GetMessages},
    {"DispatchMessageA", &Program::DispatchMade},
    {"timers", &Program::Timers},
    {"clock", &Program::Clock},
    {"user action", &Program::UserAction},
    {"FailNext", &Program::FailNext},
    {"reaction", &Program::SetReaction},
    {"DirectDrawCreate", &Program::DirectDrawCreateOp},
    {"SetCooperativeLevel", &Program::Cooperate},
    {"CreateSurface", &Program::CreateSurface},
    {"clippers", &Program::ClipperOp},
    {"surface clipper", &Program::SurfaceClipper},
    {"surface DC", &Program::SurfaceDc},
    {"Blt", &Program::Blt},
    {"Lock", &Program::Lock},
    {"COM", &Program::ComOp},
    {"cursor and module", &Program::CursorAndModule},
    {"program set-up", &Program::SetUp},
    {"misc", &Program::Misc},  // kernel bits, system metrics, MessageBoxA
    {"misc", &Program::Misc},
};

const Program::Operation& Program::OperationFor(uint8_t op) {
  return kOperations[op % (sizeof(kOperations) / sizeof(kOperations[0]))];
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

void Program::TakeDc() {
  Keep(kDc, GetDC(m_in.Bit() ? nullptr : Window()));
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
  if (hdc && m_in.Bit()) EndPaint(hwnd, &ps);
}

void Program::Fill() {
  HDC hdc = Dc();
  RECT r = m_in.Rect();
  HBRUSH brush = Pick<HBRUSH>(kBrush);
  FillRect(hdc, m_in.Byte() < 0xF0 ? &r : nullptr, brush);
}

void Program::Select() {
  HDC hdc = Dc();
  HGDIOBJ object = Pick<HGDIOBJ>(Kind(m_in.Byte() % kKinds));
  Keep(kOther, SelectObject(hdc, object));
}

void Program::Delete() {
  DeleteObject(Pick<HGDIOBJ>(Kind(m_in.Byte() % kKinds)));
}

void Program::Clock() {
  if (m_in.Bit())
    Sleep(m_in.Int());
  else
    GetTickCount();
}

void Program::FailNext() {
  // Sometimes a call the host does not know: it must be ignored.
  const uint8_t b = m_in.Byte();
  int call = b < 0xF0 ? b % 10 : int(m_in.U32());
  headless::FailNext(headless::Call(call), m_in.Int());
}

void Program::SetReaction() {
  const uint8_t k = m_in.Byte();
  m_reactions[k % kReactions] = Reaction{m_in.Byte(), m_in.Byte()};
}

void Program::Cooperate() {
  Held<IDirectDraw>* dd = Choose(m_dds);
  HWND hwnd = Window();
  DWORD flags = m_in.Flags({DDSCL_NORMAL, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN, 0, DDSCL_EXCLUSIVE,
                            DDSCL_NORMAL | DDSCL_EXCLUSIVE, DDSCL_NORMAL | DDSCL_NOWINDOWCHANGES});
  if (dd) dd->p->SetCooperativeLevel(hwnd, flags);
}

void Program::CursorAndModule() {
  const uint8_t b = m_in.Byte();
  if (b & 1) Keep(kOther, LoadCursorA(nullptr, MAKEINTRESOURCEA(32512 + (b >> 1))));
  if (b & 2) Keep(kOther, GetModuleHandleA(nullptr));
  if (b & 4) {
    std::string s = m_in.Text();
    lstrlenA(m_in.Bit() ? s.c_str() : nullptr);
  }
}

void Program::SetUp() {
  // The program's own set-up order, so deep states come quickly: a
  // visible window, DirectDraw at the normal level, a primary surface
  // clipped to the window, and a back buffer.
  HWND hwnd = CreateWindow(false);
  DirectDrawCreateOp();
  if (m_dds.empty()) return;
  Held<IDirectDraw>& dd = m_dds.back();
  dd.p->SetCooperativeLevel(hwnd, DDSCL_NORMAL);
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS;
  d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface* s = nullptr;
  if (m_surfaces.size() < kMaxObjects && SUCCEEDED(dd.p->CreateSurface(&d, &s, nullptr))) Gained(m_surfaces, s);
  IDirectDrawClipper* c = nullptr;
  if (m_clippers.size() < kMaxObjects && SUCCEEDED(dd.p->CreateClipper(0, &c, nullptr))) {
    Gained(m_clippers, c);
    c->SetHWnd(0, hwnd);
    if (s) s->SetClipper(c);
  }
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  d.dwWidth = m_in.Size() % 200 + 1;
  d.dwHeight = m_in.Size() % 200 + 1;
  s = nullptr;
  if (m_surfaces.size() < kMaxObjects && SUCCEEDED(dd.p->CreateSurface(&d, &s, nullptr))) Gained(m_surfaces, s);
}

void Program::Misc() {
  const uint8_t b = m_in.Byte();
  if (b & 1) {
    DWORD frequency = m_in.U32(), duration = m_in.U32();
    Beep(frequency, duration);
  }
  if (b & 2) GetSystemMetrics(m_in.Int());
  if (b & 4) GetLastError();
  if (b & 8) SetLastError(m_in.U32());
  if (b & 16) {
    HWND owner = Window();
    std::string message = m_in.Text();
    const UINT type = m_in.Flags({MB_OK, MB_OKCANCEL | MB_ICONERROR});
    MessageBoxA(owner, (b & 32) ? nullptr : message.c_str(), (b & 64) ? nullptr : "fuzz", type);
  }
}

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

void Program::GdiObjects() {
  const uint8_t b = m_in.Byte();
  switch (b % 3) {
    case 0: {
      int style = m_in.Int() % 9 - 1;
      if (b & 0x80) style = m_in.Int();
      int width = m_in.Int();
      if (b & 0x40) width = width % 12;  // mostly the widths a program uses
      Keep(kPen, CreatePen(style, width, m_in.U32()));
      break;
    }
    case 1:
      Keep(kBrush, CreateSolidBrush(m_in.U32()));
      break;
    case 2: {
      HGDIOBJ o = GetStockObject(m_in.Int() % 16);
      Keep(kStock, o);
      break;
    }
  }
}

void Program::Lines() {
  HDC hdc = Dc();
  const uint8_t b = m_in.Byte();
  int n = b % 4 + 1;  // a short polyline
  POINT previous;
  const int x0 = m_in.Int(), y0 = m_in.Int();
  MoveToEx(hdc, x0, y0, (b & 0x80) ? &previous : nullptr);
  for (int i = 0; i < n; ++i) {
    int x = m_in.Int(), y = m_in.Int();
    LineTo(hdc, x, y);
  }
}

void Program::Colours() {
  HDC hdc = Dc();
  const uint8_t b = m_in.Byte();
  switch (b % 4) {
    case 0:
      SetBkColor(hdc, m_in.U32());
      break;
    case 1:
      SetTextColor(hdc, m_in.U32());
      break;
    case 2:
      SetBkMode(hdc, m_in.Int() % 4);
      break;
    case 3: {
      int x = m_in.Int(), y = m_in.Int();
      GetPixel(hdc, x, y);
      break;
    }
  }
}

void Program::Text() {
  HDC hdc = Dc();
  int x = m_in.Int(), y = m_in.Int();
  std::vector<char> bytes = m_in.Bytes();
  const uint8_t b = m_in.Byte();
  // Never longer than the buffer; shorter, empty and negative lengths too.
  int length = int(bytes.size());
  if (b & 1) length = bytes.empty() ? 0 : int(m_in.Byte() % (bytes.size() + 1));
  if ((b & 6) == 6) length = (b & 8) ? -1 : INT_MIN;
  const char* text = bytes.empty() ? nullptr : bytes.data();
  if (!text && (b & 0x10)) text = "";
  if (!text && length > 0) length = 0;
  TextOutA(hdc, x, y, text, length);
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
  switch (b % 14) {
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

void Program::DirectDrawCreateOp() {
  const uint8_t b = m_in.Byte();
  if (m_dds.size() >= 4) return;
  GUID guid{m_in.U32(), 0, 0, {}};
  IUnknown* outer = (b & 0x40) && !m_dds.empty() ? m_dds[0].p : nullptr;
  IDirectDraw* dd = nullptr;
  HRESULT hr = DirectDrawCreate((b & 0x20) ? &guid : nullptr, (b & 0x10) ? nullptr : &dd, outer);
  if (SUCCEEDED(hr) != (dd != nullptr)) Fail("DirectDrawCreate: 0x%08X with object %p", unsigned(hr), (void*)dd);
  if (dd) m_dds.push_back(Held<IDirectDraw>{dd, 1});
}

void Program::CreateSurface() {
  Held<IDirectDraw>* dd = Choose(m_dds);
  const uint8_t b = m_in.Byte();
  DDSURFACEDESC d{};
  d.dwSize = m_in.Flags({sizeof(DDSURFACEDESC), sizeof(DDSURFACEDESC), 108, 0});
  d.dwFlags = m_in.Flags({DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSD_CAPS, DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT,
                          DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT, DDSD_WIDTH | DDSD_HEIGHT,
                          DDSD_CAPS | DDSD_WIDTH, DDSD_CAPS | DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT});
  d.ddsCaps.dwCaps =
      m_in.Flags({DDSCAPS_OFFSCREENPLAIN, DDSCAPS_PRIMARYSURFACE, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY,
                  DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 0, DDSCAPS_PRIMARYSURFACE | DDSCAPS_OFFSCREENPLAIN,
                  DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY, DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP});
  d.dwWidth = m_in.Size();
  d.dwHeight = m_in.Size();
  if (b & 0x08) {
    DDPIXELFORMAT& pf = d.ddpfPixelFormat;
    pf.dwSize = (b & 0x04) ? m_in.U32() : sizeof(DDPIXELFORMAT);
    pf.dwFlags = (b & 0x02) ? m_in.U32() : DDPF_RGB;
    pf.dwRGBBitCount = m_in.Flags({32, 16, 24, 0});
    pf.dwRBitMask = 0x00FF0000;
    pf.dwGBitMask = 0x0000FF00;
    pf.dwBBitMask = (b & 0x01) ? m_in.U32() : 0x000000FF;
  }
  if (!dd || m_surfaces.size() >= kMaxObjects) return;
  if (d.dwWidth <= 16384 && d.dwHeight <= 16384 && uint64_t(d.dwWidth) * d.dwHeight > kMaxSurfacePixels) return;
  IDirectDrawSurface* s = nullptr;
  IUnknown* outer = (b & 0x40) ? dd->p : nullptr;
  HRESULT hr = dd->p->CreateSurface((b & 0x20) ? nullptr : &d, (b & 0x10) ? nullptr : &s, outer);
  if (SUCCEEDED(hr) != (s != nullptr)) Fail("CreateSurface: 0x%08X with surface %p", unsigned(hr), (void*)s);
  if (s) Gained(m_surfaces, s);
}

void Program::ClipperOp() {
  const uint8_t b = m_in.Byte();
  if (b & 1) {
    Held<IDirectDraw>* dd = Choose(m_dds);
    DWORD flags = (b & 2) ? m_in.U32() : 0;
    if (!dd || m_clippers.size() >= kMaxObjects) return;
    IDirectDrawClipper* c = nullptr;
    HRESULT hr = dd->p->CreateClipper(flags, (b & 4) ? nullptr : &c, (b & 8) ? dd->p : nullptr);
    if (SUCCEEDED(hr) != (c != nullptr)) Fail("CreateClipper: 0x%08X with clipper %p", unsigned(hr), (void*)c);
    if (c) Gained(m_clippers, c);
    return;
  }
  Held<IDirectDrawClipper>* c = Choose(m_clippers);
  HWND hwnd = Window();
  DWORD flags = (b & 2) ? m_in.U32() : 0;
  if (!c) return;
  if (b & 4) {
    HWND out;
    c->p->GetHWnd((b & 8) ? nullptr : &out);
  } else {
    c->p->SetHWnd(flags, hwnd);
  }
}

void Program::SurfaceClipper() {
  Held<IDirectDrawSurface>* s = Choose(m_surfaces);
  const uint8_t b = m_in.Byte();
  IDirectDrawClipper* arg = ObjectArg(m_clippers);
  if (!s) return;
  if (b & 1) {
    s->p->SetClipper(arg);
    return;
  }
  IDirectDrawClipper* c = nullptr;
  HRESULT hr = s->p->GetClipper((b & 2) ? nullptr : &c);
  if (SUCCEEDED(hr) != (c != nullptr)) Fail("GetClipper: 0x%08X with clipper %p", unsigned(hr), (void*)c);
  if (c) Gained(m_clippers, c);
}

void Program::SurfaceDc() {
  Held<IDirectDrawSurface>* s = Choose(m_surfaces);
  const uint8_t b = m_in.Byte();
  HDC hdc = Dc();
  if (!s) return;
  if (b & 1) {
    s->p->ReleaseDC(hdc);
    return;
  }
  HDC made = nullptr;
  HRESULT hr = s->p->GetDC((b & 2) ? nullptr : &made);
  if (SUCCEEDED(hr) && !made) Fail("GetDC succeeded without a DC");
  Keep(kDc, made);
}

void Program::Blt() {
  Held<IDirectDrawSurface>* dest = Choose(m_surfaces);
  const uint8_t b = m_in.Byte();
  IDirectDrawSurface* source = ObjectArg(m_surfaces);
  RECT to = m_in.Rect(), from = m_in.Rect();
  DWORD flags = m_in.Flags({DDBLT_WAIT, 0, DDBLT_COLORFILL | DDBLT_WAIT, DDBLT_COLORFILL});
  DDBLTFX fx{};
  fx.dwSize = (b & 0x10) ? m_in.U32() : sizeof(fx);
  fx.dwFillColor = m_in.U32();
  if (!dest) return;
  // Whole surfaces now and then, the way a program presents its back buffer.
  dest->p->Blt((b & 1) ? nullptr : &to, source, (b & 2) ? nullptr : &from, flags, (b & 4) ? nullptr : &fx);
}

void Program::Lock() {
  Held<IDirectDrawSurface>* s = Choose(m_surfaces);
  const uint8_t b = m_in.Byte();
  RECT r = m_in.Rect();
  DDSURFACEDESC d{};
  d.dwSize = (b & 0x10) ? m_in.U32() : sizeof(d);
  if (!s) return;
  if ((b & 0x60) == 0x60) {
    // Lost surfaces: asked about, or given back.
    if (b & 0x80)
      s->p->Restore();
    else
      s->p->IsLost();
    return;
  }
  if (b & 1) {
    s->p->Unlock((b & 2) ? nullptr : reinterpret_cast<void*>(uintptr_t(m_in.U32())));
    return;
  }
  if (b & 4) {
    s->p->GetSurfaceDesc((b & 8) ? nullptr : &d);
    return;
  }
  const bool whole = b & 2;
  HRESULT hr = s->p->Lock(whole ? nullptr : &r, (b & 8) ? nullptr : &d, DDLOCK_WAIT, nullptr);
  if (FAILED(hr)) return;
  // The first and last pixels of what we locked must be ours to write.
  const int64_t w = whole ? int64_t(d.dwWidth) : int64_t(r.right) - r.left;
  const int64_t h = whole ? int64_t(d.dwHeight) : int64_t(r.bottom) - r.top;
  if (!d.lpSurface || w <= 0 || h <= 0) Fail("Lock succeeded without memory (%lld x %lld)", (long long)w, (long long)h);
  uint8_t* base = static_cast<uint8_t*>(d.lpSurface);
  const uint32_t colour = m_in.U32();
  std::memcpy(base, &colour, 4);
  std::memcpy(base + (h - 1) * int64_t(d.lPitch) + (w - 1) * 4, &colour, 4);
  if (m_in.Bit()) s->p->Unlock(d.lpSurface);
}

void Program::ReleaseDirectDraw(size_t i) {
  // Every reference at once, the way the program lets go of DirectDraw. The
  // surfaces and clippers we still hold stay callable: they only fail now.
  while (i < m_dds.size() && m_dds[i].refs > 1) Release(m_dds, i, true);
  if (i < m_dds.size()) Release(m_dds, i, true);
}

void Program::ComOp() {
  const uint8_t b = m_in.Byte();
  const uint8_t which = m_in.Byte();
  static const IID kIids[] = {
      {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},  // IUnknown
      {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}},  // IDirectDraw
      {0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}},  // IDirectDrawSurface
      {0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}},  // IDirectDrawClipper
      {0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}},  // IDirectDraw2
  };
  IID iid = kIids[m_in.Byte() % 5];
  if (b & 0x80) iid.Data1 = m_in.U32();
  const int action = b % 4;  // AddRef, Release, QueryInterface, release all
  // DirectDraw objects and surfaces: ours are the only references.
  auto on = [&](auto& list, bool exact) {
    if (list.empty()) return;
    const size_t i = which % list.size();
    auto& held = list[i];
    switch (action) {
      case 0:
        AddRef(held, exact);
        break;
      case 1:
        Release(list, i, exact);
        break;
      case 2: {
        void* out = reinterpret_cast<void*>(uintptr_t(1));
        HRESULT hr = held.p->QueryInterface(iid, (b & 0x40) ? nullptr : &out);
        if (b & 0x40) break;
        if (FAILED(hr)) {
          if (out) Fail("QueryInterface failed with 0x%08X but left %p", unsigned(hr), out);
          break;
        }
        if (out != static_cast<void*>(held.p)) Fail("QueryInterface gave %p for %p", out, (void*)held.p);
        ++held.refs;
        break;
      }
      case 3:
        while (list[i].refs > 1) Release(list, i, exact);
        Release(list, i, exact);
        break;
    }
  };
  switch ((b >> 2) % 3) {
    case 0:
      on(m_dds, true);
      break;
    case 1:
      on(m_surfaces, true);
      break;
    case 2:
      on(m_clippers, false);
      break;
  }
}

void Program::CleanUp() {
  // Give back everything we were handed, as a well-behaved program does,
  // then nothing may be left.
  m_cleaningUp = true;
  ReleaseAll(m_surfaces, true);
  ReleaseAll(m_clippers, false);
  ReleaseAll(m_dds, true);
  for (uintptr_t h : m_handles[kWindow]) DestroyWindow(reinterpret_cast<HWND>(h));
  for (uintptr_t h : m_handles[kDc]) ReleaseDC(nullptr, reinterpret_cast<HDC>(h));
  for (uintptr_t h : m_handles[kPen]) DeleteObject(reinterpret_cast<HGDIOBJ>(h));
  for (uintptr_t h : m_handles[kBrush]) DeleteObject(reinterpret_cast<HGDIOBJ>(h));
  for (UINT_PTR id : m_threadTimers) KillTimer(nullptr, id);
  if (size_t n = headless::LiveDirectDrawObjects()) Fail("%zu DirectDraw objects left", n);
  if (size_t n = headless::LiveWindows()) Fail("%zu windows left", n);
  if (size_t n = headless::LiveDeviceContexts()) Fail("%zu device contexts left", n);
  if (size_t n = headless::LiveGdiObjects()) Fail("%zu GDI objects left", n);
  if (size_t n = headless::LiveTimers()) Fail("%zu timers left", n);
}

}  // namespace

// `layer_fuzz --operations` prints the operation table, one "number<TAB>name"
// line each, and exits before libFuzzer reads its flags: make_corpus.py
// encodes its seeds with it.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  for (int i = 1; i < *argc; ++i) {
    if (std::strcmp((*argv)[i], "--operations") != 0) continue;
    int number = 0;
    for (const Program::Operation& operation : Program::kOperations) std::printf("%d\t%s\n", number++, operation.name);
    std::exit(std::fflush(stdout) == 0 ? 0 : 1);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!headless::Reset(kScreenWidth, kScreenHeight)) Fail("Reset refused %dx%d", kScreenWidth, kScreenHeight);
  Input in(data, size);
  Program program(in);
  g_program = &program;
  program.Run();
  g_program = nullptr;
  // Free what the run made within the run, so leak checks see only leaks.
  headless::Reset(kScreenWidth, kScreenHeight);
  return 0;
}
