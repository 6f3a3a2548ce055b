// tarvelmin on a real Wayland compositor, as a person would meet it: a
// weston of the test's own, drawing its output into a window on the test's
// Xvfb, where its pixels are read back and its pointer is moved and clicked
// (XTest). The program is pointed at weston alone (no DISPLAY).
#include <sys/socket.h>
#include <sys/un.h>

#include <filesystem>

#include "desktop.h"

namespace {

using namespace desktop;

const int kWidth = 1600, kHeight = 1200;  // room for two windows, so they seldom overlap
// weston's x11 backend takes the X pointer's position only as it enters the
// output window, and then follows its moves, which can leave the two apart.
// So the screen has room beside the output, where the pointer waits between
// uses and from where it enters the output each time.
const int kPark = 100;
const char kSocket[] = "wayland-tarvelmin";

class OnWeston : public ProgramOnADisplay {
 protected:
  void SetUp() override {
    // Not installed is a missing install step; installed but unable to
    // start (below) is this machine's limit.
    ASSERT_TRUE(OnPath("weston")) << "weston is missing (Debian package weston; bash scripts/setup.sh installs it)";
    ASSERT_NO_FATAL_FAILURE(StartXvfb(std::to_string(kWidth + kPark) + "x" + std::to_string(kHeight)));
    char dir[] = "/tmp/tarvelmin-weston-XXXXXX";  // made 0700, as Wayland wants
    ASSERT_TRUE(mkdtemp(dir));
    m_runtime = dir;
    m_westonLog = m_runtime + "/weston.log";
    m_weston.reset(new Child({"weston", "--backend=x11-backend.so", std::string("--socket=") + kSocket,
                              "--width=" + std::to_string(kWidth), "--height=" + std::to_string(kHeight),
                              "--use-pixman", "--idle-time=0", std::string("--config=") + WESTON_INI},
                             {"DISPLAY=" + m_name, "XDG_RUNTIME_DIR=" + m_runtime, "WAYLAND_DISPLAY"}, m_westonLog));
    // Up: its output window is mapped and its socket takes a connection.
    const bool up = Await([&] { return m_weston->Ended() || (FindOutput() && Connects()); });
    if (m_weston->Ended()) GTEST_SKIP() << "weston cannot start here: " << LastLine(Slurp(m_westonLog));
    ASSERT_TRUE(up) << "weston did not come up; it said:\n" << Slurp(m_westonLog);
    Park();
  }
  void TearDown() override {
    m_program.reset();
    m_other.reset();
    m_weston.reset();
    if (HasFailure() && !m_westonLog.empty()) std::printf("weston said:\n%s\n", Slurp(m_westonLog).c_str());
    ProgramOnADisplay::TearDown();
    if (!m_runtime.empty()) std::filesystem::remove_all(m_runtime);
  }

  std::vector<std::string> ClientEnv() const {
    return {std::string("WAYLAND_DISPLAY=") + kSocket, "XDG_RUNTIME_DIR=" + m_runtime, "DISPLAY"};
  }

  // The program, once its client area shows with the disc in it.
  void Show() {
    StartProgram(ClientEnv());
    ASSERT_TRUE(Await([&] { return m_program->Ended() || FindClientArea(); }) && !m_program->Ended())
        << (m_program->Ended() ? "the program ended" : "no 640 x 480 client area on weston's output");
    XPoint disc;
    ASSERT_TRUE(Await([&] { return DiscOnTheCircle(&disc); })) << "no disc on the circle";
  }

  static std::string LastLine(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.substr(text.rfind('\n') + 1);
  }

  bool FindOutput() {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &n);
    for (unsigned i = 0; i < n && !m_output; ++i) {
      XClassHint hint{};
      XWindowAttributes a;
      if (XGetClassHint(m_display, children[i], &hint) && hint.res_class &&
          std::string(hint.res_class) == "Weston Compositor" && XGetWindowAttributes(m_display, children[i], &a) &&
          a.map_state == IsViewable)
        m_output = children[i];
      if (hint.res_name) XFree(hint.res_name);
      if (hint.res_class) XFree(hint.res_class);
    }
    if (children) XFree(children);
    return m_output != 0;
  }

