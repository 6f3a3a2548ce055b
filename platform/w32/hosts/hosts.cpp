// The hosts, in order of preference, and how the start-up code picks one.
#include <algorithm>
#include <cstdlib>

#include "../internal.h"

namespace w32 {

Host* OpenHeadlessHost(std::string* why);  // hosts/headless.cpp

#ifdef __EMSCRIPTEN__
Host* OpenWebHost(std::string* why);  // hosts/web.cpp
#else
Host* OpenSdlHost(std::string* why);  // hosts/sdl.cpp
#endif

const HostEntry kHosts[] = {
#ifdef __EMSCRIPTEN__
    // A frame and a canvas in the web page, which plays the desktop.
    {"web", true, OpenWebHost},
#else
    // A real window on the desktop (X11 or Wayland), through SDL2.
    {"sdl", true, OpenSdlHost},
#endif
    // No display: an in-memory screen, the program's timers on the real
    // clock. Never picked unasked: a program started where there is no
    // display should say so, not run where nobody can see it.
    {"headless", false, OpenHeadlessHost},
};

RECT Bounds(const RECT& a, const RECT& b) {
  if (b.right <= b.left || b.bottom <= b.top) return a;
  if (a.right <= a.left || a.bottom <= a.top) return b;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

RECT ShownPart(const RECT& part, const RECT& client) {
  const int64_t left = std::max<int64_t>({0, part.left, -int64_t(client.left)});
  const int64_t top = std::max<int64_t>({0, part.top, -int64_t(client.top)});
  const int64_t right =
      std::min<int64_t>({part.right, int64_t(client.right) - client.left, int64_t(ScreenWidth()) - client.left});
  const int64_t bottom =
      std::min<int64_t>({part.bottom, int64_t(client.bottom) - client.top, int64_t(ScreenHeight()) - client.top});
  return RECT{LONG(left), LONG(top), LONG(std::max(left, right)), LONG(std::max(top, bottom))};
}

Host* OpenHost(std::string* why) {
  const char* named = std::getenv("TARVELMIN_HOST");
  if (named && *named) {
    for (const HostEntry& h : kHosts)
      if (std::string(h.name) == named) return h.open(why);
    *why = std::string("TARVELMIN_HOST names no host we have: '") + named + "' (there are:";
    for (const HostEntry& h : kHosts) *why += std::string(" ") + h.name;
    *why += ")";
    return nullptr;
  }
  for (const HostEntry& h : kHosts) {
    if (!h.chosenUnnamed) continue;
    if (Host* host = h.open(why)) return host;
  }
  return nullptr;
}

}  // namespace w32
