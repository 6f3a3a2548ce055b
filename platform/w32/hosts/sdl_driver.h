// The SDL video driver the SDL host asks for, from what the environment says
// (DISPLAY, WAYLAND_DISPLAY, XDG_SESSION_TYPE; null or empty for unset): the
// one kind of display there is, or with both the kind of the user's session,
// X11 when it does not say; null with neither.
#pragma once

#include <cstring>

namespace w32 {

inline const char* SdlDriverFor(const char* display, const char* waylandDisplay, const char* sessionType) {
  const bool x = display && *display, wayland = waylandDisplay && *waylandDisplay;
  if (x != wayland) return x ? "x11" : "wayland";
  if (x && sessionType && std::strcmp(sessionType, "wayland") == 0) return "wayland";
  return x ? "x11" : nullptr;
}

}  // namespace w32