  bool Connects() const {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/%s", m_runtime.c_str(), kSocket);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
  }

  // weston places windows anywhere: the client area is the one 640 x 480
  // rectangle on its output that is all black but for the disc's red.
  bool FindClientArea() {
    const Picture p = Grab(m_display, m_output, 0, 0, kWidth, kHeight);
    // How many pixels of other colours lie above and left of each point.
    const size_t stride = kWidth + 1;
    std::vector<int> above(stride * (kHeight + 1), 0);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const uint32_t c = p.pixels[size_t(y) * kWidth + size_t(x)];
        above[(y + 1) * stride + x + 1] = above[y * stride + x + 1] + above[(y + 1) * stride + x] -
                                          above[y * stride + x] + (c != kBlack && c != kDisc);
      }
    auto others = [&](int x, int y, int w, int h) {
      if (x < 0 || y < 0 || x + w > kWidth || y + h > kHeight) return 1;  // the edge bounds it too
      return above[(y + h) * stride + x + w] - above[y * stride + x + w] - above[(y + h) * stride + x] +
             above[y * stride + x];
    };
    for (int y = 0; y + 480 <= kHeight; ++y)
      for (int x = 0; x + 640 <= kWidth; ++x)
        if (others(x, y, 640, 480) == 0 && others(x - 1, y, 1, 480) && others(x + 640, y, 1, 480) &&
            others(x, y - 1, 640, 1) && others(x, y + 480, 640, 1)) {
          m_area = ClientArea{m_output, x, y};
          return true;
        }
    return false;
  }

  // What is wrong with the caption above the client area, if anything: a
  // dark bar as wide as the window, with the title in its middle and the
  // close box at its right end.
  std::string CaptionFault() {
    const int l = m_area.x, t = m_area.y;
    const Picture p = Grab(m_display, m_output, l - 1, t - 20, 642, 20);
    const uint32_t bar = p.At(l, t - 1);
    if ((bar >> 16) > 0x60 || ((bar >> 8) & 0xFF) > 0x60 || (bar & 0xFF) > 0x60) return "no dark bar above it";
    for (int x = l; x < l + 640; ++x)
      if (p.At(x, t - 1) != bar) return "the bar is not as wide as the window";
    for (int y = t - 20; y < t; ++y)
      if (p.At(l, y) != bar || p.At(l + 639, y) != bar) return "the bar is less than 20 rows high";
    if (p.At(l - 1, t - 1) == bar || p.At(l + 640, t - 1) == bar) return "the bar is wider than the window";
    auto lit = [&](int left, int right) {  // what is drawn on it, light on dark
      int n = 0;
      for (int y = t - 19; y < t - 1; ++y)
        for (int x = left; x < right; ++x) {
          const uint32_t c = p.At(x, y);
          n += int((c >> 16) > (bar >> 16) + 0x40 && ((c >> 8) & 0xFF) > ((bar >> 8) & 0xFF) + 0x40 &&
                   (c & 0xFF) > (bar & 0xFF) + 0x40);
        }
      return n;
    };
    if (lit(l + 160, l + 480) < 50) return "no title in the middle of the bar";
    if (lit(l + 640 - kCloseFromRight - 8, l + 640 - kCloseFromRight + 8) < 8) return "no close box at its right end";
    return "";
  }

  // Whether the caption is `colour` (most of its bottom row).
  bool CaptionIs(uint32_t colour) {
    const Picture p = Grab(m_display, m_output, m_area.x, m_area.y - 1, 640, 1);
    return std::count(p.pixels.begin(), p.pixels.end(), colour) > 320;
  }
  uint32_t CaptionColour() { return Grab(m_display, m_output, m_area.x, m_area.y - 1, 1, 1).pixels[0]; }

  // Whether something else shows where the disc goes round.
  bool SomethingOverTheCircle() {
    const Picture p = Grab(m_display, m_output, m_area.x, m_area.y, 640, 480);
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        const double r = std::hypot(x - 320.0, y - 240.0);
        const uint32_t c = p.pixels[size_t(y) * 640 + size_t(x)];
        if (r > 65 && r < 95 && c != kBlack && c != kDisc) return true;
      }
    return false;
  }

  void Park() {
    XTestFakeMotionEvent(m_display, -1, kWidth + kPark / 2, kHeight / 2, CurrentTime);
    XSync(m_display, False);
  }

  // The pointer to (x, y) of weston's output.
  void PointAt(int x, int y) {
    int rootX, rootY;
    Window child;
    XTranslateCoordinates(m_display, m_output, DefaultRootWindow(m_display), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(m_display, -1, rootX, rootY, CurrentTime);
    XSync(m_display, False);
  }

  void Press() {
    XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
    XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    XSync(m_display, False);
  }

  // weston's pointer sprite, hot spot first, fits in this box.
  static constexpr int kSpriteWidth = 16, kSpriteHeight = 24;
  bool AllBlack(int x, int y) {
    const Picture p = Grab(m_display, m_output, x, y, kSpriteWidth, kSpriteHeight);
    return std::all_of(p.pixels.begin(), p.pixels.end(), [](uint32_t c) { return c == kBlack; });
  }

  // A click at (x, y) of weston's output, where all is black and still. weston
  // picks the surface under its pointer only when it next draws, so a click
  // that comes before that goes where the pointer was: the click waits
  // until weston has drawn its pointer there.
  void Click(int x, int y) {
    Park();
    PointAt(x, y);
    ASSERT_TRUE(Await([&] { return !AllBlack(x, y); })) << "weston never drew its pointer at " << x << "," << y;
    Press();
    Park();
  }

  // A click into a corner of the client area that nothing covers and that
  // weston's pointer has not been left over.
  void ClickIntoTheClientArea() {
    for (XPoint at : {XPoint{40, 40}, XPoint{600, 40}, XPoint{40, 440}, XPoint{600, 440}})
      if (AllBlack(m_area.x + at.x, m_area.y + at.y)) return Click(m_area.x + at.x, m_area.y + at.y);
    ADD_FAILURE() << "every corner of the client area is covered";
  }

  // The close box's middle, off the client area's top right corner.
  static constexpr int kCloseFromRight = 16, kCloseFromTop = 12;

  std::string m_runtime;  // XDG_RUNTIME_DIR, with weston's socket
  std::string m_westonLog;
  std::unique_ptr<Child> m_weston;
  std::unique_ptr<Child> m_other;  // another Wayland client
  Window m_output = 0;             // weston's output, an X window
};

