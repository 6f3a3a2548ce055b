// gdi32: stock and created objects, device contexts, filling and colours.
// Lines live in lines.cpp, text in text.cpp.
#include <algorithm>
#include <climits>

#include "../damage.h"
#include "internal.h"

namespace w32 {
namespace {

struct GdiState {
  HandleTable<GdiObject> objects{HandleKind::GdiObject};
  HandleTable<DeviceContext> dcs{HandleKind::Dc};
  HGDIOBJ stock[SYSTEM_FONT + 1] = {};
};

GdiState& G() {
  static GdiState g;
  return g;
}

HGDIOBJ MakeObject(GdiObject o) {
  uintptr_t raw = G().objects.Add(std::make_unique<GdiObject>(o));
  if (!raw) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return As<HGDIOBJ>(raw);
}

HGDIOBJ Stock(int index) {
  GdiState& g = G();
  if (!g.stock[index]) {
    GdiObject o{};
    o.stock = true;
    switch (index) {
      case WHITE_BRUSH:
      case LTGRAY_BRUSH:
      case GRAY_BRUSH:
      case DKGRAY_BRUSH:
      case BLACK_BRUSH:
      case NULL_BRUSH: {
        static const COLORREF colors[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000, 0};
        o.type = GdiType::Brush;
        o.color = colors[index];
        o.style = index == NULL_BRUSH ? 1 : 0;
        break;
      }
      case WHITE_PEN:
      case BLACK_PEN:
      case NULL_PEN:
        o.type = GdiType::Pen;
        o.color = index == WHITE_PEN ? 0xFFFFFF : 0;
        o.style = index == NULL_PEN ? PS_NULL : PS_SOLID;
        o.width = 1;
        break;
      default:
        o.type = GdiType::Font;
        break;
    }
    g.stock[index] = MakeObject(o);
  }
  return g.stock[index];
}

void Unselect(HGDIOBJ object) {
  GdiObject* o = FindGdiObject(object);
  if (o && o->selectedIn > 0) o->selectedIn--;
}

}  // namespace

DeviceContext* FindDc(HDC hdc) {
  return G().dcs.Find(Raw(hdc));
}

GdiObject* FindGdiObject(HGDIOBJ object) {
  return G().objects.Find(Raw(object));
}

HDC CreateDeviceContext(pixman_image_t* target, POINT origin, const pixman_region32_t* clip) {
  if (!target) return nullptr;
  auto dc = std::make_unique<DeviceContext>();
  dc->target = pixman_image_ref(target);
  dc->origin = origin;
  pixman_box32_t whole{0, 0, pixman_image_get_width(target), pixman_image_get_height(target)};
  pixman_region32_reset(&dc->clip, &whole);
  if (clip) pixman_region32_intersect(&dc->clip, &dc->clip, clip);
  dc->pen = Stock(BLACK_PEN);
  dc->brush = Stock(WHITE_BRUSH);
  dc->font = Stock(SYSTEM_FONT);
  for (HGDIOBJ o : {dc->pen, dc->brush, dc->font})
    if (GdiObject* obj = FindGdiObject(o)) obj->selectedIn++;
  uintptr_t raw = G().dcs.Add(std::move(dc));
  if (!raw) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return As<HDC>(raw);
}

bool DestroyDeviceContext(HDC hdc) {
  std::unique_ptr<DeviceContext> dc = G().dcs.Remove(Raw(hdc));
  if (!dc) return false;
  for (HGDIOBJ o : {dc->pen, dc->brush, dc->font}) Unselect(o);
  return true;
}

void RetargetDeviceContext(HDC hdc, pixman_image_t* target) {
  DeviceContext* dc = FindDc(hdc);
  if (!dc || !target) return;
  pixman_image_ref(target);
  pixman_image_unref(dc->target);
  dc->target = target;
  pixman_region32_t whole;
  pixman_region32_init_rect(&whole, 0, 0, unsigned(pixman_image_get_width(target)),
                            unsigned(pixman_image_get_height(target)));
  pixman_region32_intersect(&dc->clip, &dc->clip, &whole);
  pixman_region32_fini(&whole);
}

void CutOffDeviceContext(HDC hdc) {
  if (DeviceContext* dc = FindDc(hdc)) pixman_region32_clear(&dc->clip);
}

bool IsLiveDc(HDC hdc) {
  return FindDc(hdc) != nullptr;
}

int StockObjectIndex(HGDIOBJ object) {
  const GdiState& g = G();
  for (int i = 0; object && i <= SYSTEM_FONT; ++i)
    if (g.stock[i] == object) return i;
  return -1;
}

const char* GdiObjectType(HGDIOBJ object) {
  const GdiObject* o = FindGdiObject(object);
  if (!o) return nullptr;
  return o->type == GdiType::Pen ? "pen" : o->type == GdiType::Brush ? "brush" : "font";
}

bool BrushColor(HBRUSH brush, COLORREF* color) {
  GdiObject* o = FindGdiObject(brush);
  if (!o || o->type != GdiType::Brush || o->style != 0) return false;
  *color = o->color;
  return true;
}

uint32_t* ClippedPixel(DeviceContext& dc, int64_t tx, int64_t ty) {
  // The clip lies inside the target, so passing it bounds the index too.
  if (tx < INT32_MIN || tx > INT32_MAX || ty < INT32_MIN || ty > INT32_MAX) return nullptr;
  if (!pixman_region32_contains_point(&dc.clip, int(tx), int(ty), nullptr)) return nullptr;
  uint8_t* base = reinterpret_cast<uint8_t*>(pixman_image_get_data(dc.target));
  return reinterpret_cast<uint32_t*>(base + size_t(ty) * pixman_image_get_stride(dc.target)) + tx;
}

void FillDcRect(DeviceContext& dc, const RECT& r, uint32_t pixel) {
  // Work in 64 bits: a rectangle near the limits of LONG plus the origin
  // must not wrap round into the surface.
  FillTargetBox(dc, int64_t(r.left) + dc.origin.x, int64_t(r.top) + dc.origin.y, int64_t(r.right) + dc.origin.x,
                int64_t(r.bottom) + dc.origin.y, pixel);
}

bool CutToClip(const DeviceContext& dc, int64_t l, int64_t t, int64_t r, int64_t b, pixman_box32_t* out) {
  const pixman_box32_t* e = pixman_region32_extents(&dc.clip);
  l = std::max<int64_t>(l, e->x1);
  t = std::max<int64_t>(t, e->y1);
  r = std::min<int64_t>(r, e->x2);
  b = std::min<int64_t>(b, e->y2);
  if (l >= r || t >= b) return false;
  *out = pixman_box32_t{int(l), int(t), int(r), int(b)};  // inside the clip, so inside int
  return true;
}

void FillTargetBox(DeviceContext& dc, int64_t l, int64_t t, int64_t r, int64_t b, uint32_t pixel) {
  pixman_box32_t box;
  if (!CutToClip(dc, l, t, r, b, &box)) return;
  pixman_region32_t area;
  pixman_region32_init_with_extents(&area, &box);
  pixman_region32_intersect(&area, &area, &dc.clip);
  PlanFill(dc.target, &area, pixel);  // what already has the colour stays as it is
  int n = 0;
  pixman_box32_t* boxes = pixman_region32_rectangles(&area, &n);
  const pixman_color_t color = ToPixmanColor(pixel);
  if (n > 0) pixman_image_fill_boxes(PIXMAN_OP_SRC, dc.target, &color, n, boxes);
  pixman_region32_fini(&area);
}

size_t LiveGdiObjectCount() {
  size_t n = 0;
  G().objects.ForEach([&](uintptr_t, GdiObject* o) { n += o->stock ? 0 : 1; });
  return n;
}

size_t LiveDeviceContextCount() {
  return G().dcs.Count();
}

void ResetGdi() {
  GdiState& g = G();
  g.dcs.Clear();
  g.objects.Clear();
  std::fill(std::begin(g.stock), std::end(g.stock), nullptr);
}

}  // namespace w32

