// Window classes, windows and their geometry, show commands, activation,
// and what every call answers for a handle that is not a live window.
#include <gtest/gtest.h>

#include <cstring>

#include "support/recorder.h"

namespace {

// A program's global constructors may call Win32 before main; Windows has
// no order for them to keep.
const HMODULE g_moduleAtStart = GetModuleHandleA(NULL);
const HGDIOBJ g_brushAtStart = GetStockObject(BLACK_BRUSH);
const BOOL g_peekedAtStart = [] {
  MSG msg;
  GetTickCount();
  return PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
}();


class Windows : public testing::Test {
 protected:
  void SetUp() override {
    g_createResult = 0;
    DrainQueue();
  }
  void TearDown() override {
    g_createResult = 0;
    DrainQueue();
  }
};

TEST_F(Windows, ClassRecordAndNameAreCopiedAndNamesAreUnique) {
  char name[32];
  std::strcpy(name, "copied-class");
  WNDCLASSA wc = {};
  wc.lpfnWndProc = RecordingProc;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.lpszClassName = name;
  ASSERT_NE(0, RegisterClassA(&wc));
  EXPECT_EQ(0, RegisterClassA(&wc));  // same name twice
  std::strcpy(name, "overwritten");
  wc.lpfnWndProc = NULL;
  HWND hwnd = CreateWindowExA(0, "copied-class", "x", WS_CAPTION, 0, 0, 50, 50, NULL, NULL,
                              GetModuleHandleA(NULL), NULL);
  ASSERT_TRUE(hwnd);
  EXPECT_GT(CountSeen(WM_CREATE), 0u);  // the registered procedure, not the altered record
  DestroyWindow(hwnd);
  EXPECT_TRUE(UnregisterClassA("copied-class", GetModuleHandleA(NULL)));
}

TEST_F(Windows, UnknownClassOrRefusedCreateGivesNoWindow) {
  EXPECT_EQ(NULL, CreateWindowExA(0, "no-such-class", "x", kFramedStyle, 0, 0, 50, 50, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL));
  g_createResult = -1;
  TestWindow refused(kFramedStyle, 0, 0, 100, 100);
  EXPECT_EQ(NULL, refused.hwnd());
  EXPECT_EQ(1u, CountSeen(WM_CREATE));
}

TEST_F(Windows, CallsFromGlobalConstructorsWork) {
  EXPECT_EQ(GetModuleHandleA(NULL), g_moduleAtStart);
  EXPECT_EQ(GetStockObject(BLACK_BRUSH), g_brushAtStart);
  EXPECT_FALSE(g_peekedAtStart);  // nothing queued yet
}

// What ShowWindow answers (was the window visible?) and the states it
// leaves; the messages on the way are the sequence tests'.
TEST_F(Windows, ShowCommandsAnswerWhetherTheWindowWasVisible) {
  TestWindow w(kFramedStyle, 0, 0, 300, 200);
  HWND h = w.hwnd();
  EXPECT_NE(0, ShowWindow(h, SW_SHOWMAXIMIZED));
  EXPECT_TRUE(IsZoomed(h));
  ShowWindow(h, SW_SHOWDEFAULT);  // as SW_SHOWNORMAL
  EXPECT_FALSE(IsZoomed(h));
  ShowWindow(h, SW_SHOWMINIMIZED);
  EXPECT_TRUE(IsIconic(h));
  EXPECT_NE(0, ShowWindow(h, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_EQ(0, ShowWindow(h, SW_SHOWNA));  // it was hidden
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_TRUE(IsIconic(h));  // showing leaves the state as it was
}

// Handles that are not live windows: null, destroyed, and other kinds of
// object's handles; and a window's handle where a device context belongs.
// Each call answers its failure result and nothing crashes. The screen's
// context and the window are the first of their kinds in the test: on our
// layer, after each test's fresh start, the two handles have the same slot
// and generation and differ only in their kind.
TEST_F(Windows, BadHandlesGetFailureResults) {
  HDC dc = GetDC(NULL);
  ASSERT_TRUE(dc);
  TestWindow live(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
  HWND destroyed;
  {
    TestWindow w(kFramedStyle, 0, 0, 100, 100);
    destroyed = w.hwnd();
  }
  HWND foreign = reinterpret_cast<HWND>(GetStockObject(BLACK_BRUSH));
  for (HWND bad : {HWND(NULL), destroyed, foreign, reinterpret_cast<HWND>(dc)}) {
    SCOPED_TRACE(testing::Message() << "handle " << bad);
    RECT r;
    POINT p = {0, 0};
    MSG msg;
    EXPECT_FALSE(IsWindow(bad));
    EXPECT_FALSE(GetClientRect(bad, &r));
    EXPECT_FALSE(GetWindowRect(bad, &r));
    EXPECT_FALSE(ClientToScreen(bad, &p));
    EXPECT_FALSE(ShowWindow(bad, SW_SHOW));
    EXPECT_FALSE(DestroyWindow(bad));
    EXPECT_FALSE(IsWindowVisible(bad));
    EXPECT_FALSE(KillTimer(bad, 1));
    EXPECT_EQ(0, SendMessageA(bad, WM_APP, 0, 0));
    EXPECT_EQ(0, DefWindowProcA(bad, WM_CLOSE, 0, 0));
    if (bad) {
      EXPECT_EQ(NULL, GetDC(bad));
      EXPECT_EQ(0u, SetTimer(bad, 1, 100, NULL));
      EXPECT_FALSE(PostMessageA(bad, WM_APP, 0, 0));
      EXPECT_EQ(-1, GetMessageA(&msg, bad, 0, 0));
      MSG fake = {bad, WM_APP, 0, 0, 0, {0, 0}};
      EXPECT_EQ(0, DispatchMessageA(&fake));
    }
  }
  HDC notDc = reinterpret_cast<HDC>(live.hwnd());
  RECT r = {0, 0, 10, 10};
  // Windows documents zero for a FillRect that fails; Wine answers 1.
  EXPECT_EQ(UnderWine() ? 1 : 0, FillRect(notDc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))));
  EXPECT_EQ(NULL, SelectObject(notDc, GetStockObject(BLACK_PEN)));
  EXPECT_FALSE(MoveToEx(notDc, 1, 1, NULL));
  EXPECT_FALSE(LineTo(notDc, 5, 5));
  EXPECT_FALSE(TextOutA(notDc, 0, 0, "x", 1));
  EXPECT_EQ(CLR_INVALID, SetBkColor(notDc, 0));
  EXPECT_EQ(CLR_INVALID, GetPixel(notDc, 1, 1));
  EXPECT_EQ(0, ReleaseDC(live.hwnd(), notDc));
  EXPECT_EQ(1, ReleaseDC(NULL, dc));
  // Nor do the module's and the arrow cursor's handles pass for a context,
  // however often one has been made and handed back in the same place.
  const HDC module = reinterpret_cast<HDC>(GetModuleHandleA(NULL));
  const HDC cursor = reinterpret_cast<HDC>(LoadCursorA(NULL, IDC_ARROW));
  for (int i = 0; i < 40; ++i) {
    HDC again = GetDC(NULL);
    EXPECT_EQ(CLR_INVALID, SetBkColor(module, 0)) << "after " << i << " contexts";
    EXPECT_EQ(CLR_INVALID, SetBkColor(cursor, 0)) << "after " << i << " contexts";
    ReleaseDC(NULL, again);
  }
}

}  // namespace
