// The operations on DirectDraw: the DirectDraw object and its cooperative
// level, surfaces, clippers, DCs on surfaces, blits, locks and COM reference
// counts; and the program's own set-up, which ends in DirectDraw.
#include <cstring>

#include "harness.h"

namespace layer_fuzz {

void Program::DirectDrawCreateOp() {
  const uint8_t b = m_in.Byte();
  if (m_dds.size() >= 4) return;
  GUID guid{m_in.U32(), 0, 0, {}};
  IUnknown* outer = (b & 0x40) && !m_dds.empty() ? m_dds[0].p : nullptr;
  IDirectDraw* dd = nullptr;
  HRESULT hr = DirectDrawCreate((b & 0x20) ? &guid : nullptr, (b & 0x10) ? nullptr : &dd, outer);
  if (SUCCEEDED(hr) != (dd != nullptr)) Fail("DirectDrawCreate: 0x%08X with object %p", unsigned(hr), (void*)dd);
  if (dd) m_dds.push_back(Held<IDirectDraw>{dd, 1});
}

void Program::Cooperate() {
  Held<IDirectDraw>* dd = Choose(m_dds);
  HWND hwnd = Window();
  DWORD flags = m_in.Flags({DDSCL_NORMAL, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN, 0, DDSCL_EXCLUSIVE,
                            DDSCL_NORMAL | DDSCL_EXCLUSIVE, DDSCL_NORMAL | DDSCL_NOWINDOWCHANGES});
  if (dd) dd->p->SetCooperativeLevel(hwnd, flags);
}

void Program::CreateSurface() {
  Held<IDirectDraw>* dd = Choose(m_dds);
  const uint8_t b = m_in.Byte();
  DDSURFACEDESC d{};
  d.dwSize = m_in.Flags({sizeof(DDSURFACEDESC), sizeof(DDSURFACEDESC), 108, 0});
  d.dwFlags = m_in.Flags({DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSD_CAPS, DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT,
                          DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT, DDSD_WIDTH | DDSD_HEIGHT,
                          DDSD_CAPS | DDSD_WIDTH, DDSD_CAPS | DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT});
  d.ddsCaps.dwCaps =
      m_in.Flags({DDSCAPS_OFFSCREENPLAIN, DDSCAPS_PRIMARYSURFACE, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY,
                  DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 0, DDSCAPS_PRIMARYSURFACE | DDSCAPS_OFFSCREENPLAIN,
                  DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY, DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP});
  d.dwWidth = m_in.Size();
  d.dwHeight = m_in.Size();
  if (b & 0x08) {
    DDPIXELFORMAT& pf = d.ddpfPixelFormat;
    pf.dwSize = (b & 0x04) ? m_in.U32() : sizeof(DDPIXELFORMAT);
    pf.dwFlags = (b & 0x02) ? m_in.U32() : DDPF_RGB;
    pf.dwRGBBitCount = m_in.Flags({32, 16, 24, 0});
    pf.dwRBitMask = 0x00FF0000;
    pf.dwGBitMask = 0x0000FF00;
    pf.dwBBitMask = (b & 0x01) ? m_in.U32() : 0x000000FF;
  }
  if (!dd || m_surfaces.size() >= kMaxObjects) return;
  if (d.dwWidth <= 16384 && d.dwHeight <= 16384 && uint64_t(d.dwWidth) * d.dwHeight > kMaxSurfacePixels) return;
  IDirectDrawSurface* s = nullptr;
  IUnknown* outer = (b & 0x40) ? dd->p : nullptr;
  HRESULT hr = dd->p->CreateSurface((b & 0x20) ? nullptr : &d, (b & 0x10) ? nullptr : &s, outer);
  if (SUCCEEDED(hr) != (s != nullptr)) Fail("CreateSurface: 0x%08X with surface %p", unsigned(hr), (void*)s);
  if (s) Gained(m_surfaces, s);
}

void Program::ClipperOp() {
  const uint8_t b = m_in.Byte();
  if (b & 1) {
    Held<IDirectDraw>* dd = Choose(m_dds);
    DWORD flags = (b & 2) ? m_in.U32() : 0;
    if (!dd || m_clippers.size() >= kMaxObjects) return;
    IDirectDrawClipper* c = nullptr;
    HRESULT hr = dd->p->CreateClipper(flags, (b & 4) ? nullptr : &c, (b & 8) ? dd->p : nullptr);
    if (SUCCEEDED(hr) != (c != nullptr)) Fail("CreateClipper: 0x%08X with clipper %p", unsigned(hr), (void*)c);
    if (c) Gained(m_clippers, c);
    return;
  }
  Held<IDirectDrawClipper>* c = Choose(m_clippers);
  HWND hwnd = Window();
  DWORD flags = (b & 2) ? m_in.U32() : 0;
  if (!c) return;
  if (b & 4) {
    HWND out;
    c->p->GetHWnd((b & 8) ? nullptr : &out);
  } else {
    c->p->SetHWnd(flags, hwnd);
  }
}

void Program::SurfaceClipper() {
  Held<IDirectDrawSurface>* s = Choose(m_surfaces);
  const uint8_t b = m_in.Byte();
  IDirectDrawClipper* arg = ObjectArg(m_clippers);
  if (!s) return;
  if (b & 1) {
    s->p->SetClipper(arg);
    return;
  }
  IDirectDrawClipper* c = nullptr;
  HRESULT hr = s->p->GetClipper((b & 2) ? nullptr : &c);
  if (SUCCEEDED(hr) != (c != nullptr)) Fail("GetClipper: 0x%08X with clipper %p", unsigned(hr), (void*)c);
  if (c) Gained(m_clippers, c);
}

void Program::SurfaceDc() {
  Held<IDirectDrawSurface>* s = Choose(m_surfaces);
  const uint8_t b = m_in.Byte();
  HDC hdc = Dc();
  if (!s) return;
  if (b & 1) {
    s->p->ReleaseDC(hdc);
    return;
  }
  HDC made = nullptr;
  HRESULT hr = s->p->GetDC((b & 2) ? nullptr : &made);
  if (SUCCEEDED(hr) && !made) Fail("GetDC succeeded without a DC");
  Keep(kDc, made);
  if (SUCCEEDED(hr)) NoteDc(made, s->p, nullptr, false);
}

void Program::Blt() {
  Held<IDirectDrawSurface>* dest = Choose(m_surfaces);
  const uint8_t b = m_in.Byte();
  IDirectDrawSurface* source = ObjectArg(m_surfaces);
  RECT to = m_in.Rect(), from = m_in.Rect();
  DWORD flags = m_in.Flags({DDBLT_WAIT, 0, DDBLT_COLORFILL | DDBLT_WAIT, DDBLT_COLORFILL});
  DDBLTFX fx{};
  fx.dwSize = (b & 0x10) ? m_in.U32() : sizeof(fx);
  fx.dwFillColor = m_in.U32();
  if (!dest) return;
  Picture before, sourceBefore;
  const bool watched = ReadPicture(dest->p, &before);  // not once its DirectDraw object is gone
  ReadPicture(source, &sourceBefore);  // whatever it is; a blit from what is not a surface fails
  // Whole surfaces now and then, the way a program presents its back buffer.
  RECT* destRect = (b & 1) ? nullptr : &to;
  RECT* sourceRect = (b & 2) ? nullptr : &from;
  DDBLTFX* effects = (b & 4) ? nullptr : &fx;
  HRESULT hr = dest->p->Blt(destRect, source, sourceRect, flags, effects);
  if (watched) CheckBlt(hr, dest->p, before, destRect, sourceBefore, sourceRect, flags, effects);
}

void Program::Lock() {
  Held<IDirectDrawSurface>* s = Choose(m_surfaces);
  const uint8_t b = m_in.Byte();
  RECT r = m_in.Rect();
  DDSURFACEDESC d{};
  d.dwSize = (b & 0x10) ? m_in.U32() : sizeof(d);
  if (!s) return;
  if ((b & 0x60) == 0x60) {
    // Lost surfaces: asked about, or given back.
    if (b & 0x80)
      s->p->Restore();
    else
      s->p->IsLost();
    return;
  }
  if (b & 1) {
    s->p->Unlock((b & 2) ? nullptr : reinterpret_cast<void*>(uintptr_t(m_in.U32())));
    return;
  }
  if (b & 4) {
    s->p->GetSurfaceDesc((b & 8) ? nullptr : &d);
    return;
  }
  const bool whole = b & 2;
  HRESULT hr = s->p->Lock(whole ? nullptr : &r, (b & 8) ? nullptr : &d, DDLOCK_WAIT, nullptr);
  if (FAILED(hr)) return;
  // The first and last pixels of what we locked must be ours to write.
  const int64_t w = whole ? int64_t(d.dwWidth) : int64_t(r.right) - r.left;
  const int64_t h = whole ? int64_t(d.dwHeight) : int64_t(r.bottom) - r.top;
  if (!d.lpSurface || w <= 0 || h <= 0) Fail("Lock succeeded without memory (%lld x %lld)", (long long)w, (long long)h);
  uint8_t* base = static_cast<uint8_t*>(d.lpSurface);
  const uint32_t colour = m_in.U32();
  std::memcpy(base, &colour, 4);
  std::memcpy(base + (h - 1) * int64_t(d.lPitch) + (w - 1) * 4, &colour, 4);
  if (m_in.Bit()) s->p->Unlock(d.lpSurface);
}

void Program::ReleaseDirectDraw(size_t i) {
  // Every reference at once, the way the program lets go of DirectDraw. The
  // surfaces and clippers we still hold stay callable: they only fail now.
  while (i < m_dds.size() && m_dds[i].refs > 1) Release(m_dds, i, true);
  if (i < m_dds.size()) Release(m_dds, i, true);
}

void Program::ComOp() {
  const uint8_t b = m_in.Byte();
  const uint8_t which = m_in.Byte();
  static const IID kIids[] = {
      {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},  // IUnknown
      {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}},  // IDirectDraw
      {0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}},  // IDirectDrawSurface
      {0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}},  // IDirectDrawClipper
      {0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}},  // IDirectDraw2
  };
  IID iid = kIids[m_in.Byte() % 5];
  if (b & 0x80) iid.Data1 = m_in.U32();
  const int action = b % 4;  // AddRef, Release, QueryInterface, release all
  // DirectDraw objects and surfaces: ours are the only references.
  auto on = [&](auto& list, bool exact) {
    if (list.empty()) return;
    const size_t i = which % list.size();
    auto& held = list[i];
    switch (action) {
      case 0:
        AddRef(held, exact);
        break;
      case 1:
        Release(list, i, exact);
        break;
      case 2: {
        void* out = reinterpret_cast<void*>(uintptr_t(1));
        HRESULT hr = held.p->QueryInterface(iid, (b & 0x40) ? nullptr : &out);
        if (b & 0x40) break;
        if (FAILED(hr)) {
          if (out) Fail("QueryInterface failed with 0x%08X but left %p", unsigned(hr), out);
          break;
        }
        if (out != static_cast<void*>(held.p)) Fail("QueryInterface gave %p for %p", out, (void*)held.p);
        ++held.refs;
        break;
      }
      case 3:
        while (list[i].refs > 1) Release(list, i, exact);
        Release(list, i, exact);
        break;
    }
  };
  switch ((b >> 2) % 3) {
    case 0:
      on(m_dds, true);
      break;
    case 1:
      on(m_surfaces, true);
      break;
    case 2:
      on(m_clippers, false);
      break;
  }
}

