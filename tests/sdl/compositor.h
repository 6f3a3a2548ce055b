// A Wayland compositor of the test's own (libwayland-server, on a thread):
// one client on a socket pair, wl_compositor and wl_shm, and one way of
// showing a surface. Like a compositor that keeps its own copy of each
// window, it takes from every committed buffer only the damaged part; and
// it holds each buffer it was given until a later commit, when it lets
// go of each held one, or of none, as a seeded coin says.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace compositor {

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// One commit with a buffer, as the compositor saw it.
struct Commit {
  int bufferShownBefore = -1;  // the commit that last showed this buffer, -1: a new buffer
  Box damage;                  // the bounding box of what it was told changed
};

class Compositor {
 public:
  // Serves the client that connects to `clientFd` (null if it could not
  // start), releasing buffers as `seed` chooses.
  static std::unique_ptr<Compositor> Start(unsigned seed, int* clientFd);
  ~Compositor();

  // Lets go of every buffer it holds, at once.
  void ReleaseAll();
  // The picture as the compositor shows it (0x00RRGGBB, row by row), and
  // every commit so far. Call once the client's requests have been served
  // (after a round trip).
  void Shown(int* width, int* height, std::vector<uint32_t>* pixels, std::vector<Commit>* commits);

  struct State;

 private:
  explicit Compositor(State* s) : m_state(s) {}
  State* m_state;
};

}  // namespace compositor
