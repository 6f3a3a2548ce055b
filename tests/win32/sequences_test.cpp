// The messages a window procedure receives, in Windows' order, for the
// window manager's work: creating, showing, moving, sizing, minimising,
// maximising, activation, hiding and destroying (the tables: sequences.h).
#include <gtest/gtest.h>

#include "support/rect.h"
#include "support/recorder.h"
#include "support/sequence.h"
#include "win32/sequences.h"

namespace {

class Sequences : public testing::Test {
 protected:
  void SetUp() override {
    g_createResult = 0;
    g_handlePosChanged = false;
    DrainQueue();
  }
  void TearDown() override {
    g_createResult = 0;
    g_handlePosChanged = false;
    AnotherApplicationQuits();
    DrainQueue();
  }
};

TEST_F(Sequences, CreateShowPaintAndTheFirstPumpAsTheProgramDoesThem) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  ASSERT_TRUE(w.hwnd());
  EXPECT_TRUE(SawSequence(kCreateVisible, "CreateWindowExA, visible"));
  ShowWindow(w.hwnd(), SW_SHOWNORMAL);  // already so: nothing happens
  EXPECT_TRUE(SawSequence(kQuiet, "SW_SHOWNORMAL on a shown window"));
  UpdateWindow(w.hwnd());
  EXPECT_TRUE(SawSequence({{WM_PAINT}, {WM_ERASEBKGND, kNever}}, "UpdateWindow"));
  Pump();
  EXPECT_TRUE(SawSequence(kQuiet, "the first pump"));
}

TEST_F(Sequences, ShowingAsksForAPaletteOnlyOnWindows) {
  // Windows asks a window taking the focus to realise its palette; our
  // screen is 32-bit colour and has none to realise.
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  EXPECT_TRUE(SawSequence({{WM_SHOWWINDOW}, {WM_QUERYNEWPALETTE}, {WM_ACTIVATEAPP}}, "CreateWindowExA, visible",
                          DiffersOnPurpose{"no palette to realise"}));
}

TEST_F(Sequences, AHiddenWindowHearsOfItsSizeWhenFirstShown) {
  TestWindow w(kFramedStyle & ~WS_VISIBLE, 0, 0, kWidth, kHeight);
  EXPECT_TRUE(SawSequence(kCreateHidden, "CreateWindowExA, hidden"));
  ShowWindow(w.hwnd(), SW_SHOWDEFAULT);
  EXPECT_TRUE(SawSequence(kFirstShow, "SW_SHOWDEFAULT"));
  ShowWindow(w.hwnd(), SW_HIDE);
  EXPECT_TRUE(SawSequence(kHide, "SW_HIDE"));
  ShowWindow(w.hwnd(), SW_SHOW);  // not the first show: no WM_SIZE, WM_MOVE
  Sequence again(kFirstShow.begin(), kFirstShow.end() - 2);
  again.push_back({WM_SIZE, kNever});
  EXPECT_TRUE(SawSequence(again, "SW_SHOW again"));
}

TEST_F(Sequences, ARefusedCreationEndsWithoutWmDestroy) {
  g_createResult = -1;
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  EXPECT_EQ(NULL, w.hwnd());
  EXPECT_TRUE(SawSequence(kCreateRefused, "WM_CREATE answered -1"));
}

TEST_F(Sequences, MovingAndSizing) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  UpdateWindow(w.hwnd());
  SeenMessages().clear();
  MoveWindow(w.hwnd(), 10, 20, kWidth, kHeight, TRUE);
  Pump();
  EXPECT_TRUE(SawSequence(kMoveOnly, "MoveWindow, same size"));
  MoveWindow(w.hwnd(), 30, 40, 500, 400, TRUE);
  EXPECT_TRUE(SawSequence(kMoveAndSize, "MoveWindow, new place and size"));
  Pump();
  EXPECT_TRUE(SawSequence(kPaintLater, "the pump after it"));
  g_handlePosChanged = true;
  MoveWindow(w.hwnd(), 0, 0, 600, 450, TRUE);
  EXPECT_TRUE(SawSequence(kMoveAndSizeHandled, "MoveWindow, WM_WINDOWPOSCHANGED handled"));
}

TEST_F(Sequences, MinimisingAndRestoring) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  HWND h = w.hwnd();
  Pump();
  SeenMessages().clear();
  for (int show : {SW_SHOWMINIMIZED, SW_SHOWMINNOACTIVE}) {
    SCOPED_TRACE(show);
    ShowWindow(h, show);
    EXPECT_TRUE(IsIconic(h));
    EXPECT_EQ(h, GetActiveWindow());
    EXPECT_TRUE(SawSequence(Then(kMinimize, kStaysActive), "minimised, staying active"));
    ShowWindow(h, SW_RESTORE);
    EXPECT_TRUE(SawSequence(kRestoreActive, "SW_RESTORE"));
    Pump();
    SeenMessages().clear();
  }
  ShowWindow(h, SW_MINIMIZE);
  RECT r;
  GetWindowRect(h, &r);
  if (UnderWine()) {
    // Wine's virtual desktop has no shell to hand activation to, so the
    // window stays active there, and icons sit at its bottom edge.
    EXPECT_TRUE(SawSequence(kMinimize, "SW_MINIMIZE"));
  } else {
    EXPECT_TRUE(SawSequence(Then(kMinimize, kMinimizeHandsOn), "SW_MINIMIZE"));
    EXPECT_EQ(NULL, GetActiveWindow());
    EXPECT_EQ(-32000, r.left);
    EXPECT_EQ(-32000, r.top);
  }
}

