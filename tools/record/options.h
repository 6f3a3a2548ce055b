// tarvelmin-record's command line.
#pragma once

#include <string>

#include "w32/calls.h"

struct RecordOptions {
  int frames = 181;         // one lap
  std::string out = "out";  // folder for the frames and the GIF
  int clientWidth = 0;      // 0: the client area is left as the program makes it
  int clientHeight = 0;
  int showCommand = -1;  // -1: the platform's default
  std::string trace;     // file for the message trace; empty: none
  std::string traceCalls;  // file for the trace of calls and messages; empty: none
  bool fail = false;       // make one set-up call fail
  w32::Call failCall = w32::Call::Count;
  int failSkip = 0;        // after this many of its kind succeed
  bool help = false;
  bool version = false;
};

// Fills `options` from the arguments after the program name. On a bad
// option, returns false with a one-line reason in `error`.
bool ParseRecordOptions(int count, const char* const* args, RecordOptions* options, std::string* error);

extern const char kRecordUsage[];
