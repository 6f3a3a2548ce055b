#include "soak.h"

#include <unistd.h>
#ifdef __EMSCRIPTEN__
#include <malloc.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "headless.h"
#include "tarvelmin.h"

#if defined(__SANITIZE_ADDRESS__)
#define TARVELMIN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVELMIN_ASAN 1
#endif
#endif
#ifdef TARVELMIN_ASAN
// The sanitizer runtime's count of heap bytes in use (not every compiler
// ships the header that declares it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

long MemoryKiB() {
#ifdef TARVELMIN_ASAN
  return long(__sanitizer_get_current_allocated_bytes() / 1024);
#elif defined(__EMSCRIPTEN__)
  // No /proc in wasm: the allocator's bytes in use.
  return long(mallinfo().uordblks / 1024);
#else
  long size = 0, resident = -1;
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (f) {
    if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = -1;
    std::fclose(f);
  }
  return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
#endif
}

SoakReading Read() {
  return SoakReading{headless::LiveWindows(), headless::LiveTimers(), headless::LiveGdiObjects(),
                     headless::LiveDeviceContexts(), headless::LiveDirectDrawObjects(), MemoryKiB()};
}

HWND Window() {
  return FindWindowA("tarvelmin", NULL);
}

void Print(const char* when, unsigned long long tick, const SoakReading& r) {
  std::printf("%-5s tick %10llu: windows %zu, timers %zu, GDI objects %zu, DCs %zu, DirectDraw objects %zu, "
              "RSS %ld KiB\n",
              when, tick, r.windows, r.timers, r.gdiObjects, r.deviceContexts, r.directDrawObjects, r.memoryKiB);
}

}  // namespace

bool SoakResult::Flat() const {
  return start.windows == end.windows && start.timers == end.timers && start.gdiObjects == end.gdiObjects &&
         start.deviceContexts == end.deviceContexts && start.directDrawObjects == end.directDrawObjects &&
         start.memoryKiB > 0 && end.memoryKiB - start.memoryKiB <= kSoakSlackKiB;
}

SoakResult Soak(unsigned long long ticks, unsigned long long warmUp) {
  g_angle = 50;
  g_active = 0;
  SoakResult r;
  int expected = 50;
  std::chrono::steady_clock::time_point startTime;
  headless::WatchPrimaryBlts([&] {
    ++r.frames;
    expected = expected == 360 ? 0 : expected + 2;
    if (g_angle != expected || headless::Now() != DWORD(100 * r.frames)) {
      if (++r.outOfStep <= 5)
        r.firstOutOfStep += "frame " + std::to_string(r.frames) + " at " + std::to_string(headless::Now()) +
                            " ms: angle " + std::to_string(g_angle) + ", expected " + std::to_string(expected) + "\n";
      expected = g_angle;
    }
    if (r.frames == warmUp) {
      r.start = Read();
      startTime = std::chrono::steady_clock::now();
    }
    if (r.frames == ticks) {
      r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime).count();
      r.end = Read();
      headless::CloseAt(headless::Now(), Window());
    }
  });
  headless::At(0, [] { headless::ResizeClientAt(0, Window(), 64, 48); });
  r.exitCode = WinMain(GetModuleHandleA(NULL), NULL, const_cast<char*>(""), SW_SHOWDEFAULT);
  headless::WatchPrimaryBlts(nullptr);
  return r;
}

int RunSoak(int argc, char** argv) {
  char* end = nullptr;
  const unsigned long long ticks = argc == 3 ? std::strtoull(argv[2], &end, 10) : 0;
  if (argc != 3 || !end || *end || ticks < 2) {
    std::fprintf(stderr, "usage: %s --soak N   (N ticks, at least 2)\n", argv[0]);
    return 2;
  }
  const unsigned long long warmUp = ticks / 100 < 1000 ? std::max(1ULL, ticks / 100) : 1000;
  headless::Reset(1024, 768);
  const SoakResult r = Soak(ticks, warmUp);
  std::fputs(r.firstOutOfStep.c_str(), stderr);
  Print("start", warmUp, r.start);
  Print("end", r.frames, r.end);
  std::printf("%llu ticks; %.0f ticks per second after the warm-up; %llu frames out of step; exit code %d\n",
              r.frames, double(r.frames - warmUp) / r.seconds, r.outOfStep, r.exitCode);
  const bool ok = r.frames == ticks && r.outOfStep == 0 && r.Flat() && r.exitCode == 0;
  std::printf("%s\n", ok ? "soak: passed" : "soak: FAILED");
  return ok ? 0 : 1;
}
