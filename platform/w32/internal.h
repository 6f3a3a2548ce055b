// Shared state and helpers of our Win32 layer. Not for app/ or framework/.
// The layer is single-threaded, like the program: one thread owns every
// window, message queue, GDI object and DirectDraw object.
#pragma once

#include <pixman.h>

#include <memory>
#include <string>
#include <vector>

#include "calls.h"
#include "ddraw.h"
#include "host.h"
#include "windows.h"

namespace w32 {

// ---- Handles -------------------------------------------------------------
// A handle value is kind | generation | slot + 1, from the top bit down. It
// is only ever looked up, so a stale, foreign (wrong kind) or made-up value
// simply fails the lookup. Handles must fit a pointer, as on Windows:
//  - 64-bit: kind << 48, 32 generation bits, 16 slot bits; a slot would have
//    to be reused four billion times before an old handle named a new object;
//  - 32-bit (wasm32): kind in the top 3 bits, 15 generation bits, 14 slot
//    bits (16,383 live objects of a kind); an old handle is caught for 32,767
//    reuses of its slot.
// Either way the kind keeps every handle at or above 0x20000000, far from
// the small numbers (atoms, ids) it could be mistaken for.
enum class HandleKind : uint32_t { Window = 1, Dc = 2, GdiObject = 3, Instance = 4, Cursor = 5 };

struct HandleLayout {
  static constexpr bool kWide = sizeof(uintptr_t) >= 8;
  static constexpr int kSlotBits = kWide ? 16 : 14;
  static constexpr int kGenerationBits = kWide ? 32 : 15;
  static constexpr int kKindShift = kSlotBits + kGenerationBits;
  static constexpr uint64_t kSlotMask = (uint64_t(1) << kSlotBits) - 1;
  static constexpr uint64_t kGenerationMask = (uint64_t(1) << kGenerationBits) - 1;
  static_assert(kKindShift + 3 <= int(sizeof(uintptr_t)) * 8, "handles must fit a pointer");
};

template <class T>
class HandleTable {
 public:
  explicit HandleTable(HandleKind kind) : m_kind(kind) {}

  // Takes ownership; returns 0 when the table is full.
  uintptr_t Add(std::unique_ptr<T> object) {
    for (size_t i = 0; i < m_slots.size(); ++i) {
      if (!m_slots[i].object) return Place(i, std::move(object));
    }
    if (m_slots.size() >= kMaxSlots) return 0;
    m_slots.push_back(Slot{});
    return Place(m_slots.size() - 1, std::move(object));
  }
  T* Find(uintptr_t handle) const {
    size_t slot;
    return Decode(handle, &slot) ? m_slots[slot].object.get() : nullptr;
  }
  std::unique_ptr<T> Remove(uintptr_t handle) {
    size_t slot;
    if (!Decode(handle, &slot)) return nullptr;
    // 1 ... the largest generation, round again; never 0.
    m_slots[slot].generation = uint32_t(m_slots[slot].generation % HandleLayout::kGenerationMask + 1);
    return std::move(m_slots[slot].object);
  }
  size_t Count() const {
    size_t n = 0;
    for (const Slot& s : m_slots) n += s.object ? 1 : 0;
    return n;
  }
  void Clear() { m_slots.clear(); }
  // Visits live objects in slot order; the callback gets (handle, object).
  template <class F>
  void ForEach(F f) const {
    for (size_t i = 0; i < m_slots.size(); ++i)
      if (m_slots[i].object) f(Encode(i), m_slots[i].object.get());
  }

