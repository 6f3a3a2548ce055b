// Our layer on the headless host: the virtual clock, scripted user actions,
// the screen as the user would see it, fault injection and stalls.
#include <climits>
#include <gtest/gtest.h>

#include "headless.h"
#include "support/rect.h"
#include "support/recorder.h"
#include "support/sequence.h"
#include "w32/internal.h"
#include "windows_primer.h"

namespace {

const uint32_t kBlack = 0x000000;

// Serves the queue, millisecond by millisecond, up to virtual time `until`.
void RunUntil(DWORD until) {
  MSG msg;
  for (;;) {
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (headless::Now() >= until) return;
    Sleep(1);
  }
}

TEST(VirtualClock, TimerTicksEveryPeriodAndLateTicksCollapse) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  ASSERT_NE(0u, SetTimer(w.hwnd(), 1, 100, NULL));
  std::vector<DWORD> ticks;
  MSG msg;
  while (ticks.size() < 3 && GetMessageA(&msg, NULL, 0, 0) > 0) {
    if (msg.message == WM_TIMER) ticks.push_back(headless::Now());
    DispatchMessageA(&msg);
  }
  EXPECT_EQ((std::vector<DWORD>{100, 200, 300}), ticks);
  Sleep(350);  // busy for three and a half periods
  ASSERT_EQ(1, GetMessageA(&msg, NULL, WM_TIMER, WM_TIMER));
  EXPECT_EQ(650u, headless::Now());  // the one pending tick, at once
  ASSERT_EQ(1, GetMessageA(&msg, NULL, WM_TIMER, WM_TIMER));
  EXPECT_EQ(700u, headless::Now());  // then back on the original beat
}

TEST(VirtualClock, InputComesAfterQuitAndBeforePaintAndTimer) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  DrainQueue();
  SetTimer(w.hwnd(), 1, 10, NULL);
  headless::CloseAt(0, w.hwnd());
  Sleep(20);
  InvalidateRect(w.hwnd(), NULL, FALSE);
  PostQuitMessage(3);
  PostMessageA(NULL, WM_APP, 0, 0);
  std::vector<UINT> order;
  MSG msg;
  for (int i = 0; i < 5 && PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE); ++i) {
    order.push_back(msg.message);
    if (msg.message == WM_PAINT) ValidateRect(msg.hwnd, NULL);
  }
  EXPECT_EQ((std::vector<UINT>{WM_APP, WM_QUIT, WM_SYSCOMMAND, WM_PAINT, WM_TIMER}), order);
}

TEST(VirtualClock, WaitingForeverIsReportedNotHung) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  DrainQueue();
  MSG msg;
  EXPECT_EQ(-1, GetMessageA(&msg, NULL, 0, 0));
  EXPECT_TRUE(headless::Stalled());
  // The primer's loop ends on it instead of spinning.
  WindowsPrimer primer(GetModuleHandleA(NULL), "stall", RecordingProc);
  ASSERT_EQ(1, primer.Create("stall", SW_SHOWNORMAL, GetModuleHandleA(NULL), 100, 100));
  DrainQueue();
  EXPECT_EQ(-1, primer.MessageLoop());
}

