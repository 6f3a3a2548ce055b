// Whole sessions of the program on the headless host, made at random from a
// seed, as people use the window: sizes of every kind, moves off the screen,
// other applications coming and going, minimising, maximising, windows over
// ours, each show command at start, set-up calls and frames failing on the
// way. After every presented frame, every pixel of the client area on the
// screen must be what the model of the program's picture says
// (support/orbit_model.h), and the rest of the screen the desktop and the
// other windows, as they were. A failing session prints its seed and the
// steps that led there, cut down to those it needs to fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numeric>
#include <random>
#include <string>

#include "headless.h"
#include "support/orbit_model.h"
#include "tarvelmin.h"

namespace {

// Seeds whose sessions once failed, run every time; beside each, the fault
// it caught (those so far were put in on purpose, to see the test fail).
const std::vector<uint64_t> kFixedSeeds = {
    0,                // Clear filling the whole surface; a stretch sampling top left; a clip ignoring other
                      // windows; a wider disc; lost surfaces never restored
    10662327182545,   // the angle wrapping at 360 instead of past it
    151604274241721,  // SW_SHOWMINNOACTIVE handing activation on
};

constexpr int kSessions = 120, kStepsPerSession = 36;

// The same session from a seed on every platform (the standard
// distributions differ between libraries): splitmix64.
class Random {
 public:
  explicit Random(uint64_t seed) : m_state(seed) {}
  uint64_t Next() {
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Pick(int lo, int hi) { return lo + int(Next() % uint64_t(int64_t(hi) - lo + 1)); }
  bool OneIn(int n) { return Next() % uint64_t(n) == 0; }

 private:
  uint64_t m_state;
};

enum class Act {
  Resize,
  Move,
  ActivateOther,
  Activate,
  Minimize,
  Restore,
  Maximize,
  Cover,
  Uncover,
  LoseSurfaces,
  FailGetDC,
  FailBlt,
  OtherTimer,
};

struct Step {
  int id;  // its place in the session as made, for Uncover to name a Cover
  DWORD at;
  Act act;
  int x = 0, y = 0, w = 0, h = 0;  // Resize: w x h; Move: (x, y); Cover: the rectangle
  int cover = -1;                  // Uncover: the id of the Cover step
};

// Every set-up call the headless host can make fail, and what the user gets:
// one message box naming the failure (two beeps, the window gone, the
// message loop never entered), exit code 0 and nothing left behind.
struct SetUpFault {
  const char* name;
  headless::Call call;
  int skip;
  const char* box;
  int beeps;
};
const SetUpFault kSetUpFaults[] = {
    {"CreateWindow", headless::Call::CreateWindowExA, 0, "Window Creation Failed (00000008)\n", 0},
    {"DirectDrawCreate", headless::Call::DirectDrawCreate, 0, "Direct Draw Init Failed (80004005)\n", 2},
    {"CooperativeLevel", headless::Call::SetCooperativeLevel, 0, "Direct Draw Init Failed (80004005)\n", 2},
    {"PrimarySurface", headless::Call::CreateSurface, 0, "Direct Draw Init Failed (8007000e)\n", 2},
    {"BackSurface", headless::Call::CreateSurface, 1, "Direct Draw Init Failed (8007000e)\n", 2},
    {"CreateClipper", headless::Call::CreateClipper, 0, "Direct Draw Init Failed (8007000e)\n", 2},
    {"SetHWnd", headless::Call::SetHWnd, 0, "Direct Draw Init Failed (8007000e)\n", 2},
    {"SetClipper", headless::Call::SetClipper, 0, "Direct Draw Init Failed (80004005)\n", 2},
    {"SetTimer", headless::Call::SetTimer, 0, "Direct Draw Init Failed (000005aa)\n", 2},
};

// What is wrong after WinMain returned from a set-up that failed, if anything.
std::string AfterFailedSetUp(const SetUpFault& f, int exitCode, const std::string& said, size_t presented) {
  const std::vector<headless::MessageBoxShown> boxes = headless::MessageBoxes();
  MSG msg;
  if (exitCode != 0) return "exit code " + std::to_string(exitCode);
  if (presented) return "frames presented";
  if (boxes.size() != 1 || boxes[0].caption != "ERROR" || boxes[0].text != f.box)
    return std::to_string(boxes.size()) + " boxes, not one saying " + f.box;
  if (said != std::string("ERROR: ") + f.box) return "stderr says " + said;
  if (headless::BeepCount() != f.beeps) return std::to_string(headless::BeepCount()) + " beeps";
  // Create gave up before the loop: the quit message is still queued.
  if ((f.beeps == 2) != (PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE) != 0))
    return "the quit message is not as the loop left it";
  return "";
}

struct Session {
  uint64_t seed = 0;
  int screenWidth = 0, screenHeight = 0;
  int show = SW_SHOWDEFAULT;
  int startAngle = orbit::kFirstAngle;
  const SetUpFault* fault = nullptr;
  std::vector<Step> steps;
  DWORD closeAt = 0;
};

Session MakeSession(uint64_t seed) {
  Random r(seed);
  Session s;
  s.seed = seed;
  // Screens smaller than the window, about its size, and larger.
  static const POINT kScreens[] = {{320, 240}, {480, 360}, {640, 480}, {800, 600}, {960, 400}, {400, 720}};
  const POINT screen = kScreens[r.Pick(0, int(std::size(kScreens)) - 1)];
  s.screenWidth = screen.x;
  s.screenHeight = screen.y;
  s.show = r.Pick(SW_HIDE, SW_FORCEMINIMIZE);
  if (r.OneIn(2)) s.startAngle = 2 * r.Pick(0, 180);  // as if after some laps
  if (r.OneIn(12)) s.fault = &kSetUpFaults[r.Pick(0, int(std::size(kSetUpFaults)) - 1)];
  DWORD at = 0;
  std::vector<int> covers;
  for (int i = 0; i < kStepsPerSession; ++i) {
    at += DWORD(r.Pick(1, 250));
    // How often each comes, in the order of Act: a loss of the surfaces leaves
    // the picture undefined until a frame clears it all, so it comes seldom.
    static const int kWeights[] = {8, 4, 3, 5, 2, 3, 2, 3, 2, 1, 2, 2, 1};
    static_assert(std::size(kWeights) == size_t(Act::OtherTimer) + 1, "a weight for every act");
    int pick = r.Pick(1, std::accumulate(std::begin(kWeights), std::end(kWeights), 0)), act = 0;
    while ((pick -= kWeights[act]) > 0) ++act;
    Step step{i, at, Act(act)};
    switch (step.act) {
      case Act::Resize:
        switch (r.Pick(0, 5)) {
          case 0:  // too small for the orbit
            step.w = r.Pick(1, 399), step.h = r.Pick(1, 319);
            break;
          case 1:  // one axis only (the other as the session last set it)
            (r.OneIn(2) ? step.w : step.h) = r.Pick(1, 1000);
            break;
          case 2:
            step.w = step.h = 1;
            break;
          case 3:  // larger than the screen
            step.w = r.Pick(s.screenWidth + 1, 2 * s.screenWidth), step.h = r.Pick(s.screenHeight + 1, 2 * s.screenHeight);
            break;
          case 4:
            step.w = 2 * r.Pick(0, 400) + 1, step.h = 2 * r.Pick(0, 300) + 1;
            break;
          default:
            step.w = 640, step.h = 480;
        }
        break;
      case Act::Move:  // partly off the screen as often as not
        step.x = r.Pick(-700, s.screenWidth), step.y = r.Pick(-520, s.screenHeight);
        break;
      case Act::Cover:
        step.x = r.Pick(-40, s.screenWidth), step.y = r.Pick(-40, s.screenHeight);
        step.w = r.Pick(1, s.screenWidth / 2), step.h = r.Pick(1, s.screenHeight / 2);
        covers.push_back(i);
        break;
      case Act::Uncover:
        if (covers.empty()) step.act = Act::ActivateOther;
        else step.cover = covers[size_t(r.Pick(0, int(covers.size()) - 1))];
        break;
      default:
        break;
    }
    s.steps.push_back(step);
  }
  s.closeAt = at + DWORD(r.Pick(1, 250));
  return s;
}

const char* ShowName(int show) {
  static const char* kNames[] = {"SW_HIDE",     "SW_SHOWNORMAL", "SW_SHOWMINIMIZED",   "SW_SHOWMAXIMIZED",
                                 "SW_SHOWNOACTIVATE", "SW_SHOW", "SW_MINIMIZE", "SW_SHOWMINNOACTIVE",
                                 "SW_SHOWNA",   "SW_RESTORE",    "SW_SHOWDEFAULT",     "SW_FORCEMINIMIZE"};
  return show >= 0 && show < int(std::size(kNames)) ? kNames[show] : "?";
}

std::string Describe(const Step& s) {
  char text[160];
  const char* what = "";
  switch (s.act) {
    case Act::Resize:
      if (s.w && s.h) std::snprintf(text, sizeof text, "the client area sized to %d x %d", s.w, s.h);
      else if (s.w) std::snprintf(text, sizeof text, "the client area made %d wide", s.w);
      else std::snprintf(text, sizeof text, "the client area made %d high", s.h);
      return std::to_string(s.at) + " ms: " + text;
    case Act::Move:
      std::snprintf(text, sizeof text, "the window dragged to (%d, %d)", s.x, s.y);
      return std::to_string(s.at) + " ms: " + text;
    case Act::Cover:
      std::snprintf(text, sizeof text, "another application's window (step %d) over (%d, %d) - (%d, %d)", s.id, s.x, s.y,
                    s.x + s.w, s.y + s.h);
      return std::to_string(s.at) + " ms: " + text;
    case Act::Uncover:
      return std::to_string(s.at) + " ms: the window of step " + std::to_string(s.cover) + " closed";
    case Act::ActivateOther: what = "another application activated"; break;
    case Act::Activate: what = "a click on the window"; break;
    case Act::Minimize: what = "minimised"; break;
    case Act::Restore: what = "restored"; break;
    case Act::Maximize: what = "maximised"; break;
    case Act::LoseSurfaces: what = "the display mode changes: the surfaces are lost"; break;
    case Act::FailGetDC: what = "the back surface's next GetDC fails"; break;
    case Act::FailBlt: what = "the next Blt fails"; break;
    case Act::OtherTimer: what = "a WM_TIMER with identifier 7 posted"; break;
  }
  return std::to_string(s.at) + " ms: " + what;
}

std::string Describe(const Session& s, const std::vector<Step>& steps, DWORD until) {
  std::string text = "seed " + std::to_string(s.seed) + ": a " + std::to_string(s.screenWidth) + " x " +
                     std::to_string(s.screenHeight) + " screen, started with " + ShowName(s.show) + " at angle " +
                     std::to_string(s.startAngle);
  if (s.fault) text += std::string(", ") + s.fault->name + " failing";
  text += "\n";
  for (const Step& step : steps)
    if (step.at <= until) text += "  " + Describe(step) + "\n";
  return text;
}

// The window as the session placed it, and whether ours is the active
// application, as Windows has it: what each show command and each action of
// the user does to them.
struct WindowModel {
  enum Shape { kNormal, kMinimized, kMaximized };
  bool visible = true, active = true, restoreToMaximized = false;
  Shape shape = kNormal;
  int left = 0, top = 0, width = 640, height = 480;  // normal placement: outer top-left, client size

