// ddraw: the DirectDraw object, surfaces and clippers.
//
// Lifetimes follow COM, with one twist from DirectDraw itself: releasing the
// DirectDraw object destroys every surface and clipper it made.
//
// A change of display mode loses the surfaces that live in display memory
// (all but those asked for in system memory): their contents are gone and
// every Blt, GetDC and Lock on them fails with DDERR_SURFACELOST until the
// owner calls Restore, which gives back the memory, cleared. A DC held on a
// surface when it is lost stays a DC: drawing through it succeeds and
// reaches no pixel, and a lock held on the primary surface keeps the memory
// it handed out (the screen as it was) until Unlock. Those
// children free their pixels, DC and references at once, but their C++ shell
// stays until its own count reaches zero (or the host resets), so a call
// through a pointer the program still holds fails with DDERR_INVALIDOBJECT
// instead of touching freed memory.
#include <algorithm>
#include <vector>

#include "../damage.h"
#include "blit.h"
#include "../internal.h"

namespace w32 {
namespace {

// Larger sides are refused rather than attempted: a gigabyte is already an
// absurd surface, and the byte count stays far from overflowing.
constexpr DWORD kMaxSide = 16384;

constexpr DWORD kCooperativeFlags =
    DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_NOWINDOWCHANGES | DDSCL_NORMAL | DDSCL_EXCLUSIVE;
constexpr DWORD kSurfaceDescFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
constexpr DWORD kSurfaceCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY |
                               DDSCAPS_VIDEOMEMORY;
// Blits finish before Blt returns here, so asking for one to run on its own
// (DDBLT_ASYNC) or not to wait for a busy blitter (DDBLT_DONOTWAIT) changes nothing.
constexpr DWORD kBltFlags = DDBLT_WAIT | DDBLT_COLORFILL | DDBLT_ASYNC | DDBLT_DONOTWAIT;

const IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidDirectDraw = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID kIidSurface = {0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID kIidClipper = {0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

bool SameIid(const IID& a, const IID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::equal(std::begin(a.Data4), std::end(a.Data4), std::begin(b.Data4));
}

class DirectDraw;
class Surface;
class Clipper;

struct State {
  std::vector<DirectDraw*> directDraws;
  std::vector<Surface*> surfaces;  // live and destroyed shells
  std::vector<Clipper*> clippers;  // likewise
};

// Never destroyed: whatever the program still holds at exit stays reachable,
// and no destructor runs after the GDI state a DC would need is gone.
State& S() {
  static State* s = new State;
  return *s;
}

template <class T>
void Unregister(std::vector<T*>& list, T* object) {
  list.erase(std::remove(list.begin(), list.end(), object), list.end());
}

bool ValidRect(const RECT& r) {
  return r.left < r.right && r.top < r.bottom;
}

bool Inside(const RECT& r, int width, int height) {
  return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height;
}

class Clipper final : public IDirectDrawClipper {
 public:
  explicit Clipper(DirectDraw* parent) : m_parent(parent) {}

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override;
  HRESULT SetHWnd(DWORD flags, HWND hwnd) override;
  HRESULT GetHWnd(HWND* hwnd) override;

  bool Alive() const { return m_parent != nullptr; }
  DirectDraw* Parent() const { return m_parent; }
  HWND Window() const { return m_hwnd; }
  void Destroy() { m_parent = nullptr; }

 private:
  DirectDraw* m_parent;  // null once destroyed
  ULONG m_refs = 1;
  HWND m_hwnd = nullptr;
};

class Surface final : public IDirectDrawSurface {
 public:
  Surface(DirectDraw* parent, pixman_image_t* image, DWORD caps, bool systemMemory)
      : m_parent(parent), m_primary(image == nullptr), m_systemMemory(systemMemory), m_image(image), m_caps(caps) {}

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override;
  HRESULT Blt(LPRECT destRect, IDirectDrawSurface* source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx) override;
  HRESULT GetDC(HDC* hdc) override;
  HRESULT ReleaseDC(HDC hdc) override;
  HRESULT SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
  HRESULT GetClipper(LPDIRECTDRAWCLIPPER* clipper) override;
  HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) override;
  HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
  HRESULT Unlock(LPVOID surfaceData) override;
  HRESULT IsLost() override;
  HRESULT Restore() override;

  bool Alive() const { return m_parent != nullptr; }
  bool Lost() const { return m_lost; }
  // The display mode changed under it.
  void Lose() {
    if (m_systemMemory) return;
    m_lost = true;
    if (m_dc) CutOffDeviceContext(m_dc);
  }
  DirectDraw* Parent() const { return m_parent; }
  bool IsPrimary() const { return m_primary; }
  bool Busy() const { return m_dc || m_locked; }
  // The primary surface is the screen itself, whatever screen is current.
  pixman_image_t* Image() const { return m_primary ? Screen() : m_image; }
  int Width() const { return pixman_image_get_width(Image()); }
  int Height() const { return pixman_image_get_height(Image()); }
  // Frees pixels, DC and clipper reference; the shell stays for late callers.
  void Destroy();

 private:
  void Describe(DDSURFACEDESC* desc) const;
  // The destination pixels a Blt to `to` may write, in surface coordinates.
  HRESULT DestinationArea(const RECT& to, pixman_region32_t* area) const;
  // Copies `from` of `src` onto `to`, within `area`, which it narrows to
  // what it wrote.
  void Copy(const RECT& to, Surface* src, const RECT& from, pixman_region32_t* area);

  DirectDraw* m_parent;  // null once destroyed
  bool m_primary;
  bool m_systemMemory;  // asked for in system memory: never lost
  bool m_lost = false;
  pixman_image_t* m_image;  // null for the primary surface and once destroyed
  DWORD m_caps;
  ULONG m_refs = 1;
  HDC m_dc = nullptr;
  bool m_locked = false;
  RECT m_lockRect{};
  pixman_image_t* m_lockedImage = nullptr;  // a reference on what Lock handed out
  Clipper* m_clipper = nullptr;  // holds a reference
  // The last copy onto this surface: what, from where, to where, within what.
  struct LastCopy {
    const Surface* source = nullptr;
    RECT to{}, from{};
    pixman_region32_t area;
    LastCopy() { pixman_region32_init(&area); }
    ~LastCopy() { pixman_region32_fini(&area); }
    LastCopy(const LastCopy&) = delete;
    LastCopy& operator=(const LastCopy&) = delete;
  } m_last;
};

class DirectDraw final : public IDirectDraw {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override;
  HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) override;
  HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) override;
  HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override;

