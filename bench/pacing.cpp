// Timer pacing on the real clock: one window, one 100-ms timer, and when
// each WM_TIMER arrives (CLOCK_MONOTONIC). Started like tarvelmin itself, on
// whatever host the start-up code picks (bench/cpu-use asks for SDL's).
//
// Usage: tarvelmin-pacing [ticks]   (default 100)
// Prints the mean period and the lateness of each arrival against the ideal
// schedule, the SetTimer call plus k periods: how far behind the program's
// clock falls, tick by tick. Then what a tick cost in CPU, beside what a bare
// 100-ms sleep and wake-up costs on this machine: the floor under any timer.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "win32.h"

namespace {

const UINT kPeriod = 100;
const UINT_PTR kTimerId = 1;

size_t g_ticks = 100;
std::vector<double> g_arrivals;  // ms on the monotonic clock

double NowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double ThreadCpuUs() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

LRESULT CALLBACK PacingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      // First thing: what comes after the arrival is not the timer's doing.
      g_arrivals.push_back(NowMs());
      if (g_arrivals.size() == g_ticks) DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
  if (commandLine && *commandLine) {
    long n = std::strtol(commandLine, nullptr, 10);
    if (n < 2 || n > 100000) {
      std::fprintf(stderr, "tarvelmin-pacing: ticks must be 2..100000, not '%s'\n", commandLine);
      return 2;
    }
    g_ticks = size_t(n);
  }
  WNDCLASSA wc{};
  wc.lpfnWndProc = PacingProc;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = "tarvelmin-pacing";
  if (!RegisterClassA(&wc)) return 1;
  HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "tarvelmin pacing", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                              nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, showCommand);
  UpdateWindow(hwnd);

  g_arrivals.reserve(g_ticks);
  const double cpuStart = ThreadCpuUs();
  const double start = NowMs();
  if (!SetTimer(hwnd, kTimerId, kPeriod, nullptr)) return 1;
  MSG msg;
  BOOL got;
  while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) DispatchMessageA(&msg);
  const double cpuPerTick = (ThreadCpuUs() - cpuStart) / double(g_ticks);
  if (got < 0 || g_arrivals.size() != g_ticks) {
    std::fprintf(stderr, "tarvelmin-pacing: the loop ended after %zu of %zu ticks\n", g_arrivals.size(), g_ticks);
    return 1;
  }

  std::vector<double> late;
  for (size_t k = 0; k < g_ticks; ++k) late.push_back(g_arrivals[k] - (start + double(k + 1) * kPeriod));
  const double mean = (g_arrivals.back() - g_arrivals.front()) / double(g_ticks - 1);
  std::vector<double> sorted = late;
  std::sort(sorted.begin(), sorted.end());
  // Nearest rank: the smallest lateness at least 99 % of the ticks stay within.
  const size_t rank = size_t(std::ceil(0.99 * double(g_ticks)));
  const double p99 = sorted[rank - 1];
  double sum = 0;
  for (double l : late) sum += l;
  std::printf("pacing: %zu ticks of %u ms: mean period %.3f ms (%+.3f %%), lateness mean %.3f ms, p99 %.3f ms, "
              "max %.3f ms, min %.3f ms\n",
              g_ticks, kPeriod, mean, (mean - kPeriod) * 100.0 / kPeriod, sum / double(g_ticks), p99, sorted.back(),
              sorted.front());

  const int kBare = 20;
  const timespec period{0, long(kPeriod) * 1000000};
  const double bareStart = ThreadCpuUs();
  for (int i = 0; i < kBare; ++i) clock_nanosleep(CLOCK_MONOTONIC, 0, &period, nullptr);
  const double bare = (ThreadCpuUs() - bareStart) / kBare;
  std::printf("pacing: CPU %.1f us a tick; a bare %u-ms sleep and wake-up costs %.1f us here\n", cpuPerTick, kPeriod,
              bare);
  return 0;
}
