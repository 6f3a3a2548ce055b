// The whole program on the headless host, driven as a person would: start
// it, let it tick, switch to another application, minimise, resize, close;
// and look at what the screen shows after every presented frame.
#include <gtest/gtest.h>

#include <functional>

#include "headless.h"
#include "support/rect.h"
#include "tarvelmin.h"

namespace {

const uint32_t kRed = 0xFF0000;

// What the client area showed right after one presented frame.
struct Shot {
  DWORD time;
  int angle;  // g_angle once the frame was presented
  int width, height;
  int red;  // red pixels in the client area
  RECT box;  // around them, client coordinates
};

struct Outcome {
  int exitCode = -1;
  std::vector<Shot> shots;
};

HWND Window() {
  return FindWindowA("tarvelmin", NULL);
}

// Starts the program from its first angle with `show`, runs `script` to
// schedule what the user does, and closes the window at `closeAt`.
Outcome RunProgram(DWORD closeAt, const std::function<void()>& script = nullptr, int show = SW_SHOWDEFAULT,
               int startAngle = 50) {
  g_angle = startAngle;
  g_active = 0;
  Outcome run;
  headless::WatchPrimaryBlts([&] {
    Shot s{headless::Now(), g_angle, 0, 0, 0, RECT{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN}};
    RECT c = {0, 0, 0, 0};
    POINT o = {0, 0};
    GetClientRect(Window(), &c);
    ClientToScreen(Window(), &o);
    s.width = c.right;
    s.height = c.bottom;
    for (int y = 0; y < c.bottom; ++y)
      for (int x = 0; x < c.right; ++x)
        if (headless::ScreenPixel(o.x + x, o.y + y) == kRed) {
          s.red++;
          s.box = RECT{std::min<LONG>(s.box.left, x), std::min<LONG>(s.box.top, y),
                       std::max<LONG>(s.box.right, x + 1), std::max<LONG>(s.box.bottom, y + 1)};
        }
    run.shots.push_back(s);
  });
  // By value: when set-up fails the loop never runs, and the step is still
  // waiting for the next look at the queue after this returns.
  headless::At(0, [script, closeAt] {
    if (script) script();
    headless::CloseAt(closeAt, Window());
  });
  run.exitCode = WinMain(GetModuleHandleA(NULL), NULL, const_cast<char*>(""), show);
  headless::WatchPrimaryBlts(nullptr);
  return run;
}

// The 21-pixel disc a zero-length 5-pixel stroke makes at P.
RECT DiscAround(int x, int y) {
  return RECT{x - 2, y - 2, x + 3, y + 3};
}

std::vector<int> Angles(const Outcome& run) {
  std::vector<int> out;
  for (const Shot& s : run.shots) out.push_back(s.angle);
  return out;
}
std::vector<DWORD> Times(const Outcome& run) {
  std::vector<DWORD> out;
  for (const Shot& s : run.shots) out.push_back(s.time);
  return out;
}

struct OrbitPoint {
  int angle;
  POINT p;
  int next;
};

class Orbit : public testing::TestWithParam<OrbitPoint> {};

// Each frame shows one disc at the point for the angle, and the angle moves
// on by two, wrapping only once past 360.
TEST_P(Orbit, TheFirstFrameShowsTheDiscAtThePointAndTheAngleMovesOn) {
  const OrbitPoint& o = GetParam();
  Outcome run = RunProgram(150, nullptr, SW_SHOWDEFAULT, o.angle);
  ASSERT_EQ(1u, run.shots.size());
  EXPECT_EQ(100u, run.shots[0].time);
  EXPECT_EQ(21, run.shots[0].red);
  EXPECT_EQ(DiscAround(o.p.x, o.p.y), run.shots[0].box);
  EXPECT_EQ(o.next, run.shots[0].angle);
}

INSTANTIATE_TEST_SUITE_P(WorkedPoints, Orbit,
                         testing::Values(OrbitPoint{50, {371, 301}, 52}, OrbitPoint{0, {400, 240}, 2},
                                         OrbitPoint{90, {320, 319}, 92}, OrbitPoint{180, {241, 240}, 182},
                                         OrbitPoint{270, {320, 161}, 272}, OrbitPoint{358, {399, 238}, 360},
                                         OrbitPoint{360, {399, 240}, 0}));

TEST(Program, AfterThreeSixtyComesZero) {
  Outcome run = RunProgram(250, nullptr, SW_SHOWDEFAULT, 360);
  ASSERT_EQ(2u, run.shots.size());
  EXPECT_EQ(DiscAround(399, 240), run.shots[0].box);
  EXPECT_EQ(DiscAround(400, 240), run.shots[1].box);
  EXPECT_EQ((std::vector<int>{0, 2}), Angles(run));
}

TEST(Program, ClosingBeepsOnceEndsWithZeroAndLeavesNothing) {
  Outcome run = RunProgram(1000);
  EXPECT_EQ(0, run.exitCode);
  EXPECT_EQ(9u, run.shots.size());
  EXPECT_EQ(1, headless::BeepCount());
  EXPECT_TRUE(headless::MessageBoxes().empty());
  EXPECT_EQ(0u, headless::LiveWindows());
  EXPECT_EQ(0u, headless::LiveTimers());
  EXPECT_EQ(0u, headless::LiveDirectDrawObjects());
  EXPECT_EQ(0u, headless::LiveGdiObjects());
  EXPECT_EQ(0u, headless::LiveDeviceContexts());
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));  // the loop took the quit message
}

