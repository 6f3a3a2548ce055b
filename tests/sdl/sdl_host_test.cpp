// tarvelmin on a real X display (an Xvfb of the test's own), as a person
// would see and use it: the window and the orbiting disc, another X client
// taking the focus, the window manager's close protocol, the display going
// away, and no display at all. Only Xlib on this side: the program is a
// separate process.
#include "desktop.h"

namespace {

using namespace desktop;

class OnXvfb : public ProgramOnADisplay {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartXvfb("1024x768")); }

  void Start() { StartProgram({"DISPLAY=" + m_name, "WAYLAND_DISPLAY"}); }

  // The program's window, once it is shown; its client area is all of it.
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
    m_area = ClientArea{found, 0, 0};
    return found;
  }

  void Focus(Window w) {
    XSetInputFocus(m_display, w, RevertToParent, CurrentTime);
    XSync(m_display, False);
  }
};

// Every pixel of the client area, frame after frame, as the model says: at
// 640 x 480, then shrunk below the orbit (by another client, as there is no
// window manager), where the marks outside the part Clear reaches stay.
TEST_F(OnXvfb, TheWholeClientAreaShowsWhatTheProgramDrawsAtFullSizeAndShrunk) {
  Start();
  Window w = ProgramWindow();
  ASSERT_TRUE(w) << "no window";
  XWindowAttributes a;
  XGetWindowAttributes(m_display, w, &a);
  EXPECT_EQ(640, a.width);
  EXPECT_EQ(480, a.height);
  Focus(w);
  ASSERT_NO_FATAL_FAILURE(ExpectTheModelsPictures(640, 480, 4));
  XResizeWindow(m_display, w, 317, 223);
  XSync(m_display, False);
  ExpectTheModelsPictures(317, 223, 8);
}

TEST_F(OnXvfb, WhileAnotherClientHasTheFocusTheDiscStandsStillForNextToNoCpu) {
  Start();
  Window w = ProgramWindow();
  ASSERT_TRUE(w);
  Focus(w);
  XPoint at, now;
  ASSERT_TRUE(Await([&] { return DiscOnTheCircle(&at); }));

  // Another client's window takes the focus.
  Window other = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 700, 500, 100, 100, 0, 0, 0xFFFFFF);
  XMapWindow(m_display, other);
  XSync(m_display, False);
  Focus(other);
  ASSERT_NO_FATAL_FAILURE(ExpectTheDiscToStandStillForNextToNoCpu(&at));

  // Back to the program: it goes on from where it stood.
  Focus(w);
  EXPECT_TRUE(DiscMovesFrom(at, &now));
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
  ExpectTheProgramToEndForTheLostDisplay(Clock::now());
}

TEST(NoDisplay, SaysSoInOneLineAndEndsBeforeTheProgramStarts) {
  std::string err = "/tmp/tarvelmin-nodisplay-" + std::to_string(getpid()) + ".err";
  Child program({TARVELMIN}, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}, err);
  ASSERT_TRUE(Await([&] { return program.Ended(); }));
  std::string said = Slurp(err);
  unlink(err.c_str());
  EXPECT_EQ(1, program.ExitCode());
  EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << said;
  EXPECT_EQ(0u, said.find("tarvelmin: no display")) << said;
}

}  // namespace