  void Show(int cmd) {
    if (cmd == SW_HIDE) {
      visible = active = false;
      return;
    }
    if (cmd == SW_SHOWDEFAULT) cmd = SW_SHOWNORMAL;
    visible = true;
    switch (cmd) {
      case SW_SHOWMINIMIZED:
      case SW_MINIMIZE:
      case SW_SHOWMINNOACTIVE:
      case SW_FORCEMINIMIZE:
        if (shape != kMinimized) restoreToMaximized = shape == kMaximized;
        shape = kMinimized;
        break;
      case SW_SHOWMAXIMIZED:
        shape = kMaximized;
        break;
      case SW_SHOWNORMAL:
      case SW_SHOWNOACTIVATE:
        shape = kNormal;
        break;
      case SW_RESTORE:
        shape = shape == kMinimized && restoreToMaximized ? kMaximized : kNormal;
        break;
    }
    if (cmd == SW_MINIMIZE || cmd == SW_FORCEMINIMIZE)
      active = false;  // activation passes on, to another application
    else if (cmd != SW_SHOWMINNOACTIVE && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE)
      active = true;
  }
  void Activate() {
    if (!visible) return;
    if (shape == kMinimized)
      Show(SW_RESTORE);
    else
      active = true;
  }
  void Resize(int w, int h) {
    shape = kNormal;
    if (w) width = w;
    if (h) height = h;
  }
  void Move(int x, int y) {
    if (shape == kNormal) left = x, top = y;
  }
  bool OnScreen() const { return visible && shape != kMinimized; }
};

// What the session expects where, in screen coordinates.
struct Geometry {
  RECT outer, client;
};

class SessionRun {
 public:
  SessionRun(const Session& s, const std::vector<Step>& steps) : m_session(s), m_steps(steps) {
    m_fx = GetSystemMetrics(SM_CXFRAME);
    m_fy = GetSystemMetrics(SM_CYFRAME);
    m_caption = GetSystemMetrics(SM_CYCAPTION);
    // No smaller than Windows lets a captioned, sizable window be.
    m_minWidth = std::max(0, GetSystemMetrics(SM_CXMINTRACK) - 2 * m_fx);
    m_minHeight = std::max(0, GetSystemMetrics(SM_CYMINTRACK) - 2 * m_fy - m_caption);
  }

