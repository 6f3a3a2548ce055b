// The trace of the whole program on the headless host, as a listener hears
// it: one tick, start-up and closing, a failing set-up call; and seeded
// sessions of a user at work, in which listening changes nothing the
// program sees or shows and the trace holds every message the host saw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "headless.h"
#include "one_tick.h"
#include "support/recorder.h"
#include "support/sequence.h"
#include "tarvelmin.h"
#include "w32/names.h"
#include "w32/trace.h"
#include "win32/sequences.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
extern "C" void tarvelmin_trace(int on);  // hosts/web_trace.cpp, as the page calls it

// What the page would do: keep what Module.desk.trace hears.
EM_JS(void, KeepWhatThePageHears, (), {
  Module.desk = Module.desk || {};
  Module.desk.heard = [];
  Module.desk.trace = (began, e) => Module.desk.heard.push({began, e});
});
EM_JS(int, HeardByThePage, (), { return Module.desk.heard.length; });
// Every event began and then returned with a result; among them the first
// tick's timer message, posted, and its blit with the rectangle and DD_OK.
EM_JS(int, ThePageHeardATick, (), {
  const heard = Module.desk.heard;
  const began = new Set();
  let unmatched = 0;
  for (const h of heard) {
    if (h.began) began.add(h.e.serial);
    else if (!began.has(h.e.serial) || h.e.result === null) unmatched++;
  }
  const timer = heard.find((h) => h.began && h.e.kind === "message" && h.e.name === "WM_TIMER" && h.e.posted);
  const blt = heard.find((h) => !h.began && h.e.name === "IDirectDrawSurface::Blt");
  return unmatched === 0 && 2 * began.size === heard.length && timer !== undefined && blt !== undefined &&
         blt.e.result === "DD_OK" && blt.e.fields[1][0] === "destRect" && blt.e.fields[1][1] === "{4,23,644,503}";
});
#endif

namespace {

using w32::trace::Event;
using w32::trace::EventKind;

struct Heard {
  EventKind kind;
  uint64_t serial;
  int depth;
  int parent;  // the event it nests in; -1 at the top
  std::string name, result, line;
  bool posted;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT lresult;
};

// Everything the trace says, in the order events began, each complete once
// it returned; and what broke the nesting, if anything did.
class Trace : public w32::trace::Listener {
 public:
  Trace() { w32::trace::AddListener(this); }
  ~Trace() override { w32::trace::RemoveListener(this); }

  void Began(const Event& e) override {
    const int parent = m_open.empty() ? -1 : int(m_open.back());
    if (e.depth != int(m_open.size())) Broken("depth " + std::to_string(e.depth) + " under " + Open(), e);
    if (e.kind == EventKind::Call && parent >= 0 && events[size_t(parent)].kind == EventKind::Call)
      Broken("a call right inside a call (" + events[size_t(parent)].name + ")", e);
    m_open.push_back(events.size());
    events.push_back(Heard{e.kind, e.serial, e.depth, parent, e.name, "", "", e.posted, e.message, e.wParam,
                           e.lParam, 0});
  }
  void Returned(const Event& e) override {
    if (m_open.empty() || events[m_open.back()].serial != e.serial) return Broken("returned under " + Open(), e);
    Heard& h = events[m_open.back()];
    h.result = e.result;
    h.line = w32::trace::Line(e);
    h.lresult = e.lresult;
    m_open.pop_back();
  }

  std::vector<Heard> events;
  std::vector<std::string> broken;

