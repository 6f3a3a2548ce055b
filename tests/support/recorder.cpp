#include "recorder.h"

#include <atomic>

LRESULT g_createResult = 0;

std::vector<Seen>& SeenMessages() {
  static std::vector<Seen> seen;
  return seen;
}

size_t CountSeen(UINT message) {
  size_t n = 0;
  for (const Seen& s : SeenMessages()) n += s.message == message ? 1 : 0;
  return n;
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  SeenMessages().push_back(Seen{hwnd, message, wParam, lParam});
  if (message == WM_CREATE) return g_createResult;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TestWindow::TestWindow(DWORD style, int x, int y, int width, int height) {
  static int serial = 0;
  m_class = "recorder-" + std::to_string(++serial);
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = RecordingProc;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
  wc.lpszClassName = m_class.c_str();
  RegisterClassA(&wc);
  m_hwnd = CreateWindowExA(0, m_class.c_str(), "test", style, x, y, width, height, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

TestWindow::~TestWindow() {
  if (IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
  UnregisterClassA(m_class.c_str(), GetModuleHandleA(NULL));
  DrainQueue();
}

void DrainQueue() {
  MSG msg;
  while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_PAINT && msg.hwnd) ValidateRect(msg.hwnd, NULL);
  }
  SeenMessages().clear();
}