  // The first failure, or nothing.
  std::string Run(uint32_t desktop, uint32_t coverPixel) {
    headless::Reset(m_session.screenWidth, m_session.screenHeight);
    m_desktop = desktop;
    m_coverPixel = coverPixel;
    Repaint();
    g_angle = m_angle = m_session.startAngle;
    g_active = 0;
    m_window.Show(m_session.show);
    if (m_session.fault) headless::FailNext(m_session.fault->call, m_session.fault->skip);
    headless::WatchWindowProcs(
        [this](HWND, UINT message, WPARAM wParam, LPARAM) {
          if (message == WM_ACTIVATEAPP) m_activeSaid = wParam != 0;
          if (message == WM_TIMER) Tick();
        },
        nullptr);
    headless::WatchPrimaryBlts([this] { Presented(); });
    // When set-up fails the loop never runs, and this waits for the next Reset.
    headless::At(0, [this] { Schedule(); });
    testing::internal::CaptureStderr();  // where the headless host shows message boxes
    const int exitCode = WinMain(GetModuleHandleA(NULL), NULL, const_cast<char*>(""), m_session.show);
    const std::string said = testing::internal::GetCapturedStderr();
    headless::WatchPrimaryBlts(nullptr);
    headless::WatchWindowProcs(nullptr, nullptr);
    if (!m_failure.empty()) return m_failure;
    if (m_session.fault) {
      Fail(AfterFailedSetUp(*m_session.fault, exitCode, said, m_frames));
    } else {
      if (m_due) Fail("the last tick's frame was never presented");
      if (exitCode != 0) Fail("exit code " + std::to_string(exitCode));
      if (!said.empty()) Fail("said " + said);
      if (headless::BeepCount() != 1) Fail(std::to_string(headless::BeepCount()) + " beeps on closing");
    }
    if (headless::LiveWindows() || headless::LiveTimers() || headless::LiveDirectDrawObjects() ||
        headless::LiveGdiObjects() || headless::LiveDeviceContexts())
      Fail("objects left alive at the end");
    return m_failure;
  }

