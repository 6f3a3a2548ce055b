// The SDL host: our windows as real windows on a Linux desktop.
//
// Platform:     X11 or Wayland, through SDL2: Wayland when only
//               WAYLAND_DISPLAY is set, X11 when only DISPLAY is, and with
//               both the kind of the user's session (XDG_SESSION_TYPE);
//               SDL_VIDEODRIVER overrides.
// Pairs with:   host.h, whose interface it implements, and the window
//               manager's wm:: actions, which its events call.
// Dependencies: SDL2 (video, events, message boxes); Xlib, to notice an X
//               display going away, to wait on the connection and to put
//               pixels into windows; wayland-client, to tell a Wayland
//               display gone from a quit request, to wait on the connection
//               and to give a window pixels; on Wayland, libdecor's plugin
//               draws the caption and close box.
// Implements:
//   [x] clock and waits: the monotonic clock; a wait blocks until the next
//       timer is due or an event comes, and never spins; on X11 and Wayland
//       it blocks on the connection itself, and the desktop's events are
//       fetched only when something came, so a tick with nothing to show
//       costs one wake-up;
//       once start-up is over, the pages of files it alone used are unmapped
//       (resident.h), as each wake-up costs more the more the process maps
//   [x] windows: each of our top-level windows is an SDL window showing its
//       client area, made (hidden) when ours is made and following it after:
//       shown, hidden, moved, sized, minimised, maximised, restored, gone;
//       the desktop draws the frame and caption; a sizing border makes it
//       resizable
//   [x] the close box: the same close path as the headless host's
//   [x] focus: into and out of the application, through our activation model
//   [x] moves, resizes, minimise, maximise and restore done on the desktop
//   [x] exposure: drawn again from what our screen holds
//   [x] screen updates: only what changed is handed to the display; on X11
//       put straight from our screen into the window (no copy, no round
//       trip); on Wayland copied into shared memory of ours attached to the
//       window (wayland_surface.h); elsewhere through SDL's window surface; a
//       display that cannot be given pixels at all is said at start, as a
//       missing one is
//   [x] message boxes: SDL's, with the text on stderr too
//   [x] Beep: the terminal bell, when stderr is a terminal
//   [x] a quit request (SIGINT, SIGTERM, the session ending): every window
//       is closed as by its close box
//   [x] the display going away: the process ends at once with one line, past
//       SDL's teardown, which can wait forever on a dead connection
// Limitations:
//   [ ] keyboard and mouse: the program takes no input
//   [ ] other applications' windows over ours: the desktop composes them, so
//       our window manager takes every window of ours as fully visible
//   [ ] one display, its size as it was at start
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <wayland-client-core.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "../internal.h"
#include "resident.h"
#include "sdl_driver.h"
#include "wayland_surface.h"

namespace {

using w32::WindowState;

uint32_t* ScreenRow(int y) {
  pixman_image_t* s = w32::Screen();
  return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(pixman_image_get_data(s)) +
                                     size_t(y) * size_t(pixman_image_get_stride(s)));
}

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value && *value;
}

