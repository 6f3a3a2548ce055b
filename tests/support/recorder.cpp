#include "recorder.h"

#ifndef _WIN32
#include "headless.h"
#include "w32/host.h"
#endif

LRESULT g_createResult = 0;
bool g_handlePosChanged = false;
namespace {
const MSG* g_dispatching = nullptr;  // the message Pump() is dispatching, if any
int g_depth = 0;                     // DefWindowProcA calls running: anything sent now comes from one
}  // namespace

std::vector<Seen>& SeenMessages() {
  static std::vector<Seen> seen;
  return seen;
}

size_t CountSeen(UINT message) {
  size_t n = 0;
  for (const Seen& s : SeenMessages()) n += s.message == message ? 1 : 0;
  return n;
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  bool posted = g_depth == 0 && g_dispatching && g_dispatching->hwnd == hwnd && g_dispatching->message == message;
  bool fromDefProc = g_depth > 0;
  SeenMessages().push_back(Seen{hwnd, message, wParam, lParam, posted, fromDefProc});
  if (message == WM_CREATE) return g_createResult;
  if (message == WM_WINDOWPOSCHANGED && g_handlePosChanged) return 0;
  ++g_depth;
  LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
  --g_depth;
  return result;
}

TestWindow::TestWindow(DWORD style, int x, int y, int width, int height) {
  static int serial = 0;
  m_class = "recorder-" + std::to_string(++serial);
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = RecordingProc;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
  wc.lpszClassName = m_class.c_str();
  RegisterClassA(&wc);
  m_hwnd = CreateWindowExA(0, m_class.c_str(), "test", style, x, y, width, height, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

TestWindow::~TestWindow() {
  if (IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
  UnregisterClassA(m_class.c_str(), GetModuleHandleA(NULL));
  DrainQueue();
}

void DrainQueue() {
  MSG msg;
  while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_PAINT && msg.hwnd) ValidateRect(msg.hwnd, NULL);
  }
  SeenMessages().clear();
}

POINT ClientOrigin(HWND hwnd) {
  POINT p = {0, 0};
  ClientToScreen(hwnd, &p);
  return p;
}

bool UnderWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
  return false;
#endif
}

size_t GdiObjectCount() {
#ifdef _WIN32
  return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
#else
  return headless::LiveGdiObjects();
#endif
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    g_dispatching = &msg;
    DispatchMessageA(&msg);
    g_dispatching = nullptr;
  }
}

namespace {
// Serves the queue until `heard` says so, for up to ten seconds.
template <class F>
void PumpUntil(F heard) {
  DWORD start = GetTickCount();
  while (!heard() && GetTickCount() - start < 10000) {
    Pump();
    if (!heard()) Sleep(10);
  }
}
bool HeardActivateApp(WPARAM active) {
  for (const Seen& s : SeenMessages())
    if (s.message == WM_ACTIVATEAPP && (s.wParam != 0) == (active != 0)) return true;
  return false;
}
}  // namespace

#ifdef _WIN32
// On Windows another application is another thread with a window of its own.
namespace {
HWND g_other = NULL;
HANDLE g_otherThread = NULL;
HANDLE g_otherInFront = NULL;  // set once its SetForegroundWindow has returned
DWORD WINAPI OtherApplication(LPVOID) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.lpszClassName = "another-application";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "another", WS_OVERLAPPEDWINDOW, 700, 100, 200, 200, NULL, NULL,
                              wc.hInstance, NULL);
  g_other = hwnd;
  ShowWindow(hwnd, SW_SHOW);
  SetForegroundWindow(hwnd);
  SetEvent(g_otherInFront);
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
}  // namespace

void AnotherApplicationTakesOver() {
  if (!g_otherThread) {
    g_otherInFront = CreateEventA(NULL, TRUE, FALSE, NULL);
    g_otherThread = CreateThread(NULL, 0, OtherApplication, NULL, 0, NULL);
  } else {
    SetForegroundWindow(g_other);
  }
  // We hear WM_ACTIVATEAPP(FALSE) already while the other thread shows its
  // window, before its own SetForegroundWindow has run; that call could then
  // overtake the one that gives the foreground back. Wait until it is done.
  PumpUntil([] {
    return HeardActivateApp(FALSE) && WaitForSingleObject(g_otherInFront, 0) == WAIT_OBJECT_0 &&
           GetForegroundWindow() == g_other;
  });
}

