// Every set-up step of the DirectDraw primer failing in turn, on the
// headless host: one "ERROR" box naming the step's code, two beeps in all,
// nothing left behind.
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

struct Step {
  const char* name;
  headless::Call call;
  int skip;
  const char* text;
};

class SetupFailure : public testing::TestWithParam<Step> {};

TEST_P(SetupFailure, ShowsOneBoxReleasesAndDestroysTheWindow) {
  const Step& step = GetParam();
  Probe app(GetModuleHandleA(NULL), "tarvelmin", AppLikeProc);
  std::string err;
  EXPECT_EQ(0, CreateFailing(app, step.call, step.skip, &err));

  std::vector<headless::MessageBoxShown> boxes = headless::MessageBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("ERROR", boxes[0].caption);
  EXPECT_EQ(step.text, boxes[0].text);
  EXPECT_NE(HWND(NULL), boxes[0].owner);  // the window, now gone
  EXPECT_FALSE(IsWindow(boxes[0].owner));
  EXPECT_EQ(NULL, app.GetHWnd());
  EXPECT_EQ(std::string("ERROR: ") + step.text, err);

  EXPECT_EQ(2, headless::BeepCount());  // Create's release and WM_DESTROY's
  EXPECT_EQ(0u, headless::LiveWindows());
  EXPECT_EQ(0u, headless::LiveTimers());
  EXPECT_EQ(0u, headless::LiveDirectDrawObjects());
  EXPECT_EQ(0u, headless::LiveDeviceContexts());
  EXPECT_EQ(NULL, app.m_pDD);
  EXPECT_EQ(NULL, app.m_pPrimary);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
  EXPECT_EQ(UINT(WM_QUIT), msg.message);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, SetupFailure,
    testing::Values(
        Step{"DirectDrawCreate", headless::Call::DirectDrawCreate, 0, "Direct Draw Init Failed (80004005)\n"},
        Step{"SetCooperativeLevel", headless::Call::SetCooperativeLevel, 0, "Direct Draw Init Failed (80004005)\n"},
        Step{"PrimarySurface", headless::Call::CreateSurface, 0, "Direct Draw Init Failed (8007000e)\n"},
        Step{"BackSurface", headless::Call::CreateSurface, 1, "Direct Draw Init Failed (8007000e)\n"},
        Step{"CreateClipper", headless::Call::CreateClipper, 0, "Direct Draw Init Failed (8007000e)\n"},
        Step{"SetHWnd", headless::Call::SetHWnd, 0, "Direct Draw Init Failed (8007000e)\n"},
        Step{"SetClipper", headless::Call::SetClipper, 0, "Direct Draw Init Failed (80004005)\n"},
        Step{"SetTimer", headless::Call::SetTimer, 0, "Direct Draw Init Failed (000005aa)\n"}),
    [](const testing::TestParamInfo<Step>& info) { return std::string(info.param.name); });

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

TEST(SetupFailureOfTheWindow, SaysSoOnceAndSetsUpNothing) {
  Probe app(GetModuleHandleA(NULL), "tarvelmin", AppLikeProc);
  std::string err;
  EXPECT_EQ(0, CreateFailing(app, headless::Call::CreateWindowExA, 0, &err));
  std::vector<headless::MessageBoxShown> boxes = headless::MessageBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("ERROR", boxes[0].caption);
  EXPECT_EQ("Window Creation Failed (00000008)\n", boxes[0].text);
  EXPECT_EQ(NULL, boxes[0].owner);
  EXPECT_EQ(0u, headless::LiveDirectDrawObjects());
  EXPECT_EQ(0u, headless::LiveTimers());
  EXPECT_EQ(NULL, app.m_pDD);
  // Nothing left running: the queue has nothing that could ever arrive.
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
}

TEST(SetupSuccess, LeavesOneOfEachObjectAndNoBox) {
  Probe app(GetModuleHandleA(NULL), "tarvelmin", AppLikeProc);
  g_probe = &app;
  ASSERT_EQ(1, app.Create("tarvelmin demo", SW_SHOWDEFAULT, GetModuleHandleA(NULL), 640, 480));
  EXPECT_TRUE(headless::MessageBoxes().empty());
  EXPECT_EQ(4u, headless::LiveDirectDrawObjects());  // DirectDraw, two surfaces, clipper
  EXPECT_EQ(1u, headless::LiveTimers());
  DestroyWindow(app.GetHWnd());
  EXPECT_EQ(1, headless::BeepCount());
  EXPECT_EQ(0u, headless::LiveDirectDrawObjects());
}

}  // namespace

namespace {

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