  DWORD FailedAt() const { return m_failedAt; }
  size_t Frames() const { return m_frames; }
  size_t StepsRun() const { return m_stepsRun; }

 private:
  void Fail(const std::string& what) {
    if (!m_failure.empty() || what.empty()) return;
    m_failedAt = headless::Now();
    m_failure = "at " + std::to_string(m_failedAt) + " ms (next angle " + std::to_string(m_angle) + "): " + what;
  }

  // Each step's action, then what the session expects of it from then on.
  void Schedule() {
    m_hwnd = FindWindowA("tarvelmin", NULL);
    for (const Step& s : m_steps) {
      switch (s.act) {
        case Act::Resize:
          headless::At(s.at, [this, s] {
            headless::ResizeClientAt(s.at, m_hwnd, s.w ? s.w : m_window.width, s.h ? s.h : m_window.height);
          });
          break;
        case Act::Move: headless::MoveAt(s.at, m_hwnd, s.x, s.y); break;
        case Act::ActivateOther: headless::ActivateOtherAt(s.at); break;
        case Act::Activate: headless::ActivateAt(s.at, m_hwnd); break;
        case Act::Minimize: headless::MinimizeAt(s.at, m_hwnd); break;
        case Act::Restore: headless::RestoreAt(s.at, m_hwnd); break;
        case Act::Maximize: headless::MaximizeAt(s.at, m_hwnd); break;
        case Act::Cover:
          m_coverIds[s.id] = headless::CoverAt(s.at, RECT{s.x, s.y, s.x + s.w, s.y + s.h});
          break;
        case Act::Uncover:
          if (m_coverIds.count(s.cover)) headless::UncoverAt(s.at, m_coverIds[s.cover]);
          break;
        case Act::LoseSurfaces: headless::LoseSurfacesAt(s.at); break;
        case Act::FailGetDC: headless::At(s.at, [] { headless::FailNext(headless::Call::GetDC); }); break;
        case Act::FailBlt: headless::At(s.at, [] { headless::FailNext(headless::Call::Blt); }); break;
        case Act::OtherTimer: headless::At(s.at, [this] { PostMessageA(m_hwnd, WM_TIMER, 7, 0); }); break;
      }
      headless::At(s.at, [this, s] { Expect(s); });
    }
    headless::CloseAt(m_session.closeAt, m_hwnd);
  }

