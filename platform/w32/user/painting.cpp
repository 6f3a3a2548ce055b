// user32: update regions, window device contexts, BeginPaint and EndPaint.
#include "internal.h"

namespace w32 {

void Invalidate(HWND hwnd, const pixman_region32_t* clientArea, bool erase) {
  Window* w = Find(hwnd);
  if (!w) return;
  RECT c = ClientOnScreen(*w);
  pixman_region32_t bounds;
  pixman_region32_init_rect(&bounds, 0, 0, unsigned(c.right - c.left), unsigned(c.bottom - c.top));
  pixman_region32_t add;
  pixman_region32_init(&add);
  if (clientArea)
    pixman_region32_intersect(&add, &bounds, clientArea);
  else
    pixman_region32_copy(&add, &bounds);
  if (pixman_region32_not_empty(&add)) {
    pixman_region32_union(&w->update, &w->update, &add);
    if (erase) w->erasePending = true;
  }
  pixman_region32_fini(&add);
  pixman_region32_fini(&bounds);
}

namespace {

// A device context on the screen for a window (or the whole screen); only
// these can be ended by ReleaseDC and EndPaint.
HDC WindowDc(POINT origin, const pixman_region32_t* clip) {
  HDC hdc = CreateDeviceContext(Screen(), origin, clip);
  if (hdc) S().windowDcs.push_back(hdc);
  return hdc;
}

bool EndWindowDc(HDC hdc) {
  auto& dcs = S().windowDcs;
  auto it = std::find(dcs.begin(), dcs.end(), hdc);
  if (it == dcs.end()) return false;  // a surface's, or not a context at all
  dcs.erase(it);
  return DestroyDeviceContext(hdc);
}

// A context on the client area (`c`, on the screen) that reaches only the
// visible part of its update region.
HDC UpdateDc(HWND hwnd, const Window& w, const RECT& c) {
  pixman_region32_t clip, update;
  pixman_region32_init(&clip);
  VisibleClientRegion(hwnd, &clip);
  pixman_region32_init(&update);
  pixman_region32_copy(&update, &w.update);
  pixman_region32_translate(&update, c.left, c.top);
  pixman_region32_intersect(&clip, &clip, &update);
  pixman_region32_fini(&update);
  HDC hdc = WindowDc(POINT{c.left, c.top}, &clip);
  pixman_region32_fini(&clip);
  return hdc;
}

}  // namespace

// Sends WM_ERASEBKGND at once for what of the window needs erasing, as a
// window being placed does; the update region stays for WM_PAINT.
void EraseNow(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w || !Shown(*w) || !w->erasePending || !pixman_region32_not_empty(&w->update)) return;
  w->erasePending = false;
  RECT c = ClientOnScreen(*w);
  HDC hdc = UpdateDc(hwnd, *w, c);
  if (!hdc) return;
  LRESULT erased = Send(hwnd, WM_ERASEBKGND, WPARAM(Raw(hdc)), 0);
  EndWindowDc(hdc);
  if (Window* still = Find(hwnd)) still->eraseRefused = !erased;
  ScreenChanged(c);
}


}  // namespace w32

using namespace w32;

BOOL UpdateWindow(HWND hwnd) {
  Window* w = FindOrFail(hwnd);
  if (!w) return FALSE;
  if (Shown(*w) && pixman_region32_not_empty(&w->update)) Send(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  if (!hwnd) {
    S().windows.ForEach([&](uintptr_t h, Window*) { InvalidateRect(As<HWND>(h), rect, erase); });
    return TRUE;
  }
  if (!FindOrFail(hwnd)) return FALSE;
  if (!rect) {
    Invalidate(hwnd, nullptr, erase);
    return TRUE;
  }
  pixman_region32_t r;
  RegionFromRect(&r, *rect);
  Invalidate(hwnd, &r, erase);
  pixman_region32_fini(&r);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  Window* w = FindOrFail(hwnd);
  if (!w) return FALSE;
  if (!rect) {
    pixman_region32_clear(&w->update);
  } else {
    SubtractRect(&w->update, *rect);
  }
  if (!pixman_region32_not_empty(&w->update)) w->erasePending = false;
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
  Window* w = FindOrFail(hwnd);
  if (!w) return FALSE;
  const pixman_box32_t* b = pixman_region32_extents(&w->update);
  bool any = pixman_region32_not_empty(&w->update);
  if (rect) *rect = any ? RECT{b->x1, b->y1, b->x2, b->y2} : RECT{0, 0, 0, 0};
  return any ? TRUE : FALSE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
  Window* w = FindOrFail(hwnd);
  if (!w || !ps) return nullptr;
  RECT c = ClientOnScreen(*w);
  const pixman_box32_t* b = pixman_region32_extents(&w->update);
  RECT paint = pixman_region32_not_empty(&w->update) ? RECT{b->x1, b->y1, b->x2, b->y2} : RECT{0, 0, 0, 0};
  HDC hdc = UpdateDc(hwnd, *w, c);
  bool erase = w->erasePending;
  bool refused = w->eraseRefused;
  pixman_region32_clear(&w->update);
  w->erasePending = false;
  w->eraseRefused = false;
  std::memset(ps, 0, sizeof(*ps));
  ps->hdc = hdc;
  ps->rcPaint = paint;
  ps->fErase = refused;
  if (hdc && erase) ps->fErase = Send(hwnd, WM_ERASEBKGND, WPARAM(Raw(hdc)), 0) ? FALSE : TRUE;
  if (hdc) ScreenChanged(RECT{c.left + paint.left, c.top + paint.top, c.left + paint.right, c.top + paint.bottom});
  return hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  if (!ps) return FALSE;
  (void)hwnd;
  EndWindowDc(ps->hdc);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  if (!hwnd) {
    // The whole screen.
    pixman_region32_t all;
    pixman_region32_init_rect(&all, 0, 0, unsigned(ScreenWidth()), unsigned(ScreenHeight()));
    HDC hdc = WindowDc(POINT{0, 0}, &all);
    pixman_region32_fini(&all);
    return hdc;
  }
  Window* w = FindOrFail(hwnd);
  if (!w) return nullptr;
  RECT c = ClientOnScreen(*w);
  pixman_region32_t clip;
  pixman_region32_init(&clip);
  VisibleClientRegion(hwnd, &clip);
  HDC hdc = WindowDc(POINT{c.left, c.top}, &clip);
  pixman_region32_fini(&clip);
  return hdc;
}

int ReleaseDC(HWND, HDC hdc) {
  return EndWindowDc(hdc) ? 1 : 0;
}
