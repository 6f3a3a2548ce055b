// DirectDrawPrimer: turns the primer's window into a windowed DirectDraw
// display: a primary surface clipped to the window, an off-screen back
// surface drawn on through GDI, presented into the client area.
#pragma once

#include "windows_primer.h"

class DirectDrawPrimer : public WindowsPrimer {
 public:
  DirectDrawPrimer(HINSTANCE hInstance, const char* className, WNDPROC wndProc);

  // Creates the window and sets up DirectDraw with a width x height back
  // surface; 1 on success. On failure the user has been told, the objects
  // are released, the window is gone, and the result is 0.
  int Create(const char* title, int showCommand, HINSTANCE hInstance, int width, int height);

  // The eight set-up steps; 1 on success, 0 at the first failing one.
  int InitDirectDraw();

  // Beeps, then releases the primary surface and the DirectDraw object.
  void ReleaseObjects();

  // Blits the whole back surface into the client area (scaled to fit),
  // restoring lost surfaces first when a display-mode change lost them.
  HRESULT Present();

  bool GetBackDC();
  HRESULT ReleaseBackDC();

  // Drawing on the back surface; false, drawing nothing, outside a frame.
  bool Clear();
  bool DrawLine(COLORREF color, int x1, int y1, int x2, int y2);
  bool DrawString(int x, int y, const char* text);

 protected:
  HDC m_hDC;
  IDirectDraw* m_pDD;
  IDirectDrawSurface* m_pPrimary;
  IDirectDrawSurface* m_pBack;
  IDirectDrawClipper* m_pClipper;
  int m_width = 0;
  int m_height = 0;
  // The result code of the set-up step that failed, for the user's message.
  HRESULT m_setupError = 0;
};
