// The hosts, in order of preference, and how the start-up code picks one.
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
