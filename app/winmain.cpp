// Entry point and window procedure: one window of 640 x 480 with windowed
// DirectDraw, and four messages mapped onto it.
#include "tarvelmin.h"

DirectDrawPrimer* g_app = NULL;
int g_active = 0;

namespace {
const char kClassName[] = "tarvelmin";
const char kTitle[] = "tarvelmin demo";
const int kWidth = 640;
const int kHeight = 480;
}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
  (void)hPrevInstance;
  (void)lpCmdLine;
  DirectDrawPrimer app(hInstance, kClassName, WndProc);
  g_app = &app;
  // On failure the user has already been told, and the window is gone.
  if (g_app->Create(kTitle, nCmdShow, hInstance, kWidth, kHeight) != 1) return 0;
  g_app->MessageLoop();
  return 0;
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      // No device context exists yet, so this draws nothing.
      g_app->Clear();
      break;
    case WM_DESTROY:
      g_app->ReleaseObjects();
      PostQuitMessage(0);
      return 0;
    case WM_ACTIVATEAPP:
      g_active = static_cast<int>(wParam);
      break;
    case WM_TIMER:
      // Any timer counts: the window has only ours. A skipped frame still
      // presents the back surface as it stands.
      if (g_active) {
        RenderFrame(hwnd);
        g_app->Present();
      }
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}
