// user32: the composed screen: the desktop, our windows' frames and captions,
// other applications' windows; and what of each client area is visible.
#include "user_internal.h"

namespace w32 {

void FillOnScreen(const pixman_region32_t* area, const RECT& r, uint32_t pixel) {
  pixman_region32_t part;
  RegionFromRect(&part, r);
  pixman_region32_intersect(&part, &part, area);
  int n = 0;
  const pixman_box32_t* boxes = pixman_region32_rectangles(&part, &n);
  pixman_color_t color{uint16_t(((pixel >> 16) & 0xFF) * 0x101), uint16_t(((pixel >> 8) & 0xFF) * 0x101),
                       uint16_t((pixel & 0xFF) * 0x101), 0xFFFF};
  std::vector<pixman_box32_t> list(boxes, boxes + n);
  if (n > 0) pixman_image_fill_boxes(PIXMAN_OP_SRC, S().screen, &color, n, list.data());
  pixman_region32_fini(&part);
}

// The window's title in white on its caption, cut to the caption and `area`.
void DrawTitle(const pixman_region32_t* area, const RECT& caption, const std::string& title) {
  if (title.empty()) return;
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

// Redraws what the window manager owns inside `area` (screen coordinates):
// the desktop, our windows' frames and captions, other applications'
// windows. Client areas inside it are invalidated for their owners to paint.
void Recompose(const RECT& changed) {
  State& s = S();
  if (!s.screen) return;
  pixman_region32_t area;
  RECT screen{0, 0, ScreenWidth(), ScreenHeight()};
  RECT r;
  if (!IntersectRect(&r, &changed, &screen)) return;
  RegionFromRect(&area, r);
  FillOnScreen(&area, screen, kDesktopPixel);
  for (HWND hwnd : s.zOrder) {
    Window* w = Find(hwnd);
    if (!w || !Shown(*w) || w->state == ShowState::Minimized) continue;
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
    RegionFromRect(&exposed, client);
    pixman_region32_intersect(&exposed, &exposed, &area);
    pixman_region32_translate(&exposed, Clamp(-int64_t(client.left)), Clamp(-int64_t(client.top)));
    if (pixman_region32_not_empty(&exposed)) Invalidate(hwnd, &exposed, true);
    pixman_region32_fini(&exposed);
  }
  for (const Cover& c : s.covers) FillOnScreen(&area, c.rect, kCoverPixel);
  pixman_region32_fini(&area);
  ScreenChanged(r);
}

pixman_image_t* Screen() {
  if (!S().screen) ResetScreen(1024, 768);
  return S().screen;
}

int ScreenWidth() {
  return S().screen ? pixman_image_get_width(S().screen) : 1024;
}

int ScreenHeight() {
  return S().screen ? pixman_image_get_height(S().screen) : 768;
}

void ResetScreen(int width, int height) {
  State& s = S();
  if (s.screen) pixman_image_unref(s.screen);
  s.screen = pixman_image_create_bits(PIXMAN_x8r8g8b8, width, height, nullptr, 0);
  Recompose(RECT{0, 0, width, height});
}

void ScreenChanged(const RECT& r) {
  CurrentHost().ScreenChanged(r);
}

bool VisibleClientRegion(HWND hwnd, pixman_region32_t* out) {
  Window* w = Find(hwnd);
  if (!w) return false;
  if (!Shown(*w) || w->state == ShowState::Minimized) {
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
  const auto& z = S().zOrder;
  auto it = std::find(z.begin(), z.end(), hwnd);
  for (++it; it < z.end(); ++it) {
    Window* above = Find(*it);
    if (above && Shown(*above) && above->state != ShowState::Minimized) SubtractRect(out, OuterRect(*above));
  }
  for (const Cover& cv : S().covers) SubtractRect(out, cv.rect);
  return true;
}

}  // namespace w32
