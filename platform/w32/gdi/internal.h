// The gdi module's objects, shared by the source files in this folder.
#pragma once

#include "../internal.h"

namespace w32 {

enum class GdiType { Pen, Brush, Font };

struct GdiObject {
  GdiType type;
  bool stock = false;
  COLORREF color = 0;
  int style = PS_SOLID;  // pens: PS_*; brushes: 0 solid, 1 hollow
  int width = 1;         // pens only
  int selectedIn = 0;    // how many device contexts hold it
};

struct DeviceContext {
  pixman_image_t* target = nullptr;  // a reference of its own: never left dangling
  POINT origin{0, 0};                // where (0, 0) falls on the target
  pixman_region32_t clip;            // target coordinates, already inside the target
  HGDIOBJ pen = nullptr;
  HGDIOBJ brush = nullptr;
  HGDIOBJ font = nullptr;
  COLORREF bkColor = 0x00FFFFFF;
  COLORREF textColor = 0x00000000;
  int bkMode = OPAQUE;
  POINT position{0, 0};

  // The clip region and the target go with the context however it ends.
  DeviceContext() { pixman_region32_init(&clip); }
  ~DeviceContext() {
    pixman_region32_fini(&clip);
    if (target) pixman_image_unref(target);
  }
  DeviceContext(const DeviceContext&) = delete;
  DeviceContext& operator=(const DeviceContext&) = delete;
};

DeviceContext* FindDc(HDC hdc);
GdiObject* FindGdiObject(HGDIOBJ object);

// Fills a rectangle given in DC coordinates, cut by the clip.
void FillDcRect(DeviceContext& dc, const RECT& r, uint32_t pixel);
// The same in target coordinates: [l, r) x [t, b), any 64-bit values.
void FillTargetBox(DeviceContext& dc, int64_t l, int64_t t, int64_t r, int64_t b, uint32_t pixel);
// [l, r) x [t, b) in target coordinates, any 64-bit values, cut to the
// clip's extents; false when nothing is left.
bool CutToClip(const DeviceContext& dc, int64_t l, int64_t t, int64_t r, int64_t b, pixman_box32_t* out);
// The target pixel at (tx, ty) when the clip lets us write it, else null.
uint32_t* ClippedPixel(DeviceContext& dc, int64_t tx, int64_t ty);

}  // namespace w32
