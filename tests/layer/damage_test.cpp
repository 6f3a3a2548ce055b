// Our layer skips work on pixels it knows did not change. Every way of
// writing a surface must count: after each, filling the surface again with
// what it held before has to cover what was written.
#include <gtest/gtest.h>

#include <functional>

#include "headless.h"
#include "support/surface.h"

namespace {

const DWORD kPlain = DDSCAPS_OFFSCREENPLAIN;

void Draw(IDirectDrawSurface* s, const std::function<void(HDC)>& draw) {
  HDC dc;
  ASSERT_EQ(DD_OK, s->GetDC(&dc));
  draw(dc);
  s->ReleaseDC(dc);
}

void FillBlack(IDirectDrawSurface* s) {
  Draw(s, [](HDC dc) {
    RECT all = {0, 0, 32, 32};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  });
}

TEST(Damage, EveryKindOfWriteIsCoveredByTheNextFill) {
  IDirectDraw* dd = NewDirectDraw();
  IDirectDrawSurface* s = NewSurface(dd, kPlain, 32, 32);
  IDirectDrawSurface* white = NewSurface(dd, kPlain, 32, 32);
  ASSERT_TRUE(FillSurface(white, RECT{0, 0, 32, 32}, 0xFFFFFF));
  DDBLTFX fx = {};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0xFFFFFF;
  const struct {
    const char* name;
    std::function<void()> write;
  } writes[] = {
      {"Lock", [&] { FillSurface(s, RECT{3, 3, 9, 9}, 0xFFFFFF); }},
      {"a white brush", [&] { Draw(s, [](HDC dc) {
         RECT r = {3, 3, 9, 9};
         FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
       }); }},
      {"a cosmetic line", [&] { Draw(s, [](HDC dc) {
         SelectObject(dc, GetStockObject(WHITE_PEN));
         MoveToEx(dc, 2, 2, NULL);
         LineTo(dc, 20, 9);
       }); }},
      {"a wide line", [&] { Draw(s, [](HDC dc) {
         HPEN pen = CreatePen(PS_SOLID, 5, 0xFFFFFF);
         HGDIOBJ old = SelectObject(dc, pen);
         MoveToEx(dc, 8, 8, NULL);
         LineTo(dc, 8, 8);
         SelectObject(dc, old);
         DeleteObject(pen);
       }); }},
      {"text", [&] { Draw(s, [](HDC dc) {
         SetTextColor(dc, 0xFFFFFF);
         SetBkColor(dc, 0xFF0000);
         TextOutA(dc, 1, 1, "Hi", 2);
       }); }},
      {"a blit", [&] { s->Blt(NULL, white, NULL, DDBLT_WAIT, NULL); }},
      {"a colour fill", [&] { s->Blt(NULL, NULL, NULL, DDBLT_WAIT | DDBLT_COLORFILL, &fx); }},
      {"a restore", [&] {
         FillSurface(s, RECT{0, 0, 32, 32}, 0xFFFFFF);
         s->Restore();  // not lost: nothing happens, and the white stays
       }},
  };
  for (const auto& w : writes) {
    SCOPED_TRACE(w.name);
    FillBlack(s);
    w.write();
    FillBlack(s);
    SurfacePixels p;
    ASSERT_TRUE(ReadSurface(s, &p));
    int lit = 0;
    for (uint32_t px : p.pixels) lit += (px & 0xFFFFFF) != 0;
    EXPECT_EQ(0, lit);
  }
  dd->Release();
  white->Release();
  s->Release();
}

}  // namespace
