// The headless host: our windows on a screen in memory, for tests and
// recordings.
//
// Platform:     none: no display, no user.
// Pairs with:   host.h, whose interface it implements; headless.h, the script
//               and the readings tests and tarvelmin-record use.
// Dependencies: none beyond our layer.
// Implements:
//   [x] clock and waits: a virtual clock that moves only when the program
//       waits, straight to the next timer or scripted action; a wait that
//       could never end is reported, not hung. Started as a program's host
//       (TARVELMIN_HOST=headless), the real clock instead, and waits sleep.
//   [x] the user, scripted: the close box, another application, moving,
//       sizing, minimising, maximising, restoring, other windows covering ours
//   [x] the screen: read back pixel by pixel; frames presented and window
//       procedure calls can be watched (and everything through the trace,
//       trace.h, which Reset clears too)
//   [x] message boxes: the text on stderr, answered at once with OK
//   [x] fault injection for every set-up call (headless.h)
// Limitations:
//   [ ] nothing is shown to anyone
#include "headless.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <deque>
#include <functional>

#include "../internal.h"
#include "../trace.h"

namespace {

struct Action {
  DWORD at;
  // Returns true when it produced a message for GetMessageA to deliver.
  std::function<bool(MSG*)> run;
};

class HeadlessHost : public w32::Host {
 public:
  DWORD Now() override {
    if (m_realClock) m_now = RealMilliseconds();
    return DWORD(m_now);
  }

  bool Wait(std::optional<DWORD> deadline) override {
    Now();
    // Timer deadlines are DWORD readings that wrap, as GetTickCount's do,
    // while the clock runs on: a deadline is the next moment showing it.
    uint64_t next = deadline ? m_now + DWORD(*deadline - DWORD(m_now)) : kNever;
    if (!m_actions.empty() && m_actions.front().at < next) next = m_actions.front().at;
    if (next == kNever) {
      m_stalled = true;
      std::fprintf(stderr, "headless: GetMessageA would wait forever: no timer, no scheduled action, nothing posted\n");
      return false;
    }
    if (next > m_now) {
      if (m_realClock)
        SleepFor(next - m_now);
      else
        m_now = next;
    }
    return true;
  }

  void Sleep(DWORD milliseconds) override {
    if (m_realClock)
      SleepFor(milliseconds);
    else
      m_now += milliseconds;
  }

  // From here on, the real clock: for a program run on this host.
  void UseRealClock() {
    m_realClock = true;
    m_now = RealMilliseconds();
  }

  bool PollInput(MSG* msg) override {
    while (!m_actions.empty() && m_actions.front().at <= m_now) {
      Action a = std::move(m_actions.front());
      m_actions.pop_front();
      if (a.run(msg)) return true;
    }
    return false;
  }

  int ShowMessageBox(HWND, const char* text, const char* caption, UINT) override {
    // Nobody is there to click: say what it said and take the default button.
    std::fprintf(stderr, "%s: %s", caption ? caption : "", text ? text : "");
    if (text && (!*text || text[std::char_traits<char>::length(text) - 1] != '\n'))
      std::fputc('\n', stderr);
    return IDOK;
  }

  void PrimaryBlitted() override {
    if (m_blitted) m_blitted();
  }
  void WindowProcEntered(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
    if (m_entered) m_entered(hwnd, message, wParam, lParam);
  }
  void WindowProcReturned(LRESULT result) override {
    if (m_returned) m_returned(result);
  }
  int ShowCommand() override { return m_showCommand; }

  void SetShowCommand(int showCommand) { m_showCommand = showCommand; }
  void WatchBlts(std::function<void()> blitted) { m_blitted = std::move(blitted); }
  void WatchProcs(std::function<void(HWND, UINT, WPARAM, LPARAM)> entered, std::function<void(LRESULT)> returned) {
    m_entered = std::move(entered);
    m_returned = std::move(returned);
  }

  void Schedule(DWORD at, std::function<bool(MSG*)> run) {
    // Stable by time: actions at the same moment keep their scheduling order.
    auto it = m_actions.end();
    while (it != m_actions.begin() && std::prev(it)->at > at) --it;
    m_actions.insert(it, Action{at, std::move(run)});
  }

  void Reset() {
    m_realClock = false;
    m_now = 0;
    m_actions.clear();
    m_stalled = false;
    m_nextCover = 1;
    m_showCommand = SW_SHOWDEFAULT;
    m_blitted = nullptr;
    m_entered = nullptr;
    m_returned = nullptr;
  }

  size_t Pending() const { return m_actions.size(); }
  bool Stalled() const { return m_stalled; }
  int NextCoverId() { return m_nextCover++; }

