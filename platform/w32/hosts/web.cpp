// The web host: our windows in a web page, which plays the desktop.
//
// Platform:     any browser, as wasm32 through Emscripten, with Asyncify.
// Pairs with:   host.h, whose interface it implements, and the window
//               manager's wm:: actions, which the page's events call; the
//               page itself is web/index.html and web/desktop.js beside this
//               file (Module.desk there is what this file calls).
// Dependencies: Emscripten (EM_JS, Asyncify).
// Implements:
//   [x] clock and waits: performance.now(); a wait yields to the browser
//       (Asyncify) until the deadline or until the page queues an event,
//       whichever comes first; the page's callbacks only queue events
//   [x] windows: a frame in the page for each of our top-level windows, its
//       caption, close box and sizing grip drawn by the page; the canvas is
//       the client area, where the window manager puts it
//   [x] the close box: the same close path as the other hosts
//   [x] focus: a click on the window brings it to the front; a click
//       outside it, or another tab in front, makes another application active
//   [x] resizes done in the page: the picture stretches
//   [x] screen updates: only the changed rectangle goes to the canvas
//   [x] message boxes: a dialog in the page; the program waits until it is
//       dismissed
//   [x] the exit code: the page says that the program has ended, and with
//       which code
//   [x] fault injection: ?fail=DirectDrawCreate (any injectable call) makes
//       that call fail, as on the headless host
// Limitations:
//   [ ] moving, minimising and maximising: the frame stays where it is
//   [ ] Beep: silent
//   [ ] other applications' windows over ours: the page has none
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../internal.h"

namespace {

// ---- The page (web/desktop.js) ------------------------------------------------

EM_JS(double, DeskNow, (), { return performance.now(); });
EM_JS(int, DeskOpen, (int* width, int* height), {
  if (!Module.desk) return 0;
  const size = Module.desk.open();
  HEAP32[width >> 2] = size.width;
  HEAP32[height >> 2] = size.height;
  return 1;
});
EM_JS(void, DeskWindow, (int id, const char* title, int x, int y, int width, int height, int visible), {
  Module.desk.window(id, UTF8ToString(title), x, y, width, height, visible != 0);
});
EM_JS(void, DeskGone, (int id), { Module.desk.gone(id); });
EM_JS(void, DeskPut, (int id, const uint8_t* rgba, int x, int y, int width, int height), {
  Module.desk.put(id, HEAPU8.subarray(rgba, rgba + width * height * 4), x, y, width, height);
});
EM_JS(int, DeskPending, (), { return Module.desk.events.length; });
// The next event: its kind (0: none), and the window and two numbers in out[0..2].
EM_JS(int, DeskNextEvent, (int* out), {
  const e = Module.desk.events.shift();
  if (!e) return 0;
  HEAP32[out >> 2] = e.id | 0;
  HEAP32[(out >> 2) + 1] = e.a | 0;
  HEAP32[(out >> 2) + 2] = e.b | 0;
  return e.kind;
});
// The name of the call to make fail (?fail=...), or an empty string.
EM_JS(void, DeskFault, (char* out, int size), { stringToUTF8(Module.desk.fault || "", out, size); });
EM_ASYNC_JS(void, DeskWait, (double milliseconds), { await Module.desk.wait(milliseconds); });
EM_ASYNC_JS(int, DeskMessageBox, (int id, const char* text, const char* caption), {
  return await Module.desk.messageBox(id, UTF8ToString(text), UTF8ToString(caption));
});

// What the page queues, as web/desktop.js numbers them.
enum Event { kNone = 0, kClose = 1, kActivate = 2, kActivateOther = 3, kResize = 4, kHidden = 5, kShown = 6 };

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
    if (!DeskOpen(&width, &height)) {
      *why = "no page to show a window in (Module.desk is missing)";
      return false;
    }
    // Room for the window and a user's resizing, however small the page.
    w32::wm::ScreenSize(std::max(width, 1024), std::max(height, 768));
    char fault[64];
    DeskFault(fault, sizeof fault);
    if (*fault && !ArmFault(fault)) {
      *why = std::string("?fail= names no call that can be made to fail: '") + fault + "'";
      return false;
    }
    return true;
  }

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

  void Sleep(DWORD milliseconds) override {
    Present();
    emscripten_sleep(milliseconds);
  }

  // ---- Input

  bool PollInput(MSG* msg) override {
    int e[3];
    while (int kind = DeskNextEvent(e)) {
      const HWND hwnd = WindowOf(e[0]);
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
        case kResize:
          // Our screen grows to hold what the page lets the window become.
          if (const Shown* w = Find(hwnd)) {
            const int64_t right = int64_t(w->told.client.left) + e[1], bottom = int64_t(w->told.client.top) + e[2];
            const int64_t most = w32::kMaxDisplaySide;
            if (right > w32::ScreenWidth() || bottom > w32::ScreenHeight())
              w32::wm::ScreenSize(int(std::min(std::max<int64_t>(right, w32::ScreenWidth()), most)),
                                  int(std::min(std::max<int64_t>(bottom, w32::ScreenHeight()), most)));
          }
          w32::wm::ResizeClient(hwnd, e[1], e[2]);
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
    DeskWindow(IdOf(hwnd), w->title.c_str(), c.left, c.top, c.right - c.left, c.bottom - c.top,
               state.visible && !state.minimized);
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
    DeskMessageBox(Find(owner) ? IdOf(owner) : 0, text, caption);
    return IDOK;
  }

 private:
  static bool ArmFault(const std::string& name) {
    w32::Call call;
    if (!w32::CallNamed(name.c_str(), &call)) return false;
    w32::FailNext(call, 0);
    return true;
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
      m_rgba.resize(size_t(width) * size_t(height) * 4);
      pixman_image_t* screen = w32::Screen();
      const uint8_t* base = reinterpret_cast<const uint8_t*>(pixman_image_get_data(screen));
      const size_t stride = size_t(pixman_image_get_stride(screen));
      uint8_t* to = m_rgba.data();
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
      DeskPut(IdOf(w.hwnd), m_rgba.data(), int(left), int(top), width, height);
    }
  }

  Shown* Find(HWND hwnd) {
    for (Shown& w : m_windows)
      if (w.hwnd == hwnd) return &w;
    return nullptr;
  }

  std::vector<Shown> m_windows;
  std::vector<uint8_t> m_rgba;        // the changed part, as the canvas takes it
  bool m_otherInFront = false;        // a click outside our windows made another application active
  bool m_hiddenWhileActive = false;   // another tab came to the front while ours was active
};

}  // namespace

namespace w32 {

Host* OpenWebHost(std::string* why) {
  return OpenOnce<WebHost>(why);
}

}  // namespace w32
