// The whole program for many ticks on the headless host's virtual clock:
// tarvelmin-bench --soak N, and the soak test.
#pragma once

#include <cstddef>
#include <string>

// What is live at one moment, and the memory in use: resident, or under
// AddressSanitizer (whose quarantine keeps freed blocks by design) the heap.
struct SoakReading {
  size_t windows, timers, gdiObjects, deviceContexts, directDrawObjects;
  long memoryKiB;
};

struct SoakResult {
  unsigned long long frames = 0, outOfStep = 0;
  std::string firstOutOfStep;  // the first few frames out of step, a line each
  SoakReading start{}, end{};  // after the warm-up, and at the last frame
  double seconds = 0;          // on the real clock, between the two readings
  int exitCode = -1;
  // The readings agree, and the memory grew by no more than the allocator
  // may keep as the heap settles (a leak of a few bytes a tick outgrows it).
  bool Flat() const;
};

// The allocator's settling allowance Flat() grants.
constexpr long kSoakSlackKiB = 512;

// Runs the program on the headless host as it stands, in a 64 x 48 client
// area so a tick costs little (it still clears, draws and presents every
// tick), and closes it after `ticks` presented frames. Every frame must
// carry the next angle of the orbit and come 100 ms after the last.
SoakResult Soak(unsigned long long ticks, unsigned long long warmUp);

// argv: tarvelmin-bench --soak N. Returns the process's exit code: 0 when
// every check held, 1 when one failed, 2 for a bad N.
int RunSoak(int argc, char** argv);