TEST(Program, WhileAnotherApplicationIsActiveNothingIsDrawnAndTheAngleHolds) {
  Outcome run = RunProgram(1350, [] {
    headless::ActivateOtherAt(350);
    headless::ActivateAt(1050, Window());
  });
  EXPECT_EQ((std::vector<DWORD>{100, 200, 300, 1100, 1200, 1300}), Times(run));
  EXPECT_EQ((std::vector<int>{52, 54, 56, 58, 60, 62}), Angles(run));
}

TEST(Program, AnActiveMinimisedWindowKeepsAdvancingUnseen) {
  int angleAtRestore = 0;
  Outcome run = RunProgram(650, [&] {
    headless::At(550, [&] { angleAtRestore = g_angle; });
    headless::RestoreAt(550, Window());
  }, SW_SHOWMINIMIZED);
  // Five frames drawn with nowhere to show them (the blit into an empty
  // client area fails), then the restored window shows one disc.
  EXPECT_EQ(60, angleAtRestore);
  ASSERT_EQ(1u, run.shots.size());
  EXPECT_EQ(62, run.shots[0].angle);
  EXPECT_EQ(21, run.shots[0].red);
}

TEST(Program, TheShowCommandAppliesAfterTheWindowIsCreated) {
  struct Case {
    int show;
    BOOL iconic, zoomed;
    RECT client;
  };
  headless::Reset(800, 600);
  const int caption = GetSystemMetrics(SM_CYCAPTION);
  for (const Case& c : {Case{SW_SHOWDEFAULT, FALSE, FALSE, {0, 0, 640, 480}},
                        Case{SW_SHOWMINIMIZED, TRUE, FALSE, {0, 0, 0, 0}},
                        Case{SW_SHOWMAXIMIZED, FALSE, TRUE, {0, 0, 800, 600 - caption}}}) {
    SCOPED_TRACE(c.show);
    BOOL iconic = -1, zoomed = -1, active = FALSE;
    RECT client = {-1, -1, -1, -1};
    RunProgram(150, [&] {
      iconic = IsIconic(Window());
      zoomed = IsZoomed(Window());
      active = g_active;
      GetClientRect(Window(), &client);
    }, c.show);
    EXPECT_EQ(c.iconic, iconic);
    EXPECT_EQ(c.zoomed, zoomed);
    EXPECT_TRUE(active);
    EXPECT_EQ(c.client, client);
  }
}

TEST(Program, AResizedWindowShowsTheWholeSurfaceStretched) {
  headless::Reset(1400, 1000);
  Outcome run = RunProgram(150, [] { headless::ResizeClientAt(50, Window(), 1280, 960); });
  ASSERT_EQ(1u, run.shots.size());
  // Twice the size: every pixel of the disc becomes a 2 x 2 block.
  EXPECT_EQ(4 * 21, run.shots[0].red);
  EXPECT_EQ((RECT{2 * 369, 2 * 299, 2 * 374, 2 * 304}), run.shots[0].box);
}

TEST(Program, AClientAreaSmallerThanTheOrbitKeepsOldMarks) {
  // Clear blackens only the client rectangle's share of the surface, so the
  // marks outside it stay, and the whole surface is shown shrunk.
  Outcome run = RunProgram(650, [] { headless::ResizeClientAt(50, Window(), 300, 200); });
  ASSERT_EQ(6u, run.shots.size());
  for (size_t i = 1; i < run.shots.size(); ++i) EXPECT_GT(run.shots[i].red, run.shots[i - 1].red) << "frame " << i;
}

TEST(Program, AFrameWithoutABackSurfaceContextIsSkippedAndTheAngleHolds) {
  Outcome run = RunProgram(450, [] { headless::FailNext(headless::Call::GetDC, 2); });
  EXPECT_EQ((std::vector<int>{52, 54, 54, 56}), Angles(run));
  // The skipped tick presents the surface as it stood.
  EXPECT_EQ(run.shots[1].box, run.shots[2].box);
  EXPECT_EQ(0, run.exitCode);
}

