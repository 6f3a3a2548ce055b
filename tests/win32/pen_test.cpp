// Which pixels LineTo paints with PS_SOLID pens of widths 0 to 8, drawn
// through the device context of a DirectDraw surface and read back through
// Lock. The expected pixels are what Windows paints, as Wine reproduces it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/recorder.h"
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
    // Wider pens: a round cap at each end and a band between; drawn either way.
    {2, {0, 0}, {0, 0}, "-1: -1..0 -1..0"},
    {2, {0, 0}, {5, 0}, "-1: -1..5 -1..5"},
    {2, {0, 0}, {-21, 0}, "-1: -22..0 -22..0"},
    {2, {0, 0}, {0, -5}, "-6: -1..0 -1..0 -1..0 -1..0 -1..0 -1..0 -1..0"},
    {2, {0, 0}, {4, 4}, "-1: -1..0 -1..1 -1..2 0..3 1..4 2..4"},
    {2, {0, 0}, {-4, 4}, "-1: -1..0 -2..0 -3..0 -4..-1 -5..-2 -5..-3"},
    {2, {0, 0}, {6, -3}, "-4: 5..6 4..6 2..6 -1..4 -1..2"},
    {2, {0, 0}, {-3, -8}, "-9: -4..-3 -4..-2 -3..-2 -3..-1 -2..-1 -2..-1 -2..0 -1..0 -1..0 -1..0"},
    {2, {0, 0}, {22, 9}, "-1: -1..0 -1..3 0..5 3..8 5..10 8..13 10..15 13..18 15..20 18..22 20..22"},
    {3, {0, 0}, {0, 0}, "-1: 0 -1..1 0"},
    {3, {0, 0}, {5, 0}, "-1: 0..5 -1..6 0..5"},
    {3, {0, 0}, {-21, 0}, "-1: -21..0 -22..1 -21..0"},
    {3, {0, 0}, {0, -5}, "-6: 0 -1..1 -1..1 -1..1 -1..1 -1..1 -1..1 0"},
    {3, {0, 0}, {4, 4}, "-1: 0..2 -1..3 -1..4 0..5 1..4 2..5 4"},
    {3, {0, 0}, {-4, 4}, "-1: 0 -2..1 -3..0 -4..1 -5..0 -5..-1 -4..-2"},
    {3, {0, 0}, {6, -3}, "-4: 6 3..7 1..6 -1..6 -1..4 0..2"},
    {3, {0, 0}, {-3, -8}, "-9: -3 -4..-1 -4..-1 -3..0 -3..0 -2..0 -2..1 -2..1 -1..1 -1..1 0"},
    {3, {0, 0}, {22, 9}, "-1: 0..3 -1..5 -1..8 2..10 4..13 7..15 9..18 12..20 14..22 17..22 19..23 22"},
    {4, {0, 0}, {0, 0}, "-2: -1..0 -2..1 -2..1 -1..0"},
    {4, {0, 0}, {5, 0}, "-2: -1..5 -2..6 -2..6 -1..5"},
    {4, {0, 0}, {-21, 0}, "-2: -22..0 -23..1 -23..1 -22..0"},
    {4, {0, 0}, {0, -5}, "-7: -1..0 -2..1 -2..1 -2..1 -2..1 -2..1 -2..1 -2..1 -1..0"},
    {4, {0, 0}, {4, 4}, "-2: -1..0 -2..2 -2..3 -1..4 0..5 1..5 2..5 3..4"},
    {4, {0, 0}, {-4, 4}, "-2: -1..0 -2..1 -2..1 -3..0 -5..1 -6..0 -6..-1 -5..-2"},
    {4, {0, 0}, {6, -3}, "-5: 5..6 3..7 1..7 -1..6 -2..6 -2..4 -1..2"},
    {4, {0, 0}, {-3, -8}, "-10: -4..-3 -5..-2 -5..-1 -5..-1 -4..0 -4..0 -3..0 -3..1 -3..1 -2..1 -2..1 -1..0"},
    {4, {0, 0}, {22, 9}, "-2: -1..0 -2..3 -2..5 -1..8 -1..10 2..13 4..15 7..18 9..20 12..22 14..23 17..23 19..22"},
    {5, {0, 0}, {0, 0}, "-2: -1..1 -2..2 -2..2 -2..2 -1..1"},
    {5, {0, 0}, {5, 0}, "-2: -1..6 -2..7 -2..7 -2..7 -1..6"},
    {5, {0, 0}, {-21, 0}, "-2: -22..1 -23..2 -23..2 -23..2 -22..1"},
    {5, {0, 0}, {0, -5}, "-7: -1..1 -2..2 -2..2 -2..2 -2..2 -2..2 -2..2 -2..2 -2..2 -1..1"},
    {5, {0, 0}, {4, 4}, "-2: -1..1 -2..2 -2..3 -2..4 -2..5 -1..6 0..6 1..6 3..5"},
    {5, {0, 0}, {-4, 4}, "-2: -1..1 -3..2 -4..2 -5..2 -6..1 -6..0 -6..-1 -6..-2 -5..-3"},
    {5, {0, 0}, {6, -3}, "-5: 5..7 3..8 1..8 -1..8 -2..7 -2..7 -2..5 -1..3"},
    {5, {0, 0}, {-3, -8}, "-10: -4..-2 -5..-1 -5..0 -5..0 -4..1 -4..1 -3..1 -3..2 -3..2 -2..2 -2..2 -2..2 -1..1"},
    {5, {0, 0}, {22, 9}, "-2: -1..3 -2..5 -2..8 -2..10 -1..13 2..15 4..18 7..20 9..22 12..23 14..24 17..24 19..24 "
                         "21..23"},
    {6, {0, 0}, {0, 0}, "-3: -1..0 -2..1 -3..2 -3..2 -2..1 -1..0"},
    {6, {0, 0}, {5, 0}, "-3: -1..5 -2..6 -3..7 -3..7 -2..6 -1..5"},
    {6, {0, 0}, {-21, 0}, "-3: -22..0 -23..1 -24..2 -24..2 -23..1 -22..0"},
    {6, {0, 0}, {0, -5}, "-8: -1..0 -2..1 -3..2 -3..2 -3..2 -3..2 -3..2 -3..2 -3..2 -2..1 -1..0"},
    {6, {0, 0}, {4, 4}, "-3: -1..0 -2..3 -3..4 -3..5 -2..6 -2..5 -1..6 0..6 1..5 3..4"},
    {6, {0, 0}, {-4, 4}, "-3: -1..0 -2..1 -3..2 -4..2 -5..1 -6..1 -7..2 -7..1 -6..0 -5..-4,-2..-1"},
    {6, {0, 0}, {6, -3}, "-6: 5..6 3..7 1..8 -1..8 -2..7 -3..7 -3..7 -2..5 -1..0,2..3"},
    {6, {0, 0}, {-3, -8}, "-11: -4..-3 -5..-2 -6..0 -6..0 -6..1 -5..1 -5..1 -4..2 -4..2 -4..2 -3..2 -3..2 -2..1 "
                          "-1..0"},
    {6, {0, 0}, {22, 9}, "-3: -1..0 -2..4 -3..6 -3..9 -2..11 -1..14 -1..16 2..19 4..21 7..23 9..23 12..24 14..24 "
                         "17..23 19..22"},
    {7, {0, 0}, {0, 0}, "-3: -1..1 -2..2 -3..3 -3..3 -3..3 -2..2 -1..1"},
    {7, {0, 0}, {5, 0}, "-3: -1..6 -2..7 -3..8 -3..8 -3..8 -2..7 -1..6"},
    {7, {0, 0}, {-21, 0}, "-3: -22..1 -23..2 -24..3 -24..3 -24..3 -23..2 -22..1"},
    {7, {0, 0}, {0, -5}, "-8: -1..1 -2..2 -3..3 -3..3 -3..3 -3..3 -3..3 -3..3 -3..3 -3..3 -2..2 -1..1"},
    {7, {0, 0}, {4, 4}, "-3: -1..1 -2..3 -3..4 -3..5 -3..6 -2..6 -1..7 0..7 1..7 2..6 3..5"},
    {7, {0, 0}, {-4, 4}, "-3: -1..1 -2..2 -3..3 -4..3 -5..3 -6..2 -7..2 -7..1 -7..0 -6..-1 -5..-3"},
    {7, {0, 0}, {6, -3}, "-6: 5..7 2..8 0..9 -2..9 -2..9 -3..8 -3..7 -3..7 -2..5 -1..3"},
    {7, {0, 0}, {-3, -8}, "-11: -4..-2 -5..-1 -6..1 -6..1 -6..2 -5..2 -5..2 -4..3 -4..3 -4..3 -3..3 -3..3 -3..3 "
                          "-2..2 -1..1"},
    {7, {0, 0}, {22, 9}, "-3: -1..4 -2..6 -3..9 -3..11 -3..14 -2..16 -1..19 2..21 4..23 7..23 9..24 12..25 14..25 "
                         "17..25 19..24 21..23"},
    {8, {0, 0}, {0, 0}, "-4: -2..1 -3..2 -4..3 -4..3 -4..3 -4..3 -3..2 -2..1"},
    {8, {0, 0}, {5, 0}, "-4: -2..6 -3..7 -4..8 -4..8 -4..8 -4..8 -3..7 -2..6"},
    {8, {0, 0}, {-21, 0}, "-4: -23..1 -24..2 -25..3 -25..3 -25..3 -25..3 -24..2 -23..1"},
    {8, {0, 0}, {0, -5}, "-9: -2..1 -3..2 -4..3 -4..3 -4..3 -4..3 -4..3 -4..3 -4..3 -4..3 -4..3 -3..2 -2..1"},
    {8, {0, 0}, {4, 4}, "-4: -2..1 -3..2 -4..3 -4..4 -4..5 -4..6 -3..7 -3..7 -2..7 -1..7 0..6 2..5"},
    {8, {0, 0}, {-4, 4}, "-4: -2..1 -3..2 -4..3 -5..3 -6..3 -7..3 -8..2 -8..2 -8..1 -8..0 -7..-1 -6..-3"},
    {8, {0, 0}, {6, -3}, "-7: 4..7 2..8 0..9 -2..9 -3..9 -4..9 -4..8 -4..7 -4..7 -3..5 -2..3"},
    {8, {0, 0}, {-3, -8}, "-12: -5..-2 -6..-1 -7..0 -7..1 -7..1 -7..2 -6..2 -6..2 -5..3 -5..3 -5..3 -4..3 -4..3 "
                          "-4..3 -3..2 -2..1"},
    {8, {0, 0}, {22, 9}, "-4: -2..1 -3..4 -4..6 -4..9 -4..11 -4..14 -3..16 -2..19 -2..21 1..23 3..24 6..25 8..25 "
                         "11..25 13..25 16..24 18..23"},
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

