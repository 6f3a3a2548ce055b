// What our Wayland window tells the compositor has changed, checked by a
// compositor of the test's own (compositor.h) that, as a real one may, takes
// from each buffer only the damaged part. Seeded random sessions of changes
// and resizes, checked after every frame: the compositor's copy must be the
// picture we meant, and the damage no more than what changed since the
// buffer last showed the picture (all of it for a new buffer).
#include <gtest/gtest.h>
#include <wayland-client.h>

#include <random>

#include "compositor.h"
#include "wayland_surface.h"

namespace {

using compositor::Box;

Box Union(const Box& a, const Box& b) {
  if (a.left >= a.right || a.top >= a.bottom) return b;
  if (b.left >= b.right || b.top >= b.bottom) return a;
  return Box{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
             std::max(a.bottom, b.bottom)};
}

bool Within(const Box& inner, const Box& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::string Say(const Box& b) {
  return std::to_string(b.left) + "," + std::to_string(b.top) + "-" + std::to_string(b.right) + "," +
         std::to_string(b.bottom);
}

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  if (std::string(interface) == wl_compositor_interface.name)
    *static_cast<wl_compositor**>(data) =
        static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 1));
}
void OnGlobalRemoved(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistry = {OnGlobal, OnGlobalRemoved};

// One session; "" when every frame checked out, else what went wrong first.
std::string Session(unsigned seed) {
  int fd = -1;
  std::unique_ptr<compositor::Compositor> server = compositor::Compositor::Start(seed, &fd);
  if (!server) return "the compositor did not start";
  wl_display* display = wl_display_connect_to_fd(fd);
  if (!display) return "cannot connect to the compositor";
  wl_compositor* comp = nullptr;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistry, &comp);
  wl_display_roundtrip(display);
  wl_surface* surface = comp ? wl_compositor_create_surface(comp) : nullptr;
  std::unique_ptr<w32::WaylandSurface> ours = w32::WaylandSurface::Open(display, surface);
  std::string wrong = ours ? "" : "no WaylandSurface on the compositor";

  std::mt19937 random(seed);
  auto below = [&](int n) { return int(random() % unsigned(n)); };
  int width = 0, height = 0;
  std::vector<uint32_t> picture;
  Box pending{};                // changed and not yet shown
  std::vector<Box> changedAt;  // per commit: what changed since the one before
  for (int frame = 0; frame < 120 && wrong.empty(); ++frame) {
    if (frame == 0 || below(25) == 0) {
      width = 1 + below(90), height = 1 + below(70);
      picture.assign(size_t(width) * size_t(height), 0);
      pending = Box{0, 0, width, height};
    }
    for (int n = below(3); n > 0; --n) {
      const int l = below(width), t = below(height);
      const Box b{l, t, l + 1 + below(width - l), t + 1 + below(height - t)};
      const uint32_t colour = random() & 0x00FFFFFF;
      for (int y = b.top; y < b.bottom; ++y)
        for (int x = b.left; x < b.right; ++x) picture[size_t(y) * size_t(width) + size_t(x)] = colour;
      pending = Union(pending, b);
    }
    const bool put = ours->Put(width, height, w32::WaylandSurface::Box{pending.left, pending.top, pending.right,
                                                                      pending.bottom},
                               w32::WaylandSurface::Box{0, 0, width, height},
                               [&](int y) { return picture.data() + size_t(y) * size_t(width); });
    if (!put) server->ReleaseAll();  // the compositor held every buffer; what changed waits
    if (wl_display_roundtrip(display) < 0) return "the connection broke";
    if (!put) continue;
    changedAt.push_back(pending);
    pending = Box{};
    int w, h;
    std::vector<uint32_t> shown;
    std::vector<compositor::Commit> commits;
    server->Shown(&w, &h, &shown, &commits);
    const std::string at = "frame " + std::to_string(frame) + ": ";
    if (commits.size() != changedAt.size()) {
      wrong = at + std::to_string(commits.size()) + " commits for " + std::to_string(changedAt.size()) + " frames";
      break;
    }
    Box since{};
    const compositor::Commit& c = commits.back();
    if (c.bufferShownBefore < 0)
      since = Box{0, 0, width, height};
    else
      for (size_t i = size_t(c.bufferShownBefore) + 1; i < changedAt.size(); ++i) since = Union(since, changedAt[i]);
    if (!Within(c.damage, since)) {
      wrong = at + "damage " + Say(c.damage) + " beyond what changed, " + Say(since);
      break;
    }
    if (w != width || h != height) {
      wrong = at + "the compositor shows " + std::to_string(w) + "x" + std::to_string(h);
      break;
    }
    for (size_t i = 0; i < shown.size() && wrong.empty(); ++i)
      if (shown[i] != picture[i])
        wrong = at + "(" + std::to_string(i % size_t(width)) + ", " + std::to_string(i / size_t(width)) +
                ") shows " + std::to_string(shown[i]) + ", not " + std::to_string(picture[i]) + " (damage " +
                Say(c.damage) + ")";
  }
  ours.reset();
  if (surface) wl_surface_destroy(surface);
  if (comp) wl_compositor_destroy(comp);
  wl_registry_destroy(registry);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return wrong;
}

TEST(WaylandDamage, TheCompositorIsToldWhatChangedAndNoMore) {
  for (unsigned seed = 1; seed <= 20; ++seed) EXPECT_EQ("", Session(seed)) << "seed " << seed;
}

}  // namespace
