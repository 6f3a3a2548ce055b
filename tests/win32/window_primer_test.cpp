// The window primer on the platform: sizing, creation, the message loop.
#include <gtest/gtest.h>

#include "windows_primer.h"

namespace {

int g_createSeen = 0;
int g_quitCode = 0;

// Leaves the queue as it found it: destroying a window here posts nothing.
LRESULT CALLBACK Plain(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) g_createSeen++;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK QuitOnTimer(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    KillTimer(hwnd, 7);
    DestroyWindow(hwnd);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(g_quitCode);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

HINSTANCE Instance() {
  return GetModuleHandleA(NULL);
}

TEST(WindowPrimer, OuterSizeComesFromFrameMetricsAtTheOrigin) {
  WindowsPrimer primer(Instance(), "primer-size", Plain);
  ASSERT_EQ(1, primer.Create("size", SW_SHOWNORMAL, Instance(), 640, 480));
  RECT outer;
  ASSERT_TRUE(GetWindowRect(primer.GetHWnd(), &outer));
  EXPECT_EQ(0, outer.left);
  EXPECT_EQ(0, outer.top);
  EXPECT_EQ(640 + 2 * GetSystemMetrics(SM_CXFRAME), outer.right - outer.left);
  EXPECT_EQ(480 + 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION), outer.bottom - outer.top);
  RECT client;
  ASSERT_TRUE(GetClientRect(primer.GetHWnd(), &client));
  EXPECT_EQ(640, client.right);
  EXPECT_EQ(480, client.bottom);
  DestroyWindow(primer.GetHWnd());
}

TEST(WindowPrimer, UnregisteredClassGivesNoWindow) {
  // A null window procedure makes the registration fail, so no class exists.
  WindowsPrimer primer(Instance(), "primer-unregistered", NULL);
  EXPECT_EQ(NULL, primer.GetHWnd());
  EXPECT_EQ(0, primer.Create("nothing", SW_SHOWNORMAL, Instance(), 640, 480));
  EXPECT_EQ(NULL, primer.GetHWnd());
}

TEST(WindowPrimer, WindowProcedureSeesCreateBeforeCreateReturns) {
  g_createSeen = 0;
  WindowsPrimer primer(Instance(), "primer-create", Plain);
  ASSERT_EQ(1, primer.Create("create", SW_SHOWNORMAL, Instance(), 100, 100));
  EXPECT_EQ(1, g_createSeen);
  EXPECT_TRUE(IsWindow(primer.GetHWnd()));
  EXPECT_TRUE(IsWindowVisible(primer.GetHWnd()));
  DestroyWindow(primer.GetHWnd());
}

TEST(WindowPrimer, MessageLoopReturnsTheQuitCodeUnchanged) {
  for (int code : {0, 7, -3}) {
    g_quitCode = code;
    std::string name = "primer-loop" + std::to_string(code);
    WindowsPrimer primer(Instance(), name.c_str(), QuitOnTimer);
    ASSERT_EQ(1, primer.Create("loop", SW_SHOWNORMAL, Instance(), 100, 100));
    ASSERT_NE(0u, SetTimer(primer.GetHWnd(), 7, 10, NULL));
    EXPECT_EQ(code, primer.MessageLoop());
    EXPECT_FALSE(IsWindow(primer.GetHWnd()));
  }
}

}  // namespace
