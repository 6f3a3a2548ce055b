// LineTo on our layer, read back from an image of our own: clipping, handles
// and coordinates at the limits. Which pixels a pen paints is checked against
// Windows in tests/win32/pen_test.cpp.
#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>

#include "support/dc_surface.h"
#include "support/recorder.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;
constexpr int kSize = 64;

// A 64x64 canvas drawn on with red pens.
class Canvas : public DcSurface {
 public:
  explicit Canvas(POINT origin = {0, 0}, const pixman_region32_t* clip = nullptr)
      : DcSurface(kSize, kSize, origin, clip) {}
  void UsePen(int style, int width) { DeleteObject(SelectObject(Dc(), CreatePen(style, width, RGB(255, 0, 0)))); }
  void Line(int x0, int y0, int x1, int y1) {
    MoveToEx(Dc(), x0, y0, nullptr);
    EXPECT_TRUE(LineTo(Dc(), x1, y1));
  }
  // Every changed pixel, each of which must be red; then clears the canvas.
  Pixels Take() {
    Pixels out;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x)
        if (At(x, y) != kPaper) {
          EXPECT_EQ(0x00FF0000u, At(x, y)) << x << "," << y;
          out.insert({x, y});
        }
    Clear();
    return out;
  }
};

template <class F>
Pixels Where(F inside) {
  Pixels out;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      if (inside(x, y)) out.insert({x, y});
  return out;
}

TEST(GdiLines, WritesStayInsideTheClip) {
  pixman_region32_t clip, lower;  // two bands with a gap: a region, not just its extents
  pixman_region32_init_rect(&clip, 8, 0, 48, 20);
  pixman_region32_init_rect(&lower, 8, 44, 48, 20);
  pixman_region32_union(&clip, &clip, &lower);
  Canvas s(POINT{0, 0}, &clip);
  for (int width : {1, 9}) {
    s.UsePen(PS_SOLID, width);
    s.Line(-100, -40, 150, 110);
    s.Line(30, -1000, 30, 1000);
    s.Line(-5, 50, 200, 50);
  }
  Pixels painted = s.Take();
  EXPECT_GT(painted.size(), 200u);
  for (auto [x, y] : painted) EXPECT_TRUE(pixman_region32_contains_point(&clip, x, y, nullptr)) << x << "," << y;
  pixman_region32_fini(&lower);
  pixman_region32_fini(&clip);
}

TEST(GdiLines, BadStaleAndForeignHandlesFail) {
  TestWindow w(WS_OVERLAPPEDWINDOW, 0, 0, 100, 100);
  HDC stale = GetDC(w.hwnd());
  ASSERT_TRUE(LineTo(stale, 5, 5));
  ReleaseDC(w.hwnd(), stale);
  HDC reused = GetDC(w.hwnd());  // likely the same slot, a new generation
  for (HDC bad : {HDC(nullptr), stale, reinterpret_cast<HDC>(w.hwnd()), HDC(GetStockObject(BLACK_PEN))}) {
    EXPECT_FALSE(LineTo(bad, 1, 1));
    EXPECT_FALSE(TextOutA(bad, 0, 0, "x", 1));
    EXPECT_EQ(CLR_INVALID, SetBkColor(bad, 0));
    EXPECT_EQ(CLR_INVALID, SetTextColor(bad, 0));
  }
  EXPECT_TRUE(LineTo(reused, 1, 1));
}

TEST(GdiLines, AbsurdCoordinatesAndWidthsStayExactAndQuick) {
  Canvas s;
  s.UsePen(PS_SOLID, 1);
  s.Line(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  EXPECT_EQ(Where([](int x, int y) { return x == y; }), s.Take());
  s.Line(INT_MAX, 5, INT_MIN, 5);
  EXPECT_EQ(Where([](int, int y) { return y == 5; }), s.Take());
  s.UsePen(PS_SOLID, 5);
  s.Line(INT_MIN, 30, INT_MAX, 30);
  EXPECT_EQ(Where([](int, int y) { return y >= 28 && y <= 32; }), s.Take());
  s.Line(-100, -100, 200, 200);  // the same band, 2^32 long: its edges need 128-bit products
  Pixels band = s.Take();
  s.Line(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  EXPECT_EQ(band, s.Take());
  s.UsePen(PS_SOLID, INT_MIN);  // taken as the largest width
  s.Line(INT_MAX, INT_MAX, INT_MAX, INT_MAX);
  EXPECT_TRUE(s.Take().empty());
  s.Line(INT_MIN, INT_MAX, INT_MAX, INT_MIN);
  EXPECT_EQ(size_t(kSize * kSize), s.Take().size());

  // Origin plus coordinates need 64 bits: the first disc lands at (-1, -1),
  // the others 2^32 away, where 32-bit sums would wrap round to (0, 0).
  Canvas far(POINT{INT_MIN, INT_MAX});
  far.UsePen(PS_SOLID, 5);
  far.Line(INT_MAX, INT_MIN, INT_MAX, INT_MIN);
  EXPECT_EQ((Pixels{{0, 0}, {1, 0}, {0, 1}}), far.Take());
  Canvas wrap(POINT{INT_MIN, INT_MIN});
  wrap.UsePen(PS_SOLID, 5);
  wrap.Line(INT_MIN, INT_MIN, INT_MIN, INT_MIN);
  wrap.UsePen(PS_SOLID, 1);
  wrap.Line(INT_MIN, INT_MIN, INT_MIN + 40, INT_MIN + 30);
  EXPECT_TRUE(wrap.Take().empty());
}

}  // namespace
