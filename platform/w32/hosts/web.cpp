// The web host: our windows in a web page, which plays the desktop.
//
// Platform:     any browser, as wasm32 through Emscripten, with Asyncify.
// Pairs with:   host.h, whose interface it implements, and the window
//               manager's wm:: actions, which the page's events call; the
//               page itself is web/ beside this file: index.html and its
//               modules (Module.desk, web/desktop.js, is what this file calls).
// Dependencies: Emscripten (EM_JS, Asyncify).
// Implements:
//   [x] clock and waits: the page's program clock; a wait yields to the
//       browser (Asyncify) until the deadline or until the page queues an
//       event, whichever comes first; the page's callbacks only queue events
//   [x] the screen: the page's desktop, scaled down to fit our windows on a
//       smaller page; a new size when the page's changes
//   [x] windows: a frame in the page for each of our top-level windows, its
//       caption, close box and sizing grip drawn by the page; the canvas is
//       the client area, where the window manager puts it
//   [x] the pointer on the frame: presses on the caption and the grip, the
//       moves while held, the release and double-clicks become Windows'
//       input, and the window manager moves and sizes the window as
//       Windows' default procedure does (the picture stretches)
//   [x] the close box: the same close path as the other hosts
//   [x] focus: a click on the window or the keyboard's focus in it brings
//       it to the front; a click outside it, the focus leaving for the page,
//       or another tab in front, makes another application active
//   [x] screen updates: only the changed rectangle goes to the canvas
//   [x] message boxes: a modal dialog in the page; the program waits until
//       it is dismissed
//   [x] the exit code: the page says that the program has ended, and with
//       which code
//   [x] fault injection: ?fail=DirectDrawCreate (any set-up call the program
//       makes) makes that call fail, as on the headless host; another name
//       is refused, and the page says why
//   [x] the show command: ?show=maximized (the recorder's --show names) is
//       what WinMain gets; another name is refused, and the page says why
//   [x] the program's clock: the page's (web/clock.js), which it may stop,
//       step to the next deadline the program waits for, or run faster or
//       slower; Sleep runs on it too
// Limitations:
//   [ ] minimising and maximising: the frame has no boxes for them
//   [ ] Beep: silent
//   [ ] other applications' windows over ours: the page has none
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "../internal.h"
#include "../names.h"

