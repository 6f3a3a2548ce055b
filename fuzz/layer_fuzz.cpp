// libFuzzer target for our Win32 layer. Each input is a little program: a
// stream of operations, one byte choosing the operation and the bytes after
// it choosing its arguments, run against a fresh 320 x 240 headless host.
// What counts is that no call crashes, trips a sanitizer, hangs, or leaves
// windows, DCs, GDI or DirectDraw objects behind once the program has given
// back everything it was handed; and that every blit and fill whose result
// the harness can work out leaves the pixels a plain loop says (results.cpp).
// Other results may be anything.
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
//
// This file is the harness: reading the input, what the program holds, the
// window procedure, the operation table and the checks at the end. The
// operations are in ops_user.cpp, ops_gdi.cpp, ops_ddraw.cpp and
// ops_kernel.cpp; harness.h is what they share with this file.
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

#include "harness.h"
#include "headless.h"
#include "win32.h"

namespace layer_fuzz {

namespace {

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 240;
constexpr int kMaxOperations = 200;
constexpr int kMaxDepth = 4;

}  // namespace

void Fail(const char* format, ...) {
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

namespace {

constexpr int32_t kEdges[32] = {
    0,     1,           -1,          2,       INT_MIN,    INT_MAX, INT_MIN + 1, INT_MAX - 1, 319,   320,       321,
    239,   240,         241,         32767,   32768,      -32768,  -32769,      65535,       65536, -32000,    16384,
    16385, INT_MAX / 2, INT_MIN / 2, 1 << 30, -(1 << 30), 1000000, -1000000,    5,           21,    0x7FFF0000};
constexpr uint32_t kSizes[16] = {0,     1,     2,          319,        320,        16383, 16384, 16385,
                                 65535, 65536, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 1024,  4096,  100000};

}  // namespace

int32_t Input::Int() {
  uint8_t b = Byte();
  if (b < 0xD0) return int32_t(b) * 2 - 48;
  if (b < 0xF0) return kEdges[b - 0xD0];
  return int32_t(U32());
}

uint32_t Input::Size() {
  uint8_t b = Byte();
  if (b < 0xE0) return b;
  if (b < 0xF0) return kSizes[b - 0xE0];
  return U32();
}

uint32_t Input::Flags(std::initializer_list<uint32_t> usual) {
  uint8_t b = Byte();
  if (b < 0xF0 && usual.size() > 0) return usual.begin()[b % usual.size()];
  return U32();
}

std::vector<char> Input::Bytes() {
  size_t n = Byte();
  n = std::min(n, size_t(m_end - m_p));
  std::vector<char> out(m_p, m_p + n);
  m_p += n;
  return out;
}

std::string Input::Text() {
  std::vector<char> b = Bytes();
  return std::string(b.begin(), b.end()).c_str();  // up to the first zero
}

RECT Input::Rect() {
  RECT r;
  r.left = Int();
  r.top = Int();
  r.right = Int();
  r.bottom = Int();
  return r;
}

// ---- What the program holds ------------------------------------------------

namespace {

// The window procedure's reactions, chosen by the input, to the messages
// below: a way into the layer's re-entrant paths.
const UINT kReactTo[] = {WM_NCCREATE, WM_CREATE,      WM_SIZE,      WM_MOVE,       WM_SHOWWINDOW,
                         WM_ACTIVATE, WM_ACTIVATEAPP, WM_PAINT,     WM_ERASEBKGND, WM_TIMER,
                         WM_CLOSE,    WM_DESTROY,     WM_NCDESTROY, WM_USER,       WM_SYSCOMMAND};
static_assert(sizeof(kReactTo) / sizeof(kReactTo[0]) == kReactions, "one reaction for each message");

Program* g_program = nullptr;

}  // namespace

LRESULT CALLBACK FuzzWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_program) return g_program->React(hwnd, message, wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void CALLBACK FuzzTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD) {
  if (g_program) g_program->TimerTick(hwnd);
}

void Program::Run() {
  // LAYER_FUZZ_TRACE=1 names each operation, to follow a finding.
  static const bool trace = std::getenv("LAYER_FUZZ_TRACE") != nullptr;
  NoteChanges();
  for (int i = 0; i < kMaxOperations && !m_in.Empty(); ++i) {
    const uint8_t op = m_in.Byte();
    const Operation& operation = OperationFor(op);
    if (trace) std::fprintf(stderr, "layer_fuzz: %d: %s (%zu bytes left)\n", i, operation.name, m_in.Left());
    (this->*operation.run)();
    NoteChanges();
  }
  if (trace)
    std::fprintf(stderr, "layer_fuzz: live: %zu windows, %zu DCs, %zu GDI objects, %zu DirectDraw objects\n",
                 headless::LiveWindows(), headless::LiveDeviceContexts(), headless::LiveGdiObjects(),
                 headless::LiveDirectDrawObjects());
  CleanUp();
}

// ---- Picking arguments -----------------------------------------------------

void Program::Keep(Kind kind, uintptr_t handle) {
  std::vector<uintptr_t>& list = m_handles[kind];
  if (handle && std::find(list.begin(), list.end(), handle) == list.end()) list.push_back(handle);
}

uintptr_t Program::PickRaw(Kind kind) {
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

uintptr_t Program::NearHandle() {
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

// ---- The window procedure --------------------------------------------------

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

void Program::SetReaction() {
  const uint8_t k = m_in.Byte();
  m_reactions[k % kReactions] = Reaction{m_in.Byte(), m_in.Byte()};
}

// ---- The operations --------------------------------------------------------

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

// ---- The checks at the end -------------------------------------------------

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

}  // namespace layer_fuzz

using namespace layer_fuzz;

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
