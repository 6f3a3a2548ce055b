// Our own declarations of the first DirectDraw interface, as C++ interfaces
// with the real method names, so code written against <ddraw.h> compiles
// unchanged. Only the methods the program and its tests use are declared.
#pragma once

#include "windows.h"

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
typedef GUID IID;
typedef const IID& REFIID;

#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, 0x876, code)

#define DD_OK S_OK
#define DDERR_ALREADYINITIALIZED MAKE_DDHRESULT(5)
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_INVALIDCLIPLIST MAKE_DDHRESULT(110)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_NOCLIPLIST MAKE_DDHRESULT(205)
#define DDERR_NOCOOPERATIVELEVELSET MAKE_DDHRESULT(212)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_INVALIDDIRECTDRAWGUID MAKE_DDHRESULT(561)
#define DDERR_PRIMARYSURFACEALREADYEXISTS MAKE_DDHRESULT(564)
#define DDERR_CLIPPERISUSINGHWND MAKE_DDHRESULT(567)
#define DDERR_NOCLIPPERATTACHED MAKE_DDHRESULT(568)
#define DDERR_NOHWND MAKE_DDHRESULT(569)
#define DDERR_HWNDALREADYSET MAKE_DDHRESULT(571)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_CANTCREATEDC MAKE_DDHRESULT(585)
#define DDERR_NODC MAKE_DDHRESULT(586)
#define DDERR_DCALREADYCREATED MAKE_DDHRESULT(620)

// SetCooperativeLevel
#define DDSCL_FULLSCREEN 0x00000001
#define DDSCL_ALLOWREBOOT 0x00000002
#define DDSCL_NOWINDOWCHANGES 0x00000004
#define DDSCL_NORMAL 0x00000008
#define DDSCL_EXCLUSIVE 0x00000010

// DDSURFACEDESC.dwFlags
#define DDSD_CAPS 0x00000001
#define DDSD_HEIGHT 0x00000002
#define DDSD_WIDTH 0x00000004
#define DDSD_PITCH 0x00000008
#define DDSD_BACKBUFFERCOUNT 0x00000020
#define DDSD_LPSURFACE 0x00000800
#define DDSD_PIXELFORMAT 0x00001000

// DDSCAPS.dwCaps
#define DDSCAPS_BACKBUFFER 0x00000004
#define DDSCAPS_COMPLEX 0x00000008
#define DDSCAPS_FLIP 0x00000010
#define DDSCAPS_FRONTBUFFER 0x00000020
#define DDSCAPS_OFFSCREENPLAIN 0x00000040
#define DDSCAPS_PRIMARYSURFACE 0x00000200
#define DDSCAPS_SYSTEMMEMORY 0x00000800
#define DDSCAPS_VIDEOMEMORY 0x00004000
#define DDSCAPS_VISIBLE 0x00008000

// DDPIXELFORMAT.dwFlags
#define DDPF_RGB 0x00000040

// Blt flags
#define DDBLT_ASYNC 0x00000200
#define DDBLT_COLORFILL 0x00000400
#define DDBLT_WAIT 0x01000000
#define DDBLT_DONOTWAIT 0x08000000

// Lock flags
#define DDLOCK_WAIT 0x00000001
#define DDLOCK_READONLY 0x00000010
#define DDLOCK_WRITEONLY 0x00000020

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue;
};

struct DDSCAPS {
  DWORD dwCaps;
};

struct DDPIXELFORMAT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwFourCC;
  union {
    DWORD dwRGBBitCount;
  };
  union {
    DWORD dwRBitMask;
  };
  union {
    DWORD dwGBitMask;
  };
  union {
    DWORD dwBBitMask;
  };
  union {
    DWORD dwRGBAlphaBitMask;
  };
};

// The published first-version record. On 32-bit Windows it is 108 bytes; on
// 64-bit builds lpSurface is an 8-byte pointer aligned to 8 (at offset 40),
// which moves the later fields by eight and makes the record 120 bytes.
// Callers set dwSize to sizeof(DDSURFACEDESC) either way.
struct DDSURFACEDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  union {
    LONG lPitch;
    DWORD dwLinearSize;
  };
  DWORD dwBackBufferCount;
  union {
    DWORD dwMipMapCount;
    DWORD dwZBufferBitDepth;
    DWORD dwRefreshRate;
  };
  DWORD dwAlphaBitDepth;
  DWORD dwReserved;
  LPVOID lpSurface;
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
};
typedef DDSURFACEDESC* LPDDSURFACEDESC;

