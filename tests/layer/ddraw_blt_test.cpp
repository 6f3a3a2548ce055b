// IDirectDrawSurface::Blt on our layer: refusals, fills, copies, the
// nearest-centre stretch, and clipping to a window on the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <tuple>
#include <vector>

#include "headless.h"
#include "support/recorder.h"
#include "support/rect.h"
#include "support/surface.h"
#include "w32/ddraw/blit.h"
#include "w32/internal.h"

namespace {

constexpr uint32_t kSentinel = 0x00A5A5A5;
uint32_t Sentinel(int, int) { return kSentinel; }
uint32_t Coded(int x, int y) { return (uint32_t(x) << 12) | uint32_t(y); }  // says where it is

IDirectDrawSurface* Plain(IDirectDraw* dd, int w, int h) { return NewSurface(dd, DDSCAPS_OFFSCREENPLAIN, w, h); }
bool Contains(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// True when source offset `s` lies under the centre of destination offset
// `i`: s <= (i + 1/2) * sourceSize / destSize < s + 1.
bool UnderCentre(int64_t s, int64_t i, int64_t sourceSize, int64_t destSize) {
  int64_t centre = (2 * i + 1) * sourceSize;
  return 2 * destSize * s <= centre && centre < 2 * destSize * (s + 1);
}

SurfacePixels Read(IDirectDrawSurface* s) {
  SurfacePixels img;
  EXPECT_TRUE(ReadSurface(s, &img));
  return img;
}

// Each pixel of `img` shows Coded `from` stretched onto `to` where
// written(x, y), and outside(x, y) elsewhere.
void ExpectMapping(const SurfacePixels& img, const RECT& to, const RECT& from,
                   const std::function<bool(int, int)>& written,
                   const std::function<uint32_t(int, int)>& outside = Sentinel) {
  const int64_t dw = int64_t(to.right) - to.left, dh = int64_t(to.bottom) - to.top;
  const int64_t sw = from.right - from.left, sh = from.bottom - from.top;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      uint32_t p = img.at(x, y);
      if (!written(x, y))
        ASSERT_EQ(outside(x, y), p) << "touched " << x << "," << y;
      else
        ASSERT_TRUE(UnderCentre(int(p >> 12) - from.left, x - to.left, sw, dw) &&
                    UnderCentre(int(p & 0xFFF) - from.top, y - to.top, sh, dh))
            << x << "," << y << " shows " << (p >> 12) << "," << (p & 0xFFF) << " for " << sw << "x" << sh << " -> "
            << dw << "x" << dh;
    }
}
void ExpectMapping(IDirectDrawSurface* s, const RECT& to, const RECT& from, const RECT& written) {
  ExpectMapping(Read(s), to, from, [&](int x, int y) { return Contains(written, x, y); });
}

// Runs `check` at each width of vectors this CPU has, down to pixel by pixel.
void AtEachVectorWidth(const std::function<void()>& check) {
  const int widest = w32::BlitVectorBits();
  for (int bits : {512, 256, 0}) {
    if (bits > widest) continue;
    SCOPED_TRACE(testing::Message() << bits << "-bit vectors");
    w32::LimitBlitVectors(bits);
    check();
    if (testing::Test::HasFatalFailure()) break;
  }
  w32::LimitBlitVectors(widest);
}

RECT ClientOnScreen(HWND hwnd) {
  RECT r;
  GetClientRect(hwnd, &r);
  POINT p{0, 0};
  ClientToScreen(hwnd, &p);
  OffsetRect(&r, p.x, p.y);
  return r;
}

TEST(DirectDrawBlt, RefusalsTouchNothing) {
  IDirectDraw* dd = NewDirectDraw();
  IDirectDrawSurface *dst = Plain(dd, 40, 30), *src = Plain(dd, 20, 10);
  PaintSurface(dst, Sentinel);
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  RECT empty{5, 5, 5, 9}, inverted{9, 5, 5, 9}, partly{30, 20, 41, 30}, srcOut{0, 0, 21, 10}, srcNeg{-1, 0, 5, 5};
  const DWORD kFill = DDBLT_COLORFILL;
  const struct { IDirectDrawSurface* source; DWORD flags; DDBLTFX* fx; } bad[] = {
      {src, DDBLT_WAIT | 0x80000000, nullptr}, {src, 0x00000001 /*DDBLT_ALPHADEST*/, nullptr},
      {nullptr, kFill, nullptr}, {src, kFill, &fx}, {nullptr, DDBLT_WAIT, nullptr},
      {reinterpret_cast<IDirectDrawSurface*>(&fx), 0, nullptr}};
  for (const auto& c : bad)
    EXPECT_EQ(DDERR_INVALIDPARAMS, dst->Blt(nullptr, c.source, nullptr, c.flags, c.fx)) << &c - bad;
  for (RECT* to : {&empty, &inverted, &partly}) {  // no clipper: the destination must fit
    EXPECT_EQ(DDERR_INVALIDRECT, dst->Blt(to, src, nullptr, 0, nullptr)) << to->left << "," << to->right;
    EXPECT_EQ(DDERR_INVALIDRECT, dst->Blt(to, nullptr, nullptr, kFill, &fx)) << to->left << "," << to->right;
  }
  for (RECT* from : {&srcOut, &srcNeg, &empty, &inverted})
    EXPECT_EQ(DDERR_INVALIDRECT, dst->Blt(nullptr, src, from, 0, nullptr)) << from->left << "," << from->right;

  // A held DC or lock keeps both ends busy, colour fills included.
  HDC dc = nullptr;
  ASSERT_EQ(DD_OK, src->GetDC(&dc));
  EXPECT_EQ(DDERR_SURFACEBUSY, dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr));
  EXPECT_EQ(DDERR_SURFACEBUSY, src->Blt(nullptr, nullptr, nullptr, kFill, &fx));
  EXPECT_EQ(DD_OK, src->ReleaseDC(dc));
  DDSURFACEDESC d = SurfaceDesc(0);
  ASSERT_EQ(DD_OK, dst->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
  EXPECT_EQ(DDERR_SURFACEBUSY, dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr));
  EXPECT_EQ(DD_OK, dst->Unlock(nullptr));

