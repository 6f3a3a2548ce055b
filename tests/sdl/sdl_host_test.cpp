// tarvelmin on a real X display (an Xvfb of the test's own), as a person
// would see and use it: the window and the orbiting disc, another X client
// taking the focus, the window manager's close protocol, the display going
// away, and no display at all. Only Xlib on this side: the program is a
// separate process.
// googletest first: Xlib's macros (None, Bool, ...) would break it.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const auto kDeadline = std::chrono::seconds(20);  // generous: the machine may be busy

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

// A process of ours, ended (SIGKILL) if still running when we are done.
class Child {
 public:
  Child() = default;
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& errFile) {
    m_pid = fork();
    if (m_pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);  // nothing outlives a test that died
      if (!errFile.empty()) freopen(errFile.c_str(), "w", stderr);
      for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
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

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Windows come and go between our queries (SDL makes short-lived ones of
// its own); a query about one that is gone just finds nothing.
int IgnoreXErrors(Display*, XErrorEvent*) {
  return 0;
}

class OnXvfb : public testing::Test {
 protected:
  void SetUp() override {
    XSetErrorHandler(IgnoreXErrors);
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    // Xvfb picks a free display and writes its number once it listens.
    m_xvfb.reset(new Child({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten",
                            "tcp"},
                           {}, "/dev/null"));
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start (is it installed? bash scripts/setup.sh installs it)";
    m_name = ":" + number;
    ASSERT_TRUE(Await([&] { return (m_display = XOpenDisplay(m_name.c_str())) != nullptr; }))
        << "Xvfb on " << m_name << " does not answer";
    m_err = "/tmp/tarvelmin-sdl-test-" + std::to_string(getpid()) + ".err";
  }
  void TearDown() override {
    m_program.reset();
    if (HasFailure()) std::printf("program said:\n%s\n", Slurp(m_err).c_str());
    if (m_display) XCloseDisplay(m_display);
    m_xvfb.reset();
    unlink(m_err.c_str());
  }

  // (Under the sanitizers, the display libraries' own allocations at exit
  // are not ours to answer for: leak checking is the headless tests' job.)
  void Start() {
    m_program.reset(
        new Child({TARVELMIN}, {"DISPLAY=" + m_name, "TARVELMIN_HOST=", "ASAN_OPTIONS=detect_leaks=0"}, m_err));
  }

  // The program's window, once it is shown.
  Window ProgramWindow() {
    Window found = 0;
    Await([&] {
      Window root, parent, *children = nullptr;
      unsigned n = 0;
      XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &n);
      for (unsigned i = 0; i < n && !found; ++i) {
        char* name = nullptr;
        XWindowAttributes a;
        if (XFetchName(m_display, children[i], &name) && name && std::string(name) == "tarvelmin demo" &&
            XGetWindowAttributes(m_display, children[i], &a) && a.map_state == IsViewable)
          found = children[i];
        if (name) XFree(name);
      }
      if (children) XFree(children);
      return found != 0 || m_program->Ended();
    });
    return found;
  }

  // The centre of the one red disc the window shows on its circle, if it shows one.
  bool DiscOnTheCircle(Window w, XPoint* centre) {
    XImage* image = XGetImage(m_display, w, 0, 0, 640, 480, AllPlanes, ZPixmap);
    if (!image) return false;
    long n = 0, sx = 0, sy = 0;
    bool onCircle = true;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x)
        if ((XGetPixel(image, x, y) & 0xFFFFFF) == 0xFF0000) {
          double r = std::hypot(x - 320.0, y - 240.0);
          onCircle &= r > 75 && r < 85;
          ++n, sx += x, sy += y;
        }
    XDestroyImage(image);
    if (n < 9 || n > 40 || !onCircle) return false;
    *centre = XPoint{short(sx / n), short(sy / n)};
    return true;
  }

  // Waits for the disc, then for it to stand somewhere else than `from`.
  bool DiscMovesFrom(Window w, XPoint from, XPoint* now) {
    return Await([&] { return DiscOnTheCircle(w, now) && (now->x != from.x || now->y != from.y); });
  }

  void Focus(Window w) {
    XSetInputFocus(m_display, w, RevertToParent, CurrentTime);
    XSync(m_display, False);
  }

  std::string m_name;
  Display* m_display = nullptr;
  std::unique_ptr<Child> m_xvfb;
  std::unique_ptr<Child> m_program;
  std::string m_err;
};

