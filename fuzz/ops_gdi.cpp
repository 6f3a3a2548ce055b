// The operations on gdi32: pens, brushes and stock objects, selecting and
// deleting them, fills, lines, colours and text.
#include <climits>
#include <vector>

#include "harness.h"

namespace layer_fuzz {

void Program::GdiObjects() {
  const uint8_t b = m_in.Byte();
  switch (b % 3) {
    case 0: {
      int style = m_in.Int() % 9 - 1;
      if (b & 0x80) style = m_in.Int();
      int width = m_in.Int();
      if (b & 0x40) width = width % 12;  // mostly the widths a program uses
      Keep(kPen, CreatePen(style, width, m_in.U32()));
      break;
    }
    case 1: {
      const COLORREF colour = m_in.U32();
      HBRUSH brush = CreateSolidBrush(colour);
      Keep(kBrush, brush);
      if (brush) m_brushColours[reinterpret_cast<uintptr_t>(brush)] = colour & 0x00FFFFFF;
      break;
    }
    case 2: {
      const int index = m_in.Int() % 16;
      HGDIOBJ o = GetStockObject(index);
      Keep(kStock, o);
      // White, light grey, grey, dark grey, black and hollow brushes.
      static const COLORREF kStockBrushes[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000, kHollow};
      if (o && index >= WHITE_BRUSH && index <= NULL_BRUSH)
        m_brushColours[reinterpret_cast<uintptr_t>(o)] = kStockBrushes[index];
      break;
    }
  }
}

void Program::Select() {
  HDC hdc = Dc();
  HGDIOBJ object = Pick<HGDIOBJ>(Kind(m_in.Byte() % kKinds));
  Keep(kOther, SelectObject(hdc, object));
}

void Program::Delete() {
  DeleteObject(Pick<HGDIOBJ>(Kind(m_in.Byte() % kKinds)));
}

void Program::Fill() {
  HDC hdc = Dc();
  RECT r = m_in.Rect();
  HBRUSH brush = Pick<HBRUSH>(kBrush);
  CheckedFillRect(hdc, m_in.Byte() < 0xF0 ? &r : nullptr, brush);
}

void Program::Lines() {
  HDC hdc = Dc();
  const uint8_t b = m_in.Byte();
  int n = b % 4 + 1;  // a short polyline
  POINT previous;
  const int x0 = m_in.Int(), y0 = m_in.Int();
  MoveToEx(hdc, x0, y0, (b & 0x80) ? &previous : nullptr);
  for (int i = 0; i < n; ++i) {
    int x = m_in.Int(), y = m_in.Int();
    LineTo(hdc, x, y);
  }
}

void Program::Colours() {
  HDC hdc = Dc();
  const uint8_t b = m_in.Byte();
  switch (b % 4) {
    case 0:
      SetBkColor(hdc, m_in.U32());
      break;
    case 1:
      SetTextColor(hdc, m_in.U32());
      break;
    case 2:
      SetBkMode(hdc, m_in.Int() % 4);
      break;
    case 3: {
      int x = m_in.Int(), y = m_in.Int();
      GetPixel(hdc, x, y);
      break;
    }
  }
}

void Program::Text() {
  HDC hdc = Dc();
  int x = m_in.Int(), y = m_in.Int();
  std::vector<char> bytes = m_in.Bytes();
  const uint8_t b = m_in.Byte();
  // Never longer than the buffer; shorter, empty and negative lengths too.
  int length = int(bytes.size());
  if (b & 1) length = bytes.empty() ? 0 : int(m_in.Byte() % (bytes.size() + 1));
  if ((b & 6) == 6) length = (b & 8) ? -1 : INT_MIN;
  const char* text = bytes.empty() ? nullptr : bytes.data();
  if (!text && (b & 0x10)) text = "";
  if (!text && length > 0) length = 0;
  TextOutA(hdc, x, y, text, length);
}

}  // namespace layer_fuzz