  // A clipper with no window has no clip list; one whose window died fails.
  IDirectDrawClipper* c = NewClipper(dd);
  ASSERT_EQ(DD_OK, dst->SetClipper(c));
  EXPECT_EQ(DDERR_NOCLIPLIST, dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr));
  ASSERT_EQ(DD_OK, c->SetHWnd(0, TestWindow(kFramedStyle, 0, 0, 100, 100).hwnd()));
  EXPECT_EQ(DDERR_GENERIC, dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr));
  for (uint32_t p : Read(dst).pixels) ASSERT_EQ(kSentinel, p);
}

TEST(DirectDrawBlt, FillsAndCopiesOntoTheSameSurface) {
  IDirectDraw* dd = NewDirectDraw();
  IDirectDrawSurface* s = Plain(dd, 30, 20);
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 0xFF102030;  // the unused top byte is ignored
  RECT band{3, 2, 30, 5};
  ASSERT_EQ(DD_OK, s->Blt(&band, nullptr, nullptr, DDBLT_COLORFILL, &fx));
  SurfacePixels img = Read(s);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(Contains(band, x, y) ? 0x00102030u : 0u, img.at(x, y)) << x << "," << y;

  PaintSurface(s, Coded);
  // Overlapping on one surface, both ways: every read comes before any write.
  RECT a{0, 0, 29, 19}, b{1, 1, 30, 20};
  ASSERT_EQ(DD_OK, s->Blt(&b, s, &a, DDBLT_WAIT, nullptr));
  ASSERT_EQ(DD_OK, s->Blt(&a, s, &b, DDBLT_WAIT, nullptr));
  img = Read(s);
  for (int y = 0; y < 19; ++y)
    for (int x = 0; x < 29; ++x) ASSERT_EQ(Coded(x, y), img.at(x, y)) << x << "," << y;
}