struct DDBLTFX {
  DWORD dwSize;
  DWORD dwDDFX;
  DWORD dwROP;
  DWORD dwDDROP;
  DWORD dwRotationAngle;
  DWORD dwZBufferOpCode;
  DWORD dwZBufferLow;
  DWORD dwZBufferHigh;
  DWORD dwZBufferBaseDest;
  DWORD dwZDestConstBitDepth;
  DWORD dwZDestConst;
  DWORD dwZSrcConstBitDepth;
  DWORD dwZSrcConst;
  DWORD dwAlphaEdgeBlendBitDepth;
  DWORD dwAlphaEdgeBlend;
  DWORD dwReserved;
  DWORD dwAlphaDestConstBitDepth;
  DWORD dwAlphaDestConst;
  DWORD dwAlphaSrcConstBitDepth;
  DWORD dwAlphaSrcConst;
  DWORD dwFillColor;
  DDCOLORKEY ddckDestColorkey;
  DDCOLORKEY ddckSrcColorkey;
};
typedef DDBLTFX* LPDDBLTFX;

// The methods of each interface and DirectDrawCreate, as rows of tables in
// the form windows.h gives its calls (result type, how the trace shows the
// result, name, then each parameter as (type, name, how the trace shows it)).
// IUnknown's three methods are the same in every interface and stand apart.

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IDirectDrawClipper;
struct IDirectDrawSurface;
struct IDirectDraw;
typedef IDirectDrawClipper* LPDIRECTDRAWCLIPPER;
typedef IDirectDrawSurface* LPDIRECTDRAWSURFACE;
typedef IDirectDraw* LPDIRECTDRAW;

// clang-format off
#define W32_CLIPPER_METHODS(F, F0)                                                                  \
  F(HRESULT, HResult, SetHWnd, (DWORD, flags, Hex), (HWND, hwnd, Window))                           \
  F(HRESULT, HResult, GetHWnd, (HWND*, hwnd, OutWindow))

#define W32_SURFACE_METHODS(F, F0)                                                                  \
  F(HRESULT, HResult, Blt, (LPRECT, destRect, Rect), (IDirectDrawSurface*, source, Surface),        \
    (LPRECT, sourceRect, Rect), (DWORD, flags, BltFlags), (LPDDBLTFX, fx, BltFx))                   \
  F(HRESULT, HResult, GetDC, (HDC*, hdc, OutDc))                                                    \
  F(HRESULT, HResult, ReleaseDC, (HDC, hdc, Dc))                                                    \
  F(HRESULT, HResult, SetClipper, (LPDIRECTDRAWCLIPPER, clipper, Clipper))                          \
  F(HRESULT, HResult, GetClipper, (LPDIRECTDRAWCLIPPER*, clipper, OutClipper))                      \
  F(HRESULT, HResult, GetSurfaceDesc, (LPDDSURFACEDESC, desc, OutSurfaceDesc))                      \
  F(HRESULT, HResult, Lock, (LPRECT, rect, Rect), (LPDDSURFACEDESC, desc, OutSurfaceDesc),          \
    (DWORD, flags, LockFlags), (HANDLE, event, Pointer))                                            \
  F(HRESULT, HResult, Unlock, (LPVOID, surfaceData, Pointer))                                       \
  F0(HRESULT, HResult, IsLost)                                                                      \
  F0(HRESULT, HResult, Restore)

#define W32_DIRECTDRAW_METHODS(F, F0)                                                               \
  F(HRESULT, HResult, CreateClipper, (DWORD, flags, Hex), (LPDIRECTDRAWCLIPPER*, clipper, OutClipper), \
    (IUnknown*, outer, Pointer))                                                                    \
  F(HRESULT, HResult, CreateSurface, (LPDDSURFACEDESC, desc, SurfaceDesc),                          \
    (LPDIRECTDRAWSURFACE*, surface, OutSurface), (IUnknown*, outer, Pointer))                       \
  F(HRESULT, HResult, SetCooperativeLevel, (HWND, hwnd, Window), (DWORD, flags, CooperativeFlags))

#define W32_DDRAW_CALLS(F, F0)                                                                      \
  F(HRESULT, HResult, DirectDrawCreate, (GUID*, driverGuid, Guid), (LPDIRECTDRAW*, directDraw, OutDirectDraw), \
    (IUnknown*, outer, Pointer))
// clang-format on

struct IDirectDrawClipper : IUnknown {
  W32_CLIPPER_METHODS(W32_PURE_METHOD, W32_PURE_METHOD0)

 protected:
  ~IDirectDrawClipper() = default;
};

struct IDirectDrawSurface : IUnknown {
  W32_SURFACE_METHODS(W32_PURE_METHOD, W32_PURE_METHOD0)

 protected:
  ~IDirectDrawSurface() = default;
};

struct IDirectDraw : IUnknown {
  W32_DIRECTDRAW_METHODS(W32_PURE_METHOD, W32_PURE_METHOD0)

 protected:
  ~IDirectDraw() = default;
};

W32_API(W32_DDRAW_CALLS)