using namespace w32;

HGDIOBJ GetStockObject(int object) {
  if (object < 0 || object > SYSTEM_FONT || (object > NULL_PEN && object < 10)) return nullptr;
  return Stock(object);
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style < PS_SOLID || style > 6) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GdiObject o{};
  o.type = GdiType::Pen;
  o.style = style;
  o.width = width == INT_MIN ? INT_MAX : width < 0 ? -width : width;  // Windows takes the magnitude
  if (o.width == 0) o.width = 1;
  o.color = color & 0x00FFFFFF;
  return static_cast<HPEN>(MakeObject(o));
}

HBRUSH CreateSolidBrush(COLORREF color) {
  GdiObject o{};
  o.type = GdiType::Brush;
  o.color = color & 0x00FFFFFF;
  return static_cast<HBRUSH>(MakeObject(o));
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  DeviceContext* dc = FindDc(hdc);
  GdiObject* o = FindGdiObject(object);
  if (!dc || !o) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  HGDIOBJ* slot = o->type == GdiType::Pen ? &dc->pen : o->type == GdiType::Brush ? &dc->brush : &dc->font;
  HGDIOBJ previous = *slot;
  if (previous == object) return previous;
  o->selectedIn++;
  *slot = object;
  Unselect(previous);
  return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
  GdiObject* o = FindGdiObject(object);
  if (!o) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (o->stock) return TRUE;  // stock objects are never deleted
  // Windows refuses to delete an object still selected into a context: it
  // stays selected and usable, and stays alive after it is deselected
  // until deleted again.
  if (o->selectedIn > 0) return FALSE;
  G().objects.Remove(Raw(object));
  return TRUE;
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  DeviceContext* dc = FindDc(hdc);
  GdiObject* b = FindGdiObject(brush);
  if (!dc || !rect || !b || b->type != GdiType::Brush) return 0;
  if (b->style == 0) FillDcRect(*dc, *rect, ToPixel(b->color));
  return 1;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  DeviceContext* dc = FindDc(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->bkColor;
  dc->bkColor = color;
  return old;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  DeviceContext* dc = FindDc(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->textColor;
  dc->textColor = color;
  return old;
}

int SetBkMode(HDC hdc, int mode) {
  DeviceContext* dc = FindDc(hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->bkMode;
  dc->bkMode = mode;
  return old;
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous) {
  DeviceContext* dc = FindDc(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->position;
  dc->position = POINT{x, y};
  return TRUE;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  DeviceContext* dc = FindDc(hdc);
  if (!dc) return CLR_INVALID;
  int64_t tx = int64_t(x) + dc->origin.x, ty = int64_t(y) + dc->origin.y;
  if (tx < 0 || ty < 0 || tx >= pixman_image_get_width(dc->target) || ty >= pixman_image_get_height(dc->target) ||
      !pixman_region32_contains_point(&dc->clip, int(tx), int(ty), nullptr))
    return CLR_INVALID;
  const uint8_t* base = reinterpret_cast<const uint8_t*>(pixman_image_get_data(dc->target));
  return ToColorRef(reinterpret_cast<const uint32_t*>(base + size_t(ty) * pixman_image_get_stride(dc->target))[tx]);
}