// What a desktop reports (the SDL host's events): where it put the client
// area, that it maximised the window into an area of its own, the display's
// size. Each becomes our window's state, with Windows' messages.
TEST(UserActions, TheDesktopsPlacementsBecomeOurs) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  const int frame = GetSystemMetrics(SM_CXFRAME), caption = GetSystemMetrics(SM_CYCAPTION);
  RECT r;
  w32::wm::MoveClient(w.hwnd(), 104, 223);
  GetWindowRect(w.hwnd(), &r);
  EXPECT_EQ((RECT{104 - frame, 223 - frame - caption, 304 - frame, 373 - frame - caption}), r);
  SeenMessages().clear();
  w32::wm::Maximized(w.hwnd(), RECT{0, 30, 800, 600});
  EXPECT_TRUE(IsZoomed(w.hwnd()));
  EXPECT_EQ((POINT{0, 30}), ClientOrigin(w.hwnd()));
  EXPECT_TRUE(SawSequence({{WM_SIZE, kDefProc | kWParam | kLParam, SIZE_MAXIMIZED, MAKELPARAM(800, 570)}}, "maximised"));
  w32::wm::Maximized(w.hwnd(), RECT{0, 30, 900, 600});  // the desktop's work area grew
  EXPECT_TRUE(SawSequence({{WM_SIZE, kDefProc | kWParam | kLParam, SIZE_MAXIMIZED, MAKELPARAM(900, 570)}}, "again"));
  w32::wm::Maximized(w.hwnd(), RECT{INT_MIN + 10, 0, INT_MAX - 10, 600});  // nonsense changes nothing
  EXPECT_TRUE(SawSequence({{WM_SIZE, kNever}}, "nonsense"));
  EXPECT_EQ((POINT{0, 30}), ClientOrigin(w.hwnd()));
  w32::wm::Show(w.hwnd(), SW_RESTORE);
  GetWindowRect(w.hwnd(), &r);
  EXPECT_EQ(104 - frame, r.left);
  EXPECT_EQ(200, r.right - r.left);
  // A context the program holds across a change of the display's size
  // draws on the new screen, and only inside it.
  HDC hdc = GetDC(w.hwnd());
  w32::wm::ScreenSize(1280, 1024);
  EXPECT_EQ(1280, GetSystemMetrics(SM_CXSCREEN));
  w32::wm::ScreenSize(0, 1024);  // nonsense from a host changes nothing
  EXPECT_EQ(1280, GetSystemMetrics(SM_CXSCREEN));
  w32::wm::ScreenSize(110, 1024);  // cuts the client area 6 columns in
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT across{5, 7, 40, 8};
  FillRect(hdc, &across, red);
  DeleteObject(red);
  MoveToEx(hdc, 0, 0, nullptr);
  LineTo(hdc, 199, 0);
  MoveToEx(hdc, INT_MAX, 0, nullptr);  // beyond int once the client's origin is added
  LineTo(hdc, INT_MAX, 9);
  EXPECT_EQ(0x00FF0000u, headless::ScreenPixel(104 + 5, 223 + 7));
  EXPECT_EQ(0u, headless::ScreenPixel(104, 223));  // the line, in the default black pen
  ReleaseDC(w.hwnd(), hdc);
}

// A drag through a host that draws the frame itself (the web page's): the
// pointer may leave the screen, the window follows only as far as its
// edge; the program's timers keep ticking while the button is held.
TEST(UserActions, ADragStopsAtTheScreensEdgeWhileTimersTick) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  SetTimer(w.hwnd(), 1, 10, NULL);
  DrainQueue();
  headless::PressAt(0, w.hwnd(), HTCAPTION, POINT{100, 10});
  headless::PointerAt(50, POINT{5000, -300});
  headless::ReleaseAt(100, POINT{5000, -300});
  RunUntil(100);
  RECT r;
  GetWindowRect(w.hwnd(), &r);
  EXPECT_EQ((RECT{923, -10, 1123, 140}), r) << "the grabbed point at the screen's top-right corner";
  size_t ticks = 0, entered = 0;
  for (const Seen& s : SeenMessages()) {
    entered += s.message == WM_ENTERSIZEMOVE;
    if (s.message == WM_EXITSIZEMOVE) break;
    ticks += entered && s.message == WM_TIMER;
  }
  EXPECT_EQ(9u, ticks) << "at 10, 20, ... 90 ms; the release at 100 comes first";
}

TEST(Screen, ANewWindowShowsItsClassBrushInTheClientArea) {
  TestWindow w(kFramedStyle, 100, 50, 200, 150);
  UpdateWindow(w.hwnd());
  POINT o = ClientOrigin(w.hwnd());
  RECT c;
  GetClientRect(w.hwnd(), &c);
  EXPECT_EQ(kBlack, headless::ScreenPixel(o.x, o.y));
  EXPECT_EQ(kBlack, headless::ScreenPixel(o.x + c.right - 1, o.y + c.bottom - 1));
  // Just outside the client area: the frame, not the brush.
  EXPECT_NE(kBlack, headless::ScreenPixel(o.x - 1, o.y));
  EXPECT_NE(kBlack, headless::ScreenPixel(o.x + c.right, o.y + c.bottom));
  // Far away: the desktop is untouched.
  EXPECT_EQ(headless::ScreenPixel(1000, 700), headless::ScreenPixel(0, 700));
}