TEST(DirectDrawStretch, EveryPixelTakesTheSourcePixelUnderItsCentre) {
  // Shrinks, grows, odd sizes, and ratios a 16.16 step gets wrong.
  const int sizes[] = {1, 2, 3, 5, 7, 8, 13, 31, 64, 97, 100, 127, 160, 199};
  IDirectDraw* dd = NewDirectDraw();
  IDirectDrawSurface *src = Plain(dd, 210, 210), *dst = Plain(dd, 220, 220);
  PaintSurface(src, Coded);
  IDirectDrawSurface* vga = Plain(dd, 640, 480);
  PaintSurface(vga, Coded);
  AtEachVectorWidth([&] {
    int n = 0;
    for (int sw : sizes)
      for (int dw : sizes) {
        // Heights walk the same list out of step, so rows meet other pairs.
        int sh = sizes[(n * 5 + 3) % 14], dh = sizes[(n * 3 + 7) % 14];
        ++n;
        PaintSurface(dst, Sentinel);
        RECT from{3, 5, 3 + sw, 5 + sh}, to{11, 7, 11 + dw, 7 + dh};
        ASSERT_EQ(DD_OK, dst->Blt(&to, src, &from, DDBLT_WAIT, nullptr));
        ExpectMapping(dst, to, from, to);
        if (HasFatalFailure()) return;
      }

    // Whole factors, which read several groups from one load, from columns
    // that do not start a group; and one wider than a row of groups' sources.
    for (auto [sw, dw, left] : {std::tuple{20, 40, 3}, {37, 74, 0}, {64, 128, 5}, {13, 39, 1}, {10, 200, 2}}) {
      PaintSurface(dst, Sentinel);
      RECT from{1, 2, 1 + sw, 2 + 9}, to{left, 4, left + dw, 4 + 18};
      ASSERT_EQ(DD_OK, dst->Blt(&to, src, &from, DDBLT_WAIT, nullptr));
      ExpectMapping(dst, to, from, to);
      if (HasFatalFailure()) return;
    }

    // The program's own case, 640 x 480 at 4K and at a width that is no
    // multiple (its groups reach the source row's right end), a row and a
    // column of it.
    for (auto [from, to] : {std::pair{RECT{0, 17, 640, 18}, RECT{0, 0, 3840, 1}},
                            std::pair{RECT{0, 17, 640, 18}, RECT{0, 0, 1366, 1}},
                            std::pair{RECT{101, 0, 102, 480}, RECT{0, 0, 1, 2160}}}) {
      IDirectDrawSurface* out = Plain(dd, to.right, to.bottom);
      ASSERT_EQ(DD_OK, out->Blt(nullptr, vga, &from, DDBLT_WAIT, nullptr));
      ExpectMapping(out, to, from, to);
      out->Release();
    }

  });

  // An area larger than the caches, whose rows are copied past them, on
  // rows of an odd width that start at every alignment: the same pixels at
  // each width of vectors as pixel by pixel.
  IDirectDrawSurface* big = Plain(dd, 2053, 2100);
  RECT to{3, 1, 3 + 2047, 1 + 2098}, from{5, 2, 5 + 631, 2 + 477};
  std::vector<SurfacePixels> shown;
  AtEachVectorWidth([&] {
    PaintSurface(big, Sentinel);
    ASSERT_EQ(DD_OK, big->Blt(&to, vga, &from, DDBLT_WAIT, nullptr));
    shown.push_back(Read(big));
  });
  for (const SurfacePixels& img : shown) EXPECT_TRUE(img.pixels == shown.back().pixels);
}