TEST_F(OnXvfb, AWindowOf640By480ShowsTheDiscGoingRound) {
  Start();
  Window w = ProgramWindow();
  ASSERT_TRUE(w) << "no window";
  XWindowAttributes a;
  XGetWindowAttributes(m_display, w, &a);
  EXPECT_EQ(640, a.width);
  EXPECT_EQ(480, a.height);
  Focus(w);
  XPoint first, later;
  ASSERT_TRUE(Await([&] { return DiscOnTheCircle(w, &first); })) << "no disc on the circle";
  EXPECT_TRUE(DiscMovesFrom(w, first, &later)) << "the disc stayed at " << first.x << "," << first.y;
}

TEST_F(OnXvfb, WhileAnotherClientHasTheFocusTheDiscStandsStillForNextToNoCpu) {
  Start();
  Window w = ProgramWindow();
  ASSERT_TRUE(w);
  Focus(w);
  XPoint at, now;
  ASSERT_TRUE(Await([&] { return DiscOnTheCircle(w, &at); }));

  // Another client's window takes the focus.
  Window other = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 700, 500, 100, 100, 0, 0, 0xFFFFFF);
  XMapWindow(m_display, other);
  XSync(m_display, False);
  Focus(other);
  // Once the program has heard of it, the disc stops where it is.
  ASSERT_TRUE(Await([&] {
    if (!DiscOnTheCircle(w, &at)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return DiscOnTheCircle(w, &now) && now.x == at.x && now.y == at.y;
  })) << "the disc never stood still";
  const long cpuBefore = m_program->CpuMilliseconds();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const long cpu = m_program->CpuMilliseconds() - cpuBefore;
  const long wall = long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
  ASSERT_TRUE(DiscOnTheCircle(w, &now));
  EXPECT_TRUE(now.x == at.x && now.y == at.y) << "moved while inactive";
  // Ten timer ticks a second that find nothing to do: a busy loop would show here.
  EXPECT_LT(cpu, wall / 20) << cpu << " ms of CPU in " << wall << " ms while inactive";
  RecordProperty("inactive_cpu_ms", std::to_string(cpu));
  RecordProperty("inactive_wall_ms", std::to_string(wall));
  std::printf("inactive: %ld ms of CPU in %ld ms\n", cpu, wall);

  // Back to the program: it goes on from where it stood.
  Focus(w);
  EXPECT_TRUE(DiscMovesFrom(w, at, &now));
}

TEST_F(OnXvfb, TheWindowManagersCloseRequestEndsTheProgramWithZero) {
  Start();
  Window w = ProgramWindow();
  ASSERT_TRUE(w);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = long(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(m_display, w, False, NoEventMask, &e);
  XSync(m_display, False);
  ASSERT_TRUE(Await([&] { return m_program->Ended(); })) << "still running after WM_DELETE_WINDOW";
  EXPECT_EQ(0, m_program->ExitCode());
}

TEST_F(OnXvfb, WhenTheDisplayGoesAwayTheProcessEnds) {
  Start();
  ASSERT_TRUE(ProgramWindow());
  XCloseDisplay(m_display);
  m_display = nullptr;
  kill(m_xvfb->Pid(), SIGKILL);
  const auto start = Clock::now();
  ASSERT_TRUE(Await([&] { return m_program->Ended(); })) << "still running without its display";
  const long ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
  std::printf("ended %ld ms after the display went away\n", ms);
  EXPECT_NE(0, m_program->ExitCode());
  EXPECT_NE(std::string::npos, Slurp(m_err).find("lost the connection to the display"));
}

TEST(NoDisplay, SaysSoInOneLineAndEndsBeforeTheProgramStarts) {
  std::string err = "/tmp/tarvelmin-nodisplay-" + std::to_string(getpid()) + ".err";
  Child program({"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "SDL_VIDEODRIVER", TARVELMIN}, {}, err);
  ASSERT_TRUE(Await([&] { return program.Ended(); }));
  std::string said = Slurp(err);
  unlink(err.c_str());
  EXPECT_EQ(1, program.ExitCode());
  EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << said;
  EXPECT_EQ(0u, said.find("tarvelmin: no display")) << said;
}

}  // namespace