 private:
  std::string Open() const { return m_open.empty() ? "nothing" : events[m_open.back()].name; }
  void Broken(const std::string& what, const Event& e) { broken.push_back(what + ": " + w32::trace::Line(e)); }
  std::vector<size_t> m_open;
};

HWND Window() {
  w32::trace::Aside notTheProgram;
  return FindWindowA("tarvelmin", NULL);
}

// The program from its first angle; `script` schedules what the user does
// once the window exists, and the close box is clicked at `closeAt`.
int RunProgram(DWORD closeAt, const std::function<void()>& script = nullptr) {
  g_angle = 50;
  g_active = 0;
  headless::At(0, [script, closeAt] {
    if (script) script();
    headless::CloseAt(closeAt, Window());
  });
  HINSTANCE instance;
  {
    w32::trace::Aside notTheProgram;
    instance = GetModuleHandleA(NULL);
  }
  return WinMain(instance, NULL, const_cast<char*>(""), SW_SHOWDEFAULT);
}

// Event `i` and all that nests in it, as lines indented two spaces a level.
std::vector<std::string> Subtree(const Trace& t, size_t i) {
  std::vector<std::string> out;
  for (size_t k = i; k < t.events.size() && (k == i || t.events[k].depth > t.events[i].depth); ++k)
    out.push_back(std::string(size_t(2 * (t.events[k].depth - t.events[i].depth)), ' ') + t.events[k].line);
  return out;
}

std::vector<size_t> TopLevel(const Trace& t) {
  std::vector<size_t> out;
  for (size_t k = 0; k < t.events.size(); ++k)
    if (t.events[k].depth == 0) out.push_back(k);
  return out;
}

size_t Find(const Trace& t, const std::string& start, size_t from = 0) {
  for (size_t k = from; k < t.events.size(); ++k)
    if (t.events[k].line.compare(0, start.size(), start) == 0) return k;
  return t.events.size();
}

// The messages in event `i`'s subtree, as the recording window procedure
// of the Win32-behaviour tests would have seen them, for their tables.
void SeeMessagesIn(const Trace& t, size_t i) {
  SeenMessages().clear();
  for (size_t k = i; k < t.events.size() && (k == i || t.events[k].depth > t.events[i].depth); ++k) {
    const Heard& h = t.events[k];
    if (h.kind != EventKind::Message) continue;
    const bool fromDefProc = h.parent >= 0 && t.events[size_t(h.parent)].name == "DefWindowProcA";
    SeenMessages().push_back(Seen{nullptr, h.message, h.wParam, h.lParam, h.posted, fromDefProc});
  }
}

// A table, each message sent from inside DefWindowProcA.
Sequence FromDefProc(Sequence s) {
  for (Expect& e : s) e.flags |= kDefProc;
  return s;
}

TEST(Trace, OneTickIsTheTimerMessageWithTheCallsOfAFrameUnderIt) {
  Trace trace;
  ASSERT_EQ(0, RunProgram(150));
  EXPECT_EQ(kOneTick, Subtree(trace, Find(trace, "DispatchMessageA(msg={hwnd#1, WM_TIMER")));
  EXPECT_EQ(std::vector<std::string>{}, trace.broken);
}

TEST(Trace, StartUpAndClosingAreWindowsOwnSequencesWithTheDirectDrawSetUpBetween) {
  Trace trace;
  ASSERT_EQ(0, RunProgram(150));
  EXPECT_EQ(std::vector<std::string>{}, trace.broken);

  // The program's own calls, from its first to the message loop's first look.
  const std::vector<std::string> kStart = {
      "GetStockObject -> BLACK_BRUSH", "LoadCursorA -> IDC_ARROW", "RegisterClassA -> 0xC000",
      "GetSystemMetrics -> 4", "GetSystemMetrics -> 4", "GetSystemMetrics -> 19", "CreateWindowExA -> hwnd#1",
      "ShowWindow -> TRUE", "UpdateWindow -> TRUE",
      // DirectDraw, set up between the window's first show and the loop
      "DirectDrawCreate -> DD_OK", "IDirectDraw::SetCooperativeLevel -> DD_OK", "IDirectDraw::CreateSurface -> DD_OK",
      "IDirectDraw::CreateSurface -> DD_OK", "IDirectDraw::CreateClipper -> DD_OK",
      "IDirectDrawClipper::SetHWnd -> DD_OK", "IDirectDrawSurface::SetClipper -> DD_OK", "SetTimer -> 1",
      "GetMessageA -> TRUE"};
  const std::vector<size_t> top = TopLevel(trace);
  std::vector<std::string> start;
  for (size_t k = 0; k < top.size() && start.size() < kStart.size(); ++k)
    start.push_back(trace.events[top[k]].name + " -> " + trace.events[top[k]].result);
  EXPECT_EQ(kStart, start);

  SeeMessagesIn(trace, top[6]);
  EXPECT_TRUE(SawSequence(kCreateVisible, "CreateWindowExA"));

  // The close box: WM_SYSCOMMAND posted, and the window's end from inside
  // its default handling; the program lets go of DirectDraw in WM_DESTROY.
  const size_t close = Find(trace, "DispatchMessageA(msg={hwnd#1, WM_SYSCOMMAND, SC_CLOSE");
  ASSERT_LT(close, trace.events.size());
  SeeMessagesIn(trace, close);
  EXPECT_TRUE(SawSequence(Then({{WM_SYSCOMMAND, kPosted | kWParam, SC_CLOSE}, {WM_CLOSE, kDefProc}},
                               FromDefProc(kDestroy)),
                          "the close box"));
  const size_t destroy = Find(trace, "WM_DESTROY", close);
  ASSERT_LT(destroy, trace.events.size());
  EXPECT_EQ((std::vector<std::string>{"WM_DESTROY sent hwnd=hwnd#1 wParam=0 lParam=0 -> 0",
                                      "  Beep(frequency=0, duration=0) -> TRUE",
                                      "  IDirectDrawSurface::Release(this=surface#1) -> 0",
                                      "  IDirectDraw::Release(this=ddraw#1) -> 0", "  PostQuitMessage(exitCode=0)"}),
            Subtree(trace, destroy));
  EXPECT_EQ("GetMessageA(msg={NULL, WM_QUIT, 0, 0}, hwnd=NULL, filterMin=0, filterMax=0) -> FALSE",
            trace.events[top.back()].line);
}

// Each set-up call made to fail: the call with its result, the box that
// says so, the window's end, and exit code 0.
struct SetUpFault {
  const char* name;
  headless::Call call;
  int skip;
  const char* failing;  // the call
  const char* result;   // what it returns
  DWORD code;           // what the box says: the HRESULT, or the last error
};

class SetUpFaults : public testing::TestWithParam<SetUpFault> {};

TEST_P(SetUpFaults, ShowTheFailingCallThenTheBoxThenTheWindowsEnd) {
  const SetUpFault& f = GetParam();
  headless::FailNext(f.call, f.skip);
  Trace trace;
  testing::internal::CaptureStderr();  // the headless host shows the box there
  EXPECT_EQ(0, RunProgram(150));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::vector<std::string>{}, trace.broken);

