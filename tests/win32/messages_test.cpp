// The message queue and timers as the program relies on them: order of
// delivery, the quit message, one pending WM_TIMER however late, timers
// dying with their window, and the default procedure's close handling.
#include <gtest/gtest.h>

#include "support/recorder.h"
#include "support/sequence.h"

namespace {


class Messages : public testing::Test {
 protected:
  void SetUp() override { DrainQueue(); }
  void TearDown() override { DrainQueue(); }
};

TEST_F(Messages, PostedMessagesComeInOrderAndQuitComesAfterThem) {
  ASSERT_TRUE(PostMessageA(NULL, WM_APP + 1, 1, 0));
  PostQuitMessage(42);
  ASSERT_TRUE(PostMessageA(NULL, WM_APP + 2, 2, 0));
  MSG msg;
  ASSERT_EQ(1, GetMessageA(&msg, NULL, 0, 0));
  EXPECT_EQ(WM_APP + 1u, msg.message);
  ASSERT_EQ(1, GetMessageA(&msg, NULL, 0, 0));
  EXPECT_EQ(WM_APP + 2u, msg.message);
  EXPECT_EQ(0, GetMessageA(&msg, NULL, 0, 0));
  EXPECT_EQ(UINT(WM_QUIT), msg.message);
  EXPECT_EQ(42u, msg.wParam);
}

TEST_F(Messages, PaintComesAfterPostedAndBeforeTimer) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  ASSERT_TRUE(w.hwnd());
  DrainQueue();
  ASSERT_NE(0u, SetTimer(w.hwnd(), 3, 10, NULL));
  Sleep(40);
  InvalidateRect(w.hwnd(), NULL, TRUE);
  PostMessageA(w.hwnd(), WM_APP, 0, 0);

  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
  EXPECT_EQ(UINT(WM_APP), msg.message);
  ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
  EXPECT_EQ(UINT(WM_PAINT), msg.message);
  // WM_PAINT stays until the window is validated, whatever was removed.
  ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
  EXPECT_EQ(UINT(WM_PAINT), msg.message);
  DispatchMessageA(&msg);  // the default procedure validates
  ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
  EXPECT_EQ(UINT(WM_TIMER), msg.message);
  EXPECT_EQ(3u, msg.wParam);
  EXPECT_EQ(w.hwnd(), msg.hwnd);
  KillTimer(w.hwnd(), 3);
}

// A look that does not remove leaves a posted message, and a due WM_TIMER,
// for the loop's next GetMessageA, however often it looks.
TEST_F(Messages, PeekingWithoutRemovingLeavesPostedMessagesAndTimersForGetMessage) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  DrainQueue();
  ASSERT_NE(0u, SetTimer(w.hwnd(), 3, 10, NULL));
  Sleep(40);
  ASSERT_TRUE(PostMessageA(w.hwnd(), WM_APP, 5, 0));
  MSG msg;
  for (int look = 0; look < 2; ++look) {
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(UINT(WM_APP), msg.message);
    ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    EXPECT_EQ(3u, msg.wParam);
  }
  ASSERT_EQ(1, GetMessageA(&msg, NULL, 0, 0));
  EXPECT_EQ(UINT(WM_APP), msg.message);
  EXPECT_EQ(5u, msg.wParam);
  ASSERT_EQ(1, GetMessageA(&msg, NULL, 0, 0));
  EXPECT_EQ(UINT(WM_TIMER), msg.message);
  EXPECT_EQ(3u, msg.wParam);
  KillTimer(w.hwnd(), 3);
}

TEST_F(Messages, LateTimerPeriodsDoNotPileUp) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  DrainQueue();
  const DWORD period = 10;
  ASSERT_NE(0u, SetTimer(w.hwnd(), 1, period, NULL));
  Sleep(10 * period);  // ten periods go by unserved
  // They make one WM_TIMER. Taking the messages out takes time too (on a
  // busy machine more than a period), and each period that begins meanwhile
  // may add one more.
  MSG msg;
  int timers = 0;
  const DWORD start = GetTickCount();
  while (timers < 20 && PeekMessageA(&msg, w.hwnd(), WM_TIMER, WM_TIMER, PM_REMOVE)) timers++;
  const DWORD periodsMeanwhile = (GetTickCount() - start + period - 1) / period;
  EXPECT_GE(timers, 1);
  EXPECT_LE(timers, 1 + int(periodsMeanwhile)) << periodsMeanwhile << " periods began while taking them out";
  EXPECT_TRUE(KillTimer(w.hwnd(), 1));
  Sleep(30);
  EXPECT_FALSE(PeekMessageA(&msg, w.hwnd(), WM_TIMER, WM_TIMER, PM_REMOVE));
}

