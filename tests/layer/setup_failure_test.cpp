// The DirectDraw primer's own bookkeeping around a failed set-up and its
// release, on the headless host. (What the user sees for every failure is
// tested on the whole program.)
#include <gtest/gtest.h>

#include "directdraw_primer.h"
#include "headless.h"

namespace {

class Probe : public DirectDrawPrimer {
 public:
  using DirectDrawPrimer::DirectDrawPrimer;
  using DirectDrawPrimer::m_pBack;
  using DirectDrawPrimer::m_pClipper;
  using DirectDrawPrimer::m_pDD;
  using DirectDrawPrimer::m_pPrimary;
};

Probe* g_probe = nullptr;

// The program's own handling of WM_DESTROY: release, then quit.
LRESULT CALLBACK AppLikeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    g_probe->ReleaseObjects();
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Creates the program's window with `call` failing after `skip` successes;
// returns what Create answered and what the message box wrote to stderr.
int CreateFailing(Probe& app, headless::Call call, int skip, std::string* err) {
  g_probe = &app;
  headless::FailNext(call, skip);
  testing::internal::CaptureStderr();
  int result = app.Create("tarvelmin demo", SW_SHOWDEFAULT, GetModuleHandleA(NULL), 640, 480);
  *err = testing::internal::GetCapturedStderr();
  return result;
}

TEST(SetupFailureAtTheClipper, LeavesBothSurfacesMadeAndReleasesOnlyPrimaryAndDirectDraw) {
  Probe app(GetModuleHandleA(NULL), "tarvelmin", AppLikeProc);
  std::string err;
  ASSERT_EQ(0, CreateFailing(app, headless::Call::CreateClipper, 0, &err));
  EXPECT_NE(nullptr, app.m_pBack);  // made, never released by the primer itself
  EXPECT_EQ(nullptr, app.m_pClipper);
  EXPECT_EQ(nullptr, app.m_pPrimary);
  EXPECT_EQ(nullptr, app.m_pDD);
  // Releasing the DirectDraw object took the back surface with it.
  EXPECT_EQ(0u, headless::LiveDirectDrawObjects());
}


TEST(Release, OnAFreshObjectOnlyBeepsAndTwiceAfterSetUpBeepsTwice) {
  Probe fresh(GetModuleHandleA(NULL), "fresh", AppLikeProc);
  fresh.ReleaseObjects();
  EXPECT_EQ(1, headless::BeepCount());
  EXPECT_EQ(0u, headless::LiveDirectDrawObjects());

  Probe app(GetModuleHandleA(NULL), "tarvelmin", AppLikeProc);
  g_probe = &app;
  ASSERT_EQ(1, app.Create("tarvelmin demo", SW_SHOWDEFAULT, GetModuleHandleA(NULL), 640, 480));
  app.ReleaseObjects();
  EXPECT_EQ(0u, headless::LiveDirectDrawObjects());
  app.ReleaseObjects();
  EXPECT_EQ(3, headless::BeepCount());
  EXPECT_EQ(NULL, app.m_pDD);
  DestroyWindow(app.GetHWnd());  // the WM_DESTROY release finds nothing left either
  EXPECT_EQ(4, headless::BeepCount());
}

}  // namespace