TEST_F(Sequences, MaximisingAndRestoring) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  SeenMessages().clear();
  ShowWindow(w.hwnd(), SW_MAXIMIZE);
  EXPECT_TRUE(SawSequence(kMaximize, "SW_MAXIMIZE"));
  ShowWindow(w.hwnd(), SW_RESTORE);
  EXPECT_TRUE(SawSequence(kRestoreFromMaximized, "SW_RESTORE"));
}

TEST_F(Sequences, AnotherApplicationTakesActivationAndGivesItBack) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  Pump();
  SeenMessages().clear();
  AnotherApplicationTakesOver();
  EXPECT_TRUE(SawSequence(kDeactivated, "another application comes to the front"));
  BackTo(w.hwnd());
  EXPECT_TRUE(SawSequence(kReactivated, "back to ours"));
}

TEST_F(Sequences, DestroyingTheActiveWindow) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  Pump();
  SeenMessages().clear();
  PostMessageA(w.hwnd(), WM_APP, 0, 0);
  DestroyWindow(w.hwnd());
  EXPECT_TRUE(SawSequence(kDestroy, "DestroyWindow"));
  // What was posted to it went with it.
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, NULL, WM_APP, WM_APP, PM_REMOVE));
}

TEST_F(Sequences, TheUserDragsTheCaptionAndTheCorner) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  HWND h = w.hwnd();
  Pump();
  SeenMessages().clear();
  UserDrags(h, HTCAPTION, POINT{100, 10}, POINT{160, 40}, 1);
  EXPECT_TRUE(SawSequence(kDragCaption, "the caption dragged"));
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ((RECT{60, 30, 60 + kWidth, 30 + kHeight}), r);

  MoveWindow(h, 0, 0, kWidth, kHeight, TRUE);
  Pump();
  SeenMessages().clear();
  UserDrags(h, HTBOTTOMRIGHT, POINT{kWidth - 2, kHeight - 2}, POINT{kWidth - 52, kHeight - 32}, 1);
  EXPECT_TRUE(SawSequence(kDragCorner, "the corner dragged"));
  GetWindowRect(h, &r);
  EXPECT_EQ((RECT{0, 0, kWidth - 50, kHeight - 30}), r);
}

TEST_F(Sequences, AWindowIsNoSmallerThanItsTrackingSize) {
  // The limits a captioned, sizable window is held to, by the user and by
  // the program alike; our metrics are Wine's classic ones.
  const LONG cx = GetSystemMetrics(SM_CXMINTRACK), cy = GetSystemMetrics(SM_CYMINTRACK);
#ifdef _WIN32
  const bool styled = !UnderWine();  // on Windows itself the visual style decides
#else
  const bool styled = false;
#endif
  if (!styled) {
    EXPECT_EQ((POINT{116, 27}), (POINT{cx, cy}));
  }
  TestWindow w(kFramedStyle, 0, 0, 3, 1);
  RECT r;
  GetWindowRect(w.hwnd(), &r);
  EXPECT_EQ((RECT{0, 0, cx, cy}), r) << "created";
  MoveWindow(w.hwnd(), 0, 0, kWidth, kHeight, TRUE);
  UserDrags(w.hwnd(), HTBOTTOMRIGHT, POINT{kWidth - 2, kHeight - 2}, POINT{5, 5}, 1);
  GetWindowRect(w.hwnd(), &r);
  EXPECT_EQ((RECT{0, 0, cx, cy}), r) << "dragged";
  MoveWindow(w.hwnd(), 10, 20, 3, 1, TRUE);
  GetWindowRect(w.hwnd(), &r);
  EXPECT_EQ((RECT{10, 20, 10 + cx, 20 + cy}), r) << "MoveWindow";
}

TEST_F(Sequences, DoubleClickingTheCaptionMaximisesOnlyWithAMaximiseBox) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  Pump();
  SeenMessages().clear();
  UserDoubleClicks(w.hwnd(), HTCAPTION, POINT{100, 10});
  EXPECT_FALSE(IsZoomed(w.hwnd()));
  EXPECT_TRUE(SawSequence(DoubleClickOnCaption(true, {}), "no maximise box"));

  TestWindow boxed(kFramedStyle | WS_MAXIMIZEBOX, 0, 0, kWidth, kHeight);
  Pump();
  SeenMessages().clear();
  UserDoubleClicks(boxed.hwnd(), HTCAPTION, POINT{100, 10});
  EXPECT_TRUE(IsZoomed(boxed.hwnd()));
  EXPECT_TRUE(SawSequence(DoubleClickOnCaption(true, {{WM_SYSCOMMAND, kDefProc | kWParam, SC_MAXIMIZE}}),
                          "with a maximise box"));
  UserDoubleClicks(boxed.hwnd(), HTCAPTION, POINT{100, 10});
  EXPECT_FALSE(IsZoomed(boxed.hwnd()));
  EXPECT_TRUE(SawSequence(DoubleClickOnCaption(false, {{WM_SYSCOMMAND, kDefProc | kWParam, SC_RESTORE}}),
                          "maximised, with a maximise box"));
}

}  // namespace
