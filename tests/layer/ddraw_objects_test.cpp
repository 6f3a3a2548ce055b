// DirectDraw objects on our layer: refusals, reference counts and lifetimes,
// DCs, locks, clippers and injected failures.
#include <gtest/gtest.h>

#include <functional>

#include "headless.h"
#include "support/recorder.h"
#include "support/surface.h"

namespace {

const IID kIidUnknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidSurface = {0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID kIidClipper = {0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const DWORD kPlain = DDSCAPS_OFFSCREENPLAIN;

IDirectDrawSurface* Plain(IDirectDraw* dd, DWORD w, DWORD h) { return NewSurface(dd, kPlain, w, h); }
HWND DeadWindow() { return TestWindow(kFramedStyle, 0, 0, 50, 50).hwnd(); }
// An object's count, left as it was.
ULONG Refs(IUnknown* o) {
  o->AddRef();
  return o->Release();
}

TEST(DirectDrawCreate, RefusalsLeaveNothingBehind) {
  IDirectDraw* dd = reinterpret_cast<IDirectDraw*>(1);
  GUID other{1, 2, 3, {4}};
  EXPECT_EQ(DDERR_INVALIDPARAMS, DirectDrawCreate(nullptr, nullptr, nullptr));
  EXPECT_EQ(CLASS_E_NOAGGREGATION, DirectDrawCreate(nullptr, &dd, reinterpret_cast<IUnknown*>(&other)));
  EXPECT_EQ(DDERR_INVALIDDIRECTDRAWGUID, DirectDrawCreate(&other, &dd, nullptr));
  EXPECT_EQ(nullptr, dd);

  dd = NewDirectDraw(0);
  IDirectDrawClipper* c = reinterpret_cast<IDirectDrawClipper*>(1);
  EXPECT_EQ(DDERR_INVALIDPARAMS, dd->CreateClipper(1, &c, nullptr));
  EXPECT_EQ(nullptr, c);
  EXPECT_EQ(CLASS_E_NOAGGREGATION, dd->CreateClipper(0, &c, dd));
  EXPECT_EQ(DDERR_INVALIDPARAMS, dd->CreateClipper(0, nullptr, nullptr));
  EXPECT_EQ(1u, headless::LiveDirectDrawObjects());

  // Cooperative levels: whole modes and live windows only.
  TestWindow w(kFramedStyle, 10, 10, 200, 150);
  IDirectDrawSurface* s = nullptr;
  DDSURFACEDESC d = SurfaceDesc(DDSCAPS_PRIMARYSURFACE);
  EXPECT_EQ(DDERR_NOCOOPERATIVELEVELSET, dd->CreateSurface(&d, &s, nullptr));
  EXPECT_EQ(nullptr, s);
  for (DWORD bad : {0u, 1u /*FULLSCREEN*/, 0x10u /*EXCLUSIVE*/, 0x18u, 0x09u, 0x108u, 0x80000008u})
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(w.hwnd(), bad)) << std::hex << bad;
  EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(DeadWindow(), DDSCL_NORMAL));
  EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN));
  EXPECT_EQ(DD_OK, dd->SetCooperativeLevel(w.hwnd(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT));
  EXPECT_EQ(DD_OK, dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL));

  // Surface descriptions are checked before anything is made.
  const DWORD size = sizeof(DDSURFACEDESC), sized = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  const struct { DWORD size, flags, caps, width, height; HRESULT expected; } cases[] = {
      {size - 1, sized, kPlain, 16, 16, DDERR_INVALIDPARAMS},
      {size, DDSD_WIDTH | DDSD_HEIGHT, kPlain, 16, 16, DDERR_INVALIDPARAMS},  // no caps
      {size, sized | 0x80000000, kPlain, 16, 16, DDERR_INVALIDPARAMS},       // unknown flag
      {size, sized | DDSD_LPSURFACE | DDSD_PITCH, kPlain, 16, 16, DDERR_INVALIDPARAMS},  // own memory
      {size, DDSD_CAPS | DDSD_WIDTH, kPlain, 16, 16, DDERR_INVALIDPARAMS},
      {size, sized, kPlain, 0, 16, DDERR_INVALIDPARAMS},
      {size, sized, kPlain, 16, 16385, DDERR_INVALIDPARAMS},
      {size, sized, kPlain, 0xFFFFFFFF, 0xFFFFFFFF, DDERR_INVALIDPARAMS},
      {size, sized, kPlain | DDSCAPS_FLIP | DDSCAPS_COMPLEX, 16, 16, DDERR_INVALIDCAPS},
      {size, sized, kPlain | DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY, 16, 16, DDERR_INVALIDCAPS},
      {size, sized, kPlain | DDSCAPS_PRIMARYSURFACE, 16, 16, DDERR_INVALIDCAPS},
      {size, sized, DDSCAPS_PRIMARYSURFACE, 16, 16, DDERR_INVALIDPARAMS},
      {size, sized | DDSD_PIXELFORMAT, kPlain, 16, 16, DDERR_INVALIDPIXELFORMAT},  // 16-bit
  };
  for (const auto& c : cases) {
    DDSURFACEDESC d = SurfaceDesc(c.caps, c.width, c.height);
    d.dwSize = c.size;
    d.dwFlags = c.flags;
    d.ddpfPixelFormat = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, {16}, {0xF800}, {0x07E0}, {0x1F}, {0}};
    IDirectDrawSurface* s = reinterpret_cast<IDirectDrawSurface*>(1);
    EXPECT_EQ(c.expected, dd->CreateSurface(&d, &s, nullptr)) << &c - cases;
    EXPECT_EQ(nullptr, s) << &c - cases;
  }
  d = SurfaceDesc(kPlain, 1, 16384);
  EXPECT_EQ(DDERR_INVALIDPARAMS, dd->CreateSurface(nullptr, &s, nullptr));
  EXPECT_EQ(DDERR_INVALIDPARAMS, dd->CreateSurface(&d, nullptr, nullptr));
  EXPECT_EQ(CLASS_E_NOAGGREGATION, dd->CreateSurface(&d, &s, dd));
  EXPECT_EQ(1u, headless::LiveDirectDrawObjects());
  d.dwFlags |= DDSD_PIXELFORMAT;  // the screen's own format, spelt out
  d.ddpfPixelFormat = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, {32}, {0xFF0000}, {0xFF00}, {0xFF}, {0}};
  EXPECT_EQ(DD_OK, dd->CreateSurface(&d, &s, nullptr));

  // One primary at a time, and it is the screen.
  IDirectDrawSurface* primary = NewSurface(dd, DDSCAPS_PRIMARYSURFACE);
  d = SurfaceDesc(DDSCAPS_PRIMARYSURFACE);
  EXPECT_EQ(DDERR_PRIMARYSURFACEALREADYEXISTS, dd->CreateSurface(&d, &s, nullptr));
  ASSERT_EQ(DD_OK, primary->GetSurfaceDesc(&d));
  EXPECT_TRUE(d.dwWidth == DWORD(headless::ScreenWidth()) && d.dwHeight == DWORD(headless::ScreenHeight()));
  EXPECT_EQ(0u, primary->Release());
  d = SurfaceDesc(DDSCAPS_PRIMARYSURFACE);
  EXPECT_EQ(DD_OK, dd->CreateSurface(&d, &s, nullptr));
}