// Every pixel of the client area, frame after frame, as the model says: at
// 640 x 480 under its caption, then shrunk below the orbit by the user
// (super and the right button dragging its corner, weston's binding), where
// the marks outside the part Clear reaches stay.
TEST_F(OnWeston, TheWholeClientAreaShowsWhatTheProgramDrawsAtFullSizeUnderItsCaptionAndShrunk) {
  ASSERT_NO_FATAL_FAILURE(Show());
  ASSERT_NO_FATAL_FAILURE(ExpectTheModelsPictures(640, 480, 4));
  EXPECT_EQ("", CaptionFault());
  const int fromX = m_area.x + 600, fromY = m_area.y + 440;
  Park();
  PointAt(fromX, fromY);
  const KeyCode super = XKeysymToKeycode(m_display, XK_Super_L);
  XTestFakeKeyEvent(m_display, super, True, CurrentTime);
  XTestFakeButtonEvent(m_display, 3, True, CurrentTime);
  XSync(m_display, False);
  PointAt(fromX - 323, fromY - 257);
  XTestFakeButtonEvent(m_display, 3, False, CurrentTime);
  XTestFakeKeyEvent(m_display, super, False, CurrentTime);
  Park();
  // Its top left corner stays; its top row and left column are black (the
  // orbit is far from them), up to the frame.
  int w = 0, h = 0;
  ASSERT_TRUE(Await([&] {
    const Picture row = Grab(m_display, m_output, m_area.x, m_area.y, 640, 1);
    const Picture column = Grab(m_display, m_output, m_area.x, m_area.y, 1, 480);
    w = int(std::find_if(row.pixels.begin(), row.pixels.end(), [](uint32_t c) { return c != kBlack; }) - row.pixels.begin());
    h = int(std::find_if(column.pixels.begin(), column.pixels.end(), [](uint32_t c) { return c != kBlack; }) -
            column.pixels.begin());
    return w < 400 && h < 300;
  })) << "the window is still " << w << " x " << h;
  std::printf("shrunk to %d x %d\n", w, h);
  ExpectTheModelsPictures(w, h, 8);
}

