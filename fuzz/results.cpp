// Result checks: after each blit and fill whose outcome the harness can work
// out, what the destination holds is compared with what a plain loop here
// says, pixel by pixel, and nothing the call may not write may have changed.
// The loops follow the definitions, not the layer's code: a fill paints its
// colour over its rectangle (right and bottom edges excluded); a stretch
// shows, at pixel x of a W-wide destination rectangle, source pixel
// floor((2x + 1) * srcW / (2W)) of the source rectangle, and the same down
// the rows. Pictures are read straight from memory (headless::SurfacePixels),
// which tells the layer nothing, so the checks change nothing they watch.
//
// Where the harness knows the clip (no clipper, a surface's DC, the whole
// screen's DC, a window that nothing can cover), every pixel inside must be
// the loop's; where it only knows a rectangle the clip lies within (another
// window or application's may be above), each pixel there must be the
// loop's or as it was.
#include <algorithm>

#include "harness.h"
#include "headless.h"

namespace layer_fuzz {

namespace {

Box Of(const RECT& r) {
  return Box{r.left, r.top, r.right, r.bottom};
}

Box Cut(const Box& a, const Box& b) {
  return Box{std::max(a.l, b.l), std::max(a.t, b.t), std::min(a.r, b.r), std::min(a.b, b.b)};
}

Box Moved(const Box& a, int64_t dx, int64_t dy) {
  return Box{a.l + dx, a.t + dy, a.r + dx, a.b + dy};
}

uint32_t PixelOf(COLORREF c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

Box ScreenBox() {
  return Box{0, 0, headless::ScreenWidth(), headless::ScreenHeight()};
}

// The window's client area on the screen, as its owner would work it out.
Box ClientOnScreen(HWND hwnd) {
  RECT client{};
  POINT origin{0, 0};
  if (!GetClientRect(hwnd, &client) || !ClientToScreen(hwnd, &origin)) return Box{};
  return Moved(Of(client), origin.x, origin.y);
}

template <class F>
void Compare(const Picture& before, const Picture& after, const Box& area, bool exact, F expected,
             const char* what) {
  if (before.width != after.width || before.height != after.height)
    Fail("%s: the destination went from %dx%d to %dx%d", what, before.width, before.height, after.width,
         after.height);
  for (int y = 0; y < after.height; ++y)
    for (int x = 0; x < after.width; ++x) {
      const uint32_t was = before.At(x, y), is = after.At(x, y);
      const bool inside = x >= area.l && x < area.r && y >= area.t && y < area.b;
      if (!inside) {
        if (is != was) Fail("%s: (%d, %d) outside the clip went from %06x to %06x", what, x, y, was, is);
        continue;
      }
      const uint32_t want = expected(x, y);
      if (is != want && (exact || is != was))
        Fail("%s: (%d, %d) is %06x, not %06x (it was %06x; %s clip)", what, x, y, is, want, was,
             exact ? "a known" : "a bounded");
    }
}

}  // namespace

bool ReadPicture(IDirectDrawSurface* surface, Picture* out) {
  return headless::SurfacePixels(surface, &out->width, &out->height, &out->pixels);
}

bool Program::ClearView(HWND hwnd, const Box& client) const {
  // Only covers and our other windows can hide part of a window's client
  // area; with none of them anywhere near, the clip is the whole of it.
  if (!m_covers.empty()) return false;
  for (uintptr_t h : m_handles[kWindow]) {
    HWND other = reinterpret_cast<HWND>(h);
    RECT r{};
    if (other == hwnd || !IsWindowVisible(other) || !GetWindowRect(other, &r)) continue;
    if (!Cut(Of(r), client).Empty()) return false;
  }
  return true;
}

void Program::CheckBlt(HRESULT hr, IDirectDrawSurface* dest, const Picture& before, const RECT* destRect,
                       const Picture& source, const RECT* sourceRect, DWORD flags, const DDBLTFX* fx) {
  Picture after;
  if (!ReadPicture(dest, &after)) Fail("Blt: the destination went away");
  if (FAILED(hr)) {
    Compare(before, after, Box{}, true, [](int, int) { return 0u; }, "a failed Blt");
    return;
  }
  const Box to = destRect ? Of(*destRect) : Box{0, 0, before.width, before.height};
  Box area = Cut(to, Box{0, 0, before.width, before.height});
  bool exact = true;
  IDirectDrawClipper* clipper = nullptr;
  if (SUCCEEDED(dest->GetClipper(&clipper))) {
    // The window's visible client area, in screen coordinates, whatever
    // surface the clipper is on.
    HWND hwnd = nullptr;
    clipper->GetHWnd(&hwnd);
    clipper->Release();
    if (!IsWindowVisible(hwnd) || IsIconic(hwnd)) {
      area = Box{};
    } else {
      const Box client = ClientOnScreen(hwnd);
      area = Cut(Cut(area, client), ScreenBox());
      exact = ClearView(hwnd, client);
    }
  }
  if (flags & DDBLT_COLORFILL) {
    if (!fx) Fail("Blt: a colour fill without DDBLTFX succeeded");
    const uint32_t colour = fx->dwFillColor & 0x00FFFFFF;
    Compare(before, after, area, exact, [colour](int, int) { return colour; }, "a colour-filling Blt");
    return;
  }
  const Box from = sourceRect ? Of(*sourceRect) : Box{0, 0, source.width, source.height};
  if (from.Empty() || from.l < 0 || from.t < 0 || from.r > source.width || from.b > source.height)
    Fail("Blt succeeded from %lld,%lld-%lld,%lld of a %dx%d source", (long long)from.l, (long long)from.t,
         (long long)from.r, (long long)from.b, source.width, source.height);
  const int64_t dw = to.r - to.l, dh = to.b - to.t, sw = from.r - from.l, sh = from.b - from.t;
  auto centre = [](int64_t i, int64_t destSize, int64_t sourceSize) {
    return (2 * i + 1) * sourceSize / (2 * destSize);  // non-negative: the floor
  };
  Compare(
      before, after, area, exact,
      [&](int x, int y) {
        return source.At(int(from.l + centre(x - to.l, dw, sw)), int(from.t + centre(y - to.t, dh, sh)));
      },
      "Blt");
}

void Program::NoteDc(HDC hdc, IDirectDrawSurface* surface, HWND hwnd, bool painting) {
  if (!hdc) return;
  DcTarget t;
  t.surface = surface;
  if (!surface) {
    // GetDC(NULL) reaches the whole screen; a window's context, the part of
    // its client area that shows when it is made; BeginPaint's, less.
    const bool screen = !hwnd && !painting;
    t.area = screen ? ScreenBox() : ClientOnScreen(hwnd);
    t.origin = POINT{int(t.area.l), int(t.area.t)};
    t.exact = screen;
  }
  m_dcTargets[reinterpret_cast<uintptr_t>(hdc)] = t;
}

void Program::NoteChanges() {
  // What makes a context's clip one the harness no longer knows exactly:
  // a new screen (it is cut to it), a surface lost under it (it reaches
  // nothing from then on, even once the surface is restored).
  const Box screen = ScreenBox();
  const bool newScreen = screen.r != m_screen.r || screen.b != m_screen.b;
  m_screen = screen;
  for (auto& [hdc, t] : m_dcTargets) {
    if (!t.surface) {
      if (newScreen) t.exact = false;
      continue;
    }
    for (const Held<IDirectDrawSurface>& s : m_surfaces)
      if (s.p == t.surface && s.p->IsLost() == DDERR_SURFACELOST) t.cutOff = true;
  }
}

bool Program::ReadTarget(const DcTarget& t, Picture* out) const {
  if (t.surface) return ReadPicture(t.surface, out);
  *out = Picture{headless::ScreenWidth(), headless::ScreenHeight(), headless::ScreenPixels()};
  return true;
}

void Program::CheckedFillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  auto target = m_dcTargets.find(reinterpret_cast<uintptr_t>(hdc));
  Picture before;
  const bool watched = target != m_dcTargets.end() && ReadTarget(target->second, &before);
  const int result = FillRect(hdc, rect, brush);
  if (!watched) return;
  const DcTarget& t = target->second;
  Picture after;
  if (!ReadTarget(t, &after)) Fail("FillRect: the surface under the context went away");
  auto colour = m_brushColours.find(reinterpret_cast<uintptr_t>(brush));
  if (colour == m_brushColours.end() && result != 0) return;  // a brush whose colour we never learnt
  if (result == 0 || colour->second == kHollow || t.cutOff) {
    // Failed, hollow, or on memory that is gone: nothing may change.
    Compare(before, after, Box{}, true, [](int, int) { return 0u; }, "FillRect that paints nothing");
    return;
  }
  Box area = Cut(Moved(Of(*rect), t.origin.x, t.origin.y), Box{0, 0, after.width, after.height});
  if (!t.surface) area = Cut(area, t.area);
  const uint32_t pixel = PixelOf(colour->second);
  Compare(before, after, area, t.surface || t.exact, [pixel](int, int) { return pixel; }, "FillRect");
}

}  // namespace layer_fuzz
