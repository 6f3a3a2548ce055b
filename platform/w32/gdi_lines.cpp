// gdi32: LineTo with the selected pen.
//
// Two kinds of pen, as on Windows:
//  - width 0 or 1 is cosmetic: a Bresenham line from the current position that
//    leaves out its last pixel, so the segments of a polyline meet without
//    painting their joints twice;
//  - wider pens are geometric with round caps. Pixel (px, py) covers
//    [px, px+1) x [py, py+1), so its centre is (px + 0.5, py + 0.5), and the
//    stroke runs between the centres of its two end pixels. A pixel is
//    painted when its centre lies within width/2 of that segment (boundary
//    included). The half-pixel offsets cancel, so the test is simply the
//    distance from (px, py) to the segment between the end points: a
//    zero-length stroke of width 5 is the 21 pixels with dx² + dy² <= 6.25.
// Dash styles are drawn solid: the program only uses solid pens.
//
// Work is confined to the clip's bounding box and done in 64-bit integers or
// doubles, so absurd coordinates or widths cost no more than filling that box.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "gdi_internal.h"

namespace w32 {
namespace {

// Cosmetic line in target coordinates, last pixel left out. Along the major
// axis it takes one pixel per step; the minor offset at step i is i·|db|/n
// rounded, a half going to the upper or left of the two pixels whichever way
// the line runs.
void CosmeticLine(DeviceContext& dc, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t pixel) {
  const int64_t dx = x1 - x0, dy = y1 - y0;
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const int64_t a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
  const int64_t da = xMajor ? dx : dy, db = xMajor ? dy : dx;
  const int64_t n = std::llabs(da), adb = std::llabs(db);  // n < 2^34: no overflow below
  if (n == 0) return;  // the only pixel would be the excluded last one
  const int64_t sa = da > 0 ? 1 : -1, sb = db >= 0 ? 1 : -1;

  // Only the steps whose major coordinate falls inside the clip's extents.
  const pixman_box32_t* e = pixman_region32_extents(&dc.clip);
  const int64_t lo = xMajor ? e->x1 : e->y1, hi = int64_t(xMajor ? e->x2 : e->y2) - 1;
  int64_t first = sa > 0 ? lo - a0 : a0 - hi;
  int64_t last = sa > 0 ? hi - a0 : a0 - lo;
  first = std::max<int64_t>(first, 0);
  last = std::min<int64_t>(last, n - 1);
  if (first > last) return;

  // minor(i) = floor((2·i·adb + n - 1) / 2n), or with n in place of n - 1
  // when the minor coordinate falls, so that halves still go up or left. The
  // remainder is the error term that carries it from step to step. Only the
  // start needs 128 bits.
  const int64_t twoN = 2 * n;
  const __int128 start = __int128(2) * first * adb + (sb > 0 ? n - 1 : n);
  int64_t minor = int64_t(start / twoN);
  int64_t error = int64_t(start % twoN);
  for (int64_t i = first; i <= last; ++i) {
    const int64_t a = a0 + sa * i, b = b0 + sb * minor;
    if (uint32_t* p = xMajor ? ClippedPixel(dc, a, b) : ClippedPixel(dc, b, a)) *p = pixel;
    error += 2 * adb;
    if (error >= twoN) {  // adb <= n, so at most one step per pixel
      error -= twoN;
      ++minor;
    }
  }
}

// The interval [lo, hi] of u for which c·u + k lies in [p, q]; false when
// there is none. c is a whole number, so the test for zero is exact.
bool Solve(double c, double k, double p, double q, double* lo, double* hi) {
  if (c == 0) {
    if (k < p || k > q) return false;
    *lo = -std::numeric_limits<double>::infinity();
    *hi = std::numeric_limits<double>::infinity();
    return true;
  }
  double u = (p - k) / c, v = (q - k) / c;
  *lo = std::min(u, v);
  *hi = std::max(u, v);
  return true;
}

// Round-capped stroke in target coordinates: a capsule, so each row meets it
// in one run of pixels, found from the two end discs and the band between.
void GeometricLine(DeviceContext& dc, int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width,
                   uint32_t pixel) {
  const pixman_box32_t* e = pixman_region32_extents(&dc.clip);
  if (e->x1 >= e->x2 || e->y1 >= e->y2) return;
  const double r = double(width) / 2, r2 = r * r;
  const double ax = double(x0), ay = double(y0), bx = double(x1), by = double(y1);
  const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
  const double reach = r * std::sqrt(len2);  // |cross product| limit of the band

  const double top = std::max<double>(e->y1, std::ceil(std::min(ay, by) - r));
  const double bottom = std::min<double>(e->y2 - 1, std::floor(std::max(ay, by) + r));
  if (top > bottom) return;
  for (int64_t py = int64_t(top); py <= int64_t(bottom); ++py) {
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    auto cap = [&](double cx, double cy) {
      const double h = double(py) - cy, room = r2 - h * h;
      if (room < 0) return;
      const double half = std::sqrt(room);
      lo = std::min(lo, cx - half);
      hi = std::max(hi, cx + half);
    };
    cap(ax, ay);
    cap(bx, by);
    if (len2 > 0) {
      // With u = x - ax and h = py - ay: along the segment, 0 <= dx·u + dy·h
      // <= len2; across it, |dy·u - dx·h| <= r·|d|.
      const double h = double(py) - ay;
      double l1, h1, l2, h2;
      if (Solve(dx, dy * h, 0, len2, &l1, &h1) && Solve(dy, -dx * h, -reach, reach, &l2, &h2)) {
        const double l = std::max(l1, l2), u = std::min(h1, h2);
        if (l <= u) {
          lo = std::min(lo, ax + l);
          hi = std::max(hi, ax + u);
        }
      }
    }
    if (!(lo <= hi)) continue;
    // Clamp before converting: the run may lie far outside any int.
    const double left = std::max<double>(e->x1, std::ceil(lo));
    const double right = std::min<double>(e->x2 - 1, std::floor(hi));
    if (left > right) continue;
    FillTargetBox(dc, int64_t(left), py, int64_t(right) + 1, py + 1, pixel);
  }
}

}  // namespace
}  // namespace w32

using namespace w32;

BOOL LineTo(HDC hdc, int x, int y) {
  DeviceContext* dc = FindDc(hdc);
  if (!dc) return FALSE;
  const POINT from = dc->position;
  dc->position = POINT{x, y};
  const GdiObject* pen = FindGdiObject(dc->pen);
  if (!pen || pen->type != GdiType::Pen || pen->style == PS_NULL) return TRUE;
  const int64_t x0 = int64_t(from.x) + dc->origin.x, y0 = int64_t(from.y) + dc->origin.y;
  const int64_t x1 = int64_t(x) + dc->origin.x, y1 = int64_t(y) + dc->origin.y;
  const uint32_t pixel = ToPixel(pen->color);
  if (pen->width <= 1)
    CosmeticLine(*dc, x0, y0, x1, y1, pixel);
  else
    GeometricLine(*dc, x0, y0, x1, y1, pen->width, pixel);
  return TRUE;
}