TEST(DirectDrawStretch, ClippingNeverChangesTheMapping) {
  // The clip list is in screen coordinates and applies as it stands to an
  // offscreen surface: a client area at the screen's origin cuts it to size,
  // and a window over it cuts a hole, so rows of the hole's height are
  // written in two pieces, the second starting inside a group. (A popup:
  // a framed window could not be made this small.)
  TestWindow w(WS_POPUP | WS_VISIBLE, 0, 0, 70, 45);
  const RECT client = ClientOnScreen(w.hwnd());
  ASSERT_EQ((RECT{0, 0, 70, 45}), client);
  const RECT cover{9, 13, 31, 20};
  headless::CoverAt(0, cover);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  IDirectDraw* dd = NewDirectDraw();
  IDirectDrawSurface *src = Plain(dd, 90, 90), *dst = Plain(dd, 100, 80);
  PaintSurface(src, Coded);
  ASSERT_EQ(DD_OK, dst->SetClipper(NewClipper(dd, w.hwnd())));
  RECT from{2, 1, 85, 78};
  AtEachVectorWidth([&] {
    for (RECT to : {RECT{-37, -11, 250, 190}, RECT{-1000, -999, 60, 40}, RECT{13, 9, 14, 3000}, RECT{200, 0, 300, 9},
                    RECT{1, 2, 69, 44}}) {
      PaintSurface(dst, Sentinel);
      ASSERT_EQ(DD_OK, dst->Blt(&to, src, &from, DDBLT_WAIT, nullptr));
      // Empty for {200, 0, 300, 9}: nothing to do, and no error.
      ExpectMapping(Read(dst), to, from,
                    [&](int x, int y) { return Contains(to, x, y) && Contains(client, x, y) && !Contains(cover, x, y); });
      if (HasFatalFailure()) return;
    }
  });
}

// Collects what the layer reports as changed on the screen.
struct RecordingHost : w32::Host {
  w32::Host& inner = w32::CurrentHost();
  std::vector<RECT> changes;
  RecordingHost() { w32::SetHost(this); }
  ~RecordingHost() override { w32::SetHost(nullptr); }
  DWORD Now() override { return inner.Now(); }
  bool Wait(std::optional<DWORD> deadline) override { return inner.Wait(deadline); }
  void Sleep(DWORD ms) override { inner.Sleep(ms); }
  bool PollInput(MSG* msg) override { return inner.PollInput(msg); }
  int ShowMessageBox(HWND o, const char* t, const char* c, UINT u) override { return inner.ShowMessageBox(o, t, c, u); }
  void ScreenChanged(const RECT& r) override { changes.push_back(r); }
};