TEST(DirectDrawLifetime, CountsFollowComAndSurfacesHoldTheirClippers) {
  IDirectDraw* dd = NewDirectDraw();
  IDirectDrawSurface* s = Plain(dd, 4, 4);
  IDirectDrawClipper* c = NewClipper(dd);
  void* p = nullptr;
  EXPECT_EQ(DD_OK, s->QueryInterface(kIidUnknown, &p));
  EXPECT_EQ(DD_OK, s->QueryInterface(kIidSurface, &p));
  EXPECT_EQ(static_cast<void*>(s), p);
  EXPECT_EQ(E_NOINTERFACE, s->QueryInterface(kIidClipper, &p));
  EXPECT_EQ(nullptr, p);
  EXPECT_EQ(3u, Refs(s));

  IDirectDrawClipper* got = c;
  EXPECT_EQ(MAKE_DDHRESULT(568) /*DDERR_NOCLIPPERATTACHED*/, s->GetClipper(&got));
  EXPECT_EQ(DDERR_INVALIDPARAMS, s->SetClipper(reinterpret_cast<IDirectDrawClipper*>(&p)));
  EXPECT_EQ(DD_OK, s->SetClipper(c));
  EXPECT_EQ(2u, Refs(c));
  EXPECT_EQ(DD_OK, s->SetClipper(c));  // again: still one reference
  EXPECT_EQ(2u, Refs(c));
  EXPECT_EQ(DD_OK, s->GetClipper(&got));
  EXPECT_EQ(2u, got->Release());  // ours and the surface's
  EXPECT_EQ(2u, s->Release());
  EXPECT_EQ(1u, s->Release());
  EXPECT_EQ(0u, s->Release());  // lets go of the clipper
  EXPECT_EQ(0u, c->Release());
  EXPECT_EQ(0u, dd->Release());
  EXPECT_EQ(0u, headless::LiveDirectDrawObjects());
}