TEST_F(Messages, TimerWaitsForItsPeriod) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  DrainQueue();
  DWORD start = GetTickCount();
  ASSERT_NE(0u, SetTimer(w.hwnd(), 1, 50, NULL));
  MSG msg;
  while (GetMessageA(&msg, w.hwnd(), 0, 0) > 0 && msg.message != WM_TIMER) DispatchMessageA(&msg);
  EXPECT_EQ(UINT(WM_TIMER), msg.message);
  EXPECT_GE(GetTickCount() - start, 40u);  // timers may fire a tick early, never half a period
  KillTimer(w.hwnd(), 1);
}

TEST_F(Messages, PeriodsBelowTheMinimumAreRaisedToIt) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  DrainQueue();
  MSG msg;
  for (UINT period : {0u, 1u, USER_TIMER_MINIMUM - 1u}) {
    SCOPED_TRACE(testing::Message() << "period " << period);
    ASSERT_NE(0u, SetTimer(w.hwnd(), 1, period, NULL));
    DWORD start = GetTickCount();
    bool fired = false;
    while (!(fired = PeekMessageA(&msg, w.hwnd(), WM_TIMER, WM_TIMER, PM_REMOVE)) && GetTickCount() - start < 10000)
      Sleep(1);
    EXPECT_TRUE(fired);
    // No more than one a minimum period, however often we look; a busy
    // machine only makes it fewer. Any slack is small beside what a 1 ms
    // timer would send.
    int timers = 0;
    start = GetTickCount();
    while (GetTickCount() - start < 20 * USER_TIMER_MINIMUM) {
      if (PeekMessageA(&msg, w.hwnd(), WM_TIMER, WM_TIMER, PM_REMOVE))
        timers++;
      else
        Sleep(1);
    }
    EXPECT_LE(timers, int((GetTickCount() - start) / USER_TIMER_MINIMUM) + 5);
    EXPECT_TRUE(KillTimer(w.hwnd(), 1));
  }
}

TEST_F(Messages, DestroyingTheWindowKillsItsTimers) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  HWND hwnd = w.hwnd();
  ASSERT_NE(0u, SetTimer(hwnd, 1, 10, NULL));
  ASSERT_TRUE(DestroyWindow(hwnd));
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_FALSE(KillTimer(hwnd, 1));
  Sleep(30);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, NULL, WM_TIMER, WM_TIMER, PM_REMOVE));
}

TEST_F(Messages, CloseThroughTheDefaultProcedureDestroysTheWindow) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  HWND hwnd = w.hwnd();
  SeenMessages().clear();
  SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_TRUE(SawSequence({{WM_SYSCOMMAND}, {WM_CLOSE, kDefProc}, {WM_DESTROY, kDefProc}, {WM_NCDESTROY, kDefProc}},
                          "SC_CLOSE"));
}

TEST_F(Messages, SendCallsTheProcedureAtOnceAndDispatchRoutesPostedOnes) {
  TestWindow w(kFramedStyle, 0, 0, 200, 150);
  DrainQueue();
  SendMessageA(w.hwnd(), WM_APP + 5, 9, 10);
  PostMessageA(w.hwnd(), WM_APP + 6, 0, 0);
  EXPECT_TRUE(SawSequence({{WM_APP + 5, kWParam | kLParam, 9, 10}, {WM_APP + 6, kNever}}, "sent, and posted"));
  Pump();
  EXPECT_TRUE(SawSequence({{WM_APP + 6, kPosted}}, "the pump"));
}


int g_timerProcCalls = 0;
void CALLBACK CountingTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  g_timerProcCalls++;
}

TEST_F(Messages, QuitComesWhateverTheRangeAskedAndStaysUntilRemoved) {
  PostQuitMessage(7);
  MSG msg;
  // A look that does not remove it leaves it for the loop's GetMessageA.
  ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_TIMER, WM_TIMER, PM_NOREMOVE));
  EXPECT_EQ(UINT(WM_QUIT), msg.message);
  EXPECT_EQ(0, GetMessageA(&msg, NULL, 0, 0));
  EXPECT_EQ(UINT(WM_QUIT), msg.message);
  EXPECT_EQ(7u, msg.wParam);
  PostQuitMessage(8);
  ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_EQ(UINT(WM_QUIT), msg.message);
  EXPECT_EQ(8u, msg.wParam);
  EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE));
}

TEST_F(Messages, ThreadTimerCallsItsProcedure) {
  g_timerProcCalls = 0;
  UINT_PTR id = SetTimer(NULL, 0, 10, CountingTimerProc);
  ASSERT_NE(0u, id);
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) {
    DispatchMessageA(&msg);
    if (msg.message == WM_TIMER) break;
  }
  EXPECT_EQ(NULL, msg.hwnd);
  EXPECT_EQ(1, g_timerProcCalls);
  EXPECT_TRUE(KillTimer(NULL, id));
}

}  // namespace
