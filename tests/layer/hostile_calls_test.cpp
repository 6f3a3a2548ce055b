// Calls a careless or hostile program can make, each of which once crashed,
// hung or overflowed in our layer (found by fuzz/layer_fuzz). They must give
// an ordinary result and leave the layer working.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

#include "headless.h"
#include "support/recorder.h"
#include "support/rect.h"

namespace {


// Ends the test program (SIGALRM) when a call that must return has not within
// `seconds`, so a hang fails the run instead of stopping it.
struct Watchdog {
  explicit Watchdog(unsigned seconds) { alarm(seconds); }
  ~Watchdog() { alarm(0); }
};

TEST(FaultInjection, CallsTheHostDoesNotKnowAreIgnored) {
  headless::FailNext(headless::Call(-1));
  headless::FailNext(headless::Call(-1000000));
  headless::FailNext(headless::Call::Count);
  IDirectDraw* dd = nullptr;
  ASSERT_EQ(DD_OK, DirectDrawCreate(nullptr, &dd, nullptr));
  EXPECT_EQ(DD_OK, dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
  dd->Release();
  headless::FailNext(headless::Call::DirectDrawCreate);
  EXPECT_EQ(DDERR_GENERIC, DirectDrawCreate(nullptr, &dd, nullptr));
}

TEST(VirtualClock, ATimerDueAtTheLastTickIsNoStall) {
  TestWindow w(kFramedStyle, 10, 10, 200, 150);
  Sleep(0xFFFFFF9Bu);
  ASSERT_EQ(1u, SetTimer(w.hwnd(), 1, 100, nullptr));  // due at 0xFFFFFFFF exactly
  MSG msg;
  ASSERT_EQ(TRUE, GetMessageA(&msg, w.hwnd(), WM_TIMER, WM_TIMER));
  EXPECT_EQ(0xFFFFFFFFu, GetTickCount());
  EXPECT_FALSE(headless::Stalled());
}

TEST(VirtualClock, TimersTickOnWhenTheTickCountWrapsRound) {
  TestWindow w(kFramedStyle, 10, 10, 200, 150);
  Sleep(0xFFFFFFF0u);
  ASSERT_EQ(0xFFFFFFF0u, GetTickCount());
  ASSERT_EQ(1u, SetTimer(w.hwnd(), 1, 100, nullptr));
  ASSERT_EQ(2u, SetTimer(w.hwnd(), 2, 0x7FFFFFFF, nullptr));  // the longest period there is
  Watchdog dog(10);
  MSG msg;
  for (DWORD expected : {0x54u, 0xB8u, 0x11Cu}) {
    ASSERT_EQ(TRUE, GetMessageA(&msg, w.hwnd(), WM_TIMER, WM_TIMER));
    EXPECT_TRUE(msg.wParam == 1 && GetTickCount() == expected) << msg.wParam << " at " << GetTickCount();
  }
  ASSERT_TRUE(KillTimer(w.hwnd(), 1));
  for (DWORD expected : {0x7FFFFFEFu, 0xFFFFFFEEu, 0x7FFFFFEDu}) {
    ASSERT_EQ(TRUE, GetMessageA(&msg, w.hwnd(), WM_TIMER, WM_TIMER));
    EXPECT_TRUE(msg.wParam == 2 && GetTickCount() == expected) << msg.wParam << " at " << GetTickCount();
  }
}

TEST(UserActions, DueActionsRunWhileEarlierInputWaitsForAnotherFilter) {
  TestWindow w(kFramedStyle, 10, 10, 200, 150);
  headless::CloseAt(10, w.hwnd());
  headless::MoveAt(20, w.hwnd(), 50, 60);
  ASSERT_EQ(1u, SetTimer(w.hwnd(), 1, 1000, nullptr));
  Watchdog dog(10);
  MSG msg;
  ASSERT_EQ(TRUE, GetMessageA(&msg, w.hwnd(), WM_TIMER, WM_TIMER));
  EXPECT_EQ(1000u, GetTickCount());
  RECT r;
  ASSERT_TRUE(GetWindowRect(w.hwnd(), &r));
  EXPECT_TRUE(r.left == 50 && r.top == 60);
  // The close box's message still waits for its reader.
  ASSERT_TRUE(PeekMessageA(&msg, w.hwnd(), WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE));
  EXPECT_EQ(WPARAM(SC_CLOSE), msg.wParam);
}

TEST(Geometry, HelpersAddIn32BitsAndRoundTrip) {
  RECT r{INT_MAX - 1, INT_MIN, 10, 20};
  ASSERT_TRUE(OffsetRect(&r, 2, -1));
  EXPECT_EQ((RECT{INT_MIN, INT_MAX, 12, 19}), r);
  TestWindow w(kFramedStyle, 300, 200, 200, 150);
  for (POINT p : {POINT{INT_MAX, INT_MIN}, POINT{INT_MIN, INT_MAX}, POINT{-5, 7}}) {
    POINT q = p;
    ASSERT_TRUE(ClientToScreen(w.hwnd(), &q) && ScreenToClient(w.hwnd(), &q));
    EXPECT_TRUE(p.x == q.x && p.y == q.y) << q.x << "," << q.y;
  }
}

TEST(Geometry, WindowsAtTheEdgesOfIntKeepTheirSizesWithinReach) {
  // The right and bottom edges would pass INT_MAX: they stop there.
  TestWindow w(kFramedStyle, INT_MAX - 50, INT_MIN + 2, 200, 150);
  const HWND hwnd = w.hwnd();
  RECT r;
  ASSERT_TRUE(GetWindowRect(hwnd, &r));
  EXPECT_EQ((RECT{INT_MAX - 50, INT_MIN + 2, INT_MAX, INT_MIN + 152}), r);
  ASSERT_TRUE(GetClientRect(hwnd, &r));
  EXPECT_EQ((RECT{0, 0, 42, 123}), r);  // less the frames and caption

  // A client area of nearly 2^31 pixels each way, invalidated all at once.
  ASSERT_TRUE(MoveWindow(hwnd, INT_MIN, INT_MIN, INT_MAX, INT_MAX, TRUE));
  ASSERT_TRUE(ValidateRect(hwnd, nullptr));
  RECT everything{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  ASSERT_TRUE(InvalidateRect(hwnd, &everything, TRUE));
  ASSERT_TRUE(GetUpdateRect(hwnd, &r, FALSE));
  EXPECT_EQ((RECT{0, 0, INT_MAX - 8, INT_MAX - 27}), r);
  ASSERT_TRUE(ValidateRect(hwnd, &everything));
  EXPECT_FALSE(GetUpdateRect(hwnd, &r, FALSE));

  // The user drags and sizes it to the far corner.
  ASSERT_TRUE(MoveWindow(hwnd, 10, 10, 100, 100, TRUE));
  headless::ResizeClientAt(1, hwnd, INT_MAX, INT_MAX);
  headless::MoveAt(2, hwnd, INT_MAX - 10, INT_MAX);
  Sleep(5);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_EQ(0u, headless::PendingActions());
  ASSERT_TRUE(GetWindowRect(hwnd, &r));
  EXPECT_EQ((RECT{INT_MAX - 10, INT_MAX, INT_MAX, INT_MAX}), r);

  // A borderless popup whose client area starts at INT_MIN, shown and composed.
  HWND popup = CreateWindowExA(0, w.className().c_str(), "", WS_POPUP | WS_VISIBLE, INT_MIN, INT_MIN, INT_MAX,
                               INT_MAX, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(popup && GetClientRect(popup, &r));
  EXPECT_EQ(INT_MAX, r.right);
  ASSERT_TRUE(MoveWindow(popup, INT_MIN, 0, 100, 100, TRUE));
  EXPECT_EQ(0x3A6EA5u, headless::ScreenPixel(0, 50));  // the desktop: nothing of it is on screen
}

TEST(Painting, TheUpdateRegionShrinksWithTheClientArea) {
  TestWindow w(kFramedStyle, 10, 10, 200, 150);
  // Invalidated whole, then moved and sized; the last two far out at the edge of int.
  const struct { int x, y, width, height; RECT update; } moves[] = {
      {10, 10, 130, 50, {0, 0, 122, 23}}, {INT_MAX - 200, 0, 200, 150, {0, 0, 192, 123}},
      {INT_MAX - 20, 0, 200, 150, {0, 0, 12, 123}}};
  for (const auto& m : moves) {
    ASSERT_TRUE(InvalidateRect(w.hwnd(), nullptr, TRUE));
    ASSERT_TRUE(MoveWindow(w.hwnd(), m.x, m.y, m.width, m.height, TRUE));
    RECT r;
    PAINTSTRUCT ps;
    ASSERT_TRUE(GetUpdateRect(w.hwnd(), &r, FALSE));
    ASSERT_NE(nullptr, BeginPaint(w.hwnd(), &ps));
    EndPaint(w.hwnd(), &ps);
    EXPECT_EQ(m.update, r) << m.x;
    EXPECT_EQ(m.update, ps.rcPaint) << m.x;
  }
}

}  // namespace
