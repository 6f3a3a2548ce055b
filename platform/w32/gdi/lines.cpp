// gdi32: LineTo with the selected pen.
//
// Two kinds of pen, as on Windows:
//  - width 0 or 1 is cosmetic: a Bresenham line from the current position
//    that leaves out its last pixel, so the segments of a polyline meet
//    without painting their joints twice;
//  - wider pens are geometric with round caps: a disc at each end (for width
//    5 the 21 pixels within 2.5 of the end point) and a band between them,
//    both rasterised the way Windows does it rather than as the pixels
//    nearest the ideal shape: even widths reach a pixel further up and left,
//    and a slanted band is rounded per axis, wider on its right.
// Dash styles are drawn solid: the program only uses solid pens.
//
// Work is confined to the clip's bounding box and done in 64-bit integers,
// 128-bit products or doubles, so absurd coordinates or widths cost no more
// than filling that box.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "../damage.h"
#include "internal.h"

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

// A run of pixels [left, right) in one row.
struct Run {
  int64_t left, right;
};

// How many pixels the round cap's row `j` rows away from its middle row is cut
// in at each end. The cap is the integer circle traced by an error-stepping
// ellipse walk through a width x width box: starting at the middle row with
// nothing cut, each step moves one column in, one row out, or both, whichever
// keeps the traced pixels nearest the circle. The walk's decisions have a
// closed form, so any row costs a square root instead of a walk of up to
// `width` steps. n = width - 1 and p = n % 2 (even widths have two middle
// rows). Int must hold 8·width².
template <class Int>
int64_t CapInsetIn(int64_t width, int64_t j) {
  if (j == 0) return 0;
  const Int n = width - 1, p = n & 1, i = j - 1;  // the row the walk leaves
  // The walk leaves row i at the first column k where f(k) <= 0 ...
  const Int c = 4 * i * i + 4 * i * (1 + p) + 6 - 4 * n + 3 * p;
  auto f = [&](Int k) { return 4 * k * k + 4 * k * (2 - n) + c; };
  const Int disc = n * n - 2 - 3 * p - 4 * i * i - 4 * i * (1 + p);
  const double root = disc > 0 ? std::sqrt(double(disc)) : 0;
  Int k = std::max<int64_t>(0, int64_t(std::ceil((double(n) - 2 - root) / 2)));
  for (int nudge = 0; nudge < 2 && k > 0 && f(k - 1) <= 0; ++nudge) --k;  // the double may be off by one
  for (int nudge = 0; nudge < 2 && f(k) > 0; ++nudge) ++k;
  // ... and steps one more column in on the way when this is not negative.
  const Int inward = 8 * k * k + 8 * k * (1 - n) + 8 * i * i + 8 * i * (2 + p) + 12 - 4 * n + 10 * p;
  return int64_t(k + (inward >= 0));
}

int64_t CapInset(int64_t width, int64_t j) {
  return width < (int64_t(1) << 28) ? CapInsetIn<int64_t>(width, j) : CapInsetIn<__int128>(width, j);
}

// The cap about (cx, cy): a width x width box from (cx - width/2, cy - width/2),
// so even widths reach one pixel further up and left than down and right.
bool CapRun(int64_t cx, int64_t cy, int64_t width, int64_t y, Run* run) {
  const int64_t top = cy - width / 2, row = y - top;
  if (row < 0 || row >= width) return false;
  const int64_t j = row >= width / 2 ? row - width / 2 : width - 1 - row - width / 2;
  const int64_t inset = CapInset(width, j);
  *run = Run{cx - width / 2 + inset, cx - width / 2 + width - inset};
  return true;
}

// ceil(a / b) for b > 0.
__int128 CeilDiv(__int128 a, __int128 b) { return a / b + (a % b > 0); }

int64_t Round(double v) { return int64_t(std::floor(v + 0.5)); }

