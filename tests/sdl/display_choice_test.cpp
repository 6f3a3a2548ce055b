// Which display the SDL host opens, from what the environment says: with
// both an X and a Wayland display, the kind of the session decides.
#include <gtest/gtest.h>

#include <string>

#include "sdl_driver.h"

namespace {

TEST(DisplayChoice, WithBothDisplaysTheSessionDecidesAndX11WhenItDoesNotSay) {
  struct Case {
    const char *display, *wayland, *session, *driver;
  };
  const Case cases[] = {
      {":0", "wayland-0", "wayland", "wayland"},
      {":0", "wayland-0", "x11", "x11"},
      {":0", "wayland-0", nullptr, "x11"},
      {":0", "wayland-0", "", "x11"},
      {":0", "wayland-0", "tty", "x11"},
      {":0", nullptr, "wayland", "x11"},
      {":0", "", "wayland", "x11"},
      {nullptr, "wayland-0", "x11", "wayland"},
      {"", "wayland-0", nullptr, "wayland"},
      {nullptr, nullptr, "wayland", nullptr},
  };
  for (const Case& c : cases) {
    const char* got = w32::SdlDriverFor(c.display, c.wayland, c.session);
    EXPECT_EQ(std::string(c.driver ? c.driver : "(none)"), std::string(got ? got : "(none)"))
        << "DISPLAY=" << (c.display ? c.display : "(unset)") << " WAYLAND_DISPLAY="
        << (c.wayland ? c.wayland : "(unset)") << " XDG_SESSION_TYPE=" << (c.session ? c.session : "(unset)");
  }
}

}  // namespace