TEST(Program, AfterADisplayModeChangeLosesTheSurfacesItRecoversWithinATick) {
  Outcome run = RunProgram(550, [] { headless::LoseSurfacesAt(250); });
  // The tick after the loss finds no back surface to draw on (the frame is
  // skipped, the angle holds) and restores both surfaces when presenting;
  // the next one draws the angle it skipped, and the program goes on.
  EXPECT_EQ((std::vector<DWORD>{100, 200, 300, 400, 500}), Times(run));
  EXPECT_EQ((std::vector<int>{52, 54, 54, 56, 58}), Angles(run));
  ASSERT_EQ(5u, run.shots.size());
  EXPECT_EQ(0, run.shots[2].red);
  EXPECT_EQ(21, run.shots[3].red);
  EXPECT_EQ(DiscAround(367, 304), run.shots[3].box);
}

TEST(Program, ATimerWithAnotherIdentifierDrawsAFrameToo) {
  Outcome run = RunProgram(250, [] {
    headless::At(150, [] { PostMessageA(Window(), WM_TIMER, 7, 0); });
  });
  EXPECT_EQ((std::vector<DWORD>{100, 150, 200}), Times(run));
  EXPECT_EQ((std::vector<int>{52, 54, 56}), Angles(run));
}

// Every failure the headless host can inject into the program, and what
// the user gets: one message box when set-up fails (two beeps, the window
// gone, the message loop never entered), a frame that does not show when a
// tick fails; exit code 0 and nothing left behind in every case.
struct Fault {
  const char* name;
  headless::Call call;
  int skip;
  const char* box;  // null: no box
  int beeps;
  size_t shots;  // frames presented before the close at 250 ms
};

class Faults : public testing::TestWithParam<Fault> {};

TEST_P(Faults, TheUserSeesOneBoxOrAMissingFrameAndNothingLeaks) {
  const Fault& f = GetParam();
  headless::FailNext(f.call, f.skip);
  testing::internal::CaptureStderr();  // where the headless host shows boxes
  Outcome run = RunProgram(250);
  std::string shown = testing::internal::GetCapturedStderr();

  EXPECT_EQ(0, run.exitCode);
  std::vector<headless::MessageBoxShown> boxes = headless::MessageBoxes();
  if (f.box) {
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("ERROR", boxes[0].caption);
    EXPECT_EQ(f.box, boxes[0].text);
    EXPECT_EQ(std::string("ERROR: ") + f.box, shown);
    // Create gave up before the loop: the quit message is still queued.
    MSG msg;
    EXPECT_EQ(f.beeps == 2, PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE) != 0);
  } else {
    EXPECT_TRUE(boxes.empty());
  }
  EXPECT_EQ(f.beeps, headless::BeepCount());
  EXPECT_EQ(f.shots, run.shots.size());
  if (!f.box && f.call == headless::Call::Blt) {
    // The first frame never reached the screen; the second shows angle 52.
    ASSERT_EQ(1u, run.shots.size());
    EXPECT_EQ(DiscAround(369, 303), run.shots[0].box);
  }
  EXPECT_EQ(0u, headless::LiveWindows());
  EXPECT_EQ(0u, headless::LiveTimers());
  EXPECT_EQ(0u, headless::LiveDirectDrawObjects());
  EXPECT_EQ(0u, headless::LiveGdiObjects());
  EXPECT_EQ(0u, headless::LiveDeviceContexts());
}

INSTANTIATE_TEST_SUITE_P(
    EveryInjectableFailure, Faults,
    testing::Values(
        Fault{"CreateWindow", headless::Call::CreateWindowExA, 0, "Window Creation Failed (00000008)\n", 0, 0},
        Fault{"DirectDrawCreate", headless::Call::DirectDrawCreate, 0, "Direct Draw Init Failed (80004005)\n", 2, 0},
        Fault{"CooperativeLevel", headless::Call::SetCooperativeLevel, 0, "Direct Draw Init Failed (80004005)\n", 2,
              0},
        Fault{"PrimarySurface", headless::Call::CreateSurface, 0, "Direct Draw Init Failed (8007000e)\n", 2, 0},
        Fault{"BackSurface", headless::Call::CreateSurface, 1, "Direct Draw Init Failed (8007000e)\n", 2, 0},
        Fault{"CreateClipper", headless::Call::CreateClipper, 0, "Direct Draw Init Failed (8007000e)\n", 2, 0},
        Fault{"SetHWnd", headless::Call::SetHWnd, 0, "Direct Draw Init Failed (8007000e)\n", 2, 0},
        Fault{"SetClipper", headless::Call::SetClipper, 0, "Direct Draw Init Failed (80004005)\n", 2, 0},
        Fault{"SetTimer", headless::Call::SetTimer, 0, "Direct Draw Init Failed (000005aa)\n", 2, 0},
        Fault{"GetDCOnATick", headless::Call::GetDC, 0, nullptr, 1, 2},
        Fault{"BltOnATick", headless::Call::Blt, 0, nullptr, 1, 1}),
    [](const testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

}  // namespace