namespace {

// ---- The page (web/desktop.js) ------------------------------------------------

// The program's clock is the page's (web/clock.js): it stands while the
// page is paused, and runs at the speed the page sets.
EM_JS(double, DeskNow, (), { return Module.desk.clock.now(); });
// What the page may offer to start the program with: the show commands and
// the set-up calls that can be made to fail, each list comma-separated.
EM_JS(int, DeskOpen, (int* width, int* height, const char* shows, const char* calls), {
  if (!Module.desk) return 0;
  const size = Module.desk.open(UTF8ToString(shows).split(","), UTF8ToString(calls).split(","));
  HEAP32[width >> 2] = size.width;
  HEAP32[height >> 2] = size.height;
  return 1;
});
EM_JS(void, DeskRefused, (const char* why), { Module.desk.refused(UTF8ToString(why)); });
EM_JS(void, DeskWindow, (int id, const char* title, const RECT* outer, const RECT* client, int flags), {
  const rect = (r) => ({x: HEAP32[r >> 2], y: HEAP32[(r >> 2) + 1], width: HEAP32[(r >> 2) + 2] - HEAP32[r >> 2],
                        height: HEAP32[(r >> 2) + 3] - HEAP32[(r >> 2) + 1]});
  Module.desk.window(id, UTF8ToString(title), rect(outer), rect(client), flags);
});
EM_JS(void, DeskGone, (int id), { Module.desk.gone(id); });
EM_JS(void, DeskPut, (int id, const uint8_t* rgba, int x, int y, int width, int height), {
  Module.desk.put(id, HEAPU8.subarray(rgba, rgba + width * height * 4), x, y, width, height);
});
EM_JS(int, DeskPending, (), { return Module.desk.events.length; });
// The next event: its kind (0: none), and the window and three numbers in out[0..3].
EM_JS(int, DeskNextEvent, (int* out), {
  const e = Module.desk.events.shift();
  if (!e) return 0;
  HEAP32[out >> 2] = e.id | 0;
  HEAP32[(out >> 2) + 1] = e.a | 0;
  HEAP32[(out >> 2) + 2] = e.b | 0;
  HEAP32[(out >> 2) + 3] = e.c | 0;
  return e.kind;
});
// The name of the call to make fail (?fail=...), or an empty string.
EM_JS(void, DeskFault, (char* out, int size), { stringToUTF8(Module.desk.fault || "", out, size); });
// The show command's name (?show=...), or an empty string.
EM_JS(void, DeskShow, (char* out, int size), { stringToUTF8(Module.desk.show || "", out, size); });
// The two waits, on Asyncify's own terms rather than EM_ASYNC_JS's: the
// program's exit() ends it from inside the callback that wakes it, and the
// ExitStatus that unwinds it is no error to report, in any browser.
EM_JS(void, DeskWait, (double milliseconds), {
  Asyncify.handleSleep((wake) => Module.desk.wait(milliseconds).then(() => {
    try {
      wake();
    } catch (e) {
      if (!(e instanceof ExitStatus)) throw e;
    }
  }));
});
EM_JS(int, DeskMessageBox, (const char* text, const char* caption), {
  return Asyncify.handleSleep((wake) => Module.desk.messageBox(UTF8ToString(text), UTF8ToString(caption)).then((button) => {
    try {
      wake(button);
    } catch (e) {
      if (!(e instanceof ExitStatus)) throw e;
    }
  }));
});

// What the page queues, as web/desktop.js numbers it.
enum Event {
  kNone = 0, kClose = 1, kActivate = 2, kActivateOther = 3, kHidden = 4, kShown = 5,
  kPress = 6, kDoubleClick = 7, kPointer = 8, kRelease = 9, kScreen = 10
};
// What the page hears of a window, as web/frame.js reads it.
enum Flags { kVisible = 1, kSizable = 2, kMaximized = 4 };

int IdOf(HWND hwnd) {
  return int(reinterpret_cast<uintptr_t>(hwnd));
}
HWND WindowOf(int id) {
  return reinterpret_cast<HWND>(uintptr_t(unsigned(id)));
}
bool Empty(const RECT& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

struct Shown {
  HWND hwnd;
  w32::WindowState told;  // its title in `title`
  std::string title;
  RECT damage;  // changed since the last present, client coordinates
};

class WebHost final : public w32::Host {
 public:
  bool Open(std::string* why) {
    int width = 0, height = 0;
    if (!DeskOpen(&width, &height, ShowNames(",").c_str(), SetUpCalls(",").c_str())) {
      *why = "no page to show a window in (Module.desk is missing)";
      return false;
    }
    w32::wm::ScreenSize(width, height);
    char show[64];
    DeskShow(show, sizeof show);
    if (*show && (m_showCommand = w32::ShowCommandNamed(show)) < 0) {
      *why = std::string("?show=") + show + " names no show command; it takes " + ShowNames(", ") +
             " (or SW_..., or 0..11)";
      DeskRefused(why->c_str());
      return false;
    }
    char fault[64];
    DeskFault(fault, sizeof fault);
    if (*fault && !ArmFault(fault)) {
      *why = std::string("?fail=") + fault + " names no set-up call the program makes; it takes " + SetUpCalls(", ");
      DeskRefused(why->c_str());
      return false;
    }
    return true;
  }

  int ShowCommand() override { return m_showCommand; }

  // ---- Clock and waiting

  DWORD Now() override { return DWORD(uint64_t(DeskNow())); }

  bool Wait(std::optional<DWORD> deadline) override {
    Present();
    if (DeskPending()) return true;
    if (!deadline) {
      DeskWait(-1);  // until the page has something for us
      return true;
    }
    const DWORD left = *deadline - Now();
    if (left == 0 || left > 0x7FFFFFFF) return true;  // due, or already past
    DeskWait(left);
    return true;
  }

  // On the program's clock, like its waits; what the page queues meanwhile
  // waits for the program's next look.
  void Sleep(DWORD milliseconds) override {
    Present();
    const DWORD until = Now() + milliseconds;
    for (DWORD left = milliseconds; left != 0 && left <= 0x7FFFFFFF; left = until - Now()) DeskWait(left);
  }

  // ---- Input

  bool PollInput(MSG* msg) override {
    int e[4];
    while (int kind = DeskNextEvent(e)) {
      const HWND hwnd = WindowOf(e[0]);
      const POINT at{e[1], e[2]};
      switch (kind) {
        case kClose:
          if (w32::wm::Close(hwnd, msg)) return true;
          break;
        case kActivate:
          m_otherInFront = false;
          w32::wm::Activate(hwnd);
          break;
        case kActivateOther:
          m_otherInFront = true;
          w32::wm::ActivateOther();
          break;
        case kPress:
          if (w32::wm::Press(hwnd, e[3], at, msg)) return true;
          break;
        case kDoubleClick:
          if (w32::wm::DoubleClick(hwnd, e[3], at, msg)) return true;
          break;
        case kPointer:
          if (w32::wm::PointerMoved(at, msg)) return true;
          break;
        case kRelease:
          if (w32::wm::Released(at, msg)) return true;
          break;
        case kScreen:
          w32::wm::ScreenSize(e[1], e[2]);
          break;
        case kHidden:
          // Another tab in front: another application is active until ours
          // comes back, as it was.
          m_hiddenWhileActive = !m_otherInFront && !m_windows.empty();
          if (m_hiddenWhileActive) w32::wm::ActivateOther();
          break;
        case kShown:
          if (m_hiddenWhileActive && !m_windows.empty()) w32::wm::Activate(m_windows.back().hwnd);
          m_hiddenWhileActive = false;
          break;
      }
    }
    return false;
  }

  // ---- Windows

  bool DrawsCaptions() override { return true; }

  void WindowChanged(HWND hwnd, const w32::WindowState& state) override {
    Shown* w = Find(hwnd);
    if (!w) {
      m_windows.push_back(Shown{hwnd, {}, "", {}});
      w = &m_windows.back();
    }
    w->told = state;
    w->told.title = nullptr;  // the caller's; kept as `title`
    w->title = state.title;
    const RECT& c = state.client;
    RECT outer = c;
    GetWindowRect(hwnd, &outer);
    const int flags = (state.visible && !state.minimized ? kVisible : 0) | (state.resizable ? kSizable : 0) |
                      (state.maximized ? kMaximized : 0);
    DeskWindow(IdOf(hwnd), w->title.c_str(), &outer, &c, flags);
    Damage(*w, RECT{0, 0, c.right - c.left, c.bottom - c.top});
  }

  void WindowDestroyed(HWND hwnd) override {
    for (auto it = m_windows.begin(); it != m_windows.end(); ++it) {
      if (it->hwnd != hwnd) continue;
      DeskGone(IdOf(hwnd));
      m_windows.erase(it);
      return;
    }
  }

  // ---- Screen

  void ScreenChanged(const RECT& r) override {
    for (Shown& w : m_windows) {
      const RECT& c = w.told.client;
      Damage(w, RECT{std::max(r.left, c.left) - c.left, std::max(r.top, c.top) - c.top,
                     std::min(r.right, c.right) - c.left, std::min(r.bottom, c.bottom) - c.top});
    }
  }

  // ---- Feedback

  int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT) override {
    Present();  // the window as it stands behind the box
    (void)owner;  // the box is modal over the whole page
    DeskMessageBox(text, caption);
    return IDOK;
  }

 private:
  // Only the calls the program makes while it sets up: a frame's GetDC and
  // Blt failing once would change nothing a user sees.
  static bool ArmFault(const std::string& name) {
    w32::Call call;
    if (!w32::CallNamed(name.c_str(), &call) || call > w32::kLastSetUpCall) return false;
    w32::FailNext(call, 0);
    return true;
  }

  static std::string SetUpCalls(const char* between) {
    std::string list;
    for (size_t i = 0; i <= size_t(w32::kLastSetUpCall); ++i)
      list += (i ? between : "") + std::string(w32::kCallNames[i]);
    return list;
  }

  static std::string ShowNames(const char* between) {
    std::string list;
    for (size_t i = 0; i < w32::kShowCommandsOffered; ++i)
      list += (i ? between : "") + std::string(w32::kShowCommandWords[i].name);
    return list;
  }

  void Damage(Shown& w, const RECT& part) { w.damage = w32::Bounds(w.damage, part); }

  // Hands each window's changed part to its canvas, from our screen.
  void Present() {
    for (Shown& w : m_windows) {
      if (Empty(w.damage) || !w.told.visible || w.told.minimized) continue;
      const RECT& c = w.told.client;
      const RECT d = w32::ShownPart(w.damage, c);
      w.damage = RECT{};
      if (Empty(d)) continue;
      const int left = d.left, top = d.top, width = d.right - d.left, height = d.bottom - d.top;
      const size_t bytes = size_t(width) * size_t(height) * 4;
      if (bytes > m_rgbaSize) {
        m_rgba.reset(new uint8_t[bytes]);  // not cleared: every byte is written below
        m_rgbaSize = bytes;
      }
      pixman_image_t* screen = w32::Screen();
      const uint8_t* base = reinterpret_cast<const uint8_t*>(pixman_image_get_data(screen));
      const size_t stride = size_t(pixman_image_get_stride(screen));
      uint8_t* to = m_rgba.get();
      for (int y = 0; y < height; ++y) {
        const uint32_t* from =
            reinterpret_cast<const uint32_t*>(base + size_t(c.top + top + y) * stride) + (c.left + left);
        for (int x = 0; x < width; ++x, to += 4) {
          const uint32_t p = from[x];  // XRGB to the canvas's RGBA
          to[0] = uint8_t(p >> 16);
          to[1] = uint8_t(p >> 8);
          to[2] = uint8_t(p);
          to[3] = 0xFF;
        }
      }
      DeskPut(IdOf(w.hwnd), m_rgba.get(), int(left), int(top), width, height);
    }
  }

  Shown* Find(HWND hwnd) {
    for (Shown& w : m_windows)
      if (w.hwnd == hwnd) return &w;
    return nullptr;
  }

  int m_showCommand = SW_SHOWDEFAULT;  // ?show=, as the start-up code hands it to WinMain
  std::vector<Shown> m_windows;
  std::unique_ptr<uint8_t[]> m_rgba;  // the changed part, as the canvas takes it
  size_t m_rgbaSize = 0;
  bool m_otherInFront = false;        // a click outside our windows made another application active
  bool m_hiddenWhileActive = false;   // another tab came to the front while ours was active
};

}  // namespace

namespace w32 {

Host* OpenWebHost(std::string* why) {
  return OpenOnce<WebHost>(why);
}

}  // namespace w32
