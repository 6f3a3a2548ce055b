// The program left running: a hundred thousand ticks on the virtual clock,
// in a small client area so that a tick costs little (it still clears,
// draws and presents every tick). Every presented frame carries the next
// angle of the orbit, and nothing piles up: after a warm-up, the live
// windows, timers, GDI and DirectDraw objects and the memory stay put.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

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

HWND Window() {
  return FindWindowA("tarvelmin", NULL);
}

// Resident memory in KiB; under AddressSanitizer, whose quarantine holds
// on to freed blocks by design, the heap in use instead.
long MemoryKiB() {
#ifdef TARVELMIN_ASAN
  return long(__sanitizer_get_current_allocated_bytes() / 1024);
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

struct Reading {
  size_t windows, timers, gdiObjects, deviceContexts, directDrawObjects;
  long memoryKiB;
};

Reading Read() {
  return Reading{headless::LiveWindows(), headless::LiveTimers(), headless::LiveGdiObjects(),
                 headless::LiveDeviceContexts(), headless::LiveDirectDrawObjects(), MemoryKiB()};
}

TEST(Soak, AHundredThousandTicksKeepTheOrbitExactAndLeaveNothingBehind) {
  constexpr unsigned kTicks = 100000, kWarmUp = 2000;
  // The allocator may keep a few more pages as the heap settles; a leak of a
  // few bytes a tick outgrows this long before the end.
  constexpr long kSlackKiB = 512;
  g_angle = 50;
  g_active = 0;
  unsigned frames = 0, outOfStep = 0;
  int expected = 50;
  Reading start{}, end{};
  headless::WatchPrimaryBlts([&] {
    ++frames;
    expected = expected == 360 ? 0 : expected + 2;
    if (g_angle != expected || headless::Now() != DWORD(100 * frames)) {
      if (outOfStep++ == 0)
        ADD_FAILURE() << "frame " << frames << " at " << headless::Now() << " ms: angle " << g_angle;
      expected = g_angle;
    }
    if (frames == kWarmUp) start = Read();
    if (frames == kTicks) {
      end = Read();
      headless::CloseAt(headless::Now(), Window());
    }
  });
  headless::At(0, [] { headless::ResizeClientAt(0, Window(), 64, 48); });
  EXPECT_EQ(0, WinMain(GetModuleHandleA(NULL), NULL, const_cast<char*>(""), SW_SHOWDEFAULT));
  headless::WatchPrimaryBlts(nullptr);

  EXPECT_EQ(kTicks, frames);
  EXPECT_EQ(0u, outOfStep);
  EXPECT_EQ(start.windows, end.windows);
  EXPECT_EQ(start.timers, end.timers);
  EXPECT_EQ(start.gdiObjects, end.gdiObjects);
  EXPECT_EQ(start.deviceContexts, end.deviceContexts);
  EXPECT_EQ(start.directDrawObjects, end.directDrawObjects);
  EXPECT_GT(start.memoryKiB, 0);
  EXPECT_LE(end.memoryKiB - start.memoryKiB, kSlackKiB) << "from " << start.memoryKiB << " KiB";
}

}  // namespace
