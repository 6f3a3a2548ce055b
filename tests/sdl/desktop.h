// What the tests of tarvelmin on a real display share: its processes, waits
// with a deadline, and its window's pixels read back through Xlib from an
// Xvfb of the test's own, as a person would see them.
#pragma once

// googletest first: Xlib's macros (None, Bool, ...) would break it.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
// clang-format on
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/orbit_model.h"

namespace desktop {

using Clock = std::chrono::steady_clock;
inline const auto kDeadline = std::chrono::seconds(20);  // generous: the machine may be busy

// Polls `done` until it holds or the deadline passes.
template <class F>
bool Await(F done, Clock::duration deadline = kDeadline) {
  const auto end = Clock::now() + deadline;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

inline long MillisecondsSince(Clock::time_point start) {
  return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// A process of ours, ended (SIGKILL) if still running when we are done.
// `env` entries are NAME=value, or a bare NAME to unset it.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& errFile) {
    m_pid = fork();
    if (m_pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);  // nothing outlives a test that died
      if (!errFile.empty() && !freopen(errFile.c_str(), "w", stderr)) _exit(126);
      for (const std::string& e : env)
        if (e.find('=') == std::string::npos)
          unsetenv(e.c_str());
        else
          putenv(const_cast<char*>(e.c_str()));
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
  }
  ~Child() {
    if (m_pid > 0 && !Ended()) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  pid_t Pid() const { return m_pid; }
  bool Ended() {
    if (m_ended) return true;
    int status;
    if (waitpid(m_pid, &status, WNOHANG) != m_pid) return false;
    m_ended = true;
    m_status = status;
    return true;
  }
  int ExitCode() const { return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1; }
  // User and system CPU time so far, in milliseconds.
  long CpuMilliseconds() const {
    std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string f;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
      if (i == 14) utime = std::stol(f);
      if (i == 15) stime = std::stol(f);
    }
    return (utime + stime) * 1000 / sysconf(_SC_CLK_TCK);
  }

 private:
  pid_t m_pid = -1;
  bool m_ended = false;
  int m_status = 0;
};

// Whether `program` is a command on PATH, as the shell would find it.
inline bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':'))
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  return false;
}

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Windows come and go between our queries (SDL makes short-lived ones of
// its own); a query about one that is gone just finds nothing.
inline int IgnoreXErrors(Display*, XErrorEvent*) {
  return 0;
}

const uint32_t kBlack = 0x000000, kDisc = 0xFF0000;
const uint32_t kOutside = 0x1000000;  // no colour: beyond the window read

// A w x h part of an X window at (x, y), as 0xRRGGBB; what lies beyond the
// window is kOutside.
struct Picture {
  int x = 0, y = 0, w = 0, h = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int px, int py) const { return pixels[size_t(py - y) * size_t(w) + size_t(px - x)]; }
};

inline Picture Grab(Display* display, Window window, int x, int y, int w, int h) {
  Picture p{x, y, w, h, std::vector<uint32_t>(size_t(w) * size_t(h), kOutside)};
  XWindowAttributes a;
  if (!XGetWindowAttributes(display, window, &a)) return p;
  const int left = std::max(x, 0), top = std::max(y, 0);
  const int right = std::min(x + w, a.width), bottom = std::min(y + h, a.height);
  if (left >= right || top >= bottom) return p;
  XImage* image = XGetImage(display, window, left, top, unsigned(right - left), unsigned(bottom - top), AllPlanes,
                            ZPixmap);
  if (!image) return p;
  for (int py = top; py < bottom; ++py)
    for (int px = left; px < right; ++px)
      p.pixels[size_t(py - y) * size_t(w) + size_t(px - x)] = XGetPixel(image, px - left, py - top) & 0xFFFFFF;
  XDestroyImage(image);
  return p;
}

// Where the program's 640 x 480 client area shows: at (x, y) in `window`.
struct ClientArea {
  Window window = 0;
  int x = 0, y = 0;
};

// The program on an X display of the test's own (Xvfb), seen through Xlib.
class ProgramOnADisplay : public testing::Test {
 protected:
  void StartXvfb(const std::string& size) {
    XSetErrorHandler(IgnoreXErrors);
    ASSERT_TRUE(OnPath("Xvfb")) << "Xvfb is missing (Debian package xvfb; bash scripts/setup.sh installs it)";
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    // Xvfb picks a free display and writes its number once it listens.
    m_xvfb.reset(new Child({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", size + "x24", "-nolisten",
                            "tcp"},
                           {}, "/dev/null"));
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    m_name = ":" + number;
    ASSERT_TRUE(Await([&] { return (m_display = XOpenDisplay(m_name.c_str())) != nullptr; }))
        << "Xvfb on " << m_name << " does not answer";
    m_err = "/tmp/tarvelmin-sdl-test-" + std::to_string(getpid()) + ".err";
  }
  void TearDown() override {
    m_program.reset();
    if (HasFailure() && !m_err.empty()) std::printf("program said:\n%s\n", Slurp(m_err).c_str());
    if (m_display) XCloseDisplay(m_display);
    m_xvfb.reset();
    if (!m_err.empty()) unlink(m_err.c_str());
  }

  // `env` says which display. (Under the sanitizers, the display libraries'
  // own allocations at exit are not ours to answer for: leak checking is the
  // headless tests' job.)
  void StartProgram(std::vector<std::string> env) {
    env.insert(env.end(), {"TARVELMIN_HOST=", "SDL_VIDEODRIVER", "ASAN_OPTIONS=detect_leaks=0"});
    m_program.reset(new Child({TARVELMIN}, env, m_err));
  }

