// user32: rectangle and region helpers.
#include "internal.h"

namespace w32 {

// Coordinates come from the program and may lie anywhere in int's range, so
// sums are taken in 64 bits and held at LONG's limits instead of wrapping
// round to the far side of the screen.
LONG Clamp(int64_t v) {
  return LONG(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The rectangle at (x, y) of the given size; Windows takes negative sizes as 0.
RECT Place(int64_t x, int64_t y, int64_t width, int64_t height) {
  return RECT{Clamp(x), Clamp(y), Clamp(x + std::max<int64_t>(0, width)), Clamp(y + std::max<int64_t>(0, height))};
}

// Windows' own point and rectangle helpers simply add, wrapping round in 32 bits.
LONG Wrap(int64_t v) {
  return LONG(uint32_t(uint64_t(v)));
}

void RegionFromRect(pixman_region32_t* region, const RECT& r) {
  int64_t w = std::max<int64_t>(0, int64_t(r.right) - r.left);
  int64_t h = std::max<int64_t>(0, int64_t(r.bottom) - r.top);
  pixman_region32_init_rect(region, r.left, r.top, unsigned(w), unsigned(h));
}

void SubtractRect(pixman_region32_t* region, const RECT& r) {
  pixman_region32_t cut;
  RegionFromRect(&cut, r);
  pixman_region32_subtract(region, region, &cut);
  pixman_region32_fini(&cut);
}

}  // namespace w32

using namespace w32;

BOOL OffsetRect(LPRECT rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left = Wrap(int64_t(rect->left) + dx);
  rect->right = Wrap(int64_t(rect->right) + dx);
  rect->top = Wrap(int64_t(rect->top) + dy);
  rect->bottom = Wrap(int64_t(rect->bottom) + dy);
  return TRUE;
}

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
  if (!rect) return FALSE;
  *rect = RECT{left, top, right, bottom};
  return TRUE;
}

BOOL IsRectEmpty(const RECT* rect) {
  return !rect || rect->left >= rect->right || rect->top >= rect->bottom;
}

BOOL IntersectRect(LPRECT dst, const RECT* a, const RECT* b) {
  if (!dst || !a || !b) return FALSE;
  RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
         std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&r)) {
    *dst = RECT{0, 0, 0, 0};
    return FALSE;
  }
  *dst = r;
  return TRUE;
}