  void Forget(Surface* s) {
    if (m_primary == s) m_primary = nullptr;
  }
  // Destroys every surface and clipper this object made.
  void DestroyChildren();

 private:
  ULONG m_refs = 1;
  bool m_cooperative = false;
  Surface* m_primary = nullptr;
};

Surface* FindSurface(IDirectDrawSurface* s) {
  for (Surface* x : S().surfaces)
    if (static_cast<IDirectDrawSurface*>(x) == s) return x;
  return nullptr;
}

Clipper* FindClipper(IDirectDrawClipper* c) {
  for (Clipper* x : S().clippers)
    if (static_cast<IDirectDrawClipper*>(x) == c) return x;
  return nullptr;
}

template <class T>
HRESULT Query(T* self, bool alive, const IID& own, REFIID riid, void** object) {
  if (!object) return DDERR_INVALIDPARAMS;
  *object = nullptr;
  if (!alive) return DDERR_INVALIDOBJECT;
  if (!SameIid(riid, kIidUnknown) && !SameIid(riid, own)) return E_NOINTERFACE;
  self->AddRef();
  *object = self;
  return DD_OK;
}

// ---- Clipper -----------------------------------------------------------------

HRESULT Clipper::QueryInterface(REFIID riid, void** object) {
  return Query(this, Alive(), kIidClipper, riid, object);
}

ULONG Clipper::Release() {
  ULONG left = --m_refs;
  if (left == 0) {
    Unregister(S().clippers, this);
    delete this;
  }
  return left;
}

HRESULT Clipper::SetHWnd(DWORD flags, HWND hwnd) {
  if (!Alive()) return DDERR_INVALIDOBJECT;
  if (flags != 0 || (hwnd && !IsLiveWindow(hwnd))) return DDERR_INVALIDPARAMS;
  if (TakeFault(Call::SetHWnd)) return DDERR_OUTOFMEMORY;
  m_hwnd = hwnd;
  return DD_OK;
}

HRESULT Clipper::GetHWnd(HWND* hwnd) {
  if (!Alive()) return DDERR_INVALIDOBJECT;
  if (!hwnd) return DDERR_INVALIDPARAMS;
  *hwnd = m_hwnd;
  return DD_OK;
}

// ---- Surface -----------------------------------------------------------------

HRESULT Surface::QueryInterface(REFIID riid, void** object) {
  return Query(this, Alive(), kIidSurface, riid, object);
}

ULONG Surface::Release() {
  ULONG left = --m_refs;
  if (left == 0) {
    if (Alive()) m_parent->Forget(this);
    Destroy();
    Unregister(S().surfaces, this);
    delete this;
  }
  return left;
}

void Surface::Destroy() {
  if (m_dc) DestroyDeviceContext(m_dc);
  m_dc = nullptr;
  m_locked = false;
  if (m_lockedImage) pixman_image_unref(m_lockedImage);
  m_lockedImage = nullptr;
  if (m_image) pixman_image_unref(m_image);
  m_image = nullptr;
  Clipper* c = m_clipper;
  m_clipper = nullptr;
  if (c) c->Release();
  m_parent = nullptr;
}

void Surface::Describe(DDSURFACEDESC* desc) const {
  *desc = DDSURFACEDESC{};
  desc->dwSize = sizeof(DDSURFACEDESC);
  desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwWidth = DWORD(Width());
  desc->dwHeight = DWORD(Height());
  desc->lPitch = pixman_image_get_stride(Image());
  desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc->ddpfPixelFormat.dwFlags = DDPF_RGB;
  desc->ddpfPixelFormat.dwRGBBitCount = 32;
  desc->ddpfPixelFormat.dwRBitMask = 0x00FF0000;
  desc->ddpfPixelFormat.dwGBitMask = 0x0000FF00;
  desc->ddpfPixelFormat.dwBBitMask = 0x000000FF;
  desc->ddsCaps.dwCaps = m_caps;
}

HRESULT Surface::GetSurfaceDesc(LPDDSURFACEDESC desc) {
  if (!Alive()) return DDERR_INVALIDOBJECT;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  Describe(desc);
  return DD_OK;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD, HANDLE) {
  if (!Alive()) return DDERR_INVALIDOBJECT;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  RECT r{0, 0, Width(), Height()};
  if (rect) {
    if (!ValidRect(*rect) || !Inside(*rect, Width(), Height())) return DDERR_INVALIDPARAMS;
    r = *rect;
  }
  if (m_lost) return DDERR_SURFACELOST;
  if (Busy()) return DDERR_SURFACEBUSY;
  Describe(desc);
  desc->dwFlags |= DDSD_LPSURFACE;
  uint8_t* base = reinterpret_cast<uint8_t*>(pixman_image_get_data(Image()));
  desc->lpSurface = base + size_t(r.top) * size_t(desc->lPitch) + size_t(r.left) * 4;
  WroteAll(Image());  // the memory is the holder's to write until Unlock
  m_lockedImage = pixman_image_ref(Image());
  m_locked = true;
  m_lockRect = r;
  return DD_OK;
}

HRESULT Surface::Unlock(LPVOID) {
  if (!Alive()) return DDERR_INVALIDOBJECT;
  if (!m_locked) return DDERR_NOTLOCKED;
  m_locked = false;
  pixman_image_t* locked = m_lockedImage;
  m_lockedImage = nullptr;
  if (locked == Image()) {  // else the screen was made anew: what was written is nowhere to be seen
    WroteAll(Image());
    if (IsPrimary()) ScreenChanged(m_lockRect);
  }
  pixman_image_unref(locked);
  return DD_OK;
}

HRESULT Surface::GetDC(HDC* hdc) {
  if (!Alive()) return DDERR_INVALIDOBJECT;
  if (!hdc) return DDERR_INVALIDPARAMS;
  if (m_dc) return DDERR_DCALREADYCREATED;
  *hdc = nullptr;
  if (m_lost) return DDERR_SURFACELOST;
  if (TakeFault(Call::GetDC)) return DDERR_CANTCREATEDC;
  // A lock held at the same time does not keep GDI out, in DirectDraw either.
  HDC dc = CreateDeviceContext(Image(), POINT{0, 0}, nullptr);
  if (!dc) return DDERR_CANTCREATEDC;
  m_dc = dc;
  *hdc = dc;
  return DD_OK;
}

HRESULT Surface::ReleaseDC(HDC hdc) {
  if (!Alive()) return DDERR_INVALIDOBJECT;
  if (!m_dc) return DDERR_NODC;
  if (hdc != m_dc) return DDERR_INVALIDPARAMS;
  DestroyDeviceContext(m_dc);
  m_dc = nullptr;
  if (IsPrimary() && !m_lost) ScreenChanged(RECT{0, 0, Width(), Height()});
  return DD_OK;
}

HRESULT Surface::IsLost() {
  if (!Alive()) return DDERR_INVALIDOBJECT;
  return m_lost ? DDERR_SURFACELOST : DD_OK;
}

HRESULT Surface::Restore() {
  if (!Alive()) return DDERR_INVALIDOBJECT;
  if (!m_lost) return DD_OK;
  m_lost = false;
  // The memory comes back, its contents do not. (The primary surface is
  // the screen, which the window manager keeps drawn.)
  if (m_image) {
    pixman_color_t black{0, 0, 0, 0xFFFF};
    pixman_box32_t all{0, 0, Width(), Height()};
    pixman_image_fill_boxes(PIXMAN_OP_SRC, m_image, &black, 1, &all);
    WroteAll(m_image);
  }
  return DD_OK;
}

HRESULT Surface::SetClipper(LPDIRECTDRAWCLIPPER clipper) {
  if (!Alive()) return DDERR_INVALIDOBJECT;
  Clipper* c = nullptr;
  if (clipper) {
    c = FindClipper(clipper);
    if (!c) return DDERR_INVALIDPARAMS;
    if (!c->Alive()) return DDERR_INVALIDOBJECT;
  }
  if (TakeFault(Call::SetClipper)) return DDERR_GENERIC;
  if (c) c->AddRef();
  Clipper* old = m_clipper;
  m_clipper = c;
  if (old) old->Release();
  return DD_OK;
}

HRESULT Surface::GetClipper(LPDIRECTDRAWCLIPPER* clipper) {
  if (!Alive()) return DDERR_INVALIDOBJECT;
  if (!clipper) return DDERR_INVALIDPARAMS;
  *clipper = nullptr;
  if (!m_clipper) return DDERR_NOCLIPPERATTACHED;
  m_clipper->AddRef();
  *clipper = m_clipper;
  return DD_OK;
}

HRESULT Surface::DestinationArea(const RECT& to, pixman_region32_t* area) const {
  const int width = Width(), height = Height();
  if (!m_clipper) {
    // Without a clipper nothing is cut: the rectangle must fit.
    if (!Inside(to, width, height)) return DDERR_INVALIDRECT;
    pixman_region32_init_rect(area, to.left, to.top, unsigned(to.right - to.left), unsigned(to.bottom - to.top));
    return DD_OK;
  }
  if (!m_clipper->Alive()) return DDERR_INVALIDOBJECT;
  if (!m_clipper->Window()) return DDERR_NOCLIPLIST;
  // The clip list is the window's visible client area in screen
  // coordinates, applied as it stands to whatever surface it is attached to.
  pixman_region32_init(area);
  if (!VisibleClientRegion(m_clipper->Window(), area)) {  // the window has gone since SetHWnd
    pixman_region32_fini(area);
    return DDERR_GENERIC;
  }
  int64_t l = std::max<int64_t>(to.left, 0), t = std::max<int64_t>(to.top, 0);
  int64_t r = std::min<int64_t>(to.right, width), b = std::min<int64_t>(to.bottom, height);
  if (l >= r || t >= b) {
    pixman_region32_clear(area);
    return DD_OK;
  }
  pixman_region32_intersect_rect(area, area, int(l), int(t), unsigned(r - l), unsigned(b - t));
  return DD_OK;
}

void Surface::Copy(const RECT& to, Surface* src, const RECT& from, pixman_region32_t* area) {
  // Blitting the same source the same way as last time (a frame presented
  // again): only what changed since, in the source or under the destination,
  // needs copying. Anything else is copied whole.
  auto same = [](const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  };
  const bool again = src != this && m_last.source == src && same(m_last.to, to) && same(m_last.from, from) &&
                     pixman_region32_equal(&m_last.area, area);
  pixman_region32_t changedSource, changedHere;
  pixman_region32_init(&changedSource);
  pixman_region32_init(&changedHere);
  const bool sourceKnown = TakeChanges(src->Image(), this, &changedSource);
  const bool hereKnown = TakeChanges(Image(), this, &changedHere);
  pixman_region32_copy(&m_last.area, area);
  if (again && sourceKnown && hereKnown) {
    pixman_region32_t shown;
    pixman_region32_init(&shown);
    ShownIn(to, from, &changedSource, &shown);
    pixman_region32_union(&changedHere, &changedHere, &shown);
    pixman_region32_intersect(area, area, &changedHere);
    pixman_region32_fini(&shown);
  }
  m_last.source = src;
  m_last.to = to;
  m_last.from = from;
  BlitStretch(Image(), to, src->Image(), from, area);
  Wrote(Image(), area);
  TakeChanges(Image(), this, &changedHere);  // our own writes are no news to us
  pixman_region32_fini(&changedSource);
  pixman_region32_fini(&changedHere);
}

HRESULT Surface::Blt(LPRECT destRect, IDirectDrawSurface* source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx) {
  if (!Alive()) return DDERR_INVALIDOBJECT;
  if (flags & ~kBltFlags) return DDERR_INVALIDPARAMS;
  const bool fill = (flags & DDBLT_COLORFILL) != 0;
  Surface* src = nullptr;
  if (fill) {
    if (!fx || source) return DDERR_INVALIDPARAMS;
  } else {
    if (!source) return DDERR_INVALIDPARAMS;
    src = FindSurface(source);
    if (!src) return DDERR_INVALIDPARAMS;
    if (!src->Alive()) return DDERR_INVALIDOBJECT;
  }
  const RECT to = destRect ? *destRect : RECT{0, 0, Width(), Height()};
  if (!ValidRect(to)) return DDERR_INVALIDRECT;
  RECT from{};
  if (src) {
    from = sourceRect ? *sourceRect : RECT{0, 0, src->Width(), src->Height()};
    if (!ValidRect(from) || !Inside(from, src->Width(), src->Height())) return DDERR_INVALIDRECT;
  }
  if (m_lost || (src && src->Lost())) return DDERR_SURFACELOST;
  // A DC or lock keeps the surface for its holder, colour fills included.
  if (Busy() || (src && src->Busy())) return DDERR_SURFACEBUSY;

  pixman_region32_t area;
  HRESULT hr = DestinationArea(to, &area);
  if (FAILED(hr)) return hr;
  if (TakeFault(Call::Blt)) {
    pixman_region32_fini(&area);
    return DDERR_GENERIC;
  }
  if (fill) {
    PlanFill(Image(), &area, fx->dwFillColor & 0x00FFFFFF);  // what has the colour already stays
    BlitFill(Image(), &area, fx->dwFillColor & 0x00FFFFFF);
  } else {
    Copy(to, src, from, &area);
  }
  if (IsPrimary() && pixman_region32_not_empty(&area)) {
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&area, &n);
    for (int i = 0; i < n; ++i) ScreenChanged(RECT{boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2});
  }
  pixman_region32_fini(&area);
  if (IsPrimary() && !fill) CurrentHost().PrimaryBlitted();
  return DD_OK;
}

