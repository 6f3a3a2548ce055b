#include "windows_primer.h"

namespace {
// Caption, system menu (with its close command) and a sizing border; no
// minimise or maximise box. Visible from creation on.
const DWORD kWindowStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
}  // namespace

WindowsPrimer::WindowsPrimer(HINSTANCE hInstance, const char* className, WNDPROC wndProc) {
  m_wndClass.style = CS_HREDRAW | CS_VREDRAW;
  m_wndClass.lpfnWndProc = wndProc;
  m_wndClass.cbClsExtra = 0;
  m_wndClass.cbWndExtra = 0;
  m_wndClass.hInstance = hInstance;
  m_wndClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  m_wndClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
  m_wndClass.hIcon = NULL;
  m_wndClass.lpszMenuName = NULL;
  m_wndClass.lpszClassName = className;
  // Not checked: with no class of this name registered, Create fails. (A
  // name registered earlier by someone else would be used as it stands.)
  RegisterClassA(&m_wndClass);
}

int WindowsPrimer::Create(const char* title, int showCommand, HINSTANCE hInstance, int clientWidth,
                          int clientHeight) {
  // Outer size straight from the frame metrics.
  int width = clientWidth + 2 * GetSystemMetrics(SM_CXFRAME);
  int height = clientHeight + 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION);

  m_hWnd = CreateWindowExA(0, m_wndClass.lpszClassName, title, kWindowStyle, 0, 0, width, height, NULL, NULL,
                           hInstance, NULL);
  if (m_hWnd == NULL) return 0;

  ShowWindow(m_hWnd, showCommand);
  UpdateWindow(m_hWnd);
  return 1;
}

int WindowsPrimer::MessageLoop() {
  // GetMessageA answers -1 on failure; looping on "nonzero" would then spin
  // forever on the same error, so the loop ends there too.
  BOOL result;
  while ((result = GetMessageA(&m_msg, NULL, 0, 0)) != 0) {
    if (result == -1) return -1;
    TranslateMessage(&m_msg);
    DispatchMessageA(&m_msg);
  }
  return static_cast<int>(m_msg.wParam);
}

HWND WindowsPrimer::GetHWnd() {
  return m_hWnd;
}
