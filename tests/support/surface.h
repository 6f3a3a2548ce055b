// DirectDraw objects made for a test, and their pixels read and written
// through Lock, as 32-bit XRGB.
#pragma once

#include <cstdint>
#include <functional>
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
// Sets every pixel of the surface to pixelAt(x, y) through Lock.
bool PaintSurface(IDirectDrawSurface* surface, const std::function<uint32_t(int x, int y)>& pixelAt);

// Each made with DD_OK, else the test fails: a DirectDraw object (at `level`
// unless 0), a surface (sized unless width is 0), a clipper (on `hwnd` if any).
IDirectDraw* NewDirectDraw(DWORD level = DDSCL_NORMAL);
DDSURFACEDESC SurfaceDesc(DWORD caps, DWORD width = 0, DWORD height = 0);
IDirectDrawSurface* NewSurface(IDirectDraw* dd, DWORD caps, DWORD width = 0, DWORD height = 0);
IDirectDrawClipper* NewClipper(IDirectDraw* dd, HWND hwnd = NULL);
