// Blt's pixel work: pixman stores the pixels, fills and does unscaled copies;
// the stretch is ours. pixman's nearest filter steps through the source with
// a truncated 16.16 scale, so at many sizes some destination columns take the
// neighbour of the pixel under their centre, and at large sizes it costs
// several times the plain writing of the destination.
#include <cstring>
#include <vector>

#include "ddraw_blit.h"

namespace w32 {
namespace {

uint32_t* Row(pixman_image_t* image, int64_t y) {
  return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(pixman_image_get_data(image)) +
                                     size_t(y) * size_t(pixman_image_get_stride(image)));
}

// A private copy of `from`, for blits whose source and destination are the
// same image and may overlap.
pixman_image_t* Snapshot(pixman_image_t* src, const RECT& from) {
  int w = from.right - from.left, h = from.bottom - from.top;
  pixman_image_t* copy = pixman_image_create_bits_no_clear(PIXMAN_x8r8g8b8, w, h, nullptr, 0);
  if (copy) pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, copy, from.left, from.top, 0, 0, 0, 0, w, h);
  return copy;
}

void CopyUnscaled(pixman_image_t* dst, const RECT& to, pixman_image_t* src, const RECT& from,
                  const pixman_box32_t* boxes, int n) {
  for (int i = 0; i < n; ++i) {
    const pixman_box32_t& b = boxes[i];
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, int(from.left + (int64_t(b.x1) - to.left)),
                             int(from.top + (int64_t(b.y1) - to.top)), 0, 0, b.x1, b.y1, b.x2 - b.x1, b.y2 - b.y1);
  }
}

void Stretch(pixman_image_t* dst, const RECT& to, pixman_image_t* src, const RECT& from,
             const pixman_region32_t* area, const pixman_box32_t* boxes, int n) {
  const int64_t dw = int64_t(to.right) - to.left, dh = int64_t(to.bottom) - to.top;
  const int64_t sw = int64_t(from.right) - from.left, sh = int64_t(from.bottom) - from.top;
  const pixman_box32_t* ext = pixman_region32_extents(area);
  const int spanLeft = ext->x1;
  const size_t span = size_t(ext->x2 - ext->x1);

  // Source column of every destination column the area reaches; only needed
  // when the width changes, otherwise source rows are read in place.
  const bool sameWidth = sw == dw;
  std::vector<uint32_t> columns;
  std::vector<uint32_t> row;
  if (!sameWidth) {
    columns.resize(span);
    for (size_t k = 0; k < span; ++k)
      columns[k] = uint32_t(from.left + SourceOffset(int64_t(spanLeft) + int64_t(k) - to.left, sw, dw));
    row.resize(span);
  }

  // Boxes come in bands of equal y, sorted by y, and the source row only
  // grows with y: each source row is gathered once, then copied to every
  // destination row that shows it.
  int64_t builtRow = -1;
  const uint32_t* line = nullptr;  // the current source row, indexed from spanLeft
  for (int i = 0; i < n;) {
    int end = i;
    while (end < n && boxes[end].y1 == boxes[i].y1) ++end;
    for (int y = boxes[i].y1; y < boxes[i].y2; ++y) {
      int64_t sy = from.top + SourceOffset(int64_t(y) - to.top, sh, dh);
      if (sy != builtRow) {
        const uint32_t* source = Row(src, sy);
        if (sameWidth) {
          line = source + (int64_t(from.left) - to.left + spanLeft);
        } else {
          for (size_t k = 0; k < span; ++k) row[k] = source[columns[k]];
          line = row.data();
        }
        builtRow = sy;
      }
      uint32_t* out = Row(dst, y);
      for (int b = i; b < end; ++b)
        std::memcpy(out + boxes[b].x1, line + (boxes[b].x1 - spanLeft),
                    size_t(boxes[b].x2 - boxes[b].x1) * sizeof(uint32_t));
    }
    i = end;
  }
}

}  // namespace

void BlitFill(pixman_image_t* dst, const pixman_region32_t* area, uint32_t pixel) {
  int n = 0;
  pixman_box32_t* boxes = pixman_region32_rectangles(const_cast<pixman_region32_t*>(area), &n);
  if (n == 0) return;
  pixman_color_t color{uint16_t(((pixel >> 16) & 0xFF) * 0x101), uint16_t(((pixel >> 8) & 0xFF) * 0x101),
                       uint16_t((pixel & 0xFF) * 0x101), 0xFFFF};
  pixman_image_fill_boxes(PIXMAN_OP_SRC, dst, &color, n, boxes);
}

void BlitStretch(pixman_image_t* dst, const RECT& to, pixman_image_t* src, const RECT& from,
                 const pixman_region32_t* area) {
  int n = 0;
  const pixman_box32_t* boxes = pixman_region32_rectangles(const_cast<pixman_region32_t*>(area), &n);
  if (n == 0) return;
  pixman_image_t* copy = nullptr;
  RECT source = from;
  if (src == dst) {
    copy = Snapshot(src, from);
    if (!copy) return;
    src = copy;
    source = RECT{0, 0, from.right - from.left, from.bottom - from.top};
  }
  if (int64_t(source.right) - source.left == int64_t(to.right) - to.left &&
      int64_t(source.bottom) - source.top == int64_t(to.bottom) - to.top)
    CopyUnscaled(dst, to, src, source, boxes, n);
  else
    Stretch(dst, to, src, source, area, boxes, n);
  if (copy) pixman_image_unref(copy);
}

}  // namespace w32
