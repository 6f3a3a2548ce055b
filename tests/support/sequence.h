// Message sequences as tables, checked against what the recording window
// procedure (recorder.h) received. A table names messages in the order a
// window procedure receives them on Windows; the check looks only at the
// messages the table names, so other traffic (non-client chatter that one
// platform sends and another does not) does not disturb it.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "win32.h"

enum ExpectFlags : unsigned {
  kSent = 0,        // sent (the default)
  kPosted = 1,      // retrieved from the queue and dispatched
  kDefProc = 2,     // sent from inside DefWindowProcA's handling of another message
  kWParam = 4,      // wParam must be the one given
  kLParam = 8,      // lParam must be the one given
  kOptional = 16,   // may be missing
  kNever = 32,      // must not come at all
};

struct Expect {
  UINT message;
  unsigned flags = kSent;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};
using Sequence = std::vector<Expect>;

// Our layer differs from Windows here on purpose, for the reason given. The
// table stays Windows' own and is checked as such on Windows; on our layer it
// must not hold, and the check fails once it does, so the marker cannot go stale.
struct DiffersOnPurpose {
  const char* why;
};

// Compares what was recorded since the last check with `expected`, prints
// both side by side on a mismatch, and forgets what was recorded.
testing::AssertionResult SawSequence(const Sequence& expected, const char* what);
testing::AssertionResult SawSequence(const Sequence& expected, const char* what, DiffersOnPurpose differs);
