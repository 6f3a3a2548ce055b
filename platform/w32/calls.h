// The calls of our layer that can be made to fail on purpose (fault
// injection), shared by the layer and the headless host's public interface,
// and their names as the page's ?fail= and the recorder's --fail take them.
#pragma once

#include <cstring>

namespace w32 {
enum class Call {
  CreateWindowExA,
  SetTimer,
  DirectDrawCreate,
  SetCooperativeLevel,
  CreateSurface,
  CreateClipper,
  SetHWnd,
  SetClipper,
  GetDC,
  Blt,
  Count
};

inline constexpr const char* kCallNames[] = {"CreateWindowExA", "SetTimer",      "DirectDrawCreate",
                                             "SetCooperativeLevel", "CreateSurface", "CreateClipper",
                                             "SetHWnd",         "SetClipper",    "GetDC",
                                             "Blt"};
static_assert(sizeof kCallNames / sizeof *kCallNames == size_t(Call::Count), "a name for every call");

// The program makes the calls up to this one while it sets up; the others
// (a frame's GetDC and Blt) fail only on a tick.
constexpr Call kLastSetUpCall = Call::SetClipper;

// The call with that name; false when none has it.
inline bool CallNamed(const char* name, Call* call) {
  for (size_t i = 0; i < size_t(Call::Count); ++i) {
    if (std::strcmp(name, kCallNames[i]) != 0) continue;
    *call = Call(i);
    return true;
  }
  return false;
}
}  // namespace w32
