// An image of our own in paper colour with one of our layer's device contexts
// on it, for reading back what GDI calls draw.
#pragma once

#include <algorithm>

#include "w32/gdi/internal.h"

class DcSurface {
 public:
  static constexpr uint32_t kPaper = 0x00203040;
  DcSurface(int width, int height, POINT origin = {0, 0}, const pixman_region32_t* clip = nullptr)
      : m_width(width), m_height(height) {
    m_image = pixman_image_create_bits(PIXMAN_x8r8g8b8, width, height, nullptr, 0);
    Clear();
    m_dc = w32::CreateDeviceContext(m_image, origin, clip);
  }
  ~DcSurface() {
    w32::DestroyDeviceContext(m_dc);
    pixman_image_unref(m_image);
  }
  DcSurface(const DcSurface&) = delete;
  DcSurface& operator=(const DcSurface&) = delete;
  HDC Dc() const { return m_dc; }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  void Clear() { std::fill_n(pixman_image_get_data(m_image), m_width * m_height, kPaper); }
  // XRGB: the X byte is padding.
  uint32_t At(int x, int y) const { return pixman_image_get_data(m_image)[y * m_width + x] & 0x00FFFFFF; }

 private:
  int m_width, m_height;
  pixman_image_t* m_image;
  HDC m_dc;
};
