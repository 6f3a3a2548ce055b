// The calls of our layer that can be made to fail on purpose (fault
// injection), shared by the layer and the headless host's public interface.
#pragma once

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
}  // namespace w32