// Round-capped stroke in target coordinates: a cap at each end and a band
// between them, a polygon of four corners that takes the points (x, y) inside
// it, left and top edges included, right and bottom ones not. An axis-aligned
// band is the rectangle `width` across (from -width/2, like the caps) and from
// the start up to the end. A slanted one is a parallelogram whose ends cross
// the line at its end points; measured along each axis they reach width·|dy|/len
// and width·|dx|/len across, split unevenly: round(a/2) on the left (-x) side
// of the line and floor(a/2) + 1 on the right.
void GeometricLine(DeviceContext& dc, int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width,
                   uint32_t pixel) {
  const pixman_box32_t* e = pixman_region32_extents(&dc.clip);
  if (e->x1 >= e->x2 || e->y1 >= e->y2) return;
  const int64_t dx = x1 - x0, dy = y1 - y0, half = width / 2;
  const bool band = dx != 0 || dy != 0;  // and so a second cap

  struct Corner {
    int64_t x, y;
  } corner[4];
  if (dy == 0) {
    const int64_t l = std::min(x0, x1), r = std::max(x0, x1);
    corner[0] = {l, y0 - half}, corner[1] = {r, y0 - half};
    corner[2] = {r, y0 - half + width}, corner[3] = {l, y0 - half + width};
  } else if (dx == 0) {
    const int64_t t = std::min(y0, y1), b = std::max(y0, y1);
    corner[0] = {x0 - half, t}, corner[1] = {x0 - half + width, t};
    corner[2] = {x0 - half + width, b}, corner[3] = {x0 - half, b};
  } else {
    const double len = std::hypot(double(dx), double(dy));
    const double acrossX = double(width) * double(std::llabs(dy)) / len;
    const double acrossY = double(width) * double(std::llabs(dx)) / len;
    // The right side lies up from the line when it runs down to the right.
    const int64_t up = (dx > 0) == (dy > 0) ? -1 : 1;
    const int64_t lx = -Round(acrossX / 2), ly = -up * Round(acrossY / 2);
    const int64_t rx = Round((acrossX + 1) / 2), ry = up * Round((acrossY + 1) / 2);
    corner[0] = {x0 + lx, y0 + ly}, corner[1] = {x0 + rx, y0 + ry};
    corner[2] = {x1 + rx, y1 + ry}, corner[3] = {x1 + lx, y1 + ly};
  }
  // The band's run in row y: from the leftmost to the rightmost edge crossing.
  auto bandRun = [&](int64_t y, Run* run) {
    int crossings = 0;
    for (int i = 0; i < 4; ++i) {
      Corner a = corner[i], b = corner[(i + 1) % 4];
      if (a.y > b.y) std::swap(a, b);
      if (y < a.y || y >= b.y) continue;  // horizontal edges never cross
      const int64_t x = int64_t(a.x + CeilDiv(__int128(y - a.y) * (b.x - a.x), b.y - a.y));
      run->left = crossings ? std::min(run->left, x) : x;
      run->right = crossings ? std::max(run->right, x) : x;
      ++crossings;
    }
    return crossings > 0 && run->left < run->right;
  };

  int64_t top = std::min(y0, y1) - half, bottom = std::max(y0, y1) - half + width;
  for (const Corner& c : corner) {
    top = std::min(top, c.y);
    bottom = std::max(bottom, c.y);
  }
  top = std::max<int64_t>(top, e->y1);
  bottom = std::min<int64_t>(bottom, e->y2);
  for (int64_t y = top; y < bottom; ++y) {
    Run runs[3];
    int count = CapRun(x0, y0, width, y, &runs[0]);
    if (band) {
      count += CapRun(x1, y1, width, y, &runs[count]);
      count += bandRun(y, &runs[count]);
    }
    std::sort(runs, runs + count, [](const Run& a, const Run& b) { return a.left < b.left; });
    for (int i = 0; i < count;) {  // overlapping runs are filled once
      Run merged = runs[i++];
      while (i < count && runs[i].left <= merged.right) merged.right = std::max(merged.right, runs[i++].right);
      FillTargetBox(dc, merged.left, y, merged.right, y + 1, pixel);
    }
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
  if (pen->width <= 1) {
    CosmeticLine(*dc, x0, y0, x1, y1, pixel);
    // Pixel by pixel, so told as the line's box, cut to the clip.
    pixman_box32_t box;
    if (CutToClip(*dc, std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1, std::max(y0, y1) + 1, &box))
      Wrote(dc->target, box);
  } else {
    GeometricLine(*dc, x0, y0, x1, y1, pen->width, pixel);  // in filled rows
  }
  return TRUE;
}
