// TextOutA and the DC colours on our layer, read back from an image of our own.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "support/dc_surface.h"

namespace {

constexpr COLORREF kBk = RGB(0, 0, 128), kInk = RGB(255, 200, 0);
constexpr uint32_t kBkPixel = 0x00000080, kInkPixel = 0x00FFC800;

// A 200x48 page with the background and ink colours above.
struct Page : DcSurface {
  explicit Page(const pixman_region32_t* clip = nullptr) : DcSurface(200, 48, POINT{0, 0}, clip) {
    SetBkColor(Dc(), kBk);
    SetTextColor(Dc(), kInk);
  }
};

// The box of the changed pixels (right and bottom excluded), how many there
// are in each colour, and the columns of the first and last ink.
struct Changes {
  int left = INT_MAX, top = INT_MAX, right = 0, bottom = 0, changed = 0, bk = 0, ink = 0;
  int firstInk = INT_MAX, lastInk = 0;
  explicit Changes(const DcSurface& s) {
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x) {
        const uint32_t p = s.At(x, y);
        if (p == DcSurface::kPaper) continue;
        left = std::min(left, x), top = std::min(top, y), right = std::max(right, x + 1);
        bottom = std::max(bottom, y + 1), changed++, bk += p == kBkPixel;
        if (p == kInkPixel) ink++, firstInk = std::min(firstInk, x), lastInk = std::max(lastInk, x);
      }
  }
};

TEST(GdiText, OpaqueTextFillsItsCellBoxTransparentTextOnlyInks) {
  Page opaque, transparent;
  ASSERT_TRUE(TextOutA(opaque.Dc(), 10, 20, "Hello, world", 12));
  Changes b(opaque);
  EXPECT_TRUE(b.left == 10 && b.top == 20 && b.bottom == 36) << "a 16-pixel cell at the position";
  EXPECT_TRUE(b.right - b.left > 12 * 4 && b.right - b.left < 12 * 12) << b.right;
  EXPECT_EQ((b.right - b.left) * 16, b.changed) << "the whole box, nothing outside it";
  EXPECT_GT(b.bk, b.changed / 2);
  EXPECT_GT(b.ink, 40);
  EXPECT_LT(b.firstInk, b.left + 6) << "the pen moves along: ink spans the box";
  EXPECT_GT(b.lastInk, b.right - 8);

  EXPECT_EQ(OPAQUE, SetBkMode(transparent.Dc(), TRANSPARENT));
  ASSERT_TRUE(TextOutA(transparent.Dc(), 10, 20, "Hello, world", 12));
  Changes t(transparent);
  EXPECT_EQ(0, t.bk);
  EXPECT_GT(t.ink, 40);
  EXPECT_LT(t.changed, (b.right - b.left) * 16 / 2);
  EXPECT_TRUE(t.left >= b.left && t.top >= b.top && t.right <= b.right && t.bottom <= b.bottom);
}

TEST(GdiText, ColoursArgumentsAndClipping) {
  HDC fresh = w32::CreateDeviceContext(w32::Screen(), POINT{0, 0}, nullptr);
  EXPECT_EQ(RGB(255, 255, 255), SetBkColor(fresh, kBk));  // black on white to start with
  EXPECT_EQ(kBk, SetBkColor(fresh, 0));
  EXPECT_EQ(RGB(0, 0, 0), SetTextColor(fresh, kInk));
  EXPECT_EQ(kInk, SetTextColor(fresh, 0));
  w32::DestroyDeviceContext(fresh);

  Page s;
  EXPECT_TRUE(TextOutA(s.Dc(), 0, 0, "abc", 0));
  EXPECT_TRUE(TextOutA(s.Dc(), 0, 0, nullptr, 0));
  EXPECT_FALSE(TextOutA(s.Dc(), 0, 0, nullptr, 3));
  EXPECT_FALSE(TextOutA(s.Dc(), 0, 0, "abc", -1));
  EXPECT_TRUE(TextOutA(s.Dc(), INT_MAX - 5, INT_MIN, "abc", 3));
  EXPECT_TRUE(TextOutA(s.Dc(), INT_MIN, INT_MAX - 3, "abc", 3));
  EXPECT_EQ(0, Changes(s).changed);

  pixman_region32_t clip;
  pixman_region32_init_rect(&clip, 0, 0, 30, 48);
  Page clipped(&clip);
  const char text[] = "\x80 clipped \xE9t\xE9 text";
  EXPECT_TRUE(TextOutA(clipped.Dc(), -40, 5, text, int(sizeof text - 1)));
  Changes c(clipped);
  EXPECT_TRUE(c.left == 0 && c.right == 30 && c.changed == 30 * 16) << c.left << ".." << c.right;
  pixman_region32_fini(&clip);
}

}  // namespace