TEST(DirectDrawLifetime, ReleasingTheDirectDrawObjectDestroysOnlyItsChildren) {
  IDirectDraw *dd = NewDirectDraw(), *other = NewDirectDraw();
  IDirectDrawSurface *primary = NewSurface(dd, DDSCAPS_PRIMARYSURFACE), *withDc = Plain(dd, 32, 32);
  IDirectDrawSurface *locked = Plain(dd, 32, 32), *survivor = Plain(other, 8, 8);
  IDirectDrawClipper *clipper = NewClipper(dd), *foreign = NewClipper(other);
  ASSERT_EQ(DD_OK, primary->SetClipper(clipper));
  ASSERT_EQ(DD_OK, withDc->SetClipper(foreign));
  HDC dc = nullptr;
  ASSERT_EQ(DD_OK, withDc->GetDC(&dc));
  DDSURFACEDESC d = SurfaceDesc(0);
  ASSERT_EQ(DD_OK, locked->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
  primary->AddRef();
  const size_t dcs = headless::LiveDeviceContexts();

  EXPECT_EQ(0u, dd->Release());
  EXPECT_EQ(3u, headless::LiveDirectDrawObjects());
  EXPECT_EQ(dcs - 1, headless::LiveDeviceContexts());
  EXPECT_EQ(1u, Refs(foreign));
  // Pointers the program kept fail plainly instead of touching freed memory.
  EXPECT_EQ(DDERR_INVALIDOBJECT, withDc->ReleaseDC(dc));
  EXPECT_EQ(DDERR_INVALIDOBJECT, locked->Unlock(nullptr));
  EXPECT_EQ(DDERR_INVALIDOBJECT, primary->Blt(nullptr, survivor, nullptr, DDBLT_WAIT, nullptr));
  EXPECT_EQ(DDERR_INVALIDOBJECT, survivor->Blt(nullptr, locked, nullptr, DDBLT_WAIT, nullptr));
  EXPECT_EQ(DDERR_INVALIDOBJECT, survivor->SetClipper(clipper));
  EXPECT_EQ(DDERR_INVALIDOBJECT, clipper->SetHWnd(0, nullptr));
  // The other object carries on, primary included.
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  EXPECT_EQ(DD_OK, survivor->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
  NewSurface(other, DDSCAPS_PRIMARYSURFACE);

  EXPECT_EQ(1u, primary->Release());
  EXPECT_EQ(0u, primary->Release());
  EXPECT_EQ(0u, clipper->Release());
  EXPECT_EQ(0u, other->Release());
  EXPECT_EQ(0u, headless::LiveDirectDrawObjects());
}

TEST(DirectDrawSurface, DcsLocksAndClipperWindows) {
  IDirectDraw* dd = NewDirectDraw();
  IDirectDrawSurface* s = Plain(dd, 20, 10);
  HDC dc = nullptr, second = nullptr;
  EXPECT_EQ(DDERR_NODC, s->ReleaseDC(nullptr));
  ASSERT_EQ(DD_OK, s->GetDC(&dc));
  EXPECT_EQ(DDERR_DCALREADYCREATED, s->GetDC(&second));
  HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
  RECT r{2, 3, 5, 6};
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  DDSURFACEDESC d = SurfaceDesc(0);
  EXPECT_EQ(DDERR_SURFACEBUSY, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(DDERR_INVALIDPARAMS, s->ReleaseDC(screen));
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(DD_OK, s->ReleaseDC(dc));
  // What the tests and the fuzzer read of a surface they hold, unbeknown to the layer.
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  ASSERT_TRUE(headless::SurfacePixels(s, &width, &height, &pixels));
  ASSERT_EQ(std::make_pair(20, 10), std::make_pair(width, height));
  EXPECT_EQ(0x123456u, pixels[3 * 20 + 2]);
  EXPECT_EQ(0u, pixels[3 * 20 + 5]);

  RECT part{4, 5, 6, 7};
  ASSERT_EQ(DD_OK, s->Lock(&part, &d, DDLOCK_WAIT, nullptr));
  EXPECT_EQ(0x00123456u, static_cast<uint32_t*>(d.lpSurface)[0] & 0xFFFFFF);
  EXPECT_EQ(0u, static_cast<uint32_t*>(d.lpSurface)[1] & 0xFFFFFF);  // FillRect leaves the right edge
  EXPECT_EQ(32u, d.ddpfPixelFormat.dwRGBBitCount);
  EXPECT_TRUE(d.ddpfPixelFormat.dwRBitMask == 0x00FF0000u && d.ddpfPixelFormat.dwBBitMask == 0x000000FFu);
  EXPECT_EQ(DDERR_SURFACEBUSY, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
  EXPECT_EQ(DD_OK, s->GetDC(&dc));  // a lock does not keep GDI out
  EXPECT_EQ(DD_OK, s->ReleaseDC(dc));
  EXPECT_EQ(DD_OK, s->Unlock(nullptr));
  EXPECT_EQ(DDERR_NOTLOCKED, s->Unlock(nullptr));
  RECT outside{15, 5, 21, 7};
  EXPECT_EQ(DDERR_INVALIDPARAMS, s->Lock(&outside, &d, DDLOCK_WAIT, nullptr));

  IDirectDrawClipper* c = NewClipper(dd);
  TestWindow w(kFramedStyle, 10, 10, 200, 150);
  HWND got = nullptr;
  EXPECT_EQ(DDERR_INVALIDPARAMS, c->SetHWnd(1, w.hwnd()));
  EXPECT_EQ(DDERR_INVALIDPARAMS, c->SetHWnd(0, DeadWindow()));
  EXPECT_EQ(DD_OK, c->SetHWnd(0, w.hwnd()));
  EXPECT_EQ(DD_OK, c->GetHWnd(&got));
  EXPECT_EQ(w.hwnd(), got);
}

TEST(DirectDrawSurface, ADisplayModeChangeLosesDisplayMemoryUntilRestored) {
  IDirectDraw* dd = NewDirectDraw();
  IDirectDrawSurface* shown = Plain(dd, 8, 8);
  IDirectDrawSurface* kept = NewSurface(dd, kPlain | DDSCAPS_SYSTEMMEMORY, 8, 8);
  IDirectDrawSurface* screen = NewSurface(dd, DDSCAPS_PRIMARYSURFACE);
  ASSERT_TRUE(FillSurface(shown, RECT{0, 0, 8, 8}, 0xFFFFFF));
  DDSURFACEDESC locked = SurfaceDesc(0);
  ASSERT_EQ(DD_OK, screen->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr));
  ASSERT_TRUE(DisplayModeChanges(headless::ScreenWidth() / 2, headless::ScreenHeight() / 2));
  // A lock held across the change keeps the memory it handed out (the old
  // screen, shown nowhere now) until Unlock.
  uint32_t* last = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.lpSurface) +
                                               size_t(locked.dwHeight - 1) * size_t(locked.lPitch)) +
                   (locked.dwWidth - 1);
  *last = 0x00FF0000;
  EXPECT_EQ(DD_OK, screen->Unlock(nullptr));
  EXPECT_EQ(DDERR_SURFACELOST, screen->IsLost());
  screen->Release();
  HDC dc = nullptr;
  DDSURFACEDESC desc = SurfaceDesc(0);
  EXPECT_EQ(DDERR_SURFACELOST, shown->IsLost());
  EXPECT_EQ(DDERR_SURFACELOST, shown->GetDC(&dc));
  EXPECT_EQ(DDERR_SURFACELOST, shown->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
  EXPECT_EQ(DDERR_SURFACELOST, shown->Blt(nullptr, kept, nullptr, DDBLT_WAIT, nullptr));
  EXPECT_EQ(DDERR_SURFACELOST, kept->Blt(nullptr, shown, nullptr, DDBLT_WAIT, nullptr));
  EXPECT_EQ(DD_OK, kept->IsLost());  // system memory stays
  EXPECT_EQ(DD_OK, shown->Restore());
  EXPECT_EQ(DD_OK, shown->IsLost());
  SurfacePixels after;
  ASSERT_TRUE(ReadSurface(shown, &after));
  EXPECT_EQ(0u, after.at(3, 3));  // the memory came back, what it held did not
  EXPECT_EQ(DD_OK, shown->Blt(nullptr, kept, nullptr, DDBLT_WAIT, nullptr));
  dd->Release();
  EXPECT_EQ(DDERR_INVALIDOBJECT, shown->IsLost());
  shown->Release();
  kept->Release();
}

TEST(DirectDrawFaults, EachCallCanBeMadeToFailOnce) {
  using C = headless::Call;
  TestWindow w(kFramedStyle, 10, 10, 200, 150);
  IDirectDraw *dd = NewDirectDraw(), *made = nullptr;
  IDirectDrawSurface *s = Plain(dd, 4, 4), *sf = nullptr;
  IDirectDrawClipper *c = NewClipper(dd), *cl = nullptr;
  HDC dc = nullptr;
  DDSURFACEDESC plain = SurfaceDesc(kPlain, 4, 4);
  auto none = [] {};
  // The call, its injected failure, and how to undo a success.
  const struct { C call; HRESULT expected; std::function<HRESULT()> run; std::function<void()> undo; } cases[] = {
      {C::DirectDrawCreate, DDERR_GENERIC, [&] { return DirectDrawCreate(0, &made, 0); }, [&] { made->Release(); }},
      {C::SetCooperativeLevel, DDERR_GENERIC, [&] { return dd->SetCooperativeLevel(w.hwnd(), DDSCL_NORMAL); }, none},
      {C::CreateSurface, DDERR_OUTOFMEMORY, [&] { return dd->CreateSurface(&plain, &sf, 0); }, [&] { sf->Release(); }},
      {C::CreateClipper, DDERR_OUTOFMEMORY, [&] { return dd->CreateClipper(0, &cl, 0); }, [&] { cl->Release(); }},
      {C::SetHWnd, DDERR_OUTOFMEMORY, [&] { return c->SetHWnd(0, w.hwnd()); }, none},
      {C::SetClipper, DDERR_GENERIC, [&] { return s->SetClipper(c); }, none},
      {C::GetDC, DDERR_CANTCREATEDC, [&] { return s->GetDC(&dc); }, [&] { s->ReleaseDC(dc); }},
      {C::Blt, DDERR_GENERIC, [&] { return s->Blt(nullptr, s, nullptr, DDBLT_WAIT, nullptr); }, none},
  };
  for (const auto& k : cases) {
    const size_t live = headless::LiveDirectDrawObjects();
    headless::FailNext(k.call, 1);
    ASSERT_EQ(DD_OK, k.run()) << int(k.call) << ": the one skipped";
    k.undo();
    EXPECT_EQ(k.expected, k.run()) << int(k.call);
    EXPECT_EQ(live, headless::LiveDirectDrawObjects()) << int(k.call);
    EXPECT_EQ(DD_OK, k.run()) << int(k.call) << ": only once";
    k.undo();
  }
  EXPECT_EQ(2u, Refs(c));  // ours and the surface's: the failed SetClipper took none
}

}  // namespace