  // The centre of the one red disc the client area shows on its circle, if it shows one.
  bool DiscOnTheCircle(XPoint* centre) {
    const Picture p = Grab(m_display, m_area.window, m_area.x, m_area.y, 640, 480);
    long n = 0, sx = 0, sy = 0;
    bool onCircle = true;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x)
        if (p.pixels[size_t(y) * 640 + size_t(x)] == kDisc) {
          double r = std::hypot(x - 320.0, y - 240.0);
          onCircle &= r > 75 && r < 85;
          ++n, sx += x, sy += y;
        }
    if (n < 9 || n > 40 || !onCircle) return false;
    *centre = XPoint{short(sx / n), short(sy / n)};
    return true;
  }

  // Waits for the disc, then for it to stand somewhere else than `from`.
  bool DiscMovesFrom(XPoint from, XPoint* now) {
    return Await([&] { return DiscOnTheCircle(now) && (now->x != from.x || now->y != from.y); });
  }

  // The client area, w x h, once two reads in a row agree (a read may fall
  // between two of the program's updates of one frame).
  bool SteadyPicture(int w, int h, std::vector<uint32_t>* picture) {
    std::vector<uint32_t> last;
    return Await([&] {
      std::vector<uint32_t> now = Grab(m_display, m_area.window, m_area.x, m_area.y, w, h).pixels;
      const bool steady = now == last;
      last.swap(now);
      return steady;
    }) && (picture->swap(last), true);
  }

  // Frame after frame, the whole client area (w x h) shows what the model
  // says the program draws: `count` different pictures, each one that a
  // history of the program's frames makes (the last frame drawn at 640 x 480,
  // then frames at this size; orbit_model.h), all from one history going on.
  // What shows before the first frame at this size (the window's black
  // background, the old picture cut) is passed over.
  void ExpectTheModelsPictures(int w, int h, int count) {
    std::map<int, int> after;  // per first angle still possible, the frames after it so far
    std::vector<uint32_t> picture, seen;
    std::string fault;
    int pictures = 0;
    const bool seenAll = Await([&] {
      if (!SteadyPicture(w, h, &picture) || picture == seen) return false;
      std::map<int, int> next;
      const std::vector<orbit::History> found = orbit::HistoriesShowing(picture, w, h, 600);
      for (const orbit::History& f : found)
        if (pictures == 0 || (after.count(f.first) && f.after > after[f.first]))
          next.emplace(f.first, f.after);  // the fewest frames first
      if (next.empty() && pictures == 0) return false;
      if (next.empty()) {
        fault = "picture " + std::to_string(pictures + 1) + " follows from no history of the ones before: " +
                (found.empty() ? Summary(picture) : orbit::Describe(found));
        return true;
      }
      after.swap(next);
      seen = picture;
      return ++pictures == count;
    });
    ASSERT_TRUE(seenAll) << "saw " << pictures << " of " << count << " pictures the program draws at " << w << " x " << h
        << "; the last read: " << Summary(picture);
    EXPECT_EQ("", fault);
  }

  static std::string Summary(const std::vector<uint32_t>& picture) {
    size_t red = 0, other = 0;
    for (uint32_t c : picture) red += c == kDisc, other += c != kDisc && c != kBlack;
    return std::to_string(red) + " red pixels, " + std::to_string(other) + " neither red nor black";
  }

  // Once the program has heard that another client has the focus, the disc
  // stops where it is, and ten timer ticks a second that find nothing to do
  // cost next to no CPU: a busy loop would show here.
  void ExpectTheDiscToStandStillForNextToNoCpu(XPoint* at) {
    XPoint now;
    ASSERT_TRUE(Await([&] {
      if (!DiscOnTheCircle(at)) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      return DiscOnTheCircle(&now) && now.x == at->x && now.y == at->y;
    })) << "the disc never stood still";
    const long cpuBefore = m_program->CpuMilliseconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const long cpu = m_program->CpuMilliseconds() - cpuBefore;
    const long wall = MillisecondsSince(start);
    ASSERT_TRUE(DiscOnTheCircle(&now));
    EXPECT_TRUE(now.x == at->x && now.y == at->y) << "moved while inactive";
    EXPECT_LT(cpu, wall / 20) << cpu << " ms of CPU in " << wall << " ms while inactive";
    RecordProperty("inactive_cpu_ms", std::to_string(cpu));
    RecordProperty("inactive_wall_ms", std::to_string(wall));
    std::printf("inactive: %ld ms of CPU in %ld ms\n", cpu, wall);
  }

  // The display went away at `since`: the program ends soon after, saying so in one line.
  void ExpectTheProgramToEndForTheLostDisplay(Clock::time_point since) {
    ASSERT_TRUE(Await([&] { return m_program->Ended(); })) << "still running without its display";
    const long ms = MillisecondsSince(since);
    std::printf("ended %ld ms after the display went away\n", ms);
    RecordProperty("ended_after_display_lost_ms", std::to_string(ms));
    EXPECT_EQ(1, m_program->ExitCode());
    EXPECT_EQ("tarvelmin: lost the connection to the display\n", Slurp(m_err));
  }

  std::string m_name;  // the X display's
  Display* m_display = nullptr;
  std::unique_ptr<Child> m_xvfb;
  std::unique_ptr<Child> m_program;
  std::string m_err;  // the program's stderr
  ClientArea m_area;
};

}  // namespace desktop
