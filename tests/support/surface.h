// Reading and writing DirectDraw surface pixels through Lock, as 32-bit XRGB.
#pragma once

#include <cstdint>
#include <vector>

#include "win32.h"

struct SurfacePixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, row by row
  uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x] & 0x00FFFFFF; }
};

// False when the surface cannot be locked or is not 32 bits a pixel.
bool ReadSurface(IDirectDrawSurface* surface, SurfacePixels* out);
// Fills a rectangle of the surface with one XRGB value through Lock.
bool FillSurface(IDirectDrawSurface* surface, const RECT& r, uint32_t pixel);