  std::vector<std::string> after;  // the top-level calls from the failing one on
  for (size_t k : TopLevel(trace)) {
    const Heard& h = trace.events[k];
    if (after.empty() && (h.name != f.failing || h.result != f.result)) continue;
    after.push_back(h.name);
  }
  ASSERT_FALSE(after.empty()) << f.failing << " never returned " << f.result;
  char text[64];
  std::snprintf(text, sizeof text, "\"Direct Draw Init Failed (%08lx)\\n\"", (unsigned long)f.code);
  const size_t box = Find(trace, "MessageBoxA(");
  ASSERT_LT(box, trace.events.size());
  EXPECT_EQ(std::string("MessageBoxA(owner=hwnd#1, text=") + text + ", caption=\"ERROR\", type=MB_OK) -> IDOK",
            trace.events[box].line);

  // What comes between the box and the window's end is the program's
  // clean-up, which depends on how far it got.
  const size_t at = std::find(after.begin(), after.end(), "MessageBoxA") - after.begin();
  ASSERT_LT(at, after.size());
  std::vector<std::string> before(after.begin(), after.begin() + at + 1);
  const std::vector<std::string> kBefore =
      f.call == headless::Call::SetTimer
          ? std::vector<std::string>{"SetTimer", "GetLastError", "wsprintfA", "MessageBoxA"}
          : std::vector<std::string>{f.failing, "wsprintfA", "MessageBoxA"};
  EXPECT_EQ(kBefore, before);
  EXPECT_EQ("DestroyWindow", after.back());
  SeeMessagesIn(trace, TopLevel(trace).back());
  EXPECT_TRUE(SawSequence(kDestroy, "DestroyWindow"));
}

INSTANTIATE_TEST_SUITE_P(
    EverySetUpCall, SetUpFaults,
    testing::Values(
        SetUpFault{"DirectDrawCreate", headless::Call::DirectDrawCreate, 0, "DirectDrawCreate", "DDERR_GENERIC",
                   0x80004005},
        SetUpFault{"CooperativeLevel", headless::Call::SetCooperativeLevel, 0, "IDirectDraw::SetCooperativeLevel",
                   "DDERR_GENERIC", 0x80004005},
        SetUpFault{"PrimarySurface", headless::Call::CreateSurface, 0, "IDirectDraw::CreateSurface",
                   "DDERR_OUTOFMEMORY", 0x8007000E},
        SetUpFault{"BackSurface", headless::Call::CreateSurface, 1, "IDirectDraw::CreateSurface", "DDERR_OUTOFMEMORY",
                   0x8007000E},
        SetUpFault{"CreateClipper", headless::Call::CreateClipper, 0, "IDirectDraw::CreateClipper", "DDERR_OUTOFMEMORY",
                   0x8007000E},
        SetUpFault{"SetHWnd", headless::Call::SetHWnd, 0, "IDirectDrawClipper::SetHWnd", "DDERR_OUTOFMEMORY",
                   0x8007000E},
        SetUpFault{"SetClipper", headless::Call::SetClipper, 0, "IDirectDrawSurface::SetClipper", "DDERR_GENERIC",
                   0x80004005},
        SetUpFault{"SetTimer", headless::Call::SetTimer, 0, "SetTimer", "0", 1450 /* ERROR_NO_SYSTEM_RESOURCES */}),
    [](const testing::TestParamInfo<SetUpFault>& info) { return std::string(info.param.name); });

