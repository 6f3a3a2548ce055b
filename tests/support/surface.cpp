#include "surface.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Calls visit(row, y) for each row of the locked surface.
bool ForEachRow(IDirectDrawSurface* surface, DWORD flags, DDSURFACEDESC* desc,
                const std::function<void(uint8_t*, int)>& visit) {
  std::memset(desc, 0, sizeof *desc);
  desc->dwSize = sizeof *desc;
  if (surface->Lock(NULL, desc, DDLOCK_WAIT | flags, NULL) != DD_OK) return false;
  bool ok = desc->ddpfPixelFormat.dwRGBBitCount == 32;
  for (int y = 0; ok && y < int(desc->dwHeight); ++y)
    visit(static_cast<uint8_t*>(desc->lpSurface) + size_t(y) * desc->lPitch, y);
  surface->Unlock(desc->lpSurface);
  return ok;
}

}  // namespace

bool ReadSurface(IDirectDrawSurface* surface, SurfacePixels* out) {
  DDSURFACEDESC desc;
  return ForEachRow(surface, DDLOCK_READONLY, &desc, [&](uint8_t* row, int y) {
    if (y == 0) {
      out->width = int(desc.dwWidth);
      out->height = int(desc.dwHeight);
      out->pixels.resize(size_t(out->width) * out->height);
    }
    std::memcpy(&out->pixels[size_t(y) * out->width], row, size_t(out->width) * 4);
  });
}

bool FillSurface(IDirectDrawSurface* surface, const RECT& r, uint32_t pixel) {
  DDSURFACEDESC desc;
  return ForEachRow(surface, DDLOCK_WRITEONLY, &desc, [&](uint8_t* row, int y) {
    if (y >= r.top && y < r.bottom)
      for (LONG x = r.left; x < r.right; ++x) reinterpret_cast<uint32_t*>(row)[x] = pixel;
  });
}

bool PaintSurface(IDirectDrawSurface* surface, const std::function<uint32_t(int x, int y)>& pixelAt) {
  DDSURFACEDESC desc;
  return ForEachRow(surface, DDLOCK_WRITEONLY, &desc, [&](uint8_t* row, int y) {
    for (int x = 0; x < int(desc.dwWidth); ++x) reinterpret_cast<uint32_t*>(row)[x] = pixelAt(x, y);
  });
}

IDirectDraw* NewDirectDraw(DWORD level) {
  IDirectDraw* dd = NULL;
  EXPECT_EQ(DD_OK, DirectDrawCreate(NULL, &dd, NULL));
  if (dd && level) {
    EXPECT_EQ(DD_OK, dd->SetCooperativeLevel(NULL, level));
  }
  return dd;
}

DDSURFACEDESC SurfaceDesc(DWORD caps, DWORD width, DWORD height) {
  DDSURFACEDESC d;
  std::memset(&d, 0, sizeof d);
  d.dwSize = sizeof d;
  d.dwFlags = DDSD_CAPS | (width ? DDSD_WIDTH | DDSD_HEIGHT : 0);
  d.ddsCaps.dwCaps = caps;
  d.dwWidth = width;
  d.dwHeight = height;
  return d;
}

IDirectDrawSurface* NewSurface(IDirectDraw* dd, DWORD caps, DWORD width, DWORD height) {
  DDSURFACEDESC d = SurfaceDesc(caps, width, height);
  IDirectDrawSurface* s = NULL;
  EXPECT_EQ(DD_OK, dd->CreateSurface(&d, &s, NULL));
  return s;
}

IDirectDrawClipper* NewClipper(IDirectDraw* dd, HWND hwnd) {
  IDirectDrawClipper* c = NULL;
  EXPECT_EQ(DD_OK, dd->CreateClipper(0, &c, NULL));
  if (c && hwnd) {
    EXPECT_EQ(DD_OK, c->SetHWnd(0, hwnd));
  }
  return c;
}
