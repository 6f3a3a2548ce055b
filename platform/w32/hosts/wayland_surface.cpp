#include "wayland_surface.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>

namespace w32 {

struct WaylandSurface::Buffer {
  wl_buffer* buffer = nullptr;
  uint32_t* pixels = nullptr;
  size_t bytes = 0;
  bool busy = false;  // the compositor has it until it says it is done
  // What it lacks of the picture: all of it when new.
  int left = 0, top = 0, right = 0, bottom = 0;

  ~Buffer() {
    if (buffer) wl_buffer_destroy(buffer);
    if (pixels) munmap(pixels, bytes);
  }
  void Lacks(int l, int t, int r, int b) {
    if (l >= r || t >= b) return;
    if (left >= right || top >= bottom) {
      left = l, top = t, right = r, bottom = b;
      return;
    }
    left = std::min(left, l), top = std::min(top, t), right = std::max(right, r), bottom = std::max(bottom, b);
  }
};

namespace {

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  auto* shm = static_cast<wl_shm**>(data);
  if (!*shm && std::strcmp(interface, wl_shm_interface.name) == 0)
    *shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
}
void OnGlobalRemoved(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemoved};

void OnRelease(void* data, wl_buffer*) {
  *static_cast<bool*>(data) = false;
}
const wl_buffer_listener kBufferListener = {OnRelease};

}  // namespace

std::unique_ptr<WaylandSurface> WaylandSurface::Open(wl_display* display, wl_surface* surface) {
  if (!display || !surface) return nullptr;
  std::unique_ptr<WaylandSurface> s(new WaylandSurface);
  s->m_display = display;
  s->m_surface = surface;
  s->m_queue = wl_display_create_queue(display);
  if (!s->m_queue) return nullptr;
  // The registry on our queue, so that binding needs no dispatch of SDL's.
  auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
  if (!wrapped) return nullptr;
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), s->m_queue);
  wl_registry* registry = wl_display_get_registry(wrapped);
  wl_proxy_wrapper_destroy(wrapped);
  if (!registry) return nullptr;
  wl_registry_add_listener(registry, &kRegistryListener, &s->m_shm);
  const int said = wl_display_roundtrip_queue(display, s->m_queue);
  wl_registry_destroy(registry);
  if (said < 0 || !s->m_shm) return nullptr;
  return s;
}

WaylandSurface::~WaylandSurface() {
  Drop();
  if (m_shm) wl_shm_destroy(m_shm);
  if (m_queue) wl_event_queue_destroy(m_queue);
}

void WaylandSurface::Drop() {
  for (Buffer*& b : m_buffers) {
    delete b;
    b = nullptr;
  }
}

// A buffer the compositor is not using, made if there are fewer than three.
WaylandSurface::Buffer* WaylandSurface::Free() {
  for (Buffer* b : m_buffers)
    if (b && !b->busy) return b;
  for (Buffer*& slot : m_buffers) {
    if (slot) continue;
    const size_t bytes = size_t(m_width) * size_t(m_height) * 4;
    const int fd = memfd_create("tarvelmin-window", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    std::unique_ptr<Buffer> b(new Buffer);
    void* pixels = ftruncate(fd, off_t(bytes)) == 0 ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                                                     : MAP_FAILED;
    if (pixels == MAP_FAILED) {
      close(fd);
      return nullptr;
    }
    b->pixels = static_cast<uint32_t*>(pixels);
    b->bytes = bytes;
    wl_shm_pool* pool = wl_shm_create_pool(m_shm, fd, int32_t(bytes));
    close(fd);  // the pool has its own hold on the memory
    if (!pool) return nullptr;
    b->buffer = wl_shm_pool_create_buffer(pool, 0, m_width, m_height, m_width * 4, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    if (!b->buffer) return nullptr;
    wl_buffer_add_listener(b->buffer, &kBufferListener, &b->busy);
    b->Lacks(0, 0, m_width, m_height);
    slot = b.release();
    return slot;
  }
  return nullptr;
}

bool WaylandSurface::Begin(int width, int height, Box changed, uint32_t** pixels, Box* copy) {
  if (width <= 0 || height <= 0 || int64_t(width) * height > (int64_t(1) << 28)) return false;
  // Releases the compositor sent, read off the connection by SDL's waits.
  if (wl_display_dispatch_queue_pending(m_display, m_queue) < 0) return false;
  if (width != m_width || height != m_height) {
    Drop();
    m_width = width;
    m_height = height;
  }
  for (Buffer* b : m_buffers)
    if (b) b->Lacks(std::max(changed.left, 0), std::max(changed.top, 0), std::min(changed.right, width),
                    std::min(changed.bottom, height));
  Buffer* b = Free();
  if (!b) {
    // All three still on the screen: ask the compositor, once, to be done.
    if (wl_display_roundtrip_queue(m_display, m_queue) < 0) return false;
    b = Free();
    if (!b) return false;
  }
  m_current = b;
  *pixels = b->pixels;
  *copy = b->left < b->right && b->top < b->bottom ? Box{b->left, b->top, b->right, b->bottom} : Box{0, 0, 0, 0};
  return true;
}

void WaylandSurface::End(const Box& copied) {
  Buffer* b = m_current;
  m_current = nullptr;
  b->left = b->top = b->right = b->bottom = 0;
  b->busy = true;
  wl_surface_attach(m_surface, b->buffer, 0, 0);
  // What differs from the buffer shown until now lies within what this one lacked.
  if (copied.left < copied.right && copied.top < copied.bottom)
    wl_surface_damage(m_surface, copied.left, copied.top, copied.right - copied.left, copied.bottom - copied.top);
  wl_surface_commit(m_surface);
  wl_display_flush(m_display);
}

}  // namespace w32