void Program::SetUp() {
  // The program's own set-up order, so deep states come quickly: a
  // visible window, DirectDraw at the normal level, a primary surface
  // clipped to the window, and a back buffer.
  HWND hwnd = CreateWindow(false);
  DirectDrawCreateOp();
  if (m_dds.empty()) return;
  Held<IDirectDraw>& dd = m_dds.back();
  dd.p->SetCooperativeLevel(hwnd, DDSCL_NORMAL);
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS;
  d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface* s = nullptr;
  if (m_surfaces.size() < kMaxObjects && SUCCEEDED(dd.p->CreateSurface(&d, &s, nullptr))) Gained(m_surfaces, s);
  IDirectDrawClipper* c = nullptr;
  if (m_clippers.size() < kMaxObjects && SUCCEEDED(dd.p->CreateClipper(0, &c, nullptr))) {
    Gained(m_clippers, c);
    c->SetHWnd(0, hwnd);
    if (s) s->SetClipper(c);
  }
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  d.dwWidth = m_in.Size() % 200 + 1;
  d.dwHeight = m_in.Size() % 200 + 1;
  s = nullptr;
  if (m_surfaces.size() < kMaxObjects && SUCCEEDED(dd.p->CreateSurface(&d, &s, nullptr))) Gained(m_surfaces, s);
}

}  // namespace layer_fuzz