// ---- DirectDraw ----------------------------------------------------------------

HRESULT DirectDraw::QueryInterface(REFIID riid, void** object) {
  return Query(this, true, kIidDirectDraw, riid, object);
}

ULONG DirectDraw::Release() {
  ULONG left = --m_refs;
  if (left == 0) {
    DestroyChildren();
    Unregister(S().directDraws, this);
    delete this;
  }
  return left;
}

void DirectDraw::DestroyChildren() {
  // Surfaces first: they hold references on clippers.
  std::vector<Surface*> surfaces = S().surfaces;
  for (Surface* s : surfaces)
    if (s->Parent() == this) s->Destroy();
  for (Clipper* c : S().clippers)
    if (c->Parent() == this) c->Destroy();
  m_primary = nullptr;
}

HRESULT DirectDraw::SetCooperativeLevel(HWND hwnd, DWORD flags) {
  if (flags & ~kCooperativeFlags) return DDERR_INVALIDPARAMS;
  const bool normal = flags & DDSCL_NORMAL, exclusive = flags & DDSCL_EXCLUSIVE,
             fullscreen = flags & DDSCL_FULLSCREEN;
  if (normal == exclusive || exclusive != fullscreen) return DDERR_INVALIDPARAMS;
  if (hwnd ? !IsLiveWindow(hwnd) : exclusive) return DDERR_INVALIDPARAMS;
  if (TakeFault(Call::SetCooperativeLevel)) return DDERR_GENERIC;
  // Exclusive full-screen mode draws on the same screen here: there are no
  // display modes to change.
  m_cooperative = true;
  return DD_OK;
}

HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) {
  if (!desc || !surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  if (!m_cooperative) return DDERR_NOCOOPERATIVELEVELSET;
  const DWORD f = desc->dwFlags;
  if ((f & ~kSurfaceDescFlags) || !(f & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
  const DWORD caps = desc->ddsCaps.dwCaps;
  if ((caps & ~kSurfaceCaps) ||
      (caps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_OFFSCREENPLAIN)) ==
          (DDSCAPS_PRIMARYSURFACE | DDSCAPS_OFFSCREENPLAIN) ||
      (caps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY)) == (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY))
    return DDERR_INVALIDCAPS;

  pixman_image_t* image = nullptr;
  DWORD reported;
  if (caps & DDSCAPS_PRIMARYSURFACE) {
    // The primary surface is the screen: its size and format are not asked for.
    if (f & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
    if (m_primary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    if (TakeFault(Call::CreateSurface)) return DDERR_OUTOFMEMORY;
    reported = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE | DDSCAPS_VIDEOMEMORY;
  } else {
    if ((f & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
    if (desc->dwWidth == 0 || desc->dwHeight == 0 || desc->dwWidth > kMaxSide || desc->dwHeight > kMaxSide)
      return DDERR_INVALIDPARAMS;
    if (f & DDSD_PIXELFORMAT) {
      const DDPIXELFORMAT& pf = desc->ddpfPixelFormat;
      if (pf.dwSize != sizeof(DDPIXELFORMAT) || pf.dwFlags != DDPF_RGB || pf.dwRGBBitCount != 32 ||
          pf.dwRBitMask != 0x00FF0000 || pf.dwGBitMask != 0x0000FF00 || pf.dwBBitMask != 0x000000FF)
        return DDERR_INVALIDPIXELFORMAT;
    }
    if (TakeFault(Call::CreateSurface)) return DDERR_OUTOFMEMORY;
    image = pixman_image_create_bits(PIXMAN_x8r8g8b8, int(desc->dwWidth), int(desc->dwHeight), nullptr, 0);
    if (!image) return DDERR_OUTOFMEMORY;
    // Plain memory is all we have, whatever placement was asked for.
    reported = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  }
  Surface* s = new Surface(this, image, reported, (caps & DDSCAPS_SYSTEMMEMORY) != 0);
  S().surfaces.push_back(s);
  if (!image) m_primary = s;
  *surface = s;
  return DD_OK;
}

HRESULT DirectDraw::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) {
  if (!clipper) return DDERR_INVALIDPARAMS;
  *clipper = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (flags != 0) return DDERR_INVALIDPARAMS;
  if (TakeFault(Call::CreateClipper)) return DDERR_OUTOFMEMORY;
  Clipper* c = new Clipper(this);
  S().clippers.push_back(c);
  *clipper = c;
  return DD_OK;
}

}  // namespace

size_t LiveDirectDrawObjectCount() {
  const State& s = S();
  size_t n = s.directDraws.size();
  for (const Surface* x : s.surfaces) n += x->Alive() ? 1 : 0;
  for (const Clipper* x : s.clippers) n += x->Alive() ? 1 : 0;
  return n;
}

pixman_image_t* SurfaceImage(IDirectDrawSurface* surface) {
  Surface* s = FindSurface(surface);
  return s && s->Alive() ? s->Image() : nullptr;
}

void LoseSurfaces() {
  for (Surface* s : S().surfaces)
    if (s->Alive()) s->Lose();
}

void ResetDirectDraw() {
  State& s = S();
  // Whatever the last test kept goes now, held or not.
  std::vector<DirectDraw*> all = s.directDraws;
  for (DirectDraw* dd : all) {
    dd->DestroyChildren();
    delete dd;
  }
  for (Surface* x : s.surfaces) delete x;
  for (Clipper* x : s.clippers) delete x;
  s.directDraws.clear();
  s.surfaces.clear();
  s.clippers.clear();
}

}  // namespace w32

using namespace w32;

HRESULT DirectDrawCreate(GUID* driverGuid, LPDIRECTDRAW* directDraw, IUnknown* outer) {
  if (!directDraw) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  // Only the default display driver exists here.
  if (driverGuid) return DDERR_INVALIDDIRECTDRAWGUID;
  if (TakeFault(Call::DirectDrawCreate)) return DDERR_GENERIC;
  DirectDraw* dd = new DirectDraw;
  S().directDraws.push_back(dd);
  *directDraw = dd;
  return DD_OK;
}
