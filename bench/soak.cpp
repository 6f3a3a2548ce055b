// The program run for a long time on the headless host's virtual clock, in a
// small client area so a tick costs little (it still clears, draws and
// presents every tick). Every presented frame must carry the next angle of
// the orbit and come 100 ms after the last; after a warm-up, the counts of
// live windows, timers, GDI and DirectDraw objects and the resident memory
// must stay where they were until the end.
#include "soak.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "headless.h"
#include "tarvelmin.h"

namespace {

// The allocator may keep a few more pages as the heap settles; a leak of
// even a few bytes a tick outgrows this within the run.
constexpr long kRssSlackKiB = 512;

struct Reading {
  size_t windows, timers, gdi, dcs, directDraw;
  long rssKiB;
};

long ResidentKiB() {
  long size = 0, resident = 0;
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return -1;
  if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = -1;
  std::fclose(f);
  return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}

Reading Read() {
  return Reading{headless::LiveWindows(), headless::LiveTimers(), headless::LiveGdiObjects(),
                 headless::LiveDeviceContexts(), headless::LiveDirectDrawObjects(), ResidentKiB()};
}

void Print(const char* when, unsigned long long tick, const Reading& r) {
  std::printf("%-5s tick %10llu: windows %zu, timers %zu, GDI objects %zu, DCs %zu, DirectDraw objects %zu, "
              "RSS %ld KiB\n",
              when, tick, r.windows, r.timers, r.gdi, r.dcs, r.directDraw, r.rssKiB);
}

}  // namespace

int RunSoak(int argc, char** argv) {
  char* end = nullptr;
  const unsigned long long ticks = argc == 3 ? std::strtoull(argv[2], &end, 10) : 0;
  if (argc != 3 || !end || *end || ticks < 2) {
    std::fprintf(stderr, "usage: %s --soak N   (N ticks, at least 2)\n", argv[0]);
    return 2;
  }
  const unsigned long long warmUp = ticks / 100 < 1000 ? std::max(1ULL, ticks / 100) : 1000;

  headless::Reset(1024, 768);
  g_angle = 50;
  g_active = 0;
  unsigned long long frames = 0, wrong = 0;
  int expected = 50;
  Reading start{}, last{};
  std::chrono::steady_clock::time_point startTime, endTime;
  headless::WatchPrimaryBlts([&] {
    ++frames;
    expected = expected == 360 ? 0 : expected + 2;
    if (g_angle != expected || headless::Now() != DWORD(100 * frames)) {
      if (++wrong <= 5)
        std::fprintf(stderr, "tick %llu at %lu ms: angle %d, expected %d\n", frames,
                     (unsigned long)headless::Now(), g_angle, expected);
      expected = g_angle;
    }
    if (frames == warmUp) {
      start = Read();
      startTime = std::chrono::steady_clock::now();
    }
    if (frames == ticks) {
      endTime = std::chrono::steady_clock::now();
      last = Read();
      headless::CloseAt(headless::Now(), FindWindowA("tarvelmin", NULL));
    }
  });
  headless::At(0, [] { headless::ResizeClientAt(0, FindWindowA("tarvelmin", NULL), 64, 48); });
  const int exitCode = WinMain(GetModuleHandleA(NULL), NULL, const_cast<char*>(""), SW_SHOWDEFAULT);
  headless::WatchPrimaryBlts(nullptr);

  const double seconds = std::chrono::duration<double>(endTime - startTime).count();
  Print("start", warmUp, start);
  Print("end", frames, last);
  std::printf("%llu ticks; %.0f ticks per second after the warm-up; %llu frames out of step; exit code %d\n",
              frames, double(frames - warmUp) / seconds, wrong, exitCode);
  const bool flat = start.windows == last.windows && start.timers == last.timers && start.gdi == last.gdi &&
                    start.dcs == last.dcs && start.directDraw == last.directDraw && start.rssKiB > 0 &&
                    last.rssKiB - start.rssKiB <= kRssSlackKiB;
  const bool ok = frames == ticks && wrong == 0 && flat && exitCode == 0;
  std::printf("%s\n", ok ? "soak: passed" : "soak: FAILED");
  return ok ? 0 : 1;
}