// The driver for the display we were pointed at.
const char* DriverToAsk() {
  return w32::SdlDriverFor(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE"));
}

// The display we were pointed at, for messages.
std::string DisplayName(const char* driver) {
  const bool wayland = driver ? std::strcmp(driver, "wayland") == 0 : !Set("DISPLAY");
  if (wayland && Set("WAYLAND_DISPLAY")) return std::string("Wayland display ") + std::getenv("WAYLAND_DISPLAY");
  if (!wayland && Set("DISPLAY")) return std::string("display ") + std::getenv("DISPLAY");
  return "the display";
}

void SayDisplayLost() {
  static const char kSaid[] = "tarvelmin: lost the connection to the display\n";
  ssize_t written = write(STDERR_FILENO, kSaid, sizeof kSaid - 1);
  (void)written;
}

bool Empty(const RECT& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

// Xlib calls this when the connection to the display breaks, and would then
// exit through the exit handlers; SDL's teardown among them can wait forever
// for an event from the dead display. End the process here instead.
int DisplayLost(Display*) {
  SayDisplayLost();
  _exit(1);
}

// SDL turns SIGINT and SIGTERM into SDL_QUIT when its events are next
// fetched; a wait of ours on the X connection would not end for them. So its
// handlers are wrapped: the signal is noted and wakes the wait through a pipe.
volatile sig_atomic_t g_signalled = 0;
int g_wakeRead = -1;
int g_wakeWrite = -1;
const int kQuitSignals[] = {SIGINT, SIGTERM};
struct sigaction g_sdlHandlers[2];

void OnQuitSignal(int sig, siginfo_t* info, void* context) {
  const int saved = errno;
  g_signalled = 1;
  ssize_t written = write(g_wakeWrite, "", 1);
  (void)written;
  const int i = sig == SIGINT ? 0 : 1;
  struct sigaction ours;
  sigaction(sig, nullptr, &ours);
  const struct sigaction& sdl = g_sdlHandlers[i];
  if (sdl.sa_flags & SA_SIGINFO)
    sdl.sa_sigaction(sig, info, context);
  else
    sdl.sa_handler(sig);
  sigaction(sig, &ours, nullptr);  // SDL's handler puts itself back in our place
  errno = saved;
}

void WrapQuitSignals() {
  int fds[2];
  if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
  g_wakeRead = fds[0];
  g_wakeWrite = fds[1];
  for (int i = 0; i < 2; ++i) {
    struct sigaction current;
    if (sigaction(kQuitSignals[i], nullptr, &current) != 0) continue;
    // Only a handler SDL (or someone) installed: the default ends the process by itself.
    const bool handled = (current.sa_flags & SA_SIGINFO) ||
                         (current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN);
    if (!handled) continue;
    g_sdlHandlers[i] = current;
    struct sigaction ours = current;
    ours.sa_flags = (current.sa_flags | SA_SIGINFO) & ~SA_RESETHAND;
    ours.sa_sigaction = OnQuitSignal;
    sigaction(kQuitSignals[i], &ours, nullptr);
  }
}

// Up to this many changed pixels are put into an X window straight from our
// screen (64 KiB, a few of Xlib's buffers); more go through SDL's surface.
const int64_t kPutPixels = 16384;

int64_t MonotonicNs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Shown {
  HWND hwnd;
  SDL_Window* window;
  Window xwindow;  // X11: put into straight, when its pixels are laid out as ours
  GC gc;
  WindowState told;  // what the window manager last said (its title in `title`)
  std::string title;
  RECT damage;       // changed since the last present, client coordinates
  std::unique_ptr<w32::WaylandSurface> wayland;  // Wayland: our buffers on its surface
};

class SdlHost final : public w32::Host {
 public:
  bool Open(std::string* why) {
    // Without a display SDL would fall back to drawing off screen, where
    // nobody sees the window; unless a driver is asked for, say so instead.
    const bool asked = Set("SDL_VIDEODRIVER");
    if (!asked && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
      *why = "no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set)";
      return false;
    }
    // The kind of display the user has, so that a display that does not
    // answer is not followed by noise from trying the other kind.
    const char* ask = asked ? nullptr : DriverToAsk();
    if (ask) SDL_SetHint(SDL_HINT_VIDEODRIVER, ask);
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");  // the close box is ours to handle
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");    // a small demo keeps nobody awake
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
      *why = std::string("cannot open a window on ") + DisplayName(ask) + ": " + SDL_GetError();
      return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!asked && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
      SDL_Quit();
      *why = std::string("cannot open a window on ") + DisplayName(ask) + ": it does not answer";
      return false;
    }
    m_wayland = std::strcmp(driver, "wayland") == 0;
    if (std::strcmp(driver, "x11") == 0) {
      // X11's own framebuffer: no GPU renderer behind it, which would make
      // the window again (a new one) on first use, and cost more than the few
      // pixels a frame changes. Wayland has no framebuffer of its own: there
      // SDL presents through a renderer, which this would forbid.
      SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
      XSetIOErrorHandler(DisplayLost);
    }
    if (m_wayland || std::strcmp(driver, "x11") == 0) WrapQuitSignals();
    // A window that cannot be given pixels would run unseen: say so now,
    // as for a display that is not there.
    std::string cannot;
    if (!CanShowPixels(&cannot)) {
      SDL_Quit();
      *why = std::string("cannot show a window's pixels on ") + DisplayName(driver) + ": " + cannot;
      return false;
    }
    std::atexit(SDL_Quit);
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) w32::wm::ScreenSize(mode.w, mode.h);
    return true;
  }

  // ---- Clock and waiting

  DWORD Now() override { return DWORD(MonotonicNs() / 1000000); }

  bool Wait(std::optional<DWORD> deadline) override {
    Present();
    int timeout = -1;  // no limit
    if (deadline) {
      DWORD left = *deadline - Now();
      if (left == 0 || left > 0x7FFFFFFF) return true;  // due, or already past
      timeout = int(left);
    }
    // The first long wait with a window up: start-up is over, and what it
    // alone used need not stay mapped through every wake-up to come.
    if (!m_settled && timeout >= 50 && !m_windows.empty()) {
      m_settled = true;
      w32::DropUntouchedFilePages();
    }
    if (m_fd < 0) {
      SDL_WaitEventTimeout(nullptr, timeout);
      return true;
    }
    if (InputKnownToWait()) return true;
    // No XFlush: it reads the connection too, and nothing is left unsent
    // here: presenting ends in a flush, and any other call into SDL is
    // followed by a fetch of events, which flushes. Wayland's flush only
    // writes, and only what waits.
    if (m_wl) wl_display_flush(m_wl);
    if (Readable(timeout)) m_inputMayWait = true;
    m_lastLook = MonotonicNs();
    return true;
  }

  void Sleep(DWORD milliseconds) override {
    Present();
    SDL_Delay(milliseconds);
  }

  // ---- Input

  bool PollInput(MSG* msg) override {
    while (!m_closing.empty()) {
      HWND hwnd = m_closing.back();
      m_closing.pop_back();
      if (w32::wm::Close(hwnd, msg)) return true;
    }
    if (m_fd >= 0 && !InputMayWait()) return false;
    // Fetching the desktop's events is a round of calls into SDL and Xlib:
    // done only when something came, as most looks find nothing.
    g_signalled = 0;
    m_inputMayWait = true;  // until the queue is seen empty
    SDL_Event event;
    while (SDL_PollEvent(&event))
      if (Handle(event, msg)) return true;
    // What handling the events queued again (after the end of this round).
    m_inputMayWait = SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) ||
                     (m_x && XEventsQueued(m_x, QueuedAlready) > 0) || WaylandQueued();
    m_lastLook = MonotonicNs();
    return false;
  }

  // ---- Windows

  void WindowChanged(HWND hwnd, const WindowState& state) override {
    Shown* w = Find(hwnd);
    if (!w) {
      const RECT& c = state.client;
      Uint32 flags = SDL_WINDOW_HIDDEN | (state.resizable ? SDL_WINDOW_RESIZABLE : 0);
      SDL_Window* window = SDL_CreateWindow(state.title, c.left, c.top, std::max<int>(1, c.right - c.left),
                                            std::max<int>(1, c.bottom - c.top), flags);
      if (!window) {
        // Running on unseen helps nobody.
        std::fprintf(stderr, "tarvelmin: cannot make a window: %s\n", SDL_GetError());
        std::exit(1);
      }
      m_windows.push_back(
          Shown{hwnd, window, 0, nullptr, WindowState{"", {}, false, false, false, state.resizable}, "", {}, nullptr});
      w = &m_windows.back();
      WatchConnection(*w);
      if (m_wayland) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_WAYLAND) {
          m_wl = info.info.wl.display;
          w->wayland = w32::WaylandSurface::Open(info.info.wl.display, info.info.wl.surface);
          // The connection, waited on as the X11 one is.
          if (g_wakeRead >= 0) m_fd = wl_display_get_fd(m_wl);
        }
      }
    }
    // SDL's calls below may read events off the connection along the way.
    m_inputMayWait = true;
    // What the desktop did itself needs no echo.
    if (!m_following) Follow(*w, state);
    w->told = state;
    w->told.title = nullptr;  // the caller's; kept as `title`
    w->title = state.title;
    Damage(*w, RECT{0, 0, state.client.right - state.client.left, state.client.bottom - state.client.top});
  }

  void WindowDestroyed(HWND hwnd) override {
    for (auto it = m_windows.begin(); it != m_windows.end(); ++it) {
      if (it->hwnd != hwnd) continue;
      if (it->gc) XFreeGC(m_x, it->gc);
      SDL_DestroyWindow(it->window);
      m_windows.erase(it);
      m_inputMayWait = true;
      return;
    }
  }

  // ---- Screen

  void ScreenChanged(const RECT& r) override {
    for (Shown& w : m_windows) {
      const RECT& c = w.told.client;
      RECT part{std::max(r.left, c.left) - c.left, std::max(r.top, c.top) - c.top,
                std::min(r.right, c.right) - c.left, std::min(r.bottom, c.bottom) - c.top};
      Damage(w, part);
    }
  }

  // ---- Feedback

  int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override {
    std::fprintf(stderr, "%s: %s%s", caption, text, *text && text[std::strlen(text) - 1] == '\n' ? "" : "\n");
    Shown* w = Find(owner);
    Uint32 kind = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    SDL_ShowSimpleMessageBox(kind, caption, text, w ? w->window : nullptr);
    m_inputMayWait = true;
    return IDOK;
  }

  // Whether a window gets pixels, tried on a hidden one: on Wayland our
  // shared memory, or else SDL's window surface.
  static bool CanShowPixels(std::string* why) {
    SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN);
    if (!probe) {
      *why = SDL_GetError();
      return false;
    }
    bool can = WaylandSurfaceOf(probe) != nullptr || SDL_GetWindowSurface(probe) != nullptr;
    if (!can) *why = *SDL_GetError() ? SDL_GetError() : "neither a window surface nor shared memory to be had";
    SDL_DestroyWindow(probe);
    return can;
  }

  static std::unique_ptr<w32::WaylandSurface> WaylandSurfaceOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND) return nullptr;
    return w32::WaylandSurface::Open(info.info.wl.display, info.info.wl.surface);
  }

  void Beep(DWORD, DWORD) override {
    if (isatty(STDERR_FILENO)) {
      ssize_t written = write(STDERR_FILENO, "\a", 1);
      (void)written;
    }
  }

 private:
  // On X11: the connection we wait on ourselves (SDL has one for all
  // windows), and the window to put pixels into, if its visual is ours.
  void WatchConnection(Shown& w) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (g_wakeRead < 0 || !SDL_GetWindowWMInfo(w.window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    m_x = info.info.x11.display;
    m_fd = ConnectionNumber(m_x);
    XWindowAttributes a;
    if (!XGetWindowAttributes(m_x, info.info.x11.window, &a) || a.depth != 24 || !a.visual ||
        a.visual->red_mask != 0xFF0000 || a.visual->green_mask != 0xFF00 || a.visual->blue_mask != 0xFF)
      return;
    w.xwindow = info.info.x11.window;
    w.gc = XCreateGC(m_x, w.xwindow, 0, nullptr);
    m_visual = a.visual;
  }

  // Our screen as an XImage, made again when the screen is.
  XImage* ScreenImage() {
    pixman_image_t* screen = w32::Screen();
    char* data = reinterpret_cast<char*>(pixman_image_get_data(screen));
    const int width = pixman_image_get_width(screen), height = pixman_image_get_height(screen);
    if (m_screenImage && m_screenImage->data == data && m_screenImage->width == width &&
        m_screenImage->height == height)
      return m_screenImage;
    DropScreenImage();
    m_screenImage = XCreateImage(m_x, m_visual, 24, ZPixmap, 0, data, unsigned(width), unsigned(height), 32,
                                 pixman_image_get_stride(screen));
    if (m_screenImage && m_screenImage->bits_per_pixel != 32) DropScreenImage();
    return m_screenImage;
  }
  void DropScreenImage() {
    if (!m_screenImage) return;
    m_screenImage->data = nullptr;  // the pixels are the screen's
    XDestroyImage(m_screenImage);
    m_screenImage = nullptr;
  }

  // Wayland: whether events wait in the connection's default queue, read off
  // it along with those of another queue (ours); they leave nothing for a
  // wait to see. When they do, a look must fetch them.
  bool WaylandQueued() {
    if (!m_wl) return false;
    if (wl_display_prepare_read(m_wl) != 0) return m_inputMayWait = true;
    wl_display_cancel_read(m_wl);
    return false;
  }

  // Whether a look must fetch events: they wait in SDL's or Xlib's queue, a
  // signal came, or the connection has something to read. The connection is
  // asked at most once a millisecond: a program that peeks without waiting
  // still hears the desktop, and one that waits has just been told.
  bool InputMayWait() {
    if (InputKnownToWait()) return true;
    const int64_t now = MonotonicNs();
    if (now - m_lastLook < 1000000) return false;
    m_lastLook = now;
    return m_inputMayWait = Readable(0);
  }

  // Flags, and Wayland's default queue, which costs no system call: every
  // call into SDL or Xlib that may leave events queued sets m_inputMayWait,
  // so a look that finds nothing stays out of both.
  bool InputKnownToWait() { return m_inputMayWait || g_signalled || WaylandQueued(); }

  // Waits up to `timeout` ms (-1: no limit) for the display's connection to
  // have something, or a quit signal; true when either came.
  bool Readable(int timeout) {
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {g_wakeRead, POLLIN, 0}};
    const int ready = poll(fds, 2, timeout);
    if (ready < 0) return errno == EINTR;
    if (fds[1].revents) {
      char drain[64];
      while (read(g_wakeRead, drain, sizeof drain) > 0) {
      }
    }
    return ready > 0;
  }

  // The desktop's events, as the window manager's actions. A change the
  // window manager then reports back is what the desktop already shows.
  bool Handle(const SDL_Event& event, MSG* msg) {
    if (event.type == SDL_QUIT) {
      // SDL says a broken Wayland connection as a quit request; there is
      // nobody left to close the windows for.
      if (m_wl && wl_display_get_error(m_wl) != 0) {
        SayDisplayLost();
        _exit(1);
      }
      for (const Shown& w : m_windows) m_closing.push_back(w.hwnd);
      return false;
    }
    if (event.type != SDL_WINDOWEVENT) return false;
    Shown* w = FindWindow(event.window.windowID);
    if (!w) return false;
    const HWND hwnd = w->hwnd;
    const bool maximized = SDL_GetWindowFlags(w->window) & SDL_WINDOW_MAXIMIZED;
    m_following = true;
    bool queued = false;
    switch (event.window.event) {
      case SDL_WINDOWEVENT_CLOSE:
        queued = w32::wm::Close(hwnd, msg);
        break;
      case SDL_WINDOWEVENT_FOCUS_GAINED:
        w32::wm::Activate(hwnd);
        break;
      case SDL_WINDOWEVENT_FOCUS_LOST:
        w32::wm::ActivateOther();
        break;
      case SDL_WINDOWEVENT_MOVED:
      case SDL_WINDOWEVENT_SIZE_CHANGED:
      case SDL_WINDOWEVENT_MAXIMIZED:
        if (maximized) {
          w32::wm::Maximized(hwnd, ClientArea(*w));
        } else if (event.window.event == SDL_WINDOWEVENT_MOVED) {
          w32::wm::MoveClient(hwnd, event.window.data1, event.window.data2);
        } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
          w32::wm::ResizeClient(hwnd, event.window.data1, event.window.data2);
        }
        break;
      case SDL_WINDOWEVENT_MINIMIZED:
        w32::wm::Show(hwnd, SW_MINIMIZE);
        break;
      case SDL_WINDOWEVENT_RESTORED:
        w32::wm::Show(hwnd, SW_RESTORE);
        break;
      case SDL_WINDOWEVENT_EXPOSED:
        Damage(*w, RECT{0, 0, 1 << 30, 1 << 30});
        break;
    }
    m_following = false;
    return queued;
  }

  // Asks SDL for what the window manager says and the SDL window does not show yet.
  void Follow(Shown& w, const WindowState& to) {
    const WindowState& was = w.told;
    const RECT& c = to.client;
    if (w.title != to.title) SDL_SetWindowTitle(w.window, to.title);
    if (to.visible && !was.visible) {
      SDL_ShowWindow(w.window);
      SDL_RaiseWindow(w.window);
    }
    if (!to.visible && was.visible) SDL_HideWindow(w.window);
    if (!to.visible) return;
    if (to.minimized && !was.minimized) SDL_MinimizeWindow(w.window);
    if (to.maximized && !was.maximized) SDL_MaximizeWindow(w.window);
    if (!to.minimized && !to.maximized && (was.minimized || was.maximized)) SDL_RestoreWindow(w.window);
    if (to.minimized || to.maximized) return;
    int x, y, width, height;
    SDL_GetWindowPosition(w.window, &x, &y);
    SDL_GetWindowSize(w.window, &width, &height);
    if (c.right - c.left != width || c.bottom - c.top != height)
      SDL_SetWindowSize(w.window, std::max<int>(1, c.right - c.left), std::max<int>(1, c.bottom - c.top));
    if (c.left != x || c.top != y) SDL_SetWindowPosition(w.window, c.left, c.top);
  }

  // Where the desktop has the window's client area now.
  RECT ClientArea(const Shown& w) const {
    int x, y, width, height;
    SDL_GetWindowPosition(w.window, &x, &y);
    SDL_GetWindowSize(w.window, &width, &height);
    return RECT{x, y, x + width, y + height};
  }

  void Damage(Shown& w, const RECT& part) { w.damage = w32::Bounds(w.damage, part); }

  // Hands each window's changed part to the display, from our screen.
  void Present() {
    bool shown = false, put = false;
    for (Shown& w : m_windows) {
      if (Empty(w.damage) || !w.told.visible || w.told.minimized) continue;
      const RECT& c = w.told.client;
      RECT d = w32::ShownPart(w.damage, c);
      const RECT pending = w.damage;
      w.damage = RECT{};
      if (Empty(d)) continue;
      if (w.wayland) {
        // The buffer follows the SDL window's size, which may not be ours yet;
        // what our screen does not have of it is black.
        int width, height;
        SDL_GetWindowSize(w.window, &width, &height);
        const w32::WaylandSurface::Box have{
            int(std::max<int64_t>(0, -int64_t(c.left))), int(std::max<int64_t>(0, -int64_t(c.top))),
            int(std::min<int64_t>(int64_t(c.right) - c.left, int64_t(w32::ScreenWidth()) - c.left)),
            int(std::min<int64_t>(int64_t(c.bottom) - c.top, int64_t(w32::ScreenHeight()) - c.top))};
        if (!w.wayland->Put(width, height, {int(d.left), int(d.top), int(d.right), int(d.bottom)}, have,
                            [&](int y) { return ScreenRow(c.top + y) + c.left; }))
          w.damage = pending;  // no buffer free yet: next time
        continue;
      }
      // A few pixels go best inside the request itself: nothing to copy
      // first, nothing to wait for. Many go best through SDL's shared
      // memory, as the request would carry them through the socket.
      if (w.gc && int64_t(d.right - d.left) * (d.bottom - d.top) <= kPutPixels && ScreenImage()) {
        XPutImage(m_x, w.xwindow, w.gc, m_screenImage, int(c.left + d.left), int(c.top + d.top), int(d.left),
                  int(d.top), unsigned(d.right - d.left), unsigned(d.bottom - d.top));
        put = true;
        continue;
      }
      SDL_Surface* surface = SDL_GetWindowSurface(w.window);
      if (!surface) continue;
      // And what the surface has: it follows the SDL window's size, which
      // may not be ours yet.
      d.right = std::min<LONG>(d.right, surface->w);
      d.bottom = std::min<LONG>(d.bottom, surface->h);
      if (Empty(d)) continue;
      const int width = d.right - d.left;
      const bool alpha = surface->format->Amask != 0;  // Wayland surfaces may read the padding byte as alpha
      if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
      for (LONG y = d.top; y < d.bottom; ++y) {
        const uint32_t* from = ScreenRow(c.top + y) + c.left + d.left;
        uint8_t* to = static_cast<uint8_t*>(surface->pixels) + size_t(y) * surface->pitch;
        if (surface->format->format == SDL_PIXELFORMAT_RGB888 || surface->format->format == SDL_PIXELFORMAT_ARGB8888) {
          uint32_t* row = reinterpret_cast<uint32_t*>(to) + d.left;
          if (alpha)
            for (int x = 0; x < width; ++x) row[x] = from[x] | 0xFF000000u;
          else
            std::memcpy(row, from, size_t(width) * 4);
        } else {
          SDL_ConvertPixels(width, 1, SDL_PIXELFORMAT_RGB888, from, width * 4, surface->format->format,
                            to + d.left * surface->format->BytesPerPixel, surface->pitch);
        }
      }
      if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
      SDL_Rect rect{int(d.left), int(d.top), width, int(d.bottom - d.top)};
      SDL_UpdateWindowSurfaceRects(w.window, &rect, 1);
      shown = true;
    }
    // Either way the connection was read (flushing reads too, and SDL waits
    // for the server's answer): what came with it waits in Xlib's queue.
    if (put) XFlush(m_x);
    if (put && XEventsQueued(m_x, QueuedAlready) > 0) m_inputMayWait = true;
    if (shown && m_x && XEventsQueued(m_x, QueuedAfterReading) > 0) m_inputMayWait = true;
  }

  Shown* Find(HWND hwnd) {
    for (Shown& w : m_windows)
      if (w.hwnd == hwnd) return &w;
    return nullptr;
  }
  Shown* FindWindow(Uint32 id) {
    for (Shown& w : m_windows)
      if (SDL_GetWindowID(w.window) == id) return &w;
    return nullptr;
  }

  std::vector<Shown> m_windows;
  std::vector<HWND> m_closing;  // to close, one a look, after a quit request
  bool m_following = false;     // carrying out the desktop's own change
  bool m_wayland = false;
  wl_display* m_wl = nullptr;   // Wayland: the connection
  Display* m_x = nullptr;       // X11: the connection
  Visual* m_visual = nullptr;   // and the visual of windows we put into
  XImage* m_screenImage = nullptr;
  bool m_inputMayWait = true;   // the desktop may have said something not yet fetched
  int m_fd = -1;                // the connection we wait on ourselves, X11's or Wayland's
  bool m_settled = false;       // start-up's pages have been let go
  int64_t m_lastLook = 0;       // when the connection was last seen quiet
};

}  // namespace

namespace w32 {

Host* OpenSdlHost(std::string* why) {
  return OpenOnce<SdlHost>(why);
}

}  // namespace w32