void BackTo(HWND ours) {
  SetForegroundWindow(ours);
  PumpUntil([] { return HeardActivateApp(TRUE); });
}

namespace {
// A mouse event at a point of the screen: SendInput takes 0..65535 across it.
INPUT Mouse(DWORD flags, POINT at) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  const LONG width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  in.mi.dx = (at.x * 65536 + width - 1) / width;
  in.mi.dy = (at.y * 65536 + height - 1) / height;
  in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  return in;
}
// Sends the input and serves the queue until the last of it, the button
// coming up, has been handled: WM_EXITSIZEMOVE after a press on the frame,
// or the double-click.
void SendMouse(std::vector<INPUT> inputs, UINT last) {
  // The window follows the pointer step by step, as our layer's does.
  SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, NULL, 0);
  const size_t before = CountSeen(last);
  SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
  PumpUntil([&] { return CountSeen(last) > before; });
  Pump();
}
}  // namespace

void UserDrags(HWND, int, POINT from, POINT to, int steps) {
  // The press becomes WM_NCLBUTTONDOWN wherever the frame says the pointer is.
  std::vector<INPUT> inputs = {Mouse(0, from), Mouse(MOUSEEVENTF_LEFTDOWN, from)};
  for (int i = 1; i <= steps; ++i)
    inputs.push_back(Mouse(0, POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps}));
  inputs.push_back(Mouse(MOUSEEVENTF_LEFTUP, to));
  SendMouse(inputs, WM_EXITSIZEMOVE);
}

void UserDoubleClicks(HWND, int, POINT at) {
  SendMouse({Mouse(0, at), Mouse(MOUSEEVENTF_LEFTDOWN, at), Mouse(MOUSEEVENTF_LEFTUP, at),
             Mouse(MOUSEEVENTF_LEFTDOWN, at), Mouse(MOUSEEVENTF_LEFTUP, at)},
            WM_NCLBUTTONDBLCLK);
}

void AnotherApplicationQuits() {
  if (!g_otherThread) return;
  PostMessageA(g_other, WM_QUIT, 0, 0);
  WaitForSingleObject(g_otherThread, 10000);
  CloseHandle(g_otherThread);
  CloseHandle(g_otherInFront);
  g_otherThread = NULL;
  g_otherInFront = NULL;
  g_other = NULL;
}

bool DisplayModeChanges(int width, int height) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof(mode);
  mode.dmPelsWidth = DWORD(width);
  mode.dmPelsHeight = DWORD(height);
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  if (ChangeDisplaySettingsA(&mode, 0) != DISP_CHANGE_SUCCESSFUL) return false;
  Pump();  // WM_DISPLAYCHANGE and what follows it
  return GetSystemMetrics(SM_CXSCREEN) == width && GetSystemMetrics(SM_CYSCREEN) == height;
}

void DisplayModeBack() {
  ChangeDisplaySettingsA(NULL, 0);
  Pump();
}
#else
// On our layer the headless host plays the other application.
void AnotherApplicationTakesOver() {
  headless::ActivateOtherAt(headless::Now());
  PumpUntil([] { return HeardActivateApp(FALSE); });
}

void BackTo(HWND ours) {
  headless::ActivateAt(headless::Now(), ours);
  PumpUntil([] { return HeardActivateApp(TRUE); });
}

void AnotherApplicationQuits() {}

bool DisplayModeChanges(int width, int height) {
  w32::wm::ScreenSize(width, height);
  return GetSystemMetrics(SM_CXSCREEN) == width && GetSystemMetrics(SM_CYSCREEN) == height;
}

// Each test starts on a fresh headless host anyway.
void DisplayModeBack() {}

void UserDrags(HWND hwnd, int hit, POINT from, POINT to, int steps) {
  const DWORD now = headless::Now();
  headless::PressAt(now, hwnd, hit, from);
  for (int i = 1; i <= steps; ++i)
    headless::PointerAt(now, POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
  headless::ReleaseAt(now, to);
  Pump();
}

void UserDoubleClicks(HWND hwnd, int hit, POINT at) {
  const DWORD now = headless::Now();
  headless::PressAt(now, hwnd, hit, at);
  headless::ReleaseAt(now, at);
  headless::DoubleClickAt(now, hwnd, hit, at);
  headless::ReleaseAt(now, at);
  Pump();
}
#endif