// ---- Sessions ----------------------------------------------------------------------

struct Session {
  int exitCode = -1;
  std::vector<size_t> frames;      // a digest of the screen and the last error, after each presented frame
  std::vector<std::string> procs;  // every window procedure call and return, as the host saw them
  std::vector<std::string> traced;  // the same, as the trace heard them
  std::vector<std::string> broken;  // where the trace's nesting broke
};

// Records lParam points to are named: their addresses differ from run to run.
std::string Entered(UINT m, WPARAM w, LPARAM l) {
  const char* record = w32::RecordNamed(m, w);
  return std::to_string(m) + " " + std::to_string(w) + " " + (record ? record : std::to_string(l));
}
std::string Left(LRESULT r) {
  return "-> " + std::to_string(r);
}

// Hears the messages only, as they begin and return.
class Messages : public Trace {
 public:
  void Began(const Event& e) override {
    Trace::Began(e);
    if (e.kind == EventKind::Message) heard.push_back(Entered(e.message, e.wParam, e.lParam));
  }
  void Returned(const Event& e) override {
    Trace::Returned(e);
    if (e.kind == EventKind::Message) heard.push_back(Left(e.lresult));
  }
  std::vector<std::string> heard;
};

// The program for a second and a half with a user doing what `seed` says:
// switching applications, sizing, moving, minimising, maximising, covering
// the window, changing the display mode; listened to or not.
Session RunSession(uint32_t seed, bool listen) {
  headless::Reset(700, 560);
  Session s;
  std::optional<Messages> trace;
  if (listen) trace.emplace();
  headless::WatchPrimaryBlts([&s] {
    w32::trace::Aside notTheProgram;
    size_t digest = GetLastError();
    for (uint32_t p : headless::ScreenPixels()) digest = digest * 1000003u ^ p;
    s.frames.push_back(digest);
  });
  headless::WatchWindowProcs([&s](HWND, UINT m, WPARAM w, LPARAM l) { s.procs.push_back(Entered(m, w, l)); },
                             [&s](LRESULT r) { s.procs.push_back(Left(r)); });
  s.exitCode = RunProgram(1500, [seed] {
    std::mt19937 random(seed);
    const HWND hwnd = Window();
    for (DWORD at = 0; at < 1400;) {
      at += 30 + random() % 150;
      switch (random() % 9) {
        case 0: headless::ActivateOtherAt(at); break;
        case 1: headless::ActivateAt(at, hwnd); break;
        case 2: headless::ResizeClientAt(at, hwnd, 1 + int(random() % 700), 1 + int(random() % 500)); break;
        case 3: headless::MinimizeAt(at, hwnd); break;
        case 4: headless::RestoreAt(at, hwnd); break;
        case 5: headless::MaximizeAt(at, hwnd); break;
        case 6: headless::MoveAt(at, hwnd, int(random() % 300) - 100, int(random() % 200) - 50); break;
        case 7: headless::UncoverAt(at + 100, headless::CoverAt(at, RECT{100, 100, 300, 250})); break;
        case 8: headless::LoseSurfacesAt(at); break;
      }
    }
  });
  headless::WatchPrimaryBlts(nullptr);
  headless::WatchWindowProcs(nullptr, nullptr);
  if (trace) {
    s.traced = trace->heard;
    s.broken = trace->broken;
  }
  return s;
}

TEST(Trace, ListeningChangesNothingAndHearsEveryMessageTheHostSaw) {
  for (uint32_t seed : {1u, 2u, 3u, uint32_t(std::random_device()())}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Session quiet = RunSession(seed, false), heard = RunSession(seed, true);
    EXPECT_EQ(0, heard.exitCode);
    EXPECT_FALSE(quiet.frames.empty());
    EXPECT_EQ(quiet.frames, heard.frames);
    EXPECT_EQ(quiet.procs, heard.procs);
    EXPECT_EQ(heard.procs, heard.traced);
    EXPECT_EQ(std::vector<std::string>{}, heard.broken);
  }
}

#ifdef __EMSCRIPTEN__
TEST(Trace, ThePageHearsEveryEventOnceItListensAndNothingBefore) {
  KeepWhatThePageHears();
  ASSERT_EQ(0, RunProgram(150));
  EXPECT_EQ(0, HeardByThePage());
  headless::Reset();
  tarvelmin_trace(1);
  ASSERT_EQ(0, RunProgram(150));
  tarvelmin_trace(0);
  EXPECT_TRUE(ThePageHeardATick());
}
#endif

}  // namespace
