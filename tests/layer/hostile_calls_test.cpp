// Calls a careless or hostile program can make, each of which once crashed,
// hung or overflowed in our layer (found by fuzz/layer_fuzz). They must
// give an ordinary result and leave the layer working.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "headless.h"
#include "win32.h"

namespace {

// Ends the test program when a call that must return does not, so a hang
// fails the run instead of stopping it.
class Watchdog {
 public:
  explicit Watchdog(int seconds)
      : m_thread([this, seconds] {
          std::unique_lock<std::mutex> lock(m_mutex);
          if (!m_done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_finished; })) {
            std::fprintf(stderr, "Watchdog: still waiting after %d s\n", seconds);
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_finished = true;
    }
    m_done.notify_one();
    m_thread.join();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_done;
  bool m_finished = false;
  std::thread m_thread;
};

HWND NewWindow(int x = 10, int y = 10, int width = 200, int height = 150) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "hostile";
  RegisterClassA(&wc);
  return CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width, height, nullptr,
                         nullptr, nullptr, nullptr);
}

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
  HWND hwnd = NewWindow();
  Sleep(0xFFFFFF9Bu);
  ASSERT_EQ(1u, SetTimer(hwnd, 1, 100, nullptr));  // due at 0xFFFFFFFF exactly
  MSG msg;
  ASSERT_EQ(TRUE, GetMessageA(&msg, hwnd, WM_TIMER, WM_TIMER));
  EXPECT_EQ(0xFFFFFFFFu, GetTickCount());
  EXPECT_FALSE(headless::Stalled());
}

TEST(VirtualClock, TimersTickOnWhenTheTickCountWrapsRound) {
  HWND hwnd = NewWindow();
  Sleep(0xFFFFFFF0u);
  ASSERT_EQ(0xFFFFFFF0u, GetTickCount());
  ASSERT_EQ(1u, SetTimer(hwnd, 1, 100, nullptr));
  ASSERT_EQ(2u, SetTimer(hwnd, 2, 0x7FFFFFFF, nullptr));  // the longest period there is
  Watchdog dog(10);
  MSG msg;
  for (DWORD expected : {0x54u, 0xB8u, 0x11Cu}) {
    ASSERT_EQ(TRUE, GetMessageA(&msg, hwnd, WM_TIMER, WM_TIMER));
    EXPECT_EQ(1u, msg.wParam);
    EXPECT_EQ(expected, GetTickCount());
  }
  ASSERT_TRUE(KillTimer(hwnd, 1));
  for (DWORD expected : {0x7FFFFFEFu, 0xFFFFFFEEu, 0x7FFFFFEDu}) {
    ASSERT_EQ(TRUE, GetMessageA(&msg, hwnd, WM_TIMER, WM_TIMER));
    EXPECT_EQ(2u, msg.wParam);
    EXPECT_EQ(expected, GetTickCount());
  }
}

TEST(UserActions, DueActionsRunWhileEarlierInputWaitsForAnotherFilter) {
  HWND hwnd = NewWindow();
  headless::CloseAt(10, hwnd);
  headless::MoveAt(20, hwnd, 50, 60);
  ASSERT_EQ(1u, SetTimer(hwnd, 1, 1000, nullptr));
  Watchdog dog(10);
  MSG msg;
  ASSERT_EQ(TRUE, GetMessageA(&msg, hwnd, WM_TIMER, WM_TIMER));
  EXPECT_EQ(1000u, GetTickCount());
  RECT r;
  ASSERT_TRUE(GetWindowRect(hwnd, &r));
  EXPECT_EQ(50, r.left);
  EXPECT_EQ(60, r.top);
  // The close box's message still waits for its reader.
  ASSERT_TRUE(PeekMessageA(&msg, hwnd, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE));
  EXPECT_EQ(WPARAM(SC_CLOSE), msg.wParam);
}

TEST(Geometry, HelpersAddIn32BitsAndRoundTrip) {
  RECT r{INT_MAX - 1, INT_MIN, 10, 20};
  ASSERT_TRUE(OffsetRect(&r, 2, -1));
  EXPECT_EQ(INT_MIN, r.left);
  EXPECT_EQ(INT_MAX, r.top);
  EXPECT_EQ(12, r.right);
  EXPECT_EQ(19, r.bottom);

  HWND hwnd = NewWindow(300, 200);
  for (POINT p : {POINT{INT_MAX, INT_MIN}, POINT{INT_MIN, INT_MAX}, POINT{-5, 7}}) {
    POINT q = p;
    ASSERT_TRUE(ClientToScreen(hwnd, &q));
    ASSERT_TRUE(ScreenToClient(hwnd, &q));
    EXPECT_EQ(p.x, q.x);
    EXPECT_EQ(p.y, q.y);
  }
}