 private:
  static constexpr uint64_t kNever = UINT64_MAX;
  static uint64_t RealMilliseconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint64_t(t.tv_sec) * 1000 + uint64_t(t.tv_nsec) / 1000000;
  }
  static void SleepFor(uint64_t milliseconds) {
    timespec t{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000};
    while (nanosleep(&t, &t) != 0) {
    }
  }
  bool m_realClock = false;
  uint64_t m_now = 0;  // ms since Reset
  std::deque<Action> m_actions;
  bool m_stalled = false;
  int m_nextCover = 1;
  int m_showCommand = SW_SHOWDEFAULT;
  std::function<void()> m_blitted;
  std::function<void(HWND, UINT, WPARAM, LPARAM)> m_entered;
  std::function<void(LRESULT)> m_returned;
};

// Made on first use and never destroyed: a program may call the layer from
// its global constructors and destructors, in whatever order they run.
HeadlessHost& Headless() {
  static HeadlessHost* host = new HeadlessHost;
  return *host;
}

template <class F>
void Do(DWORD at, F f) {
  Headless().Schedule(at, [f = std::move(f)](MSG*) {
    f();
    return false;
  });
}

}  // namespace

namespace w32 {
Host* NewHeadlessHost() {
  return &Headless();
}

Host* OpenHeadlessHost(std::string*) {
  Headless().UseRealClock();
  return &Headless();
}
}  // namespace w32

namespace headless {

bool Reset(int screenWidth, int screenHeight) {
  if (screenWidth < 1 || screenHeight < 1 || screenWidth > w32::kMaxDisplaySide ||
      screenHeight > w32::kMaxDisplaySide)
    return false;
  w32::SetHost(&Headless());
  // Objects first (they may still refer to windows), then windows and the
  // screen, then the records their destruction may have added to.
  w32::ResetDirectDraw();
  w32::ResetUser();
  w32::ResetGdi();
  w32::ResetScreen(screenWidth, screenHeight);
  w32::ResetKernel();
  w32::trace::Reset();
  Headless().Reset();
  return true;
}

DWORD Now() {
  return Headless().Now();
}

void CloseAt(DWORD at, HWND hwnd) {
  Headless().Schedule(at, [hwnd](MSG* msg) { return w32::wm::Close(hwnd, msg); });
}
void ActivateOtherAt(DWORD at) {
  Do(at, [] { w32::wm::ActivateOther(); });
}
void ActivateAt(DWORD at, HWND hwnd) {
  Do(at, [hwnd] { w32::wm::Activate(hwnd); });
}
void MoveAt(DWORD at, HWND hwnd, int x, int y) {
  Do(at, [=] { w32::wm::Move(hwnd, x, y); });
}
void ResizeClientAt(DWORD at, HWND hwnd, int width, int height) {
  Do(at, [=] { w32::wm::ResizeClient(hwnd, width, height); });
}
void MinimizeAt(DWORD at, HWND hwnd) {
  Do(at, [hwnd] { w32::wm::Show(hwnd, SW_MINIMIZE); });
}
void RestoreAt(DWORD at, HWND hwnd) {
  Do(at, [hwnd] { w32::wm::Show(hwnd, SW_RESTORE); });
}
void MaximizeAt(DWORD at, HWND hwnd) {
  Do(at, [hwnd] { w32::wm::Show(hwnd, SW_MAXIMIZE); });
}
void PressAt(DWORD at, HWND hwnd, int hit, POINT point) {
  Headless().Schedule(at, [=](MSG* msg) { return w32::wm::Press(hwnd, hit, point, msg); });
}
void DoubleClickAt(DWORD at, HWND hwnd, int hit, POINT point) {
  Headless().Schedule(at, [=](MSG* msg) { return w32::wm::DoubleClick(hwnd, hit, point, msg); });
}
void PointerAt(DWORD at, POINT point) {
  Headless().Schedule(at, [=](MSG* msg) { return w32::wm::PointerMoved(point, msg); });
}
void ReleaseAt(DWORD at, POINT point) {
  Headless().Schedule(at, [=](MSG* msg) { return w32::wm::Released(point, msg); });
}
int CoverAt(DWORD at, const RECT& rect) {
  int id = Headless().NextCoverId();
  Do(at, [id, rect] { w32::wm::Cover(id, rect); });
  return id;
}
void UncoverAt(DWORD at, int coverId) {
  Do(at, [coverId] { w32::wm::Uncover(coverId); });
}
void LoseSurfacesAt(DWORD at) {
  Do(at, [] { w32::LoseSurfaces(); });
}
void At(DWORD at, std::function<void()> step) {
  Do(at, std::move(step));
}
size_t PendingActions() {
  return Headless().Pending();
}

int ScreenWidth() {
  return w32::ScreenWidth();
}
int ScreenHeight() {
  return w32::ScreenHeight();
}
uint32_t ScreenPixel(int x, int y) {
  if (x < 0 || y < 0 || x >= w32::ScreenWidth() || y >= w32::ScreenHeight()) return 0;
  pixman_image_t* s = w32::Screen();
  const uint32_t* row = reinterpret_cast<const uint32_t*>(
      reinterpret_cast<const uint8_t*>(pixman_image_get_data(s)) + size_t(y) * pixman_image_get_stride(s));
  return row[x] & 0x00FFFFFF;
}
namespace {
std::vector<uint32_t> ImagePixels(pixman_image_t* image) {
  const int width = pixman_image_get_width(image), height = pixman_image_get_height(image);
  std::vector<uint32_t> out;
  out.reserve(size_t(width) * size_t(height));
  const uint8_t* base = reinterpret_cast<const uint8_t*>(pixman_image_get_data(image));
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(base + size_t(y) * pixman_image_get_stride(image));
    for (int x = 0; x < width; ++x) out.push_back(row[x] & 0x00FFFFFF);  // the X byte is padding
  }
  return out;
}
}  // namespace

