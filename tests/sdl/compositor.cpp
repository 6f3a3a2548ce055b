#include "compositor.h"

#include <sys/socket.h>
#include <wayland-server.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <thread>

namespace compositor {

struct Compositor::State {
  wl_display* display = nullptr;
  std::thread thread;
  std::atomic<bool> stop{false}, releaseAll{false};
  std::mutex mutex;  // what follows, between the thread and the test
  std::mt19937 coin;
  int width = 0, height = 0;
  std::vector<uint32_t> shown;
  std::vector<compositor::Commit> commits;
  wl_resource* attached = nullptr;
  std::vector<Box> damage;  // since the last commit
  std::vector<wl_resource*> held;
  std::map<wl_resource*, int> lastShown;  // buffer -> the commit that last showed it
  // Each buffer's destruction is heard, so that a new one at the same
  // address is new; the listeners stay until the end.
  struct Watch {
    wl_listener listener;
    State* state;
    wl_resource* buffer;
  };
  std::vector<std::unique_ptr<Watch>> watches;

  void Watched(wl_resource* buffer) {
    if (lastShown.count(buffer)) return;
    watches.push_back(std::make_unique<Watch>());
    Watch* w = watches.back().get();
    w->state = this;
    w->buffer = buffer;
    w->listener.notify = [](wl_listener* l, void*) {
      Watch* gone = wl_container_of(l, gone, listener);
      State* s = gone->state;
      std::lock_guard<std::mutex> hold(s->mutex);
      s->held.erase(std::remove(s->held.begin(), s->held.end(), gone->buffer), s->held.end());
      s->lastShown.erase(gone->buffer);
      if (s->attached == gone->buffer) s->attached = nullptr;
    };
    wl_resource_add_destroy_listener(buffer, &w->listener);
  }

  void Committed() {
    wl_resource* buffer = attached;
    attached = nullptr;
    if (!buffer) return;
    wl_shm_buffer* shm = wl_shm_buffer_get(buffer);
    if (!shm) return;
    const int w = wl_shm_buffer_get_width(shm), h = wl_shm_buffer_get_height(shm);
    const int stride = wl_shm_buffer_get_stride(shm);
    if (w != width || h != height) {
      // What it shows of a window of another size is anything: say so.
      width = w, height = h;
      shown.assign(size_t(w) * size_t(h), 0xDEAD00u);
    }
    Box all{};
    bool any = false;
    wl_shm_buffer_begin_access(shm);
    const uint8_t* data = static_cast<const uint8_t*>(wl_shm_buffer_get_data(shm));
    for (const Box& d : damage) {
      const Box c{std::max(d.left, 0), std::max(d.top, 0), std::min(d.right, w), std::min(d.bottom, h)};
      for (int y = c.top; y < c.bottom; ++y)
        for (int x = c.left; x < c.right; ++x)
          shown[size_t(y) * size_t(w) + size_t(x)] =
              reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride))[x] & 0x00FFFFFF;
      all = any ? Box{std::min(all.left, d.left), std::min(all.top, d.top), std::max(all.right, d.right),
                      std::max(all.bottom, d.bottom)}
                : d;
      any = true;
    }
    wl_shm_buffer_end_access(shm);
    damage.clear();
    Watched(buffer);
    auto last = lastShown.find(buffer);
    commits.push_back(compositor::Commit{last == lastShown.end() ? -1 : last->second, all});
    lastShown[buffer] = int(commits.size()) - 1;
    // Each buffer held before this one goes now, or stays, as the coin says.
    std::vector<wl_resource*> keep;
    for (wl_resource* b : held)
      if (b != buffer && coin() % 2) wl_buffer_send_release(b);
      else if (b != buffer) keep.push_back(b);
    keep.push_back(buffer);
    held = keep;
  }
};

namespace {

Compositor::State* Of(wl_resource* r) {
  return static_cast<Compositor::State*>(wl_resource_get_user_data(r));
}

const struct wl_surface_interface kSurface = {
    [](wl_client*, wl_resource* r) { wl_resource_destroy(r); },
    [](wl_client*, wl_resource* r, wl_resource* buffer, int32_t, int32_t) { Of(r)->attached = buffer; },
    [](wl_client*, wl_resource* r, int32_t x, int32_t y, int32_t w, int32_t h) {
      Of(r)->damage.push_back(Box{x, y, x + w, y + h});
    },
    nullptr,  // frame
    nullptr,  // set_opaque_region
    nullptr,  // set_input_region
    [](wl_client*, wl_resource* r) {
      Compositor::State* s = Of(r);
      std::lock_guard<std::mutex> hold(s->mutex);
      s->Committed();
    },
    nullptr, nullptr, nullptr, nullptr,
};

const struct wl_compositor_interface kCompositorRequests = {
    [](wl_client* client, wl_resource* r, uint32_t id) {
      wl_resource* surface = wl_resource_create(client, &wl_surface_interface, 1, id);
      wl_resource_set_implementation(surface, &kSurface, Of(r), nullptr);
    },
    nullptr,  // create_region
};

void Bind(wl_client* client, void* data, uint32_t version, uint32_t id) {
  wl_resource* r = wl_resource_create(client, &wl_compositor_interface, int(std::min(version, 1u)), id);
  wl_resource_set_implementation(r, &kCompositorRequests, data, nullptr);
}

}  // namespace

std::unique_ptr<Compositor> Compositor::Start(unsigned seed, int* clientFd) {
  auto s = std::make_unique<State>();
  s->coin.seed(seed);
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return nullptr;
  s->display = wl_display_create();
  if (!s->display || wl_display_init_shm(s->display) != 0 ||
      !wl_global_create(s->display, &wl_compositor_interface, 1, s.get(), Bind) ||
      !wl_client_create(s->display, fds[0]))
    return nullptr;
  *clientFd = fds[1];
  State* state = s.get();
  s->thread = std::thread([state] {
    wl_event_loop* loop = wl_display_get_event_loop(state->display);
    while (!state->stop) {
      wl_event_loop_dispatch(loop, 10);
      if (state->releaseAll.exchange(false)) {
        std::lock_guard<std::mutex> hold(state->mutex);
        for (wl_resource* b : state->held) wl_buffer_send_release(b);
        state->held.clear();
      }
      wl_display_flush_clients(state->display);
    }
  });
  return std::unique_ptr<Compositor>(new Compositor(s.release()));
}

Compositor::~Compositor() {
  m_state->stop = true;
  m_state->thread.join();
  wl_display_destroy_clients(m_state->display);
  wl_display_destroy(m_state->display);
  delete m_state;
}

void Compositor::ReleaseAll() {
  m_state->releaseAll = true;
}

void Compositor::Shown(int* width, int* height, std::vector<uint32_t>* pixels, std::vector<Commit>* commits) {
  std::lock_guard<std::mutex> hold(m_state->mutex);
  *width = m_state->width;
  *height = m_state->height;
  *pixels = m_state->shown;
  *commits = m_state->commits;
}

}  // namespace compositor
