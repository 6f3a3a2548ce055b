// IDirectDrawSurface::Blt on our layer: refusals, fills, copies, the
// nearest-centre stretch, and clipping to a window on the screen.
#include <gtest/gtest.h>

#include <vector>

#include "headless.h"
#include "w32/internal.h"
#include "win32.h"

namespace {

struct Fixture {
  IDirectDraw* dd = nullptr;
  Fixture() {
    EXPECT_EQ(DD_OK, DirectDrawCreate(nullptr, &dd, nullptr));
    EXPECT_EQ(DD_OK, dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
  }
  IDirectDrawSurface* Surface(DWORD caps, int width = 0, int height = 0) {
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | (width ? DDSD_WIDTH | DDSD_HEIGHT : 0);
    d.ddsCaps.dwCaps = caps;
    d.dwWidth = DWORD(width);
    d.dwHeight = DWORD(height);
    IDirectDrawSurface* s = nullptr;
    EXPECT_EQ(DD_OK, dd->CreateSurface(&d, &s, nullptr));
    return s;
  }
  IDirectDrawSurface* Plain(int width, int height) { return Surface(DDSCAPS_OFFSCREENPLAIN, width, height); }
  IDirectDrawSurface* Primary() { return Surface(DDSCAPS_PRIMARYSURFACE); }
  IDirectDrawClipper* Clipper(HWND hwnd) {
    IDirectDrawClipper* c = nullptr;
    EXPECT_EQ(DD_OK, dd->CreateClipper(0, &c, nullptr));
    if (hwnd) {
      EXPECT_EQ(DD_OK, c->SetHWnd(0, hwnd));
    }
    return c;
  }
};

struct Image {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // XRGB, row by row
  uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

Image Read(IDirectDrawSurface* s) {
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  Image out;
  if (s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return out;
  out.width = int(d.dwWidth);
  out.height = int(d.dwHeight);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x)
      out.pixels.push_back(static_cast<const uint32_t*>(d.lpSurface)[y * d.lPitch / 4 + x] & 0x00FFFFFF);
  s->Unlock(nullptr);
  return out;
}

template <class F>
void Paint(IDirectDrawSurface* s, F pixelAt) {
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  ASSERT_EQ(DD_OK, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
  for (int y = 0; y < int(d.dwHeight); ++y)
    for (int x = 0; x < int(d.dwWidth); ++x) static_cast<uint32_t*>(d.lpSurface)[y * d.lPitch / 4 + x] = pixelAt(x, y);
  ASSERT_EQ(DD_OK, s->Unlock(nullptr));
}

constexpr uint32_t kSentinel = 0x00A5A5A5;
uint32_t Sentinel(int, int) {
  return kSentinel;
}
// Every source pixel says where it is.
uint32_t Coded(int x, int y) {
  return (uint32_t(x) << 12) | uint32_t(y);
}

// True when source offset `s` lies under the centre of destination offset
// `i`: s <= (i + 1/2) * sourceSize / destSize < s + 1.
bool UnderCentre(int64_t s, int64_t i, int64_t sourceSize, int64_t destSize) {
  int64_t centre = (2 * i + 1) * sourceSize;
  return 2 * destSize * s <= centre && centre < 2 * destSize * (s + 1);
}

bool Contains(const RECT& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// `pixelAt` shows `from` stretched onto `to` wherever `written(x, y)`, and
// `outside(x, y)` elsewhere in `area`.
template <class Pixel, class Written, class Outside>
void ExpectMapping(Pixel pixelAt, const RECT& area, const RECT& to, const RECT& from, Written written,
                   Outside outside) {
  const int64_t dw = int64_t(to.right) - to.left, dh = int64_t(to.bottom) - to.top;
  const int64_t sw = from.right - from.left, sh = from.bottom - from.top;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      uint32_t p = pixelAt(x, y);
      if (!written(x, y)) {
        ASSERT_EQ(outside(x, y), p) << "touched " << x << "," << y;
      } else {
        ASSERT_TRUE(UnderCentre(int(p >> 12) - from.left, x - to.left, sw, dw) &&
                    UnderCentre(int(p & 0xFFF) - from.top, y - to.top, sh, dh))
            << x << "," << y << " shows " << (p >> 12) << "," << (p & 0xFFF) << " for " << sw << "x" << sh << " -> "
            << dw << "x" << dh;
      }
    }
}

void ExpectMapping(IDirectDrawSurface* s, const RECT& to, const RECT& from, const RECT& written) {
  Image img = Read(s);
  ExpectMapping([&](int x, int y) { return img.at(x, y); }, RECT{0, 0, img.width, img.height}, to, from,
                [&](int x, int y) { return Contains(written, x, y); }, Sentinel);
}

HWND NewWindow(int x, int y, int width, int height) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "ddraw-blt";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width, height, nullptr,
                              nullptr, nullptr, nullptr);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  return hwnd;
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
  Fixture f;
  IDirectDrawSurface* dst = f.Plain(40, 30);
  IDirectDrawSurface* src = f.Plain(20, 10);
  Paint(dst, Sentinel);
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  RECT empty{5, 5, 5, 9}, inverted{9, 5, 5, 9}, partly{30, 20, 41, 30}, srcOut{0, 0, 21, 10}, srcNeg{-1, 0, 5, 5};
  const struct {
    RECT* to;
    IDirectDrawSurface* source;
    RECT* from;
    DWORD flags;
    DDBLTFX* fx;
    HRESULT expected;
  } cases[] = {
      {nullptr, src, nullptr, DDBLT_WAIT | 0x80000000, nullptr, DDERR_INVALIDPARAMS},
      {nullptr, src, nullptr, 0x00000001 /*DDBLT_ALPHADEST*/, nullptr, DDERR_INVALIDPARAMS},
      {nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr, DDERR_INVALIDPARAMS},
      {nullptr, src, nullptr, DDBLT_COLORFILL, &fx, DDERR_INVALIDPARAMS},
      {nullptr, nullptr, nullptr, DDBLT_WAIT, nullptr, DDERR_INVALIDPARAMS},
      {nullptr, reinterpret_cast<IDirectDrawSurface*>(&fx), nullptr, 0, nullptr, DDERR_INVALIDPARAMS},
      {&empty, src, nullptr, 0, nullptr, DDERR_INVALIDRECT},
      {&inverted, src, nullptr, 0, nullptr, DDERR_INVALIDRECT},
      {&inverted, nullptr, nullptr, DDBLT_COLORFILL, &fx, DDERR_INVALIDRECT},
      {&partly, src, nullptr, 0, nullptr, DDERR_INVALIDRECT},  // no clipper: it must fit
      {&partly, nullptr, nullptr, DDBLT_COLORFILL, &fx, DDERR_INVALIDRECT},
      {nullptr, src, &srcOut, 0, nullptr, DDERR_INVALIDRECT},
      {nullptr, src, &srcNeg, 0, nullptr, DDERR_INVALIDRECT},
      {nullptr, src, &empty, 0, nullptr, DDERR_INVALIDRECT},
      {nullptr, src, &inverted, 0, nullptr, DDERR_INVALIDRECT},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, dst->Blt(c.to, c.source, c.from, c.flags, c.fx)) << &c - cases;

  // A held DC or lock keeps both ends busy, colour fills included.
  HDC dc = nullptr;
  ASSERT_EQ(DD_OK, src->GetDC(&dc));
  EXPECT_EQ(DDERR_SURFACEBUSY, dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr));
  EXPECT_EQ(DDERR_SURFACEBUSY, src->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
  EXPECT_EQ(DD_OK, src->ReleaseDC(dc));
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  ASSERT_EQ(DD_OK, dst->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
  EXPECT_EQ(DDERR_SURFACEBUSY, dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr));
  EXPECT_EQ(DD_OK, dst->Unlock(nullptr));

  // A clipper with no window has no clip list; one whose window died fails.
  IDirectDrawClipper* c = f.Clipper(nullptr);
  ASSERT_EQ(DD_OK, dst->SetClipper(c));
  EXPECT_EQ(DDERR_NOCLIPLIST, dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr));
  HWND hwnd = NewWindow(0, 0, 100, 100);
  ASSERT_EQ(DD_OK, c->SetHWnd(0, hwnd));
  DestroyWindow(hwnd);
  EXPECT_EQ(DDERR_GENERIC, dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr));
  for (uint32_t p : Read(dst).pixels) ASSERT_EQ(kSentinel, p);
}

TEST(DirectDrawBlt, FillsAndEqualSizeCopiesEvenOntoThemselves) {
  Fixture f;
  IDirectDrawSurface* s = f.Plain(30, 20);
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 0xFF102030;  // the unused top byte is ignored
  RECT band{3, 2, 30, 5};
  ASSERT_EQ(DD_OK, s->Blt(&band, nullptr, nullptr, DDBLT_COLORFILL, &fx));
  Image img = Read(s);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(Contains(band, x, y) ? 0x00102030u : 0u, img.at(x, y)) << x << "," << y;

  Paint(s, Coded);
  IDirectDrawSurface* dst = f.Plain(50, 40);
  Paint(dst, Sentinel);
  RECT from{4, 3, 24, 13}, to{25, 28, 45, 38};
  ASSERT_EQ(DD_OK, dst->Blt(&to, s, &from, DDBLT_WAIT, nullptr));
  ExpectMapping(dst, to, from, to);
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
  Fixture f;
  IDirectDrawSurface* src = f.Plain(210, 210);
  IDirectDrawSurface* dst = f.Plain(220, 220);
  Paint(src, Coded);
  int n = 0;
  for (int sw : sizes)
    for (int dw : sizes) {
      // Heights walk the same list out of step, so rows meet other pairs.
      int sh = sizes[(n * 5 + 3) % 14], dh = sizes[(n * 3 + 7) % 14];
      ++n;
      Paint(dst, Sentinel);
      RECT from{3, 5, 3 + sw, 5 + sh}, to{11, 7, 11 + dw, 7 + dh};
      ASSERT_EQ(DD_OK, dst->Blt(&to, src, &from, DDBLT_WAIT, nullptr));
      ExpectMapping(dst, to, from, to);
      if (HasFatalFailure()) return;
    }

  // The program's own case, 640 x 480 at 4K, a row and a column of it.
  IDirectDrawSurface* vga = f.Plain(640, 480);
  Paint(vga, Coded);
  IDirectDrawSurface* row = f.Plain(3840, 1);
  IDirectDrawSurface* column = f.Plain(1, 2160);
  RECT from{0, 17, 640, 18}, to{0, 0, 3840, 1};
  ASSERT_EQ(DD_OK, row->Blt(nullptr, vga, &from, DDBLT_WAIT, nullptr));
  ExpectMapping(row, to, from, to);
  from = RECT{101, 0, 102, 480};
  to = RECT{0, 0, 1, 2160};
  ASSERT_EQ(DD_OK, column->Blt(nullptr, vga, &from, DDBLT_WAIT, nullptr));
  ExpectMapping(column, to, from, to);
}

TEST(DirectDrawStretch, ClippingNeverChangesTheMapping) {
  // A clipper's list is in screen coordinates and applies as it stands to an
  // offscreen surface: a client area at the screen's origin cuts it to size.
  const int fx = GetSystemMetrics(SM_CXFRAME), fy = GetSystemMetrics(SM_CYFRAME), cap = GetSystemMetrics(SM_CYCAPTION);
  HWND hwnd = NewWindow(-fx, -fy - cap, 70 + 2 * fx, 45 + 2 * fy + cap);
  const RECT client = ClientOnScreen(hwnd);
  ASSERT_EQ(0, client.left);
  ASSERT_EQ(0, client.top);
  Fixture f;
  IDirectDrawSurface* src = f.Plain(90, 90);
  IDirectDrawSurface* dst = f.Plain(100, 80);
  Paint(src, Coded);
  ASSERT_EQ(DD_OK, dst->SetClipper(f.Clipper(hwnd)));
  RECT from{2, 1, 85, 78};
  for (RECT to : {RECT{-37, -11, 250, 190}, RECT{-1000, -999, 60, 40}, RECT{13, 9, 14, 3000}, RECT{200, 0, 300, 9}}) {
    Paint(dst, Sentinel);
    ASSERT_EQ(DD_OK, dst->Blt(&to, src, &from, DDBLT_WAIT, nullptr));
    RECT written{};
    IntersectRect(&written, &to, &client);  // empty for the last: nothing to do, and no error
    ExpectMapping(dst, to, from, written);
  }
}

// Collects what the layer reports as changed on the screen.
class RecordingHost : public w32::Host {
 public:
  explicit RecordingHost(w32::Host& inner) : m_inner(inner) { w32::SetHost(this); }
  ~RecordingHost() override { w32::SetHost(nullptr); }
  DWORD Now() override { return m_inner.Now(); }
  bool Wait(bool hasDeadline, DWORD deadline) override { return m_inner.Wait(hasDeadline, deadline); }
  void Sleep(DWORD ms) override { m_inner.Sleep(ms); }
  bool PollInput(MSG* msg) override { return m_inner.PollInput(msg); }
  int ShowMessageBox(HWND o, const char* t, const char* c, UINT u) override { return m_inner.ShowMessageBox(o, t, c, u); }
  void ScreenChanged(const RECT& r) override { changes.push_back(r); }
  std::vector<RECT> changes;

 private:
  w32::Host& m_inner;
};

TEST(DirectDrawBltPrimary, WritesOnlyTheWindowsVisibleClientArea) {
  const int width = headless::ScreenWidth(), height = headless::ScreenHeight();
  // Hanging off the left and bottom of the screen, partly under another
  // application's window.
  HWND hwnd = NewWindow(-40, height - 150, 300, 200);
  const RECT cover{100, height - 120, 160, height - 60};
  headless::CoverAt(0, cover);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  RECT client = ClientOnScreen(hwnd);
  ASSERT_LT(client.left, 0);
  ASSERT_GT(client.bottom, height);

  Fixture f;
  IDirectDrawSurface* primary = f.Primary();
  IDirectDrawSurface* src = f.Plain(64, 48);
  Paint(src, Coded);
  ASSERT_EQ(DD_OK, primary->SetClipper(f.Clipper(hwnd)));
  std::vector<uint32_t> before = headless::ScreenPixels();
  auto old = [&](int x, int y) { return before[size_t(y) * width + x]; };
  {
    RecordingHost recorder(w32::CurrentHost());
    ASSERT_EQ(DD_OK, primary->Blt(&client, src, nullptr, DDBLT_WAIT, nullptr));
    ASSERT_EQ(1u, recorder.changes.size());
    const RECT& r = recorder.changes[0];
    EXPECT_TRUE(r.left == 0 && r.top == client.top && r.right == client.right && r.bottom == height);
  }
  auto visible = [&](int x, int y) { return Contains(client, x, y) && !Contains(cover, x, y); };
  ExpectMapping(headless::ScreenPixel, RECT{0, 0, width, height}, client, RECT{0, 0, 64, 48}, visible, old);

  // Minimised: the clip list is empty, so nothing is written or reported.
  ShowWindow(hwnd, SW_MINIMIZE);
  before = headless::ScreenPixels();
  {
    RecordingHost recorder(w32::CurrentHost());
    EXPECT_EQ(DD_OK, primary->Blt(&client, src, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_TRUE(recorder.changes.empty());
  }
  EXPECT_TRUE(before == headless::ScreenPixels());

  // Without a clipper the rectangle must fit the screen.
  ASSERT_EQ(DD_OK, primary->SetClipper(nullptr));
  EXPECT_EQ(DDERR_INVALIDRECT, primary->Blt(&client, src, nullptr, DDBLT_WAIT, nullptr));
  RECT corner{width - 64, height - 48, width, height};
  ASSERT_EQ(DD_OK, primary->Blt(&corner, src, nullptr, DDBLT_WAIT, nullptr));
  EXPECT_EQ(Coded(63, 47), headless::ScreenPixel(width - 1, height - 1));
}

}  // namespace