  void Expect(const Step& s) {
    ++m_stepsRun;
    switch (s.act) {
      case Act::Resize:
        m_window.Resize(s.w ? std::max(s.w, m_minWidth) : 0, s.h ? std::max(s.h, m_minHeight) : 0);
        break;
      case Act::Move: m_window.Move(s.x, s.y); break;
      case Act::ActivateOther: m_window.active = false; break;
      case Act::Activate: m_window.Activate(); break;
      case Act::Minimize: m_window.Show(SW_MINIMIZE); break;
      case Act::Restore: m_window.Show(SW_RESTORE); break;
      case Act::Maximize: m_window.Show(SW_MAXIMIZE); break;
      case Act::Cover:
        m_covers.push_back({s.id, RECT{s.x, s.y, s.x + s.w, s.y + s.h}});
        Repaint();
        break;
      case Act::Uncover:
        for (size_t i = 0; i < m_covers.size(); ++i)
          if (m_covers[i].first == s.cover) {
            m_covers.erase(m_covers.begin() + long(i));
            Repaint();
            break;
          }
        break;
      case Act::LoseSurfaces: m_lost = true; break;
      case Act::FailGetDC: m_failGetDC = true; break;
      case Act::FailBlt: m_failBlt = true; break;
      case Act::OtherTimer: break;
    }
  }

  // The screen outside our window: the desktop, and the other windows over it.
  void Repaint() {
    const int sw = m_session.screenWidth, sh = m_session.screenHeight;
    m_background.assign(size_t(sw) * size_t(sh), m_desktop);
    m_covered.assign(m_background.size(), 0);
    for (const auto& c : m_covers)
      for (int y = std::max<int>(c.second.top, 0); y < std::min<int>(c.second.bottom, sh); ++y)
        for (int x = std::max<int>(c.second.left, 0); x < std::min<int>(c.second.right, sw); ++x) {
          m_background[size_t(y) * size_t(sw) + size_t(x)] = m_coverPixel;
          m_covered[size_t(y) * size_t(sw) + size_t(x)] = 1;
        }
  }

  Geometry Where() const {
    const int sw = m_session.screenWidth, sh = m_session.screenHeight;
    const WindowModel& w = m_window;
    switch (w.shape) {
      case WindowModel::kMaximized:
        return Geometry{RECT{-m_fx, -m_fy, sw + m_fx, sh + m_fy}, RECT{0, m_caption, sw, std::max(sh, m_caption)}};
      case WindowModel::kMinimized:
        return Geometry{RECT{0, 0, 0, 0}, RECT{0, 0, 0, 0}};
      case WindowModel::kNormal:
        break;
    }
    const int cl = w.left + m_fx, ct = w.top + m_fy + m_caption;
    return Geometry{RECT{w.left, w.top, cl + w.width + m_fx, ct + w.height + m_fy},
                    RECT{cl, ct, cl + w.width, ct + w.height}};
  }

  // A timer tick: the program draws a frame if it is active and can get the
  // back surface's context, and presents whenever it is active.
  void Tick() {
    if (!m_failure.empty()) return;
    if (m_due) return Fail("the frame of the tick before was never presented");
    const Geometry g = Where();
    const int cw = g.client.right - g.client.left, ch = g.client.bottom - g.client.top;
    RECT c{-1, -1, -1, -1};
    POINT o{0, 0};
    GetClientRect(m_hwnd, &c);
    ClientToScreen(m_hwnd, &o);
    if (c.right != cw || c.bottom != ch || (cw && (o.x != g.client.left || o.y != g.client.top)) ||
        IsIconic(m_hwnd) != (m_window.shape == WindowModel::kMinimized) ||
        IsZoomed(m_hwnd) != (m_window.shape == WindowModel::kMaximized) ||
        bool(IsWindowVisible(m_hwnd)) != m_window.visible)
      return Fail("the client area is " + std::to_string(c.right) + " x " + std::to_string(c.bottom) + " at (" +
                  std::to_string(o.x) + ", " + std::to_string(o.y) + "), not " + std::to_string(cw) + " x " +
                  std::to_string(ch) + " at (" + std::to_string(g.client.left) + ", " + std::to_string(g.client.top) +
                  "), or not in its show state");
    if (m_activeSaid != m_window.active)
      return Fail(std::string("the program was told it is ") + (m_activeSaid ? "active" : "inactive"));
    if (g_angle != m_angle) return Fail("the program's angle is " + std::to_string(g_angle));
    if (!m_window.active) return;
    if (m_lost) {
      // GetDC finds the surface lost; the fault plan is not reached.
    } else if (m_failGetDC) {
      m_failGetDC = false;
    } else {
      m_surface.Frame(m_angle, cw, ch);
      m_angle = orbit::NextAngle(m_angle);
    }
    if (cw > 0 && ch > 0) {  // a blit with somewhere to go
      if (m_lost) {
        m_lost = false;  // restored, without its contents
        m_surface.Forget();
      }
      if (m_failBlt)
        m_failBlt = false;
      else
        m_due = true;
    }
  }

