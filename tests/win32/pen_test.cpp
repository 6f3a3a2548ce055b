// Which pixels LineTo paints with PS_SOLID pens of widths 0 and 1, drawn
// through the device context of a DirectDraw surface and read back through
// Lock. The expected pixels are what Windows paints, as Wine reproduces it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/surface.h"

namespace {

constexpr int kSize = 64, kCentre = 32;
const uint32_t kPaper = 0x203040, kRed = 0xFF0000;

// One line from `from` to `to` (relative to the surface's centre) and what it
// paints: "top: row row ...", rows from the top painted row down, each row
// its runs of pixels ("left..right", or "x" for one) separated by commas.
struct Stroke {
  int width;
  POINT from, to;
  const char* painted;
};

const Stroke kStrokes[] = {
    // Width 1: no last pixel; a pixel halfway between two goes up or left,
    // whichever way the line runs.
    {1, {0, 0}, {0, 0}, ""},
    {1, {0, 0}, {5, 0}, "0: 0..4"},
    {1, {0, 0}, {-21, 0}, "0: -20..0"},
    {1, {0, 0}, {0, -5}, "-4: 0 0 0 0 0"},
    {1, {0, 0}, {4, 4}, "0: 0 1 2 3"},
    {1, {0, 0}, {-4, 4}, "0: 0 -1 -2 -3"},
    {1, {0, 0}, {6, -3}, "-3: 5 3..4 1..2 0"},
    {1, {0, 0}, {-3, -8}, "-7: -3 -2 -2 -2 -1 -1 0 0"},
    {1, {0, 0}, {22, 9}, "0: 0..1 2..3 4..6 7..8 9..11 12..13 14..15 16..18 19..20 21"},
    {1, {0, 0}, {-5, -16}, "-15: -5 -4 -4 -4 -3 -3 -3 -3 -2 -2 -2 -1 -1 -1 0 0"},
    {1, {6, -3}, {0, 0}, "-3: 5..6 3..4 1..2"},
    {1, {-3, -8}, {0, 0}, "-8: -3 -3 -2 -2 -2 -1 -1 0"},
    {1, {22, 9}, {0, 0}, "0: 1 2..3 4..6 7..8 9..11 12..13 14..15 16..18 19..20 21..22"},
    {1, {-5, -16}, {0, 0}, "-16: -5 -5 -4 -4 -4 -3 -3 -3 -3 -2 -2 -2 -1 -1 -1 0"},
};

class PenTest : public testing::Test {
 protected:
  void SetUp() override {
    m_dd = NewDirectDraw();
    ASSERT_TRUE(m_dd);
    m_surface = NewSurface(m_dd, DDSCAPS_OFFSCREENPLAIN, kSize, kSize);
    ASSERT_TRUE(m_surface);
  }
  void TearDown() override {
    if (m_dd) m_dd->Release();  // the surface goes with it
  }

  // Draws one line with `pen` on fresh paper and describes what it painted
  // as kStrokes does; every painted pixel must be red. LineTo must leave the
  // current position at the line's end.
  std::string Draw(HGDIOBJ pen, POINT from, POINT to) {
    const RECT all = {0, 0, kSize, kSize};
    EXPECT_TRUE(FillSurface(m_surface, all, kPaper));
    HDC dc = NULL;
    if (m_surface->GetDC(&dc) != DD_OK) return "no DC";
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, kCentre + from.x, kCentre + from.y, NULL);
    EXPECT_TRUE(LineTo(dc, kCentre + to.x, kCentre + to.y));
    POINT at = {0, 0};
    MoveToEx(dc, 0, 0, &at);
    EXPECT_TRUE(at.x == kCentre + to.x && at.y == kCentre + to.y);
    SelectObject(dc, old);
    m_surface->ReleaseDC(dc);

    SurfacePixels s;
    if (!ReadSurface(m_surface, &s)) return "unreadable";
    std::string rows;
    int top = -1, last = 0;
    for (int y = 0; y < kSize; ++y) {
      std::string row;
      for (int x = 0; x < kSize; ++x) {
        if (s.at(x, y) == kPaper) continue;
        EXPECT_EQ(kRed, s.at(x, y)) << x - kCentre << "," << y - kCentre;
        int right = x;
        while (right + 1 < kSize && s.at(right + 1, y) != kPaper) ++right;
        char run[32];
        if (right == x)
          std::snprintf(run, sizeof run, "%d", x - kCentre);
        else
          std::snprintf(run, sizeof run, "%d..%d", x - kCentre, right - kCentre);
        row += (row.empty() ? "" : ",") + std::string(run);
        x = right;
      }
      if (row.empty()) continue;
      rows += std::string(top < 0 ? 1 : y - last, ' ') + row;  // one more space per unpainted row
      if (top < 0) top = y;
      last = y;
    }
    return top < 0 ? "" : std::to_string(top - kCentre) + ":" + rows;
  }

  IDirectDraw* m_dd = NULL;
  IDirectDrawSurface* m_surface = NULL;
};

TEST_F(PenTest, SolidPensPaintWhatWindowsPaints) {
  for (const Stroke& s : kStrokes) {
    SCOPED_TRACE(testing::Message() << "width " << s.width << " from " << s.from.x << "," << s.from.y << " to "
                                    << s.to.x << "," << s.to.y);
    HPEN pen = CreatePen(PS_SOLID, s.width, RGB(255, 0, 0));
    EXPECT_EQ(s.painted, Draw(pen, s.from, s.to));
    if (s.width > 1) {
      EXPECT_EQ(s.painted, Draw(pen, s.to, s.from)) << "drawn the other way";
    } else {
      HPEN zero = CreatePen(PS_SOLID, 0, RGB(255, 0, 0));
      EXPECT_EQ(s.painted, Draw(zero, s.from, s.to)) << "width 0";
      DeleteObject(zero);
    }
    DeleteObject(pen);
  }
}

TEST_F(PenTest, NullPensMoveWithoutPainting) {
  HPEN pen = CreatePen(PS_NULL, 5, RGB(255, 0, 0));
  const POINT from = {-10, -10}, to = {12, 7};
  EXPECT_EQ("", Draw(pen, from, to));
  EXPECT_EQ("", Draw(GetStockObject(NULL_PEN), to, from));
  DeleteObject(pen);
}

}  // namespace