TEST_F(OnWeston, WhileAnotherClientHasTheFocusTheDiscStandsStillForNextToNoCpuUntilAClickGivesItBack) {
  ASSERT_NO_FATAL_FAILURE(Show());
  ASSERT_NO_FATAL_FAILURE(ExpectTheModelsPictures(640, 480, 2));
  const uint32_t active = CaptionColour();
  // A new window takes the focus (its caption shows it). One that weston
  // put over the disc's circle would hide what we look at: it makes way
  // for another, our window taking the focus back in between.
  for (int tries = 1;; ++tries) {
    m_other.reset(new Child({"weston-simple-shm"}, ClientEnv(), m_runtime + "/other.log"));
    ASSERT_TRUE(Await([&] { return !CaptionIs(active) || m_other->Ended(); })) << "our window kept the focus";
    ASSERT_FALSE(m_other->Ended()) << "weston-simple-shm ended: " << Slurp(m_runtime + "/other.log");
    if (!SomethingOverTheCircle()) {
      if (tries > 1) std::printf("the other window made way for a new one %d time(s)\n", tries - 1);
      break;
    }
    ASSERT_LT(tries, 6) << "weston put the other window over the disc's circle " << tries << " times";
    ClickIntoTheClientArea();
    ASSERT_TRUE(Await([&] { return CaptionIs(active); })) << "a click did not give our window the focus back";
    m_other.reset();
  }
  XPoint at, now;
  ASSERT_NO_FATAL_FAILURE(ExpectTheDiscToStandStillForNextToNoCpu(&at));

  // A click into the program's window: it goes on from where it stood.
  ClickIntoTheClientArea();
  EXPECT_TRUE(DiscMovesFrom(at, &now));
}

TEST_F(OnWeston, AClickOnTheCloseBoxEndsTheProgramWithZeroHavingSaidNothing) {
  ASSERT_NO_FATAL_FAILURE(Show());
  ASSERT_EQ("", CaptionFault());
  // The close box lights up under the pointer, and then acts on a click.
  const int x = m_area.x + 640 - kCloseFromRight, y = m_area.y - kCloseFromTop;
  Park();
  PointAt(x, y);
  ASSERT_TRUE(Await([&] {
    const uint32_t c = Grab(m_display, m_output, x - 10, y - 6, 1, 1).pixels[0];
    return (c >> 16) > ((c >> 8) & 0xFF) + 0x40 && (c >> 16) > (c & 0xFF) + 0x40;
  })) << "the close box does not light up under the pointer";
  Press();
  ASSERT_TRUE(Await([&] { return m_program->Ended(); })) << "still running after a click on the close box";
  EXPECT_EQ(0, m_program->ExitCode());
  EXPECT_EQ("", Slurp(m_err));
}

TEST_F(OnWeston, WhenTheCompositorDiesTheProcessEnds) {
  ASSERT_NO_FATAL_FAILURE(Show());
  kill(m_weston->Pid(), SIGKILL);
  ExpectTheProgramToEndForTheLostDisplay(Clock::now());
}

}  // namespace