  void Presented() {
    if (!m_failure.empty()) return;
    if (!m_due) return Fail("a frame presented where none should be");
    m_due = false;
    ++m_frames;
    Check();
  }

  // The whole screen: our client area as the model says, where the window
  // manager drew the frame anything, elsewhere the desktop and other windows.
  void Check() {
    const int sw = m_session.screenWidth, sh = m_session.screenHeight;
    m_screen = headless::ScreenPixels(RECT{0, 0, sw, sh});
    const Geometry g = Where();
    const bool shown = m_window.OnScreen();
    const RECT outer = shown ? g.outer : RECT{0, 0, 0, 0};
    const RECT client = g.client;
    const int cw = client.right - client.left, ch = client.bottom - client.top;
    const int o0 = std::clamp<int>(outer.left, 0, sw), o1 = std::clamp<int>(outer.right, 0, sw);
    const int c0 = std::clamp<int>(client.left, 0, sw), c1 = std::clamp<int>(client.right, 0, sw);
    m_columns.resize(size_t(sw));
    int* columns = m_columns.data();  // raw pointers: this loop is most of the test's time
    for (int x = c0; x < c1; ++x) columns[x] = orbit::SurfaceColumn(x - client.left, cw);
    for (int y = 0; y < sh; ++y) {
      const uint32_t* row = m_screen.data() + size_t(y) * size_t(sw);
      const uint32_t* back = m_background.data() + size_t(y) * size_t(sw);
      const uint8_t* covered = m_covered.data() + size_t(y) * size_t(sw);
      const bool inOuter = y >= outer.top && y < outer.bottom && o0 < o1;
      const int from = inOuter ? o0 : sw, to = inOuter ? o1 : sw;
      if (std::memcmp(row, back, size_t(from) * 4) || std::memcmp(row + to, back + to, size_t(sw - to) * 4)) {
        for (int x = 0; x < sw; ++x)
          if ((x < from || x >= to) && row[x] != back[x]) return Mismatch(x, y, back[x], -1, -1);
      }
      // Over the frame and caption, only other windows: the rest is the window manager's.
      for (int x = from; x < to; ++x)
        if (covered[x] && row[x] != back[x]) return Mismatch(x, y, back[x], -1, -1);
      if (!shown || y < client.top || y >= client.bottom) continue;
      const int sy = orbit::SurfaceRow(y - client.top, ch);
      const uint32_t* surface = &m_surface.At(0, sy);
      for (int x = c0; x < c1; ++x) {
        const uint32_t want = surface[columns[x]];
        if (row[x] != want && !covered[x] && want != orbit::kUnknown) return Mismatch(x, y, want, columns[x], sy);
      }
    }
  }

  void Mismatch(int x, int y, uint32_t want, int sx, int sy) {
    char text[200];
    const uint32_t got = m_screen[size_t(y) * size_t(m_session.screenWidth) + size_t(x)];
    if (sx >= 0)
      std::snprintf(text, sizeof text, "screen pixel (%d, %d) is %06x; the model's surface pixel (%d, %d) is %06x", x,
                    y, got, sx, sy, want);
    else
      std::snprintf(text, sizeof text, "screen pixel (%d, %d) is %06x where %s is %06x", x, y, got,
                    m_covered[size_t(y) * size_t(m_session.screenWidth) + size_t(x)] ? "another application's window"
                                                                                     : "the desktop",
                    want);
    Fail(text);
  }

