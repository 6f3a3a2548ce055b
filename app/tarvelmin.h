// The program: its entry point, its window procedure, the orbit animation,
// and the three globals they share.
#pragma once

#include "directdraw_primer.h"

// The one display object, WinMain's local; set before the window exists so
// the window procedure can use it from WM_CREATE on.
extern DirectDrawPrimer* g_app;
// The wParam of the last WM_ACTIVATEAPP: nonzero while we are the active application.
extern int g_active;
// The orbiting point's angle in whole degrees.
extern int g_angle;

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Draws one frame of the orbit on the back surface and moves the angle on.
void RenderFrame(HWND hwnd);