TEST(Screen, UncoveredPartsArePaintedAgainThroughWmPaint) {
  TestWindow w(kFramedStyle, 0, 0, 300, 200);
  UpdateWindow(w.hwnd());
  SetTimer(w.hwnd(), 1, 100, NULL);
  POINT o = ClientOrigin(w.hwnd());
  int cover = headless::CoverAt(100, RECT{o.x + 10, o.y + 10, o.x + 60, o.y + 60});
  headless::UncoverAt(300, cover);
  RunUntil(150);
  uint32_t covered = headless::ScreenPixel(o.x + 20, o.y + 20);
  EXPECT_NE(kBlack, covered);
  EXPECT_EQ(kBlack, headless::ScreenPixel(o.x + 80, o.y + 20));
  // Drawing through the window's DC stays off the covered part.
  HDC hdc = GetDC(w.hwnd());
  RECT all = {0, 0, 300, 200};
  HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  FillRect(hdc, &all, white);
  ReleaseDC(w.hwnd(), hdc);
  EXPECT_EQ(covered, headless::ScreenPixel(o.x + 20, o.y + 20));
  EXPECT_EQ(0xFFFFFFu, headless::ScreenPixel(o.x + 80, o.y + 20));
  SeenMessages().clear();
  RunUntil(350);
  EXPECT_GE(CountSeen(WM_PAINT), 1u);
  EXPECT_EQ(kBlack, headless::ScreenPixel(o.x + 20, o.y + 20));  // erased with the class brush
  EXPECT_EQ(0xFFFFFFu, headless::ScreenPixel(o.x + 80, o.y + 20));  // the rest kept what was drawn
}

TEST(Feedback, ABoxOwnedByAWindowThatIsGoneIsRefused) {
  HWND gone;
  {
    TestWindow w(kFramedStyle, 0, 0, 100, 100);
    gone = w.hwnd();
  }
  EXPECT_EQ(0, MessageBoxA(gone, "late", "ERROR", MB_OK));
  EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST(Host, ResetClearsEverythingAndRefusesBadSizes) {
  TestWindow w(kFramedStyle, 0, 0, 100, 100);
  SetTimer(w.hwnd(), 1, 100, NULL);
  Beep(0, 0);
  EXPECT_FALSE(headless::Reset(0, 100));
  EXPECT_FALSE(headless::Reset(100, 100000));
  EXPECT_EQ(1u, headless::LiveWindows());
  ASSERT_TRUE(headless::Reset(320, 200));
  EXPECT_EQ(0u, headless::LiveWindows());
  EXPECT_EQ(0u, headless::LiveTimers());
  EXPECT_EQ(0, headless::BeepCount());
  EXPECT_EQ(0u, headless::Now());
  EXPECT_EQ(320, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_FALSE(IsWindow(w.hwnd()));
  EXPECT_EQ(0u, headless::ScreenPixel(320, 0));  // outside the screen
}

TEST(Screen, ReleaseDCEndsOnlyContextsItHandedOut) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  IDirectDraw* dd = NULL;
  ASSERT_EQ(DD_OK, DirectDrawCreate(NULL, &dd, NULL));
  ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(w.hwnd(), DDSCL_NORMAL));
  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  desc.dwWidth = 8;
  desc.dwHeight = 8;
  IDirectDrawSurface* surface = NULL;
  ASSERT_EQ(DD_OK, dd->CreateSurface(&desc, &surface, NULL));
  HDC surfaceDc = NULL;
  ASSERT_EQ(DD_OK, surface->GetDC(&surfaceDc));
  EXPECT_EQ(0, ReleaseDC(w.hwnd(), surfaceDc));  // not a window's: left alone
  EXPECT_EQ(DD_OK, surface->ReleaseDC(surfaceDc));
  HDC windowDc = GetDC(w.hwnd());
  EXPECT_EQ(1, ReleaseDC(w.hwnd(), windowDc));
  EXPECT_EQ(0, ReleaseDC(w.hwnd(), windowDc));  // and only once
  surface->Release();
  dd->Release();
  EXPECT_EQ(0u, headless::LiveDeviceContexts());
}

}  // namespace
