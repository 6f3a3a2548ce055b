// user32: where a window's frame, outer rectangle and client area lie, and
// whether it shows. Positions (winpos.cpp), painting and the desktop all ask
// here, so none of them needs another for its geometry.
#include "internal.h"

namespace w32 {

Frame FrameOf(const Window& w) {
  Frame f{0, 0, 0};
  if (w.style & WS_THICKFRAME) {
    f.x = f.y = kFrame;
  } else if (w.style & WS_DLGFRAME) {
    f.x = f.y = kFixedFrame;
  } else if (w.style & WS_BORDER) {
    f.x = f.y = 1;
  }
  if ((w.style & WS_CAPTION) == WS_CAPTION) f.caption = kCaption;
  return f;
}

RECT OuterRectOf(const Window& w, const Placement& p) {
  Frame f = FrameOf(w);
  switch (p.state) {
    case ShowState::Minimized:
      return RECT{kMinimizedPos, kMinimizedPos, kMinimizedPos + kMinimizedWidth,
                  kMinimizedPos + f.caption + 2 * f.y};
    case ShowState::Maximized: {
      // The frame hangs off the screen (or the area the desktop gave) so the
      // caption and client fill it.
      const RECT& c = p.maximized;
      if (c.right > c.left && c.bottom > c.top)
        return RECT{Clamp(int64_t(c.left) - f.x), Clamp(int64_t(c.top) - f.y - f.caption), Clamp(int64_t(c.right) + f.x),
                    Clamp(int64_t(c.bottom) + f.y)};
      return RECT{-f.x, -f.y, ScreenWidth() + f.x, ScreenHeight() + f.y};
    }
    case ShowState::Normal:
      break;
  }
  return p.normal;
}

RECT OuterRect(const Window& w) {
  return OuterRectOf(w, w.place);
}

// Client rectangle in screen coordinates; empty when minimised.
RECT ClientOnScreenOf(const Window& w, const Placement& p) {
  RECT o = OuterRectOf(w, p);
  if (p.state == ShowState::Minimized) return RECT{o.left, o.top, o.left, o.top};
  Frame f = FrameOf(w);
  RECT c{Clamp(int64_t(o.left) + f.x), Clamp(int64_t(o.top) + f.y + f.caption), Clamp(int64_t(o.right) - f.x),
         Clamp(int64_t(o.bottom) - f.y)};
  if (c.right < c.left) c.right = c.left;
  if (c.bottom < c.top) c.bottom = c.top;
  return c;
}

RECT ClientOnScreen(const Window& w) {
  return ClientOnScreenOf(w, w.place);
}

bool Shown(const Window& w) {
  return w.place.visible && !w.destroying;
}

bool OnScreen(const Window& w) {
  return Shown(w) && w.place.state != ShowState::Minimized;
}

}  // namespace w32
