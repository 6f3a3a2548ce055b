#include "directdraw_primer.h"

#include <cstring>

namespace {
const int kPenWidth = 5;
const COLORREF kTextBackground = 0x00FF0000;  // blue
const COLORREF kTextColor = 0x0000FFFF;       // yellow
const UINT_PTR kTimerId = 1;
const UINT kTimerPeriod = 100;  // ms
}  // namespace

DirectDrawPrimer::DirectDrawPrimer(HINSTANCE hInstance, const char* className, WNDPROC wndProc)
    : WindowsPrimer(hInstance, className, wndProc) {
  m_pDD = NULL;
  m_pPrimary = NULL;
  m_pBack = NULL;
  m_pClipper = NULL;
  m_hDC = NULL;
}

int DirectDrawPrimer::Create(const char* title, int showCommand, HINSTANCE hInstance, int width, int height) {
  m_width = width;
  m_height = height;
  char text[256];

  if (WindowsPrimer::Create(title, showCommand, hInstance, m_width, m_height) != 1) {
    // No window: setting up DirectDraw and a timer on nothing would leave an
    // invisible process running. Say so once and give up.
    wsprintfA(text, "Window Creation Failed (%08lx)\n", GetLastError());
    MessageBoxA(NULL, text, "ERROR", MB_OK);
    return 0;
  }

  if (InitDirectDraw() == 1) return 1;

  // The code of the step that failed, so the user can tell which one.
  // DWORD: a 32-bit value, which is what %lx reads on Windows.
  wsprintfA(text, "Direct Draw Init Failed (%08lx)\n", static_cast<DWORD>(m_setupError));
  MessageBoxA(m_hWnd, text, "ERROR", MB_OK);
  ReleaseObjects();
  DestroyWindow(m_hWnd);
  m_hWnd = NULL;  // no window, as after a failed window creation
  return 0;
}

int DirectDrawPrimer::InitDirectDraw() {
  HRESULT hr;

  hr = DirectDrawCreate(NULL, &m_pDD, NULL);
  if (hr != DD_OK) {
    m_setupError = hr;
    return 0;
  }

  hr = m_pDD->SetCooperativeLevel(m_hWnd, DDSCL_NORMAL);
  if (hr != DD_OK) {
    m_setupError = hr;
    return 0;
  }

  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof(desc));
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  hr = m_pDD->CreateSurface(&desc, &m_pPrimary, NULL);
  if (hr != DD_OK) {
    m_setupError = hr;
    return 0;
  }

  std::memset(&desc, 0, sizeof(desc));
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  desc.dwWidth = m_width;
  desc.dwHeight = m_height;
  hr = m_pDD->CreateSurface(&desc, &m_pBack, NULL);
  if (hr != DD_OK) {
    m_setupError = hr;
    return 0;
  }

  hr = m_pDD->CreateClipper(0, &m_pClipper, NULL);
  if (hr != DD_OK) {
    m_setupError = hr;
    return 0;
  }

  hr = m_pClipper->SetHWnd(0, m_hWnd);
  if (hr != DD_OK) {
    m_setupError = hr;
    return 0;
  }

  hr = m_pPrimary->SetClipper(m_pClipper);
  if (hr != DD_OK) {
    m_setupError = hr;
    return 0;
  }

  // WM_TIMER to the window procedure; the timer ends with the window.
  if (SetTimer(m_hWnd, kTimerId, kTimerPeriod, NULL) == 0) {
    m_setupError = static_cast<HRESULT>(GetLastError());
    return 0;
  }
  return 1;
}

void DirectDrawPrimer::ReleaseObjects() {
  Beep(0, 0);
  if (m_pDD == NULL) return;
  if (m_pPrimary != NULL) {
    m_pPrimary->Release();
    m_pPrimary = NULL;
  }
  // Releasing the DirectDraw object also ends the surfaces and the clipper
  // it made.
  m_pDD->Release();
  m_pDD = NULL;
}

HRESULT DirectDrawPrimer::Present() {
  // Nothing to present on before set-up or after release.
  if (m_pDD == NULL || m_pPrimary == NULL || m_pBack == NULL) return DDERR_INVALIDOBJECT;
  POINT p = {0, 0};
  ClientToScreen(m_hWnd, &p);
  RECT r = {0, 0, 0, 0};  // stays empty if the window is gone: the blit then refuses
  GetClientRect(m_hWnd, &r);
  OffsetRect(&r, p.x, p.y);
  HRESULT hr = m_pPrimary->Blt(&r, m_pBack, NULL, DDBLT_WAIT, NULL);
  if (hr == DDERR_SURFACELOST) {
    // A display-mode change lost the surfaces: every blit would fail from
    // now on and the window never change again. Restore them (the back
    // surface comes back empty until the next frame) and try once more.
    if (m_pPrimary->IsLost() == DDERR_SURFACELOST) m_pPrimary->Restore();
    if (m_pBack->IsLost() == DDERR_SURFACELOST) m_pBack->Restore();
    hr = m_pPrimary->Blt(&r, m_pBack, NULL, DDBLT_WAIT, NULL);
  }
  return hr;
}

bool DirectDrawPrimer::GetBackDC() {
  if (m_pDD == NULL || m_pBack == NULL) return false;
  return m_pBack->GetDC(&m_hDC) == DD_OK;
}

HRESULT DirectDrawPrimer::ReleaseBackDC() {
  if (m_pDD == NULL || m_pBack == NULL || m_hDC == NULL) return DDERR_NODC;
  HRESULT hr = m_pBack->ReleaseDC(m_hDC);
  // The context is handed back: drawing until the next GetBackDC must not use it.
  m_hDC = NULL;
  return hr;
}

bool DirectDrawPrimer::Clear() {
  if (m_hDC == NULL) return false;
  RECT r = {0, 0, 0, 0};  // nothing to fill if the window is gone
  GetClientRect(m_hWnd, &r);
  FillRect(m_hDC, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  return true;
}

bool DirectDrawPrimer::DrawLine(COLORREF color, int x1, int y1, int x2, int y2) {
  if (m_hDC == NULL) return false;
  HPEN pen = CreatePen(PS_SOLID, kPenWidth, color);
  HGDIOBJ previous = SelectObject(m_hDC, pen);
  MoveToEx(m_hDC, x1, y1, NULL);
  LineTo(m_hDC, x2, y2);
  SelectObject(m_hDC, previous);
  DeleteObject(pen);
  return true;
}

bool DirectDrawPrimer::DrawString(int x, int y, const char* text) {
  if (m_hDC == NULL) return false;
  SetBkColor(m_hDC, kTextBackground);
  SetTextColor(m_hDC, kTextColor);
  TextOutA(m_hDC, x, y, text, lstrlenA(text));
  return true;
}