// Windows documents that DeleteObject refuses an object still selected into
// a device context: zero, and the pen stays selected and usable, and alive
// once deselected until it is deleted again. Wine answers TRUE instead and
// deletes the pen when it is deselected.
TEST_F(PenTest, DeletingASelectedPenLeavesItSelected) {
  HDC dc = NULL;
  ASSERT_EQ(DD_OK, m_surface->GetDC(&dc));
  const size_t objects = GdiObjectCount();
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HGDIOBJ old = SelectObject(dc, pen);
  const BOOL deleted = DeleteObject(pen);
  MoveToEx(dc, 0, 5, NULL);
  EXPECT_TRUE(LineTo(dc, 10, 5));
  EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 5, 5)) << "the pen still draws";
  EXPECT_EQ(pen, SelectObject(dc, old)) << "the pen was still selected";
  if (UnderWine()) {
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(DeleteObject(pen)) << "gone once deselected";
  } else {
    EXPECT_FALSE(deleted);
    EXPECT_EQ(objects + 1, GdiObjectCount()) << "still there once deselected";
    EXPECT_TRUE(DeleteObject(pen));
  }
  EXPECT_EQ(objects, GdiObjectCount());
  m_surface->ReleaseDC(dc);
}

// A context handed back with the program's pen still selected lets go of
// it: the pen can then be deleted, and nothing is left behind.
TEST_F(PenTest, APenLeftSelectedInAContextHandedBackCanBeDeleted) {
  TestWindow w(kFramedStyle, 0, 0, 120, 100);
  const size_t objects = GdiObjectCount();
  for (int onSurface = 0; onSurface < 2; ++onSurface) {
    HDC dc = NULL;
    if (onSurface)
      ASSERT_EQ(DD_OK, m_surface->GetDC(&dc));
    else
      ASSERT_TRUE(dc = GetDC(w.hwnd()));
    HPEN pen = CreatePen(PS_SOLID, 5, RGB(255, 0, 0));
    ASSERT_TRUE(SelectObject(dc, pen));
    if (onSurface)
      EXPECT_EQ(DD_OK, m_surface->ReleaseDC(dc));
    else
      EXPECT_EQ(1, ReleaseDC(w.hwnd(), dc));
    EXPECT_TRUE(DeleteObject(pen)) << (onSurface ? "a surface's context" : "a window's context");
  }
  EXPECT_EQ(objects, GdiObjectCount());
}

}  // namespace
