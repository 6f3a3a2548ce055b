// tarvelmin.exe itself, started as its own process the way a user starts
// it: the red disc appears on its circle and moves on, and a WM_CLOSE
// posted from outside ends the process with exit code 0.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

const DWORD kDeadline = 60000;  // generous: the machine may be busy

// tarvelmin.exe, one folder up from this test.
std::string ProgramPath() {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(NULL, self, MAX_PATH);
  std::string path(self, n);
  path = path.substr(0, path.find_last_of("\\/"));
  return path.substr(0, path.find_last_of("\\/")) + "\\tarvelmin.exe";
}

// The red pixels of the window's client area as the screen shows it, in
// client coordinates.
std::vector<POINT> RedPixels(HWND hwnd) {
  std::vector<POINT> red;
  RECT c;
  POINT o = {0, 0};
  if (!GetClientRect(hwnd, &c) || !ClientToScreen(hwnd, &o) || c.right <= 0 || c.bottom <= 0) return red;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = c.right;
  bi.bmiHeader.biHeight = -c.bottom;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = NULL;
  HDC screen = GetDC(NULL);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, c.right, c.bottom, screen, o.x, o.y, SRCCOPY);
    GdiFlush();
    const DWORD* px = static_cast<const DWORD*>(bits);
    for (LONG y = 0; y < c.bottom; ++y)
      for (LONG x = 0; x < c.right; ++x)
        if ((px[y * c.right + x] & 0xFFFFFF) == 0xFF0000) red.push_back(POINT{x, y});
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(NULL, screen);
  return red;
}

// One disc's worth of red, every pixel of it close to the circle of radius
// 80 about (320, 240); its centre through `centre`.
bool DiscOnTheCircle(const std::vector<POINT>& red, POINT* centre) {
  if (red.size() < 9 || red.size() > 40) return false;
  LONG sx = 0, sy = 0;
  for (const POINT& p : red) {
    double r = std::hypot(p.x - 320.0, p.y - 240.0);
    if (r < 75 || r > 85) return false;
    sx += p.x;
    sy += p.y;
  }
  *centre = POINT{LONG(sx / LONG(red.size())), LONG(sy / LONG(red.size()))};
  return true;
}

TEST(TarvelminExe, ShowsTheDiscOrbitingAndEndsWithZeroOnWmClose) {
  std::string path = ProgramPath();
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(path.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
      << path << ": error " << GetLastError();

  DWORD start = GetTickCount();
  HWND hwnd = NULL;
  while (!(hwnd = FindWindowA("tarvelmin", NULL)) && GetTickCount() - start < kDeadline &&
         WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT) {
  }
  ASSERT_TRUE(hwnd) << "no window of class tarvelmin";
  char title[64] = "";
  GetWindowTextA(hwnd, title, sizeof title);
  EXPECT_STREQ("tarvelmin demo", title);
  RECT client;
  GetClientRect(hwnd, &client);
  EXPECT_EQ(640, client.right);
  EXPECT_EQ(480, client.bottom);

  // The disc on its circle, and then somewhere else on it.
  POINT first = {0, 0};
  bool seen = false, moved = false;
  std::vector<POINT> red;
  while (!moved && GetTickCount() - start < kDeadline) {
    red = RedPixels(hwnd);
    POINT c;
    if (DiscOnTheCircle(red, &c)) {
      if (!seen) first = c;
      seen = true;
      moved = c.x != first.x || c.y != first.y;
    }
    Sleep(20);
  }
  EXPECT_TRUE(seen) << "no disc on the circle; last look had " << red.size() << " red pixels";
  EXPECT_TRUE(moved) << "the disc stayed at " << first.x << "," << first.y;

  ASSERT_TRUE(PostMessageA(hwnd, WM_CLOSE, 0, 0));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, kDeadline)) << "still running after WM_CLOSE";
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(0u, code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace
