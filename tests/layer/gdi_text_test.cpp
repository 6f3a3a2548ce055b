// TextOutA and the DC colours on our layer, read back from a surface of our own.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "w32/gdi_internal.h"

namespace {

constexpr uint32_t kPaper = 0x00203040;
constexpr COLORREF kBk = RGB(0, 0, 128), kInk = RGB(255, 200, 0);
constexpr uint32_t kBkPixel = 0x00000080, kInkPixel = 0x00FFC800;
constexpr int kW = 200, kH = 48;

struct Box {
  int left = kW, top = kH, right = 0, bottom = 0;  // of the changed pixels, right/bottom excluded
  int changed = 0, bk = 0, ink = 0;
};

class Surface {
 public:
  explicit Surface(const pixman_region32_t* clip = nullptr) {
    m_image = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, nullptr, 0);
    std::fill_n(pixman_image_get_data(m_image), kW * kH, kPaper);
    m_dc = w32::CreateDeviceContext(m_image, POINT{0, 0}, clip);
    SetBkColor(m_dc, kBk);
    SetTextColor(m_dc, kInk);
  }
  ~Surface() {
    w32::DestroyDeviceContext(m_dc);
    pixman_image_unref(m_image);
  }
  HDC Dc() const { return m_dc; }
  uint32_t At(int x, int y) const { return pixman_image_get_data(m_image)[y * kW + x] & 0x00FFFFFF; }
  Box Changes() const {
    Box b;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        uint32_t p = At(x, y);
        if (p == kPaper) continue;
        b.left = std::min(b.left, x), b.top = std::min(b.top, y);
        b.right = std::max(b.right, x + 1), b.bottom = std::max(b.bottom, y + 1);
        b.changed++, b.bk += p == kBkPixel, b.ink += p == kInkPixel;
      }
    return b;
  }

 private:
  pixman_image_t* m_image;
  HDC m_dc;
};

TEST(GdiText, ColourSettersReturnTheOldColours) {
  HDC fresh = w32::CreateDeviceContext(w32::Screen(), POINT{0, 0}, nullptr);
  EXPECT_EQ(RGB(255, 255, 255), SetBkColor(fresh, kBk));  // black on white to start with
  EXPECT_EQ(kBk, SetBkColor(fresh, 0));
  EXPECT_EQ(RGB(0, 0, 0), SetTextColor(fresh, kInk));
  EXPECT_EQ(kInk, SetTextColor(fresh, 0));
  w32::DestroyDeviceContext(fresh);
}

TEST(GdiText, OpaqueTextFillsItsCellBoxAndInksInsideIt) {
  Surface s;
  ASSERT_TRUE(TextOutA(s.Dc(), 10, 20, "Hello, world", 12));
  Box b = s.Changes();
  EXPECT_EQ(10, b.left);
  EXPECT_EQ(20, b.top);
  EXPECT_EQ(36, b.bottom);  // a 16-pixel cell
  EXPECT_GT(b.right - b.left, 12 * 4);
  EXPECT_LT(b.right - b.left, 12 * 12);
  EXPECT_EQ((b.right - b.left) * 16, b.changed) << "the whole box, nothing outside it";
  EXPECT_GT(b.bk, b.changed / 2);
  EXPECT_GT(b.ink, 40);
  int firstInk = kW, lastInk = 0;  // the pen moves along: ink spans the box
  for (int y = b.top; y < b.bottom; ++y)
    for (int x = b.left; x < b.right; ++x)
      if (s.At(x, y) == kInkPixel) firstInk = std::min(firstInk, x), lastInk = std::max(lastInk, x);
  EXPECT_LT(firstInk, b.left + 6);
  EXPECT_GT(lastInk, b.right - 8);
}

TEST(GdiText, TransparentTextLeavesTheBackgroundAlone) {
  Surface opaque, s;
  TextOutA(opaque.Dc(), 10, 20, "Hello, world", 12);
  Box cell = opaque.Changes();
  EXPECT_EQ(OPAQUE, SetBkMode(s.Dc(), TRANSPARENT));
  ASSERT_TRUE(TextOutA(s.Dc(), 10, 20, "Hello, world", 12));
  Box b = s.Changes();
  EXPECT_EQ(0, b.bk);
  EXPECT_GT(b.ink, 40);
  EXPECT_LT(b.changed, (cell.right - cell.left) * 16 / 2);
  EXPECT_TRUE(b.left >= cell.left && b.top >= cell.top && b.right <= cell.right && b.bottom <= cell.bottom);
}

TEST(GdiText, ArgumentsAndClipping) {
  Surface s;
  EXPECT_TRUE(TextOutA(s.Dc(), 0, 0, "abc", 0));
  EXPECT_TRUE(TextOutA(s.Dc(), 0, 0, nullptr, 0));
  EXPECT_FALSE(TextOutA(s.Dc(), 0, 0, nullptr, 3));
  EXPECT_FALSE(TextOutA(s.Dc(), 0, 0, "abc", -1));
  EXPECT_TRUE(TextOutA(s.Dc(), INT_MAX - 5, INT_MIN, "abc", 3));
  EXPECT_TRUE(TextOutA(s.Dc(), INT_MIN, INT_MAX - 3, "abc", 3));
  EXPECT_EQ(0, s.Changes().changed);

  pixman_region32_t clip;
  pixman_region32_init_rect(&clip, 0, 0, 30, kH);
  Surface clipped(&clip);
  const char text[] = "\x80 clipped \xE9t\xE9 text";
  EXPECT_TRUE(TextOutA(clipped.Dc(), -40, 5, text, int(sizeof text - 1)));
  Box b = clipped.Changes();
  EXPECT_EQ(0, b.left);
  EXPECT_EQ(30, b.right);
  EXPECT_EQ(30 * 16, b.changed);
  pixman_region32_fini(&clip);
}

}  // namespace
