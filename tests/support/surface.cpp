#include "surface.h"

#include <cstring>

bool ReadSurface(IDirectDrawSurface* surface, SurfacePixels* out) {
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (surface->Lock(NULL, &desc, DDLOCK_WAIT | DDLOCK_READONLY, NULL) != DD_OK) return false;
  bool ok = desc.ddpfPixelFormat.dwRGBBitCount == 32;
  if (ok) {
    out->width = int(desc.dwWidth);
    out->height = int(desc.dwHeight);
    out->pixels.resize(size_t(out->width) * out->height);
    for (int y = 0; y < out->height; ++y)
      std::memcpy(&out->pixels[size_t(y) * out->width],
                  static_cast<const uint8_t*>(desc.lpSurface) + size_t(y) * desc.lPitch, size_t(out->width) * 4);
  }
  surface->Unlock(desc.lpSurface);
  return ok;
}

bool FillSurface(IDirectDrawSurface* surface, const RECT& r, uint32_t pixel) {
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (surface->Lock(NULL, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, NULL) != DD_OK) return false;
  for (LONG y = r.top; y < r.bottom; ++y)
    for (LONG x = r.left; x < r.right; ++x)
      reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(desc.lpSurface) + size_t(y) * desc.lPitch)[x] = pixel;
  surface->Unlock(desc.lpSurface);
  return true;
}