std::vector<uint32_t> ScreenPixels() {
  return ScreenPixels(RECT{0, 0, ScreenWidth(), ScreenHeight()});
}

bool SurfacePixels(IDirectDrawSurface* surface, int* width, int* height, std::vector<uint32_t>* pixels) {
  pixman_image_t* image = w32::SurfaceImage(w32::trace::LayerObject(surface));
  if (!image) return false;
  *width = pixman_image_get_width(image);
  *height = pixman_image_get_height(image);
  *pixels = ImagePixels(image);
  return true;
}

std::vector<uint32_t> ScreenPixels(const RECT& area) {
  std::vector<uint32_t> out;
  int64_t w = std::max<int64_t>(0, int64_t(area.right) - area.left);
  int64_t h = std::max<int64_t>(0, int64_t(area.bottom) - area.top);
  if (w * h > int64_t(1) << 28) return out;  // larger than any screen we make
  out.assign(size_t(w * h), 0);
  pixman_image_t* s = w32::Screen();
  const int64_t left = std::max<int64_t>(area.left, 0), right = std::min<int64_t>(area.right, ScreenWidth());
  for (int64_t y = std::max<int64_t>(area.top, 0); y < std::min<int64_t>(area.bottom, ScreenHeight()); ++y) {
    if (left >= right) break;
    const uint32_t* row = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixman_image_get_data(s)) +
                                                            size_t(y) * pixman_image_get_stride(s));
    // Plain pointers: tests read the whole screen after every frame, in unoptimised builds too.
    uint32_t* to = out.data() + size_t((y - area.top) * w + (left - area.left));
    for (int64_t x = left; x < right; ++x) *to++ = row[x] & 0x00FFFFFF;  // the X byte is padding
  }
  return out;
}

void SetShowCommand(int showCommand) {
  Headless().SetShowCommand(showCommand);
}
int ShowCommand() {
  return Headless().ShowCommand();
}
void WatchPrimaryBlts(std::function<void()> blitted) {
  Headless().WatchBlts(std::move(blitted));
}
void WatchWindowProcs(std::function<void(HWND, UINT, WPARAM, LPARAM)> entered,
                      std::function<void(LRESULT)> returned) {
  Headless().WatchProcs(std::move(entered), std::move(returned));
}

int BeepCount() {
  return w32::TheRecords().beeps;
}
std::vector<MessageBoxShown> MessageBoxes() {
  std::vector<MessageBoxShown> out;
  for (const auto& r : w32::TheRecords().messageBoxes) out.push_back({r.owner, r.text, r.caption, r.type});
  return out;
}
size_t LiveWindows() {
  return w32::LiveWindowCount();
}
size_t LiveTimers() {
  return w32::LiveTimerCount();
}
size_t LiveGdiObjects() {
  return w32::LiveGdiObjectCount();
}
size_t LiveDeviceContexts() {
  return w32::LiveDeviceContextCount();
}
size_t LiveDirectDrawObjects() {
  return w32::LiveDirectDrawObjectCount();
}

void FailNext(Call call, int skip) {
  w32::FailNext(call, skip);
}

bool Stalled() {
  return Headless().Stalled();
}

}  // namespace headless
