// How the trace shows what crosses the layer's edge (decode.h).
#include "decode.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "internal.h"
#include "names.h"

namespace w32 {
namespace trace {
namespace {

constexpr size_t kMostText = 64;  // longer text is cut, with "..." after it

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string Hex(uint64_t v) {
  return v == 0 ? "0" : Format("0x%" PRIX64, v);
}

std::string Address(const void* p) {
  return p ? Format("0x%" PRIxPTR, reinterpret_cast<uintptr_t>(p)) : "NULL";
}

template <size_t N>
std::string NameOrNumber(const Named (&table)[N], int64_t v) {
  if (const char* name = NameIn(table, uint32_t(v))) return name;
  return std::to_string(v);
}

// At most `limit` bytes, stopping at a terminating zero; quoted, with what
// would not print escaped.
std::string Quoted(const char* text, size_t limit) {
  if (!text) return "NULL";
  std::string out = "\"";
  size_t i = 0;
  for (; i < limit && i < kMostText && text[i]; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      out += Format("\\x%02X", c);
    } else {
      out += char(c);
    }
  }
  out += '"';
  if (i == kMostText && i < limit && text[i]) out += "...";
  return out;
}

// A class or resource name may be a small number instead (an atom, an id).
bool IsAtom(const void* p) {
  return reinterpret_cast<uintptr_t>(p) < 0x10000;
}

std::string ClassName(const char* name) {
  if (name && IsAtom(name)) return Format("#%u", unsigned(reinterpret_cast<uintptr_t>(name)));
  return Quoted(name, SIZE_MAX);
}

std::string RectText(const RECT& r) {
  return Format("{%d,%d,%d,%d}", int(r.left), int(r.top), int(r.right), int(r.bottom));
}
std::string RectAt(const void* p) {
  return p ? RectText(*static_cast<const RECT*>(p)) : "NULL";
}
std::string PointAt(const void* p) {
  if (!p) return "NULL";
  const POINT& pt = *static_cast<const POINT*>(p);
  return Format("{%d,%d}", int(pt.x), int(pt.y));
}

// A handle as the program would tell them apart: what it names and the
// slot it has ("hwnd#1", "pen#5"), stock objects and cursors by name; the
// number when it is not a handle of the kind the parameter takes.
std::string HandleText(uintptr_t value, HandleKind expected) {
  if (value == 0) return "NULL";
  HANDLE handle = reinterpret_cast<HANDLE>(value);
  // The module and the system cursors are fixed values, not table slots.
  if (expected == HandleKind::Instance)
    return handle == ::GetModuleHandleA(nullptr) ? "hinstance" : Hex(value);
  if (expected == HandleKind::Cursor) {
    const uintptr_t id = value & 0xFFFFFFF;
    if (id < 32512 || id > 32651 || handle != ::LoadCursorA(nullptr, MAKEINTRESOURCEA(id))) return Hex(value);
    return id == 32512 ? "IDC_ARROW" : Format("hcursor#%u", unsigned(id));
  }
  const uint64_t slot = uint64_t(value) & HandleLayout::kSlotMask;
  if ((uint64_t(value) >> HandleLayout::kKindShift) != uint64_t(expected) || slot == 0) return Hex(value);
  const char* what = expected == HandleKind::Window ? "hwnd" : "hdc";
  if (expected == HandleKind::GdiObject) {
    HGDIOBJ object = reinterpret_cast<HGDIOBJ>(value);
    const int stock = StockObjectIndex(object);
    if (stock >= 0) return NameOrNumber(kStockObjectNames, stock);
    what = GdiObjectType(object);
    if (!what) what = "gdiobj";  // deleted, or never made
  }
  return Format("%s#%" PRIu64, what, slot);
}
std::string HandleText(const void* handle, HandleKind expected) {
  return HandleText(reinterpret_cast<uintptr_t>(handle), expected);
}

std::string ObjectText(const void* object) {
  if (const char* label = ObjectLabel(object)) return label;
  return Address(object);
}

std::string ColorText(COLORREF c) {
  if (c == CLR_INVALID) return "CLR_INVALID";
  if (c >> 24) return Format("0x%08X", unsigned(c));
  return Format("RGB(%u,%u,%u)", unsigned(GetRValue(c)), unsigned(GetGValue(c)), unsigned(GetBValue(c)));
}

std::string HResultText(HRESULT hr) {
  if (const char* name = NameIn(kHResultNames, uint32_t(hr))) return name;
  return Format("0x%08X", unsigned(hr));
}

std::string MessageText(UINT message) {
  char buffer[16];
  return MessageLabel(message, buffer);
}

std::string WParamText(UINT message, WPARAM w);
std::string LParamText(UINT message, WPARAM w, LPARAM l, bool readRecords);

std::string MsgText(const void* p) {
  if (!p) return "NULL";
  const MSG& m = *static_cast<const MSG*>(p);
  return "{" + HandleText(m.hwnd, HandleKind::Window) + ", " + MessageText(m.message) + ", " +
         WParamText(m.message, m.wParam) + ", " + LParamText(m.message, m.wParam, m.lParam, false) + "}";
}

std::string PaintText(const void* p) {
  if (!p) return "NULL";
  const PAINTSTRUCT& ps = *static_cast<const PAINTSTRUCT*>(p);
  return "{hdc=" + HandleText(ps.hdc, HandleKind::Dc) + ", fErase=" + (ps.fErase ? "TRUE" : "FALSE") +
         ", rcPaint=" + RectText(ps.rcPaint) + "}";
}

std::string WndClassText(const void* p) {
  if (!p) return "NULL";
  const WNDCLASSA& wc = *static_cast<const WNDCLASSA*>(p);
  return "{style=" + FlagNames(kClassStyleNames, wc.style) +
         ", hInstance=" + HandleText(wc.hInstance, HandleKind::Instance) +
         ", hCursor=" + HandleText(wc.hCursor, HandleKind::Cursor) +
         ", hbrBackground=" + HandleText(wc.hbrBackground, HandleKind::GdiObject) +
         ", lpszClassName=" + ClassName(wc.lpszClassName) + "}";
}

// The interfaces a program may ask DirectDraw objects for.
std::string IidText(const GUID& g) {
  static const struct {
    DWORD data1;
    const char* name;
  } kKnown[] = {{0x00000000, "IID_IUnknown"},
                {0x6C14DB80, "IID_IDirectDraw"},
                {0x6C14DB81, "IID_IDirectDrawSurface"},
                {0x6C14DB85, "IID_IDirectDrawClipper"}};
  static const BYTE kDirectDrawTail[8] = {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60};
  static const BYTE kUnknownTail[8] = {0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  for (const auto& k : kKnown) {
    const BYTE* tail = k.data1 ? kDirectDrawTail : kUnknownTail;
    const WORD d2 = k.data1 ? 0xA733 : 0, d3 = k.data1 ? 0x11CE : 0;
    if (g.Data1 == k.data1 && g.Data2 == d2 && g.Data3 == d3 && std::memcmp(g.Data4, tail, 8) == 0) return k.name;
  }
  return Format("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(g.Data1), unsigned(g.Data2),
                unsigned(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
}

std::string SurfaceDescText(const void* p, bool written) {
  if (!p) return "NULL";
  const DDSURFACEDESC& d = *static_cast<const DDSURFACEDESC*>(p);
  std::string out = Format("{dwSize=%u, dwFlags=", unsigned(d.dwSize)) + FlagNames(kSurfaceDescNames, d.dwFlags);
  // What the record says only counts where its flags say so.
  if (d.dwFlags & DDSD_WIDTH) out += Format(", dwWidth=%u", unsigned(d.dwWidth));
  if (d.dwFlags & DDSD_HEIGHT) out += Format(", dwHeight=%u", unsigned(d.dwHeight));
  if (written && (d.dwFlags & DDSD_PITCH)) out += Format(", lPitch=%d", int(d.lPitch));
  if (d.dwFlags & DDSD_CAPS) out += ", ddsCaps=" + FlagNames(kSurfaceCapsNames, d.ddsCaps.dwCaps);
  return out + "}";
}

std::string WParamText(UINT message, WPARAM w) {
  switch (message) {
    case WM_SIZE: return NameOrNumber(kSizeNames, int64_t(w));
    case WM_ACTIVATE: {
      std::string state = NameOrNumber(kActivateNames, LOWORD(w));
      return HIWORD(w) ? state + ", minimized" : state;
    }
    case WM_ACTIVATEAPP:
    case WM_NCACTIVATE:
    case WM_SHOWWINDOW:
    case WM_NCCALCSIZE: return w == 0 ? "FALSE" : w == 1 ? "TRUE" : Hex(w);
    case WM_ERASEBKGND: return HandleText(w, HandleKind::Dc);
    case WM_SETFOCUS:
    case WM_KILLFOCUS: return HandleText(w, HandleKind::Window);
    case WM_SYSCOMMAND: return NamedOrHex(kSysCommandNames, uint32_t(w & 0xFFF0));
    case WM_TIMER: return std::to_string(uint64_t(w));
    default: return Hex(w);
  }
}

std::string LParamText(UINT message, WPARAM w, LPARAM l, bool readRecords) {
  const char* pointed = RecordNamed(message, w);
  // A record the program made is named, not read: it may be anything.
  if (pointed && l && !readRecords) return pointed;
  if (pointed && l) {
    const void* p = reinterpret_cast<const void*>(l);
    switch (message) {
      case WM_CREATE:
      case WM_NCCREATE: {
        const CREATESTRUCTA& c = *static_cast<const CREATESTRUCTA*>(p);
        return Format("&CREATESTRUCTA{x=%d, y=%d, cx=%d, cy=%d, style=", c.x, c.y, c.cx, c.cy) +
               FlagNames(kWindowStyleNames, uint32_t(c.style), "WS_OVERLAPPED") + ", lpszName=" +
               Quoted(c.lpszName, SIZE_MAX) + ", lpszClass=" + ClassName(c.lpszClass) + "}";
      }
      case WM_GETMINMAXINFO: {
        const MINMAXINFO& m = *static_cast<const MINMAXINFO*>(p);
        return Format("&MINMAXINFO{ptMaxSize={%d,%d}, ptMaxPosition={%d,%d}, ptMinTrackSize={%d,%d}, "
                      "ptMaxTrackSize={%d,%d}}",
                      int(m.ptMaxSize.x), int(m.ptMaxSize.y), int(m.ptMaxPosition.x), int(m.ptMaxPosition.y),
                      int(m.ptMinTrackSize.x), int(m.ptMinTrackSize.y), int(m.ptMaxTrackSize.x),
                      int(m.ptMaxTrackSize.y));
      }
      case WM_WINDOWPOSCHANGING:
      case WM_WINDOWPOSCHANGED: {
        const WINDOWPOS& wp = *static_cast<const WINDOWPOS*>(p);
        return Format("&WINDOWPOS{x=%d, y=%d, cx=%d, cy=%d, flags=", wp.x, wp.y, wp.cx, wp.cy) +
               FlagNames(kWindowPosNames, wp.flags) + "}";
      }
      case WM_NCCALCSIZE:
        if (w) return std::string(pointed) + "{rgrc[0]=" + RectText(static_cast<const NCCALCSIZE_PARAMS*>(p)->rgrc[0]) + "}";
        return pointed + RectAt(p);
    }
  }
  switch (message) {
    case WM_SIZE: return Format("%ux%u", unsigned(LOWORD(l)), unsigned(HIWORD(l)));
    case WM_MOVE: return Format("{%d,%d}", int(int16_t(LOWORD(l))), int(int16_t(HIWORD(l))));
    case WM_ACTIVATE: return HandleText(uintptr_t(l), HandleKind::Window);
    case WM_TIMER: return l ? Hex(uint64_t(l)) : "NULL";
    default: return Hex(uint64_t(l));
  }
}

}  // namespace

bool ReadBefore(Kind kind) {
  switch (kind) {
    case Kind::OutText:
    case Kind::OutRect:
    case Kind::OutPoint:
    case Kind::OutMsg:
    case Kind::OutPaint:
    case Kind::OutSurfaceDesc:
    case Kind::OutWindow:
    case Kind::OutDc:
    case Kind::OutDirectDraw:
    case Kind::OutSurface:
    case Kind::OutClipper:
    case Kind::OutObject: return false;
    default: return true;
  }
}

bool ReadAfter(Kind kind) {
  return !ReadBefore(kind) || kind == Kind::InOutRect || kind == Kind::InOutPoint;
}

const char* MessageLabel(UINT message, char (&buffer)[16]) {
  if (const char* name = MessageName(message)) return name;
  if (message >= WM_USER && message < WM_APP)
    std::snprintf(buffer, sizeof buffer, "WM_USER+%u", unsigned(message - WM_USER));
  else if (message >= WM_APP && message < 0xC000)
    std::snprintf(buffer, sizeof buffer, "WM_APP+%u", unsigned(message - WM_APP));
  else
    std::snprintf(buffer, sizeof buffer, "0x%04X", unsigned(message));
  return buffer;
}

std::string Show(Kind kind, const Raw* args, int count, int index, Raw result) {
  const Raw& a = args[index];
  const int64_t i = int64_t(a.n);
  const uint32_t u = uint32_t(a.n);
  switch (kind) {
    case Kind::None: return "";
    case Kind::Int: return std::to_string(i);
    case Kind::Uint:
    case Kind::Count: return std::to_string(a.n);
    case Kind::Hex: return Hex(a.n);
    case Kind::Bool: return a.n == 0 ? "FALSE" : a.n == 1 ? "TRUE" : std::to_string(i);
    case Kind::Atom: return Hex(a.n & 0xFFFF);
    case Kind::Color: return ColorText(u);
    case Kind::Error: return NameOrNumber(kErrorNames, u);
    case Kind::ShowCommand: return NameOrNumber(kShowCommandNames, i);
    case Kind::SystemMetric: return NameOrNumber(kSystemMetricNames, i);
    case Kind::StockObject: return NameOrNumber(kStockObjectNames, i);
    case Kind::PenStyle: return NameOrNumber(kPenStyleNames, i);
    case Kind::BkMode: return NameOrNumber(kBkModeNames, i);
    case Kind::WindowStyle: return FlagNames(kWindowStyleNames, u, "WS_OVERLAPPED");
    case Kind::PeekFlags: return FlagNames(kPeekNames, u, "PM_NOREMOVE");
    case Kind::BoxType: return FlagNames(kBoxTypeNames, u, "MB_OK");
    case Kind::BoxResult: return NameOrNumber(kBoxResultNames, i);
    case Kind::CooperativeFlags: return FlagNames(kCooperativeNames, u);
    case Kind::BltFlags: return FlagNames(kBltNames, u);
    case Kind::LockFlags: return FlagNames(kLockNames, u);
    case Kind::HResult: return HResultText(HRESULT(u));
    case Kind::Message: return MessageText(u);
    case Kind::Filter: return u ? MessageText(u) : "0";
    case Kind::WParam:
    case Kind::LParam: {
      // The message is the parameter before wParam (hwnd, message, wParam, lParam).
      const int m = kind == Kind::WParam ? index - 1 : index - 2;
      if (m < 0 || m >= count) return Hex(a.n);
      if (kind == Kind::WParam) return WParamText(uint32_t(args[m].n), WPARAM(a.n));
      return LParamText(uint32_t(args[m].n), WPARAM(args[m + 1].n), LPARAM(a.n), false);
    }
    case Kind::Text: return Quoted(static_cast<const char*>(a.p), SIZE_MAX);
    case Kind::CountedText: {
      const int64_t length = index + 1 < count ? int64_t(args[index + 1].n) : 0;
      return Quoted(static_cast<const char*>(a.p), length > 0 ? size_t(length) : 0);
    }
    case Kind::ClassName: return ClassName(static_cast<const char*>(a.p));
    case Kind::CursorName:
      if (a.p && IsAtom(a.p)) return a.n == 32512 ? "IDC_ARROW" : Format("#%u", u);
      return Quoted(static_cast<const char*>(a.p), SIZE_MAX);
    case Kind::OutText: {
      const int64_t written = int64_t(result.n);
      return Quoted(static_cast<const char*>(a.p), written > 0 ? size_t(written) : 0);
    }
    case Kind::Args: return "...";
    case Kind::Pointer: return Address(a.p);
    case Kind::Rect:
    case Kind::OutRect:
    case Kind::InOutRect: return RectAt(a.p);
    case Kind::OutPoint:
    case Kind::InOutPoint: return PointAt(a.p);
    case Kind::Msg:
    case Kind::OutMsg: return MsgText(a.p);
    case Kind::Paint:
    case Kind::OutPaint: return PaintText(a.p);
    case Kind::WndClass: return WndClassText(a.p);
    case Kind::Guid: return a.p ? IidText(*static_cast<const GUID*>(a.p)) : "NULL";
    case Kind::Iid: return IidText(*static_cast<const GUID*>(a.p));
    case Kind::SurfaceDesc: return SurfaceDescText(a.p, false);
    case Kind::OutSurfaceDesc: return SurfaceDescText(a.p, true);
    case Kind::BltFx:
      return a.p ? Format("{dwFillColor=0x%06X}", unsigned(static_cast<const DDBLTFX*>(a.p)->dwFillColor)) : "NULL";
    case Kind::Window: return HandleText(a.p, HandleKind::Window);
    case Kind::Instance: return HandleText(a.p, HandleKind::Instance);
    case Kind::Dc: return HandleText(a.p, HandleKind::Dc);
    case Kind::GdiObject: return HandleText(a.p, HandleKind::GdiObject);
    case Kind::Cursor: return HandleText(a.p, HandleKind::Cursor);
    case Kind::Handle: return a.p ? Hex(a.n) : "NULL";
    case Kind::OutWindow: return a.p ? HandleText(*static_cast<const HWND*>(a.p), HandleKind::Window) : "NULL";
    case Kind::OutDc: return a.p ? HandleText(*static_cast<const HDC*>(a.p), HandleKind::Dc) : "NULL";
    case Kind::DirectDraw:
    case Kind::Surface:
    case Kind::Clipper: return ObjectText(a.p);
    case Kind::OutDirectDraw:
    case Kind::OutSurface:
    case Kind::OutClipper:
    case Kind::OutObject: return a.p ? ObjectText(*static_cast<const void* const*>(a.p)) : "NULL";
  }
  return Hex(a.n);
}

std::string ShowResult(Kind kind, Raw result) {
  return Show(kind, &result, 1, 0, result);
}

void ShowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool readRecords,
                 std::vector<Field>* fields) {
  fields->push_back(Field{"hwnd", HandleText(hwnd, HandleKind::Window)});
  fields->push_back(Field{"wParam", WParamText(message, wParam)});
  fields->push_back(Field{"lParam", LParamText(message, wParam, lParam, readRecords)});
}

}  // namespace trace
}  // namespace w32