TEST(Geometry, WindowsAtTheEdgesOfIntKeepTheirSizesWithinReach) {
  // The right and bottom edges would pass INT_MAX: they stop there.
  HWND hwnd = NewWindow(INT_MAX - 50, INT_MIN + 2, 200, 150);
  RECT r;
  ASSERT_TRUE(GetWindowRect(hwnd, &r));
  EXPECT_EQ(INT_MAX - 50, r.left);
  EXPECT_EQ(INT_MAX, r.right);
  EXPECT_EQ(INT_MIN + 152, r.bottom);
  ASSERT_TRUE(GetClientRect(hwnd, &r));
  EXPECT_EQ(42, r.right);    // 50 less the frames
  EXPECT_EQ(123, r.bottom);  // 150 less frames and caption

  // A client area of nearly 2^31 pixels each way, invalidated all at once.
  ASSERT_TRUE(MoveWindow(hwnd, INT_MIN, INT_MIN, INT_MAX, INT_MAX, TRUE));
  ASSERT_TRUE(ValidateRect(hwnd, nullptr));
  RECT everything{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  ASSERT_TRUE(InvalidateRect(hwnd, &everything, TRUE));
  ASSERT_TRUE(GetUpdateRect(hwnd, &r, FALSE));
  EXPECT_EQ(0, r.left);
  EXPECT_EQ(INT_MAX - 8, r.right);
  EXPECT_EQ(INT_MAX - 27, r.bottom);
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
  EXPECT_EQ(INT_MAX - 10, r.left);
  EXPECT_EQ(INT_MAX, r.top);
  EXPECT_EQ(INT_MAX, r.right);
  EXPECT_EQ(INT_MAX, r.bottom);

  // A borderless popup whose client area starts at INT_MIN, shown and composed.
  HWND popup = CreateWindowExA(0, "hostile", "", WS_POPUP | WS_VISIBLE, INT_MIN, INT_MIN, INT_MAX, INT_MAX, nullptr,
                               nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, popup);
  ASSERT_TRUE(GetClientRect(popup, &r));
  EXPECT_EQ(INT_MAX, r.right);
  ASSERT_TRUE(MoveWindow(popup, INT_MIN, 0, 100, 100, TRUE));
  EXPECT_EQ(0x3A6EA5u, headless::ScreenPixel(0, 50));  // the desktop: nothing of it is on screen
}

TEST(Painting, TheUpdateRegionShrinksWithTheClientArea) {
  HWND hwnd = NewWindow(10, 10, 200, 150);
  ASSERT_TRUE(InvalidateRect(hwnd, nullptr, TRUE));
  ASSERT_TRUE(MoveWindow(hwnd, 10, 10, 50, 50, TRUE));
  RECT r;
  ASSERT_TRUE(GetUpdateRect(hwnd, &r, FALSE));
  EXPECT_EQ(42, r.right);
  EXPECT_EQ(23, r.bottom);
  PAINTSTRUCT ps;
  ASSERT_NE(nullptr, BeginPaint(hwnd, &ps));
  EXPECT_EQ(42, ps.rcPaint.right);
  EXPECT_EQ(23, ps.rcPaint.bottom);
  EndPaint(hwnd, &ps);

  // Far out at the edge of int, a smaller client leaves no update beyond it.
  ASSERT_TRUE(MoveWindow(hwnd, INT_MAX - 200, 0, 200, 150, TRUE));
  ASSERT_TRUE(InvalidateRect(hwnd, nullptr, TRUE));
  ASSERT_TRUE(MoveWindow(hwnd, INT_MAX - 20, 0, 200, 150, TRUE));
  ASSERT_TRUE(GetUpdateRect(hwnd, &r, FALSE));
  EXPECT_EQ(12, r.right);
  ASSERT_NE(nullptr, BeginPaint(hwnd, &ps));
  EXPECT_EQ(12, ps.rcPaint.right);
  EndPaint(hwnd, &ps);
}

}  // namespace
