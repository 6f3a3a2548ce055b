// The orbit: a red 5-pixel stroke of zero length, 80 pixels from the middle
// of the back surface, two degrees further on each frame drawn.
#include <cmath>

#include "tarvelmin.h"

int g_angle = 50;

namespace {
const int ANGLE_STEP = 2;
// This very literal, not the full-precision value: the points it gives are
// the program's look (at 90, 180, 270 and 360 degrees they land a pixel in).
const double PI_APPROX = 3.1415927;
const double ORBIT_RADIUS = 80.0;
const int ORBIT_CENTER_X = 320;
const int ORBIT_CENTER_Y = 240;
const COLORREF kRed = 0x000000FF;
}  // namespace

void RenderFrame(HWND hwnd) {
  (void)hwnd;
  if (!g_app->GetBackDC()) return;
  if (!g_app->Clear()) {
    g_app->ReleaseBackDC();
    return;
  }
  // Multiply first, then divide; truncate toward zero.
  double theta = g_angle * PI_APPROX / 180.0;
  int x = static_cast<int>(std::cos(theta) * ORBIT_RADIUS) + ORBIT_CENTER_X;
  int y = static_cast<int>(std::sin(theta) * ORBIT_RADIUS) + ORBIT_CENTER_Y;
  g_app->DrawLine(kRed, x, y, x, y);
  g_app->ReleaseBackDC();
  // 360 itself is drawn; only past it does the angle start again at 0.
  g_angle += ANGLE_STEP;
  if (g_angle > 360) g_angle = 0;
}
