// The program left running: a hundred thousand ticks on the virtual clock
// (bench/soak.cpp drives it). Every presented frame carries the next angle
// of the orbit, and nothing piles up: after a warm-up, the live windows,
// timers, GDI and DirectDraw objects and the memory stay put.
#include <gtest/gtest.h>

#include "soak.h"

namespace {

TEST(Soak, AHundredThousandTicksKeepTheOrbitExactAndLeaveNothingBehind) {
  constexpr unsigned kTicks = 100000, kWarmUp = 2000;
  const SoakResult r = Soak(kTicks, kWarmUp);
  EXPECT_EQ(0, r.exitCode);
  EXPECT_EQ(kTicks, r.frames);
  EXPECT_EQ(0u, r.outOfStep) << r.firstOutOfStep;
  EXPECT_EQ(r.start.windows, r.end.windows);
  EXPECT_EQ(r.start.timers, r.end.timers);
  EXPECT_EQ(r.start.gdiObjects, r.end.gdiObjects);
  EXPECT_EQ(r.start.deviceContexts, r.end.deviceContexts);
  EXPECT_EQ(r.start.directDrawObjects, r.end.directDrawObjects);
  EXPECT_GT(r.start.memoryKiB, 0);
  EXPECT_LE(r.end.memoryKiB - r.start.memoryKiB, kSoakSlackKiB) << "from " << r.start.memoryKiB << " KiB";
}

}  // namespace
