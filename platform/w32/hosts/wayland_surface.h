// Pixels for a Wayland window that SDL made, without a renderer: buffers of
// shared memory of our own, attached straight to the window's wl_surface,
// with only the changed part copied and reported. On Wayland SDL would
// present a window surface through a GPU renderer (Mesa's software GL where
// there is no GPU), which costs milliseconds a frame for the few pixels a
// tick changes.
//
// Buffers live on an event queue of our own, so their release events never
// run inside SDL's dispatch and SDL's events never run inside ours.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

struct wl_display;
struct wl_event_queue;
struct wl_shm;
struct wl_surface;

namespace w32 {

class WaylandSurface {
 public:
  // Null when the display offers no shared memory.
  static std::unique_ptr<WaylandSurface> Open(wl_display* display, wl_surface* surface);
  ~WaylandSurface();
  WaylandSurface(const WaylandSurface&) = delete;
  WaylandSurface& operator=(const WaylandSurface&) = delete;

  struct Box {
    int left, top, right, bottom;
  };

  // Shows a width x height picture of which only `changed` is new since
  // the last call. Rows come from `rows(y)` (XRGB, pixel 0 of row y) inside
  // `have`; the picture is black outside it. False when no buffer could be
  // had: the caller keeps what changed for the next call.
  template <class Rows>
  bool Put(int width, int height, Box changed, Box have, Rows rows) {
    uint32_t* pixels;
    Box copy;
    if (!Begin(width, height, changed, &pixels, &copy)) return false;
    for (int y = copy.top; y < copy.bottom; ++y) {
      uint32_t* to = pixels + int64_t(y) * width;
      const int l = std::clamp(have.left, copy.left, copy.right), r = std::clamp(have.right, l, copy.right);
      if (y < have.top || y >= have.bottom || l == r) {
        std::fill(to + copy.left, to + copy.right, 0u);
        continue;
      }
      std::fill(to + copy.left, to + l, 0u);
      std::memcpy(to + l, rows(y) + l, size_t(r - l) * 4);
      std::fill(to + r, to + copy.right, 0u);
    }
    End(copy);
    return true;
  }

 private:
  struct Buffer;
  WaylandSurface() = default;
  // A buffer of that size for the picture, and the part of it to write.
  bool Begin(int width, int height, Box changed, uint32_t** pixels, Box* copy);
  // Shows the buffer Begin handed out, with that part of it new.
  void End(const Box& copied);
  Buffer* Free();
  void Drop();

  wl_display* m_display = nullptr;
  wl_surface* m_surface = nullptr;
  wl_event_queue* m_queue = nullptr;
  wl_shm* m_shm = nullptr;
  Buffer* m_buffers[3] = {};
  Buffer* m_current = nullptr;  // being written between Begin and End
  int m_width = 0, m_height = 0;
};

}  // namespace w32