 private:
  static constexpr size_t kMaxSlots = HandleLayout::kSlotMask;
  struct Slot {
    std::unique_ptr<T> object;
    uint32_t generation = 1;
  };
  uintptr_t Encode(size_t slot) const {
    return uintptr_t((uint64_t(m_kind) << HandleLayout::kKindShift) |
                     (uint64_t(m_slots[slot].generation) << HandleLayout::kSlotBits) | (slot + 1));
  }
  uintptr_t Place(size_t slot, std::unique_ptr<T> object) {
    m_slots[slot].object = std::move(object);
    return Encode(slot);
  }
  bool Decode(uintptr_t handle, size_t* slot) const {
    if ((uint64_t(handle) >> HandleLayout::kKindShift) != uint64_t(m_kind)) return false;
    size_t index = size_t(handle & HandleLayout::kSlotMask);
    if (index == 0 || index > m_slots.size()) return false;
    const Slot& s = m_slots[index - 1];
    if (!s.object || ((uint64_t(handle) >> HandleLayout::kSlotBits) & HandleLayout::kGenerationMask) != s.generation)
      return false;
    *slot = index - 1;
    return true;
  }
  HandleKind m_kind;
  std::vector<Slot> m_slots;
};

// A handle that names one fixed thing and is no table's (the module, a
// system cursor): its kind where a table handle keeps its own, so no table
// of another kind ever takes it for one of its objects.
inline uintptr_t FixedHandle(HandleKind kind, uint32_t value) {
  const uint64_t below = (uint64_t(1) << HandleLayout::kKindShift) - 1;
  return uintptr_t((uint64_t(kind) << HandleLayout::kKindShift) | (value & below));
}

template <class H>
uintptr_t Raw(H handle) {
  return reinterpret_cast<uintptr_t>(handle);
}
template <class H>
H As(uintptr_t value) {
  return reinterpret_cast<H>(value);
}

// The most a display's side can measure, in pixels.
constexpr int kMaxDisplaySide = 16384;

// ---- Colours ---------------------------------------------------------------
// COLORREF is 0x00BBGGRR; the screen and surfaces hold XRGB pixels 0x00RRGGBB.
inline uint32_t ToPixel(COLORREF c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF ToColorRef(uint32_t pixel) {
  return ((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
}
// An XRGB pixel as pixman's fills take it: 16 bits a channel, opaque.
inline pixman_color_t ToPixmanColor(uint32_t pixel) {
  return pixman_color_t{uint16_t(((pixel >> 16) & 0xFF) * 0x101), uint16_t(((pixel >> 8) & 0xFF) * 0x101),
                        uint16_t((pixel & 0xFF) * 0x101), 0xFFFF};
}

// ---- Fault injection -------------------------------------------------------
// Makes the call fail once, after `skip` more successful calls of that kind.
void FailNext(Call call, int skip);
// True when this call should fail now (consumes the armed fault).
bool TakeFault(Call call);
void ClearFaults();

// ---- Screen ----------------------------------------------------------------
pixman_image_t* Screen();
int ScreenWidth();
int ScreenHeight();
void ResetScreen(int width, int height);
void ScreenChanged(const RECT& r);

// ---- Windows (user module), for gdi and ddraw --------------------------------
// The window's client area on the screen that no other window covers, in
// screen coordinates. False for a bad handle. Empty when hidden or minimised.
bool VisibleClientRegion(HWND hwnd, pixman_region32_t* out);
bool IsLiveWindow(HWND hwnd);

// ---- GDI (gdi module), for user and ddraw -------------------------------------
// A device context drawing onto `target`; `origin` is where the DC's (0, 0)
// falls on the target, and `clip` (target coordinates, may be null) limits
// every write. The DC holds a reference on the target for as long as it
// lives, so whatever happens to the target's owner it never draws on freed
// memory.
HDC CreateDeviceContext(pixman_image_t* target, POINT origin, const pixman_region32_t* clip);
bool DestroyDeviceContext(HDC hdc);
// Points a live context at another image of the same kind (the screen made
// anew at another size): its clip is cut to the new image, so drawing
// through it stays inside.
void RetargetDeviceContext(HDC hdc, pixman_image_t* target);
// The memory under the context is gone (its surface was lost): drawing
// through it still succeeds, as on Windows, and reaches no pixel.
void CutOffDeviceContext(HDC hdc);
bool IsLiveDc(HDC hdc);
// The colour a brush paints with; false for a bad or hollow brush.
bool BrushColor(HBRUSH brush, COLORREF* color);
// What a GDI object is, for the trace: its index among the stock objects
// (-1 for the program's own), and "pen", "brush" or "font" (null when no
// such object lives).
int StockObjectIndex(HGDIOBJ object);
const char* GdiObjectType(HGDIOBJ object);

// ---- Records and counts (kernel / user / gdi / ddraw) ----------------------
struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};
struct Records {
  int beeps = 0;
  std::vector<std::pair<DWORD, DWORD>> beepArgs;
  std::vector<MessageBoxRecord> messageBoxes;
};
Records& TheRecords();

size_t LiveWindowCount();
size_t LiveTimerCount();
size_t LiveGdiObjectCount();      // pens and brushes made by the program
size_t LiveDeviceContextCount();
size_t LiveDirectDrawObjectCount();  // DirectDraw objects, surfaces, clippers
// The display mode changed: surfaces in display memory are lost (ddraw module).
void LoseSurfaces();
// The memory behind a live surface (the screen for the primary surface), or
// null; for the headless host's readers.
pixman_image_t* SurfaceImage(IDirectDrawSurface* surface);

// Per-module resets, called by the headless host between tests.
void ResetKernel();
void ResetUser();
void ResetGdi();
void ResetDirectDraw();

}  // namespace w32