TEST(DirectDrawBltPrimary, WritesOnlyTheWindowsVisibleClientArea) {
  const int width = headless::ScreenWidth(), height = headless::ScreenHeight();
  // Off the left and bottom of the screen, partly under another application's window.
  TestWindow w(kFramedStyle, -40, height - 150, 300, 200);
  const RECT cover{100, height - 120, 160, height - 60};
  headless::CoverAt(0, cover);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  RECT client = ClientOnScreen(w.hwnd());
  ASSERT_TRUE(client.left < 0 && client.bottom > height);

  IDirectDraw* dd = NewDirectDraw();
  IDirectDrawSurface *primary = NewSurface(dd, DDSCAPS_PRIMARYSURFACE), *src = Plain(dd, 64, 48);
  PaintSurface(src, Coded);
  ASSERT_EQ(DD_OK, primary->SetClipper(NewClipper(dd, w.hwnd())));
  SurfacePixels before{width, height, headless::ScreenPixels()};
  {
    RecordingHost recorder;
    ASSERT_EQ(DD_OK, primary->Blt(&client, src, nullptr, DDBLT_WAIT, nullptr));
    // Told: the on-screen part of the client area, around the cover.
    int64_t told = 0;
    for (const RECT& r : recorder.changes) {
      RECT in, hidden;
      EXPECT_TRUE(IntersectRect(&in, &r, &client) && in == r);
      EXPECT_FALSE(IntersectRect(&hidden, &r, &cover));
      told += int64_t(r.right - r.left) * (r.bottom - r.top);
    }
    EXPECT_EQ(int64_t(client.right) * (height - client.top) - 60 * 60, told);
  }
  auto visible = [&](int x, int y) { return Contains(client, x, y) && !Contains(cover, x, y); };
  ExpectMapping(SurfacePixels{width, height, headless::ScreenPixels()}, client, RECT{0, 0, 64, 48}, visible,
                [&](int x, int y) { return before.at(x, y); });

  // Minimised: the clip list is empty, so nothing is written or reported.
  ShowWindow(w.hwnd(), SW_MINIMIZE);
  before.pixels = headless::ScreenPixels();
  {
    RecordingHost recorder;
    EXPECT_EQ(DD_OK, primary->Blt(&client, src, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_TRUE(recorder.changes.empty());
  }
  EXPECT_TRUE(before.pixels == headless::ScreenPixels());

  // Without a clipper the rectangle must fit the screen.
  ASSERT_EQ(DD_OK, primary->SetClipper(nullptr));
  EXPECT_EQ(DDERR_INVALIDRECT, primary->Blt(&client, src, nullptr, DDBLT_WAIT, nullptr));
  RECT corner{width - 64, height - 48, width, height};
  ASSERT_EQ(DD_OK, primary->Blt(&corner, src, nullptr, DDBLT_WAIT, nullptr));
  EXPECT_EQ(Coded(63, 47), headless::ScreenPixel(width - 1, height - 1));
}

// Presenting a frame again hands the display only what changed: nothing
// for the same frame, and around each band of changed rows otherwise, at
// the same scale and stretched.
TEST(DirectDrawBltPrimary, ReportsOnlyWhatChanged) {
  TestWindow w(kFramedStyle, 10, 10, 400, 300);
  const RECT client = ClientOnScreen(w.hwnd());
  IDirectDraw* dd = NewDirectDraw();
  IDirectDrawSurface *primary = NewSurface(dd, DDSCAPS_PRIMARYSURFACE), *src = Plain(dd, 64, 48);
  ASSERT_EQ(DD_OK, primary->SetClipper(NewClipper(dd, w.hwnd())));
  const RECT sameSize{client.left, client.top, client.left + 64, client.top + 48};
  for (RECT to : {sameSize, client}) {
    SCOPED_TRACE(to.right - to.left);
    PaintSurface(src, Coded);
    // The destination pixels that show source pixel (sx, sy).
    auto shows = [&](int sx, int sy) {
      RECT r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
      for (int x = to.left; x < to.right; ++x)
        for (int y = to.top; y < to.bottom; ++y)
          if (UnderCentre(sx, x - to.left, 64, to.right - to.left) &&
              UnderCentre(sy, y - to.top, 48, to.bottom - to.top))
            r = RECT{std::min<LONG>(r.left, x), std::min<LONG>(r.top, y), std::max<LONG>(r.right, x + 1),
                     std::max<LONG>(r.bottom, y + 1)};
      return r;
    };
    ASSERT_EQ(DD_OK, primary->Blt(&to, src, nullptr, DDBLT_WAIT, nullptr));
    {
      RecordingHost recorder;
      ASSERT_EQ(DD_OK, primary->Blt(&to, src, nullptr, DDBLT_WAIT, nullptr));
      EXPECT_TRUE(recorder.changes.empty());
    }
    // One pixel; then two far apart in rows and columns, two bands.
    auto mark = [&](RECT r) {
      HDC dc;
      ASSERT_EQ(DD_OK, src->GetDC(&dc));
      FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      src->ReleaseDC(dc);
    };
    mark(RECT{40, 20, 41, 21});
    {
      RecordingHost recorder;
      ASSERT_EQ(DD_OK, primary->Blt(&to, src, nullptr, DDBLT_WAIT, nullptr));
      EXPECT_EQ(std::vector<RECT>{shows(40, 20)}, recorder.changes);
    }
    mark(RECT{3, 2, 4, 3});
    mark(RECT{60, 40, 61, 41});
    {
      RecordingHost recorder;
      ASSERT_EQ(DD_OK, primary->Blt(&to, src, nullptr, DDBLT_WAIT, nullptr));
      EXPECT_EQ((std::vector<RECT>{shows(3, 2), shows(60, 40)}), recorder.changes);
    }
    // Back to the first frame: the skipped rows and columns were right all along.
    const SurfacePixels before{headless::ScreenWidth(), headless::ScreenHeight(), headless::ScreenPixels()};
    PaintSurface(src, Coded);
    ASSERT_EQ(DD_OK, primary->Blt(&to, src, nullptr, DDBLT_WAIT, nullptr));
    ExpectMapping(SurfacePixels{before.width, before.height, headless::ScreenPixels()}, to, RECT{0, 0, 64, 48},
                  [&](int x, int y) { return Contains(to, x, y); }, [&](int x, int y) { return before.at(x, y); });
  }
}

}  // namespace