  const Session& m_session;
  const std::vector<Step>& m_steps;
  int m_fx = 0, m_fy = 0, m_caption = 0, m_minWidth = 0, m_minHeight = 0;
  uint32_t m_desktop = 0, m_coverPixel = 0;
  HWND m_hwnd = NULL;
  WindowModel m_window;
  orbit::Surface m_surface;
  int m_angle = 0;
  bool m_activeSaid = false;  // the last WM_ACTIVATEAPP's
  bool m_lost = false, m_failGetDC = false, m_failBlt = false;
  bool m_due = false;  // a frame to be presented
  std::map<int, int> m_coverIds;
  std::vector<std::pair<int, RECT>> m_covers;  // step id, rectangle
  std::vector<uint32_t> m_background, m_screen;
  std::vector<uint8_t> m_covered;
  std::vector<int> m_columns;
  size_t m_frames = 0, m_stepsRun = 0;
  std::string m_failure;
  DWORD m_failedAt = 0;
};

// The colours of the desktop and of other applications' windows, as the
// headless host draws them.
void ScreenColours(uint32_t* desktop, uint32_t* cover) {
  headless::Reset(64, 64);
  *desktop = headless::ScreenPixel(0, 0);
  headless::CoverAt(0, RECT{0, 0, 1, 1});
  MSG m;
  PeekMessageA(&m, NULL, 0, 0, PM_NOREMOVE);  // a look at the queue carries out what is due
  *cover = headless::ScreenPixel(0, 0);
}

struct Outcome {
  std::string failure;
  DWORD failedAt = 0;
  size_t frames = 0, steps = 0;
};

Outcome RunSession(const Session& s, const std::vector<Step>& steps, uint32_t desktop, uint32_t cover) {
  SessionRun run(s, steps);
  Outcome o;
  o.failure = run.Run(desktop, cover);
  o.failedAt = run.FailedAt();
  o.frames = run.Frames();
  o.steps = run.StepsRun();
  return o;
}

// The fewest steps that still fail: those after the failure go, then each
// one that the failure does without.
std::vector<Step> Shorten(const Session& s, std::vector<Step> steps, DWORD failedAt, uint32_t desktop, uint32_t cover) {
  steps.erase(std::remove_if(steps.begin(), steps.end(), [&](const Step& x) { return x.at > failedAt; }), steps.end());
  for (size_t i = 0; i < steps.size();) {
    std::vector<Step> fewer = steps;
    fewer.erase(fewer.begin() + long(i));
    if (!RunSession(s, fewer, desktop, cover).failure.empty())
      steps = fewer;
    else
      ++i;
  }
  return steps;
}

// TARVELMIN_SESSION_SEED=N runs the one session N; TARVELMIN_SESSIONS=N
// runs N new ones instead of the usual number.
uint64_t SeedFromEnvironment(bool* given, uint64_t* sessions) {
  const char* count = std::getenv("TARVELMIN_SESSIONS");
  *sessions = count && *count ? std::strtoull(count, nullptr, 10) : kSessions;
  const char* text = std::getenv("TARVELMIN_SESSION_SEED");
  *given = text && *text;
  if (*given) return std::strtoull(text, nullptr, 10);
  std::random_device device;
  return (uint64_t(device()) << 32 | device()) >> 16;  // short enough to type
}

TEST(Sessions, AfterEveryPresentedFrameTheScreenShowsWhatTheModelSays) {
  uint32_t desktop, cover;
  ScreenColours(&desktop, &cover);
  ASSERT_NE(desktop, cover);
  bool given;
  uint64_t count;
  const uint64_t base = SeedFromEnvironment(&given, &count);
  std::vector<uint64_t> seeds;
  if (given) {
    seeds.push_back(base);
  } else {
    seeds = kFixedSeeds;
    for (uint64_t i = 0; i < count; ++i) seeds.push_back(base + i);
    std::printf("sessions: seeds %llu to %llu (TARVELMIN_SESSION_SEED=N runs one)\n", (unsigned long long)base,
                (unsigned long long)(base + count - 1));
  }
  size_t steps = 0, frames = 0, failed = 0;
  const auto start = std::chrono::steady_clock::now();
  for (uint64_t seed : seeds) {
    const Session s = MakeSession(seed);
    const Outcome o = RunSession(s, s.steps, desktop, cover);
    steps += o.steps;
    frames += o.frames;
    if (o.failure.empty()) continue;
    const std::vector<Step> few = Shorten(s, s.steps, o.failedAt, desktop, cover);
    const Outcome again = RunSession(s, few, desktop, cover);
    ADD_FAILURE() << "session failed " << o.failure << "\n"
                  << Describe(s, s.steps, o.failedAt) << "the same in " << few.size() << " steps, failing "
                  << again.failure << ":\n"
                  << Describe(s, few, again.failedAt);
    if (++failed == 3) break;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("sessions: %zu, %zu steps and %zu frames checked in %.2f s: %.0f steps/s, %.0f frames/s\n", seeds.size(),
              steps, frames, seconds, double(steps) / seconds, double(frames) / seconds);
  RecordProperty("steps_per_second", std::to_string(int(double(steps) / seconds)));
}

// The model itself, held to the definition's worked points, and its two
// halves to each other: the frames a history draws make a picture in which
// the search for histories finds it, and only when every pixel is right.
TEST(Model, KnowsTheWorkedPointsTheDiscAndTheScaling) {
  const std::pair<int, orbit::Point> kWorked[] = {{0, {400, 240}},   {50, {371, 301}},  {90, {320, 319}},
                                                  {180, {241, 240}}, {270, {320, 161}}, {360, {399, 240}}};
  for (const auto& w : kWorked) {
    EXPECT_EQ(w.second.x, orbit::PointAt(w.first).x) << w.first;
    EXPECT_EQ(w.second.y, orbit::PointAt(w.first).y) << w.first;
  }
  EXPECT_EQ(360, orbit::NextAngle(358));
  EXPECT_EQ(0, orbit::NextAngle(360));
  std::string disc;  // the 5 x 5 box without its corners
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx) disc += orbit::InDisc(dx, dy) ? '#' : '.';
  EXPECT_EQ(".###.###############.###.", disc);
  EXPECT_EQ(639, orbit::SurfaceColumn(639, 640));
  EXPECT_EQ(319, orbit::SurfaceColumn(639, 1280));
  EXPECT_EQ(320, orbit::SurfaceColumn(0, 1));
  EXPECT_EQ(240, orbit::SurfaceRow(0, 1));
  EXPECT_EQ(400, orbit::SurfaceRow(2, 3));
}

TEST(Model, FindsTheHistoriesThatDrewAPicture) {
  struct Case {
    int first, after, w, h;
  };
  for (const Case& c : {Case{50, 0, 300, 200}, Case{356, 7, 300, 200}, Case{200, 40, 251, 333}, Case{90, 3, 1, 1},
                        Case{10, 2, 640, 480}, Case{300, 150, 1280, 960}, Case{120, 200, 97, 480}}) {
    orbit::Surface surface;
    surface.Frame(c.first, 640, 480);
    int angle = c.first;
    for (int i = 0; i < c.after; ++i) surface.Frame(angle = orbit::NextAngle(angle), c.w, c.h);
    std::vector<uint32_t> picture;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) picture.push_back(surface.Shown(x, y, c.w, c.h));
    const std::vector<orbit::History> found = orbit::HistoriesShowing(picture, c.w, c.h, 200);
    SCOPED_TRACE(std::to_string(c.first) + " then " + std::to_string(c.after) + " at " + std::to_string(c.w) + " x " +
                 std::to_string(c.h) + ": " + orbit::Describe(found));
    EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const orbit::History& h) {
      return h.first == c.first && h.after == c.after && h.last == angle;
    }));
    for (size_t k = 0; k < found.size(); k += 1 + found.size() / 8) {  // each draws the same picture
      const orbit::History& h = found[k];
      orbit::Surface other;
      other.Frame(h.first, 640, 480);
      for (int i = 0, a = h.first; i < h.after; ++i) other.Frame(a = orbit::NextAngle(a), c.w, c.h);
      for (size_t i = 0; i < picture.size(); ++i)
        ASSERT_EQ(picture[i], other.Shown(int(i) % c.w, int(i) / c.w, c.w, c.h)) << h.first << " then " << h.after;
    }
    // One pixel changed, and the history no longer fits.
    const size_t red = size_t(std::find(picture.begin(), picture.end(), orbit::kRed) - picture.begin());
    if (red == picture.size()) continue;
    picture[red] = orbit::kBlack;
    for (const orbit::History& h : orbit::HistoriesShowing(picture, c.w, c.h, 200))
      EXPECT_FALSE(h.first == c.first && h.after == c.after);
  }
}

class SetUp : public testing::TestWithParam<SetUpFault> {};

TEST_P(SetUp, FailingShowsOneBoxEndsWithZeroAndLeavesNothing) {
  Session s;
  s.screenWidth = 1024, s.screenHeight = 768;
  s.fault = &GetParam();
  EXPECT_EQ("", RunSession(s, s.steps, 0, 0).failure);
}

INSTANTIATE_TEST_SUITE_P(EveryInjectableCall, SetUp, testing::ValuesIn(kSetUpFaults),
                         [](const testing::TestParamInfo<SetUpFault>& info) { return std::string(info.param.name); });

}  // namespace
