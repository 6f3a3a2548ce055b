// user32: the composed screen: the desktop, our windows' frames and captions,
// other applications' windows; and what of each client area is visible.
#include "internal.h"

namespace w32 {

namespace {

void FillOnScreen(const pixman_region32_t* area, const RECT& r, uint32_t pixel) {
  pixman_region32_t part;
  RegionFromRect(&part, r);
  pixman_region32_intersect(&part, &part, area);
  int n = 0;
  const pixman_box32_t* boxes = pixman_region32_rectangles(&part, &n);
  const pixman_color_t color = ToPixmanColor(pixel);
  std::vector<pixman_box32_t> list(boxes, boxes + n);
  if (n > 0) pixman_image_fill_boxes(PIXMAN_OP_SRC, S().screen, &color, n, list.data());
  Wrote(S().screen, &part);
  pixman_region32_fini(&part);
}

// The window's title in white on its caption, cut to the caption and `area`.
void DrawTitle(const pixman_region32_t* area, const RECT& caption, const std::string& title) {
  if (title.empty() || CurrentHost().DrawsCaptions()) return;
  pixman_region32_t clip;
  RegionFromRect(&clip, caption);
  pixman_region32_intersect(&clip, &clip, area);
  HDC hdc = CreateDeviceContext(S().screen, POINT{caption.left, caption.top}, &clip);
  pixman_region32_fini(&clip);
  if (!hdc) return;
  SetBkMode(hdc, TRANSPARENT);
  SetTextColor(hdc, 0x00FFFFFF);
  TextOutA(hdc, 4, (caption.bottom - caption.top - 16) / 2, title.c_str(), int(title.size()));
  DestroyDeviceContext(hdc);
}

// Takes from `region` what hides it of `hwnd`: our windows above it, and
// other applications' windows.
void SubtractAbove(HWND hwnd, pixman_region32_t* region) {
  const auto& z = S().zOrder;
  auto it = std::find(z.begin(), z.end(), hwnd);
  if (it != z.end())
    for (++it; it < z.end(); ++it) {
      Window* above = Find(*it);
      if (above && OnScreen(*above)) SubtractRect(region, OuterRect(*above));
    }
  for (const Cover& cv : S().covers) SubtractRect(region, cv.rect);
}


}  // namespace

pixman_image_t* NewScreen(int width, int height) {
  // Not cleared first: the fill covers it all.
  pixman_image_t* screen = pixman_image_create_bits_no_clear(PIXMAN_x8r8g8b8, width, height, nullptr, 0);
  if (!screen) return nullptr;
  const pixman_color_t desktop = ToPixmanColor(kDesktopPixel);
  pixman_box32_t all{0, 0, width, height};
  pixman_image_fill_boxes(PIXMAN_OP_SRC, screen, &desktop, 1, &all);
  return screen;
}

// Redraws what the window manager owns inside `area` (screen coordinates):
// the desktop, our windows' frames and captions, other applications'
// windows. What this uncovers of client areas is invalidated for their
// owners to paint; what stays hidden, or was not touched, is not.
void RecomposeRegion(const pixman_region32_t* changed) {
  State& s = S();
  pixman_region32_t area;
  pixman_region32_init_rect(&area, 0, 0, unsigned(ScreenWidth()), unsigned(ScreenHeight()));
  pixman_region32_intersect(&area, &area, changed);
  if (!pixman_region32_not_empty(&area)) {
    pixman_region32_fini(&area);
    return;
  }
  RECT screen{0, 0, ScreenWidth(), ScreenHeight()};
  FillOnScreen(&area, screen, kDesktopPixel);
  for (HWND hwnd : s.zOrder) {
    Window* w = Find(hwnd);
    if (!w || !OnScreen(*w)) continue;
    RECT outer = OuterRect(*w);
    RECT client = ClientOnScreen(*w);
    Frame f = FrameOf(*w);
    FillOnScreen(&area, outer, kFramePixel);
    if (f.caption) {
      RECT cap{Clamp(int64_t(outer.left) + f.x), Clamp(int64_t(outer.top) + f.y), Clamp(int64_t(outer.right) - f.x),
               Clamp(int64_t(outer.top) + f.y + f.caption)};
      FillOnScreen(&area, cap, hwnd == s.active ? kActiveCaptionPixel : kInactiveCaptionPixel);
      DrawTitle(&area, cap, w->title);
    }
    // The client area is the application's to paint.
    FillOnScreen(&area, client, kDesktopPixel);
    pixman_region32_t exposed;
    pixman_region32_init(&exposed);
    VisibleClientRegion(hwnd, &exposed);
    pixman_region32_intersect(&exposed, &exposed, &area);
    pixman_region32_translate(&exposed, Clamp(-int64_t(client.left)), Clamp(-int64_t(client.top)));
    if (pixman_region32_not_empty(&exposed)) Invalidate(hwnd, &exposed, true);
    pixman_region32_fini(&exposed);
  }
  for (const Cover& c : s.covers) FillOnScreen(&area, c.rect, kCoverPixel);
  const pixman_box32_t* e = pixman_region32_extents(&area);
  RECT r{e->x1, e->y1, e->x2, e->y2};
  pixman_region32_fini(&area);
  ScreenChanged(r);
}

void Recompose(const RECT& changed) {
  pixman_region32_t area;
  RegionFromRect(&area, changed);
  RecomposeRegion(&area);
  pixman_region32_fini(&area);
}

// Draws a window's frame and caption again (its activation changed), where
// nothing covers them; its client area is left alone.
void RedrawFrame(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w || !OnScreen(*w)) return;
  pixman_region32_t frame;
  RegionFromRect(&frame, OuterRect(*w));
  SubtractRect(&frame, ClientOnScreen(*w));
  SubtractAbove(hwnd, &frame);
  RecomposeRegion(&frame);
  pixman_region32_fini(&frame);
}

pixman_image_t* Screen() {
  return S().screen;
}

int ScreenWidth() {
  return pixman_image_get_width(S().screen);
}

int ScreenHeight() {
  return pixman_image_get_height(S().screen);
}

void ResetScreen(int width, int height) {
  State& s = S();
  pixman_image_t* screen = NewScreen(width, height);
  if (!screen) return;
  // Contexts handed out on the old screen draw on the new one from now on.
  for (HDC hdc : s.windowDcs) RetargetDeviceContext(hdc, screen);
  pixman_image_unref(s.screen);
  s.screen = screen;
  Recompose(RECT{0, 0, width, height});
}

void ScreenChanged(const RECT& r) {
  CurrentHost().ScreenChanged(r);
}

bool VisibleClientRegion(HWND hwnd, pixman_region32_t* out) {
  Window* w = Find(hwnd);
  if (!w) return false;
  if (!OnScreen(*w)) {
    pixman_region32_clear(out);
    return true;
  }
  RECT c = ClientOnScreen(*w);
  RECT screen{0, 0, ScreenWidth(), ScreenHeight()};
  RECT r;
  if (!IntersectRect(&r, &c, &screen)) {
    pixman_region32_clear(out);
    return true;
  }
  pixman_region32_fini(out);
  RegionFromRect(out, r);
  SubtractAbove(hwnd, out);
  return true;
}

}  // namespace w32
