// LineTo on our layer, read back from a surface of our own.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <set>
#include <utility>

#include "w32/gdi_internal.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;
constexpr uint32_t kPaper = 0x00203040;
constexpr COLORREF kRed = RGB(255, 0, 0);

// A 64x64 surface in paper colour with a DC on it; the DC's pen is replaced
// (and the old one deleted) by UsePen.
class Surface {
 public:
  explicit Surface(POINT origin = {0, 0}, const pixman_region32_t* clip = nullptr) {
    m_image = pixman_image_create_bits(PIXMAN_x8r8g8b8, kSize, kSize, nullptr, 0);
    Clear();
    m_dc = w32::CreateDeviceContext(m_image, origin, clip);
  }
  ~Surface() {
    DeleteObject(SelectObject(m_dc, GetStockObject(BLACK_PEN)));
    w32::DestroyDeviceContext(m_dc);
    pixman_image_unref(m_image);
  }
  HDC Dc() const { return m_dc; }
  void UsePen(int style, int width) { DeleteObject(SelectObject(m_dc, CreatePen(style, width, kRed))); }
  void Clear() { std::fill_n(pixman_image_get_data(m_image), kSize * kSize, kPaper); }
  void Line(int x0, int y0, int x1, int y1) {
    MoveToEx(m_dc, x0, y0, nullptr);
    EXPECT_TRUE(LineTo(m_dc, x1, y1));
  }
  // Every changed pixel; each must be the pen's colour.
  Pixels Painted() const {
    Pixels out;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        uint32_t p = pixman_image_get_data(m_image)[y * kSize + x] & 0x00FFFFFF;  // X byte is padding
        if (p == kPaper) continue;
        EXPECT_EQ(0x00FF0000u, p) << x << "," << y;
        out.insert({x, y});
      }
    return out;
  }
  static constexpr int kSize = 64;

 private:
  pixman_image_t* m_image;
  HDC m_dc;
};

// The textbook incremental form, all octants, last pixel left out; a tie
// keeps the minor coordinate on the start's side.
Pixels Bresenham(int x0, int y0, int x1, int y1) {
  const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0), sx = x1 > x0 ? 1 : -1, sy = y1 > y0 ? 1 : -1;
  const bool steep = dy > dx;
  const int n = steep ? dy : dx, m = steep ? dx : dy;
  Pixels out;
  int x = x0, y = y0, error = 0;
  for (int i = 0; i < n; ++i) {
    out.insert({x, y});
    (steep ? y : x) += steep ? sy : sx;
    error += 2 * m;
    if (error > n) {
      (steep ? x : y) += steep ? sx : sy;
      error -= 2 * n;
    }
  }
  return out;
}

TEST(GdiLines, ZeroLengthWidth5StrokeIsThe21PixelDisc) {
  Surface s(POINT{7, -3});  // the origin shifts the disc, nothing else
  s.UsePen(PS_SOLID, 5);
  s.Line(20, 30, 20, 30);
  Pixels disc;  // rows 3, 5, 5, 5, 3 wide: centres within 2.5 of (27, 27)
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx)
      if (dx * dx + dy * dy <= 6.25) disc.insert({27 + dx, 27 + dy});
  ASSERT_EQ(21u, disc.size());
  EXPECT_EQ(disc, s.Painted());
  POINT at;
  MoveToEx(s.Dc(), 0, 0, &at);
  EXPECT_EQ(20, at.x);
  EXPECT_EQ(30, at.y);
}

TEST(GdiLines, Width5StrokesHaveRoundCapsAndFullWidth) {
  Surface s;
  s.UsePen(PS_SOLID, 5);
  s.Line(20, 30, 40, 30);
  Pixels horizontal = s.Painted();
  Pixels expected;  // columns 3, 5 tall at the caps, 5 tall along the body
  for (int x = 18; x <= 42; ++x)
    for (int y = 28; y <= 32; ++y)
      if (!((x == 18 || x == 42) && (y == 28 || y == 32))) expected.insert({x, y});
  EXPECT_EQ(expected, horizontal);

  s.Clear();
  s.Line(20, 20, 40, 40);
  Pixels diagonal = s.Painted();
  for (auto [x, y] : diagonal) {
    EXPECT_TRUE(diagonal.count({y, x})) << "mirror in the diagonal";
    EXPECT_TRUE(diagonal.count({60 - x, 60 - y})) << "half-turn about the middle";
  }
  auto count = [&](auto inRow) { int n = 0; for (auto p : diagonal) n += inRow(p); return n; };
  EXPECT_EQ(3, count([](auto p) { return p.first + p.second == 60; }));  // across: 2.5 / sqrt(2) reach
  EXPECT_EQ(7, count([](auto p) { return p.second == 30; }));
  Pixels capRow;  // a round cap: row 18 only where within 2.5 of (20, 20)
  for (auto p : diagonal) if (p.second <= 18) capRow.insert(p);
  EXPECT_EQ((Pixels{{19, 18}, {20, 18}, {21, 18}}), capRow);
}

TEST(GdiLines, Width1LeavesOutLastPixelAndFollowsBresenham) {
  Surface s;
  s.UsePen(PS_SOLID, 0);  // 0 is the same cosmetic pen as 1
  const int lines[][4] = {{10, 10, 40, 17}, {40, 17, 10, 10}, {10, 50, 17, 20}, {17, 20, 10, 50}, {5, 60, 55, 10},
                          {50, 5, 46, 58}, {10, 50, 14, 51}, {3, 3, 60, 3}, {8, 60, 8, 2}};
  for (const auto& l : lines) {
    s.Clear();
    s.Line(l[0], l[1], l[2], l[3]);
    Pixels painted = s.Painted();
    EXPECT_EQ(Bresenham(l[0], l[1], l[2], l[3]), painted) << l[0] << "," << l[1] << " to " << l[2] << "," << l[3];
    EXPECT_TRUE(painted.count({l[0], l[1]}));
    EXPECT_FALSE(painted.count({l[2], l[3]}));
  }
  s.Clear();
  s.Line(30, 30, 30, 30);
  EXPECT_TRUE(s.Painted().empty());
}

TEST(GdiLines, WritesStayInsideTheClip) {
  // Two bands with a gap: the clip is a region, not just its extents.
  pixman_region32_t clip, lower;
  pixman_region32_init_rect(&clip, 8, 0, 48, 20);
  pixman_region32_init_rect(&lower, 8, 44, 48, 20);
  pixman_region32_union(&clip, &clip, &lower);
  Surface s(POINT{0, 0}, &clip);
  for (int width : {1, 9}) {
    s.UsePen(PS_SOLID, width);
    s.Line(-100, -40, 150, 110);
    s.Line(30, -1000, 30, 1000);
    s.Line(-5, 50, 200, 50);
  }
  Pixels painted = s.Painted();
  EXPECT_GT(painted.size(), 200u);
  for (auto [x, y] : painted) EXPECT_TRUE(pixman_region32_contains_point(&clip, x, y, nullptr)) << x << "," << y;
  pixman_region32_fini(&lower);
  pixman_region32_fini(&clip);
}

TEST(GdiLines, NullPenMovesButDrawsNothing) {
  Surface s;
  s.UsePen(PS_NULL, 5);
  s.Line(10, 10, 50, 40);
  SelectObject(s.Dc(), GetStockObject(NULL_PEN));
  s.Line(50, 40, 10, 12);
  EXPECT_TRUE(s.Painted().empty());
  POINT at;
  MoveToEx(s.Dc(), 0, 0, &at);
  EXPECT_EQ(12, at.y);
}

TEST(GdiLines, BadStaleAndForeignHandlesFail) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "gdi-lines";
  ASSERT_TRUE(RegisterClassA(&wc));
  HWND hwnd = CreateWindowExA(0, "gdi-lines", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
  ASSERT_TRUE(hwnd);
  HDC stale = GetDC(hwnd);
  ASSERT_TRUE(LineTo(stale, 5, 5));
  ReleaseDC(hwnd, stale);
  HDC reused = GetDC(hwnd);  // likely the same slot, a new generation
  for (HDC bad : {HDC(nullptr), stale, reinterpret_cast<HDC>(hwnd), reinterpret_cast<HDC>(GetStockObject(BLACK_PEN))}) {
    EXPECT_FALSE(LineTo(bad, 1, 1));
    EXPECT_FALSE(TextOutA(bad, 0, 0, "x", 1));
    EXPECT_EQ(CLR_INVALID, SetBkColor(bad, 0));
    EXPECT_EQ(CLR_INVALID, SetTextColor(bad, 0));
  }
  EXPECT_TRUE(LineTo(reused, 1, 1));
  ReleaseDC(hwnd, reused);
  DestroyWindow(hwnd);
}

TEST(GdiLines, AbsurdCoordinatesAndWidthsStayExactAndQuick) {
  Surface s;
  auto only = [&](auto inside) {
    Pixels expected;
    for (int y = 0; y < Surface::kSize; ++y)
      for (int x = 0; x < Surface::kSize; ++x)
        if (inside(x, y)) expected.insert({x, y});
    EXPECT_EQ(expected, s.Painted());
    s.Clear();
  };
  s.UsePen(PS_SOLID, 1);
  s.Line(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  only([](int x, int y) { return x == y; });
  s.Line(INT_MAX, 5, INT_MIN, 5);
  only([](int, int y) { return y == 5; });
  s.UsePen(PS_SOLID, 5);
  s.Line(INT_MIN, 30, INT_MAX, 30);
  only([](int, int y) { return y >= 28 && y <= 32; });
  s.UsePen(PS_SOLID, INT_MIN);  // taken as the largest width
  s.Line(INT_MAX, INT_MAX, INT_MAX, INT_MAX);
  only([](int, int) { return false; });
  s.Line(INT_MIN, INT_MAX, INT_MAX, INT_MIN);
  only([](int, int) { return true; });

  // Origin plus coordinates need 64 bits: the first disc lands at (-1, -1),
  // the others 2^32 away, where 32-bit sums would wrap round to (0, 0).
  Surface far(POINT{INT_MIN, INT_MAX});
  far.UsePen(PS_SOLID, 5);
  far.Line(INT_MAX, INT_MIN, INT_MAX, INT_MIN);
  EXPECT_EQ((Pixels{{0, 0}, {1, 0}, {0, 1}}), far.Painted());
  Surface wrap(POINT{INT_MIN, INT_MIN});
  wrap.UsePen(PS_SOLID, 5);
  wrap.Line(INT_MIN, INT_MIN, INT_MIN, INT_MIN);
  wrap.UsePen(PS_SOLID, 1);
  wrap.Line(INT_MIN, INT_MIN, INT_MIN + 40, INT_MIN + 30);
  EXPECT_TRUE(wrap.Painted().empty());
}

}  // namespace
